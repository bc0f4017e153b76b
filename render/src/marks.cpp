#include "marks.h"

#include <algorithm>
#include <utility>

namespace kv::render {

bool Marks::Fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Ink ink) {
  if (full()) return false;
  const std::int64_t x0 = std::max<std::int64_t>(x, 0), y0 = std::max<std::int64_t>(y, 0);
  const std::int64_t x1 = std::min<std::int64_t>(x + w, max_dots_), y1 = std::min<std::int64_t>(y + h, max_dots_);
  if (w <= 0 || h <= 0 || x0 >= x1 || y0 >= y1) return true;
  marks_.push_back(Mark{static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
                        static_cast<std::int32_t>(x1 - x0), static_cast<std::int32_t>(y1 - y0), ink, nullptr});
  return true;
}

bool Marks::Stamp(std::shared_ptr<const Bitmap> graphic, std::int64_t x, std::int64_t y) {
  if (full()) return false;
  if (!graphic || graphic->empty() || x >= max_dots_ || y >= max_dots_ || x + graphic->width() <= 0 ||
      y + graphic->height() <= 0)
    return true;
  marks_.push_back(
      Mark{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), 0, 0, Ink::kBlack, std::move(graphic)});
  return true;
}

void Marks::Paint(Bitmap& image) const {
  for (const Mark& m : marks_) {
    if (m.graphic)
      image.Stamp(*m.graphic, m.x, m.y);
    else
      image.Fill(m.x, m.y, m.w, m.h, m.ink);
  }
}

bool Frame::Fill(Marks& marks, std::int64_t u, std::int64_t v, std::int64_t w, std::int64_t h, Ink ink) const {
  switch (quarter_turns & 3) {
    case 0:
      return marks.Fill(x + u, y + v, w, h, ink);
    case 1:
      return marks.Fill(x - v - h, y + u, h, w, ink);
    case 2:
      return marks.Fill(x - u - w, y - v - h, w, h, ink);
    default:
      return marks.Fill(x + v, y - u - w, h, w, ink);
  }
}

}  // namespace kv::render
