// A one-bit label image: the surface that the job renderer paints and the PNG writer reads.
#ifndef KV_RENDER_BITMAP_H
#define KV_RENDER_BITMAP_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv::render {

// How a mark changes the dots under it.
enum class Ink { kBlack, kWhite, kXor };

// Rows top first, `stride()` bytes each, the leftmost dot in the top bit of its byte; a set bit is a
// black dot. A new image is white.
class Bitmap {
 public:
  // Makes a white image of `width` x `height` dots. False (and the image empty) when either side is
  // below 1 or above `max_side`, or when memory cannot be had.
  bool Reset(int width, int height, int max_side);

  int width() const { return width_; }
  int height() const { return height_; }
  std::size_t stride() const { return stride_; }
  bool empty() const { return bits_.empty(); }
  const std::uint8_t* row(int y) const { return bits_.data() + static_cast<std::size_t>(y) * stride_; }
  std::uint8_t* row(int y) { return bits_.data() + static_cast<std::size_t>(y) * stride_; }

  bool Black(int x, int y) const { return (row(y)[x >> 3] & (0x80u >> (x & 7))) != 0; }
  void SetBlack(int x, int y) { row(y)[x >> 3] = static_cast<std::uint8_t>(row(y)[x >> 3] | (0x80u >> (x & 7))); }

  // Applies `ink` to the part of the rectangle that lies inside the image; any values are safe.
  void Fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Ink ink);
  // Makes every dot black that is black in `src` placed with its top-left corner at (x, y).
  void Stamp(const Bitmap& src, std::int64_t x, std::int64_t y);
  // The same, for the image rows [from_row, to_row) only.
  void Stamp(const Bitmap& src, std::int64_t x, std::int64_t y, std::int64_t from_row, std::int64_t to_row);
  // Turns the image by half a turn, two rows at a time; false, with the image half turned, as soon as
  // `stop` (when given) is set.
  bool Rotate180(const std::atomic<bool>* stop = nullptr);
  std::size_t BlackCount() const;

  bool operator==(const Bitmap& other) const {
    return width_ == other.width_ && height_ == other.height_ && bits_ == other.bits_;
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> bits_;
};

}  // namespace kv::render

#endif
