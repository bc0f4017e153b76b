#include "page.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv::printer {

Placement Place(int width, int height, int label_width, int label_length, Scaling scaling) {
  Placement p;
  if (width < 1 || height < 1 || label_width < 1 || label_length < 1) return p;
  // Turned when the picture lies across a label that stands, or stands on a label that lies.
  p.turn = (width > height) != (label_width > label_length) && width != height && label_width != label_length;
  const double w = p.turn ? height : width, h = p.turn ? width : height;
  const double fit = std::min(label_width / w, label_length / h);
  switch (scaling) {
    case Scaling::kAuto:
      p.scale = std::min(1.0, fit);
      break;
    case Scaling::kFit:
      p.scale = fit;
      break;
    case Scaling::kFill:
      p.scale = std::max(label_width / w, label_length / h);
      break;
    case Scaling::kNone:
      p.scale = 1;
      break;
  }
  p.width = std::max(1, static_cast<int>(std::lround(w * p.scale)));
  p.height = std::max(1, static_cast<int>(std::lround(h * p.scale)));
  p.x = (label_width - p.width) / 2;
  p.y = (label_length - p.height) / 2;
  return p;
}

namespace {

// The grey of the turned picture at (tx, ty): turned a quarter counter-clockwise, its top row is the
// picture's right column.
inline int TurnedAt(const GreyView& image, bool turn, int tx, int ty) {
  const int x = turn ? image.width - 1 - ty : tx;
  const int y = turn ? tx : ty;
  return image
      .pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)];
}

}  // namespace

bool WriteImage(LabelWriter& writer, const LabelSettings& settings, const GreyView& image, const Placement& p) {
  if (!writer.Begin(settings)) return false;
  if (!image.pixels || image.width < 1 || image.height < 1) return writer.End();
  const int tw = p.turn ? image.height : image.width;  // the turned picture's size
  const int th = p.turn ? image.width : image.height;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(settings.width));
  const int first_x = std::max(0, p.x), last_x = std::min(settings.width, p.x + p.width);
  for (int ly = 0; ly < settings.length; ++ly) {
    std::fill(row.begin(), row.end(), 255);
    const int v = ly - p.y;
    if (v >= 0 && v < p.height) {
      // The rows of the turned picture that this label row covers: one (enlarged or as it is) or an average
      // of several (reduced).
      const int y0 = std::min(th - 1, static_cast<int>(v / p.scale));
      const int y1 = std::clamp(static_cast<int>(std::ceil((v + 1) / p.scale)), y0 + 1, th);
      for (int lx = first_x; lx < last_x; ++lx) {
        const int u = lx - p.x;
        const int x0 = std::min(tw - 1, static_cast<int>(u / p.scale));
        const int x1 = std::clamp(static_cast<int>(std::ceil((u + 1) / p.scale)), x0 + 1, tw);
        int sum = 0;
        for (int ty = y0; ty < y1; ++ty)
          for (int tx = x0; tx < x1; ++tx) sum += TurnedAt(image, p.turn, tx, ty);
        row[static_cast<std::size_t>(lx)] = static_cast<std::uint8_t>(sum / ((y1 - y0) * (x1 - x0)));
      }
    }
    if (!writer.AddRow(row.data())) return false;
  }
  return writer.End();
}

}  // namespace kv::printer
