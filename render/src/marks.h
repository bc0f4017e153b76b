// What one label image holds until it is printed: a list of marks (filled rectangles and stored
// graphics placed on the label), painted onto a bitmap of the label's size when a print command comes.
// Keeping marks rather than dots lets the label size be set after the first drawing command, as the
// library's jobs do.
#ifndef KV_RENDER_MARKS_H
#define KV_RENDER_MARKS_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "kv/render/bitmap.h"

namespace kv::render {

class Marks {
 public:
  Marks(std::size_t limit, int max_dots) : limit_(limit), max_dots_(max_dots) {}

  // Adds a rectangle in label dots; the part outside the largest label is dropped. False when the
  // list is full (the mark is not kept).
  bool Fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Ink ink);
  // Adds a stored graphic's black dots with its top-left corner at (x, y).
  bool Stamp(std::shared_ptr<const Bitmap> graphic, std::int64_t x, std::int64_t y);
  void Clear() { marks_.clear(); }
  bool full() const { return marks_.size() >= limit_; }
  std::size_t size() const { return marks_.size(); }

  // Paints every mark onto `image`, a band of rows at a time; false, with the image half painted, as
  // soon as `stop` (when given) is set.
  bool Paint(Bitmap& image, const std::atomic<bool>* stop = nullptr) const;

 private:
  struct Mark {
    std::int32_t x, y, w, h;
    Ink ink;
    std::shared_ptr<const Bitmap> graphic;
  };
  std::vector<Mark> marks_;
  std::size_t limit_;
  int max_dots_;
};

// An element's own frame: local dots (u to the right, v down) placed with their origin at (x, y) on the
// label and turned about that point by `quarter_turns` x 90 degrees clockwise.
struct Frame {
  std::int64_t x = 0, y = 0;
  int quarter_turns = 0;

  // Adds the local rectangle [u, u + w) x [v, v + h) to `marks` where the frame puts it.
  bool Fill(Marks& marks, std::int64_t u, std::int64_t v, std::int64_t w, std::int64_t h, Ink ink) const;
};

}  // namespace kv::render

#endif
