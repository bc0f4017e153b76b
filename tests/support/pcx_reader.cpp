#include "pcx_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kvtest {

int Bitmap::DarkCount() const {
  int n = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) n += Dark(x, y) ? 1 : 0;
  return n;
}

void Bitmap::DarkBox(int* left, int* top, int* right, int* bottom) const {
  *left = width, *top = height, *right = 0, *bottom = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (Dark(x, y)) {
        if (x < *left) *left = x;
        if (y < *top) *top = y;
        if (x + 1 > *right) *right = x + 1;
        if (y + 1 > *bottom) *bottom = y + 1;
      }
  if (*right == 0) *left = *top = 0;
}

Bitmap DecodePcx(const std::string& f) {
  Bitmap image;
  auto u8 = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(f[at])); };
  auto u16 = [&](std::size_t at) { return static_cast<int>(u8(at) | (u8(at + 1) << 8)); };
  if (f.size() < 128 || u8(0) != 0x0A || u8(2) != 1 || u8(3) != 1 || u8(65) != 1) {
    ADD_FAILURE() << "not a one-bit run-length PCX file of one plane";
    return image;
  }
  image.width = u16(8) - u16(4) + 1;
  image.height = u16(10) - u16(6) + 1;
  const int line = u16(66);
  EXPECT_EQ(line * 8, image.width) << "bytes per line";
  image.bits.assign(static_cast<std::size_t>(line) * static_cast<std::size_t>(image.height), 0);
  std::size_t at = 128;
  for (std::size_t out = 0; out < image.bits.size();) {
    if (at >= f.size()) {
      ADD_FAILURE() << "the encoded rows end early";
      return image;
    }
    unsigned b = u8(at++);
    std::size_t run = 1;
    if ((b & 0xC0) == 0xC0) {
      run = b & 0x3F;
      b = at < f.size() ? u8(at++) : 0;
      EXPECT_GT(run, 0u) << "a run of nothing";
    }
    for (; run > 0 && out < image.bits.size(); --run) image.bits[out++] = static_cast<std::uint8_t>(b);
    EXPECT_EQ(run, 0u) << "a run crosses the end of the image";
  }
  EXPECT_EQ(at, f.size()) << "bytes after the last row";
  return image;
}

std::vector<GraphicsCommand> ReadGraphicsCommands(const std::string& job) {
  std::vector<GraphicsCommand> commands;
  std::size_t at = 0;
  auto quoted = [&](std::size_t from, std::size_t* end) {
    std::size_t close = job.find('"', from + 1);
    *end = close + 1;
    return job.substr(from + 1, close - from - 1);
  };
  while (at < job.size()) {
    const std::size_t eol = job.find("\r\n", at);
    if (eol == std::string::npos) break;
    GraphicsCommand c;
    c.kind = job.substr(at, 2);
    std::size_t end = 0;
    if (c.kind == "GK") {
      c.name = quoted(at + 2, &end);
    } else if (c.kind == "GG") {
      const std::size_t q = job.find('"', at);
      c.args = job.substr(at + 2, q - at - 3);
      c.name = quoted(q, &end);
    } else if (c.kind == "GM") {
      c.name = quoted(at + 2, &end);
      const std::size_t header_end = job.find("\r\n", end);
      const std::size_t length = std::strtoul(job.substr(end, header_end - end).c_str(), nullptr, 10);
      c.file = job.substr(header_end + 2, length);
      commands.push_back(c);
      at = header_end + 2 + length;
      continue;
    }
    commands.push_back(c);
    at = eol + 2;
  }
  return commands;
}

}  // namespace kvtest
