// A grey picture placed on a label: turned when its orientation is not the label's, scaled to fit as the
// job's print-scaling asks, centred, and handed row by row to the label writer. The PDF pages and the PNG
// pictures go this way; PAPPL's raster pages arrive already placed.
#ifndef KV_PRINTER_PAGE_H
#define KV_PRINTER_PAGE_H

#include <cstdint>

#include "label_writer.h"

namespace kv::printer {

// A grey picture in memory: `width` bytes a row, rows top first, 0 black .. 255 white.
struct GreyView {
  int width = 0, height = 0;
  const std::uint8_t* pixels = nullptr;
};

enum class Scaling {
  kAuto,  // larger than the label: fit; else centred as it is
  kFit,   // scaled up or down to fit, the whole picture shown
  kFill,  // scaled up or down to cover the label, the overhang cut
  kNone,  // as it is, centred, cut where larger
};

struct Placement {
  bool turn = false;          // turned a quarter counter-clockwise (a landscape picture on a portrait label)
  double scale = 1;           // label dots a picture dot
  int x = 0, y = 0;           // where the top-left corner of the turned and scaled picture falls on the label
  int width = 0, height = 0;  // the turned and scaled picture's size in label dots
};

// Where a picture of `width` x `height` dots goes on a label of `label_width` x `label_length` dots.
Placement Place(int width, int height, int label_width, int label_length, Scaling scaling);

// Writes one label (Begin to End) showing `image` placed by `placement`. False with the writer's error.
bool WriteImage(LabelWriter& writer, const LabelSettings& settings, const GreyView& image, const Placement& placement);

}  // namespace kv::printer

#endif
