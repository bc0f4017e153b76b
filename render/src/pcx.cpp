#include "pcx.h"

namespace kv::render {

namespace {

constexpr std::size_t kHeader = 128;

int Get16(const unsigned char* at) { return at[0] | at[1] << 8; }

}  // namespace

std::string DecodePcx(const unsigned char* data, std::size_t size, int max_side, std::size_t max_bytes, Bitmap& out,
                      std::string& notice, const std::atomic<bool>* stop) {
  notice.clear();
  if (size < kHeader || data[0] != 0x0A) return "not a PCX image";
  if (data[2] != 1) return "PCX image not run-length coded";
  if (data[3] != 1 || data[65] != 1) return "PCX image not of one bit per dot in one plane";
  const int width = Get16(data + 8) - Get16(data + 4) + 1;
  const int height = Get16(data + 10) - Get16(data + 6) + 1;
  const int line = Get16(data + 66);
  if (width < 1 || height < 1) return "PCX image of no size";
  if (line < (width + 7) / 8) return "PCX rows shorter than the image is wide";
  if (width > max_side || height > max_side) return "PCX image larger than a label";
  if ((static_cast<std::size_t>(width) + 7) / 8 * static_cast<std::size_t>(height) > max_bytes)
    return "no room left to store a PCX image of " + std::to_string(width) + " x " + std::to_string(height) + " dots";
  if (!out.Reset(width, height, max_side)) return "no memory for the PCX image";

  // The run-length code runs through the rows as one stream of `line` bytes per row; a run may cross
  // from one row into the next.
  const std::size_t total = static_cast<std::size_t>(line) * static_cast<std::size_t>(height);
  std::size_t at = kHeader, n = 0;
  auto put = [&](unsigned char b) {
    const std::size_t y = n / static_cast<std::size_t>(line), xb = n % static_cast<std::size_t>(line);
    ++n;
    if (xb >= out.stride()) return;
    // 0 bits are ink; dots beyond the width stay white.
    unsigned char ink = static_cast<unsigned char>(~b);
    const int rest = width - static_cast<int>(xb * 8);
    if (rest < 8) ink = static_cast<unsigned char>(ink & (0xFF << (8 - rest)));
    out.row(static_cast<int>(y))[xb] = ink;
  };
  for (std::size_t next_look = 0; n < total && at < size;) {
    // A look at `stop` every 64 KiB of the image: well under a millisecond apart.
    if (stop != nullptr && n >= next_look) {
      if (stop->load(std::memory_order_relaxed)) return "stopped";
      next_look = n + 65536;
    }
    const unsigned char b = data[at++];
    if ((b & 0xC0) == 0xC0) {
      if (at >= size) break;
      const unsigned char v = data[at++];
      for (int i = b & 0x3F; i > 0 && n < total; --i) put(v);
    } else {
      put(b);
    }
  }
  if (n < total)
    notice = "PCX data ends after " + std::to_string(n / static_cast<std::size_t>(line)) + " of " +
             std::to_string(height) + " rows";
  return "";
}

}  // namespace kv::render
