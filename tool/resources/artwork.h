// The tool's pictures, drawn from code so that both front ends show the same pixels: the program's
// icon (resource 128) and the two status lamps (141 green, on line; 142 red, off line), 31 by 31.
#ifndef KV_TOOL_ARTWORK_H
#define KV_TOOL_ARTWORK_H

#include <cstdint>
#include <vector>

namespace kv::tool {

// A picture in 32-bit pixels 0xAARRGGBB, rows top first.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // rows top first

  // The pixel at column x of row y.
  std::uint32_t& At(int x, int y) { return pixels[Index(x, y)]; }
  std::uint32_t At(int x, int y) const { return pixels[Index(x, y)]; }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
  }
};

inline constexpr int kLampSize = 31;

// The status lamp: a shaded disc, green for on line, red for off line, on a transparent ground.
Picture LampPicture(bool on_line);

// The program's icon at `size` pixels square: a label with a bar code in front of a printer.
Picture IconPicture(int size);

}  // namespace kv::tool

#endif
