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
                        static_cast<std::int32_t>(x1 - x0), static_cast<std::int32_t>(y1 - y0), 0, ink});
  return true;
}

bool Marks::Stamp(std::shared_ptr<const Bitmap> graphic, std::int64_t x, std::int64_t y, std::size_t own_bytes) {
  if (full()) return false;
  if (!graphic || graphic->empty() || x >= max_dots_ || y >= max_dots_ || x + graphic->width() <= 0 ||
      y + graphic->height() <= 0)
    return true;
  // A graphic placed again and again is kept once.
  if (graphics_.empty() || graphics_.back() != graphic) graphics_.push_back(std::move(graphic));
  marks_.push_back(Mark{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), 0, 0,
                        static_cast<std::uint32_t>(graphics_.size()), Ink::kBlack});
  held_ += own_bytes;
  return true;
}

void Marks::Clear() {
  marks_.clear();
  graphics_.clear();
  held_ = 0;
}

PaintEnd Marks::Paint(Bitmap& image, const std::atomic<bool>* stop, std::uint64_t* budget) const {
  // A band of at most 512 rows of 32768 dots is 2 MiB of image: a few milliseconds between two looks at
  // `stop`.
  constexpr std::int64_t kBand = 512;
  for (const Mark& m : marks_) {
    const Bitmap* graphic = m.graphic != 0 ? graphics_[m.graphic - 1].get() : nullptr;
    const std::int64_t w = graphic ? graphic->width() : m.w, h = graphic ? graphic->height() : m.h;
    const std::int64_t top = std::max<std::int64_t>(m.y, 0), bottom = std::min<std::int64_t>(m.y + h, image.height());
    const std::int64_t across =
        std::max<std::int64_t>(0, std::min<std::int64_t>(m.x + w, image.width()) - std::max<std::int64_t>(m.x, 0));
    if (budget != nullptr) {
      if (*budget == 0) return PaintEnd::kOverBudget;
      --*budget;
    }
    for (std::int64_t from = top; from < bottom && across > 0; from += kBand) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) return PaintEnd::kStopped;
      const std::int64_t to = std::min(from + kBand, bottom);
      const auto dots = static_cast<std::uint64_t>(across) * static_cast<std::uint64_t>(to - from);
      if (budget != nullptr) {
        if (*budget < dots) return PaintEnd::kOverBudget;
        *budget -= dots;
      }
      if (graphic)
        image.Stamp(*graphic, m.x, m.y, from, to);
      else
        image.Fill(m.x, from, m.w, to - from, m.ink);
    }
  }
  return stop != nullptr && stop->load(std::memory_order_relaxed) ? PaintEnd::kStopped : PaintEnd::kDone;
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
