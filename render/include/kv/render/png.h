// PNG files of rendered labels: one bit per dot, white background, black dots, the resolution in pHYs.
#ifndef KV_RENDER_PNG_H
#define KV_RENDER_PNG_H

#include <atomic>
#include <cstdio>
#include <string>

#include "kv/render/bitmap.h"

namespace kv::render {

// Writes `image` to `out` as a one-bit greyscale PNG that states `dpi` (203: 8 dots/mm, 300: 12 dots/mm)
// in its pHYs chunk. False, with `error` set, when libpng or the file fails, or ("stopped") as soon as
// `stop` (when given) is set: the file is then incomplete.
bool WritePng(std::FILE* out, const Bitmap& image, int dpi, std::string& error,
              const std::atomic<bool>* stop = nullptr);

// Reads a PNG (any kind libpng knows) into a bitmap: dots darker than mid-grey are black. `dots_per_metre`
// receives the horizontal pHYs value, 0 when there is none. False when the file cannot be read or is
// larger than `max_side` dots on a side.
bool ReadPng(const std::string& path, Bitmap& image, int max_side, unsigned* dots_per_metre);

}  // namespace kv::render

#endif
