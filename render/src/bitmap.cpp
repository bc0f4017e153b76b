#include "kv/render/bitmap.h"

#include <algorithm>
#include <cstring>
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

std::uint64_t LoadWord(const std::uint8_t* at) {
  std::uint64_t w;
  std::memcpy(&w, at, sizeof w);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  return w;
}

void StoreWord(std::uint8_t* at, std::uint64_t w) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  std::memcpy(at, &w, sizeof w);
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
    if (ink == Ink::kXor) {
      for (int b = first + 1; b < last; ++b) Apply(r[b], 0xFF, ink);
    } else if (last > first + 1) {
      std::memset(r + first + 1, ink == Ink::kBlack ? 0xFF : 0, static_cast<std::size_t>(last - first - 1));
    }
    Apply(r[last], Mask(0, static_cast<int>(((x1 - 1) & 7) + 1)), ink);
  }
}

void Bitmap::Stamp(const Bitmap& src, std::int64_t x, std::int64_t y) { Stamp(src, x, y, 0, height_); }

void Bitmap::Stamp(const Bitmap& src, std::int64_t x, std::int64_t y, std::int64_t from_row, std::int64_t to_row) {
  const std::int64_t y0 = std::max<std::int64_t>({y, from_row, 0});
  const std::int64_t y1 = std::min<std::int64_t>({y + src.height_, to_row, height_});
  const std::int64_t x0 = std::max<std::int64_t>(x, 0), x1 = std::min<std::int64_t>(x + src.width_, width_);
  if (x0 >= x1 || y0 >= y1) return;
  // Whole bytes at a time. Source byte m covers image dots x + 8m to x + 8m + 7, so image byte b takes
  // the last dots of source byte m = floor((8b - x) / 8) and the first dots of byte m + 1.
  const std::int64_t first = x0 >> 3, last = (x1 - 1) >> 3;
  const unsigned shift = static_cast<unsigned>(x & 7);
  const auto stride = static_cast<std::int64_t>(src.stride_);
  for (std::int64_t yy = y0; yy < y1; ++yy) {
    const std::uint8_t* s = src.row(static_cast<int>(yy - y));
    std::uint8_t* d = row(static_cast<int>(yy));
    auto take = [&](std::int64_t b) {
      const std::int64_t at = b * 8 - x;  // at least -7
      const std::int64_t m = at >= 0 ? at / 8 : -1;
      const unsigned left = m >= 0 && m < stride ? s[m] : 0u;
      const unsigned right = m + 1 < stride ? s[m + 1] : 0u;
      return shift == 0 ? left : (left << (8 - shift)) | (right >> shift);
    };
    // The first and last bytes take only the dots inside [x0, x1), which lies inside the source's width.
    d[first] = static_cast<std::uint8_t>(
        d[first] |
        (take(first) & Mask(static_cast<int>(x0 & 7), first == last ? static_cast<int>(((x1 - 1) & 7) + 1) : 8)));
    if (first == last) continue;
    d[last] = static_cast<std::uint8_t>(d[last] | (take(last) & Mask(0, static_cast<int>(((x1 - 1) & 7) + 1))));
    // Between them every source byte needed is inside the source row.
    const std::uint8_t* from = s + ((first + 1) * 8 - x) / 8;  // 8 (first + 1) - x is above 0 here
    std::int64_t b = first + 1;
    // Eight bytes at a time as one big-endian word (the leftmost dot in its top bit), then byte by byte.
    for (; b + 8 <= last; b += 8, from += 8) {
      std::uint64_t word = LoadWord(from);
      if (shift != 0) word = (word << (8 - shift)) | (from[8] >> shift);
      StoreWord(d + b, LoadWord(d + b) | word);
    }
    for (; b < last; ++b, ++from)
      d[b] = static_cast<std::uint8_t>(d[b] | (shift == 0 ? *from : (from[0] << (8 - shift)) | (from[1] >> shift)));
  }
}

bool Bitmap::Rotate180(const std::atomic<bool>* stop) {
  if (bits_.empty()) return true;
  // A row turned is its bytes in reverse order, each byte's bits reversed, then shifted left by the
  // padding that now stands in front.
  const int pad = static_cast<int>(stride_ * 8 - static_cast<std::size_t>(width_));
  std::vector<std::uint8_t> upper(stride_), lower(stride_);
  auto turned = [&](const std::uint8_t* from, std::uint8_t* to) {
    for (std::size_t i = 0; i < stride_; ++i) to[i] = Reverse(from[stride_ - 1 - i]);
    if (pad == 0) return;
    for (std::size_t i = 0; i < stride_; ++i) {
      const unsigned next = i + 1 < stride_ ? to[i + 1] : 0u;
      to[i] = static_cast<std::uint8_t>((static_cast<unsigned>(to[i]) << pad) | (next >> (8 - pad)));
    }
  };
  for (int top = 0, bottom = height_ - 1; top <= bottom; ++top, --bottom) {
    if (stop != nullptr && top % 256 == 0 && stop->load(std::memory_order_relaxed)) return false;
    turned(row(top), upper.data());
    turned(row(bottom), lower.data());
    std::memcpy(row(top), lower.data(), stride_);
    std::memcpy(row(bottom), upper.data(), stride_);
  }
  return true;
}

std::size_t Bitmap::BlackCount() const {
  // Eight bytes at a time; the rest one by one.
  std::size_t n = 0, i = 0;
  for (; i + 8 <= bits_.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bits_.data() + i, sizeof word);
    n += static_cast<std::size_t>(__builtin_popcountll(word));
  }
  for (; i < bits_.size(); ++i) n += static_cast<std::size_t>(__builtin_popcount(bits_[i]));
  return n;
}

}  // namespace kv::render
