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

bool Marks::Paint(Bitmap& image, const std::atomic<bool>* stop) const {
  // A band of at most 512 rows of 32768 dots is 2 MiB of image: a few milliseconds between two looks at
  // `stop`.
  constexpr std::int64_t kBand = 512;
  for (const Mark& m : marks_) {
    const std::int64_t top = std::max<std::int64_t>(m.y, 0);
    const std::int64_t bottom = std::min<std::int64_t>(m.y + (m.graphic ? m.graphic->height() : m.h), image.height());
    for (std::int64_t from = top; from < bottom; from += kBand) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
      const std::int64_t to = std::min(from + kBand, bottom);
      if (m.graphic)
        image.Stamp(*m.graphic, m.x, m.y, from, to);
      else
        image.Fill(m.x, from, m.w, to - from, m.ink);
    }
  }
  return stop == nullptr || !stop->load(std::memory_order_relaxed);
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
