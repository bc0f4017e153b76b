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

// How a painting ended.
enum class PaintEnd { kDone, kStopped, kOverBudget };

class Marks {
 public:
  Marks(std::size_t limit, int max_dots) : limit_(limit), max_dots_(max_dots) {}

  // Adds a rectangle in label dots; the part outside the largest label is dropped. False when the
  // list is full (the mark is not kept).
  bool Fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Ink ink);
  // Adds a graphic's black dots with its top-left corner at (x, y). `own_bytes` is what the marks alone
  // keep alive (an image made for this mark, not a stored graphic); `held()` sums it until Clear.
  bool Stamp(std::shared_ptr<const Bitmap> graphic, std::int64_t x, std::int64_t y, std::size_t own_bytes = 0);
  void Clear();
  bool full() const { return marks_.size() >= limit_; }
  std::size_t size() const { return marks_.size(); }
  std::size_t held() const { return held_; }

  // Paints every mark onto `image`, a band of rows at a time. It ends early, with the image half
  // painted, as soon as `stop` (when given) is set, or when the dots painted (each band's, plus one per
  // mark) would pass `*budget` (when given), which is lowered by what is painted.
  PaintEnd Paint(Bitmap& image, const std::atomic<bool>* stop = nullptr, std::uint64_t* budget = nullptr) const;

 private:
  // 24 bytes a mark: the graphics are kept beside the list, `graphic` is one more than the index.
  struct Mark {
    std::int32_t x, y, w, h;
    std::uint32_t graphic;
    Ink ink;
  };
  std::vector<Mark> marks_;
  std::vector<std::shared_ptr<const Bitmap>> graphics_;
  std::size_t limit_;
  std::size_t held_ = 0;
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
