// Reads back the graphics commands in a job (deletes, downloads with their PCX images, placements).
#ifndef KV_TESTS_PCX_READER_H
#define KV_TESTS_PCX_READER_H

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

// A one-bit image: rows top first, width / 8 bytes each, the leftmost pixel in the top bit, 0 = ink.
struct Bitmap {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bits;
  bool Dark(int x, int y) const {
    const std::size_t row = static_cast<std::size_t>(width / 8);
    return (bits[static_cast<std::size_t>(y) * row + static_cast<std::size_t>(x / 8)] & (0x80 >> (x % 8))) == 0;
  }
  int DarkCount() const;
  // The smallest box holding every dark pixel: left, top, right, bottom (exclusive); all 0 when none.
  void DarkBox(int* left, int* top, int* right, int* bottom) const;
};

// Decodes a PCX file of one bit per pixel; fails the test on anything malformed.
Bitmap DecodePcx(const std::string& file);

// The graphics commands of a job in order: "GK name", "GM name" (with its file), "GG x,y name".
struct GraphicsCommand {
  std::string kind;  // "GK", "GM", "GG"
  std::string name;
  std::string args;  // the numbers of "GG", as written
  std::string file;  // the downloaded file of "GM"
};
std::vector<GraphicsCommand> ReadGraphicsCommands(const std::string& job);

}  // namespace kvtest

#endif
