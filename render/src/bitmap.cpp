#include "kv/render/bitmap.h"

#include <algorithm>
#include <new>

namespace kv::render {

namespace {

// The bits of one byte that lie in [from, to) of its eight dots, the leftmost dot being bit 7.
std::uint8_t Mask(int from, int to) { return static_cast<std::uint8_t>((0xFFu >> from) & ~(0xFFu >> to)); }

void Apply(std::uint8_t& b, std::uint8_t mask, Ink ink) {
  switch (ink) {
    case Ink::kBlack:
      b = static_cast<std::uint8_t>(b | mask);
      break;
    case Ink::kWhite:
      b = static_cast<std::uint8_t>(b & ~mask);
      break;
    case Ink::kXor:
      b = static_cast<std::uint8_t>(b ^ mask);
      break;
  }
}

std::uint8_t Reverse(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

}  // namespace

bool Bitmap::Reset(int width, int height, int max_side) {
  width_ = height_ = 0;
  stride_ = 0;
  bits_.clear();
  if (width < 1 || height < 1 || width > max_side || height > max_side) return false;
  const std::size_t stride = (static_cast<std::size_t>(width) + 7) / 8;
  try {
    bits_.assign(stride * static_cast<std::size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  width_ = width;
  height_ = height;
  stride_ = stride;
  return true;
}

void Bitmap::Fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Ink ink) {
  if (w <= 0 || h <= 0) return;
  const std::int64_t x0 = std::max<std::int64_t>(x, 0), y0 = std::max<std::int64_t>(y, 0);
  const std::int64_t x1 = std::min<std::int64_t>(x + w, width_), y1 = std::min<std::int64_t>(y + h, height_);
  if (x0 >= x1 || y0 >= y1) return;
  const int first = static_cast<int>(x0 >> 3), last = static_cast<int>((x1 - 1) >> 3);
  for (std::int64_t yy = y0; yy < y1; ++yy) {
    std::uint8_t* r = row(static_cast<int>(yy));
    if (first == last) {
      Apply(r[first], Mask(static_cast<int>(x0 & 7), static_cast<int>(((x1 - 1) & 7) + 1)), ink);
      continue;
    }
    Apply(r[first], Mask(static_cast<int>(x0 & 7), 8), ink);
    for (int b = first + 1; b < last; ++b) Apply(r[b], 0xFF, ink);
    Apply(r[last], Mask(0, static_cast<int>(((x1 - 1) & 7) + 1)), ink);
  }
}

void Bitmap::Stamp(const Bitmap& src, std::int64_t x, std::int64_t y) { Stamp(src, x, y, 0, height_); }

void Bitmap::Stamp(const Bitmap& src, std::int64_t x, std::int64_t y, std::int64_t from_row, std::int64_t to_row) {
  const std::int64_t y0 = std::max<std::int64_t>({y, from_row, 0});
  const std::int64_t y1 = std::min<std::int64_t>({y + src.height_, to_row, height_});
  const std::int64_t x0 = std::max<std::int64_t>(x, 0), x1 = std::min<std::int64_t>(x + src.width_, width_);
  if (x0 >= x1 || y0 >= y1) return;
  for (std::int64_t yy = y0; yy < y1; ++yy) {
    const int sy = static_cast<int>(yy - y);
    for (std::int64_t xx = x0; xx < x1; ++xx) {
      if (src.Black(static_cast<int>(xx - x), sy)) SetBlack(static_cast<int>(xx), static_cast<int>(yy));
    }
  }
}

void Bitmap::Rotate180() {
  if (bits_.empty()) return;
  // Reverse the whole bit string, then shift each row left by the padding it now carries in front.
  std::reverse(bits_.begin(), bits_.end());
  for (auto& b : bits_) b = Reverse(b);
  const int pad = static_cast<int>(stride_ * 8 - static_cast<std::size_t>(width_));
  if (pad == 0) return;
  for (int y = 0; y < height_; ++y) {
    std::uint8_t* r = row(y);
    for (std::size_t i = 0; i < stride_; ++i) {
      const unsigned next = i + 1 < stride_ ? r[i + 1] : 0u;
      r[i] = static_cast<std::uint8_t>((static_cast<unsigned>(r[i]) << pad) | (next >> (8 - pad)));
    }
  }
}

std::size_t Bitmap::BlackCount() const {
  std::size_t n = 0;
  for (std::uint8_t b : bits_) n += static_cast<std::size_t>(__builtin_popcount(b));
  return n;
}

}  // namespace kv::render
