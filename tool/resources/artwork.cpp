#include "artwork.h"

#include <algorithm>
#include <cmath>

namespace kv::tool {

namespace {

std::uint32_t Argb(int a, int r, int g, int b) {
  auto c = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
  return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

// How much of the pixel (x, y) lies inside a disc, sampled 4 by 4.
double DiscCover(int x, int y, double cx, double cy, double radius) {
  int inside = 0;
  for (int sy = 0; sy < 4; ++sy)
    for (int sx = 0; sx < 4; ++sx) {
      const double dx = x + (sx + 0.5) / 4 - cx, dy = y + (sy + 0.5) / 4 - cy;
      inside += dx * dx + dy * dy <= radius * radius ? 1 : 0;
    }
  return inside / 16.0;
}

}  // namespace

Picture LampPicture(bool on_line) {
  Picture p;
  p.width = p.height = kLampSize;
  p.pixels.assign(std::size_t{kLampSize} * kLampSize, 0);
  const double c = kLampSize / 2.0, radius = kLampSize / 2.0 - 1.0;
  // The lamp's colour, lit from the upper left: a light spot fading to the rim.
  const int base[3] = {on_line ? 20 : 200, on_line ? 170 : 30, on_line ? 40 : 30};
  for (int y = 0; y < kLampSize; ++y)
    for (int x = 0; x < kLampSize; ++x) {
      const double rim = DiscCover(x, y, c, c, radius + 1.0);
      if (rim <= 0) continue;
      const double body = DiscCover(x, y, c, c, radius - 0.5);
      const double hx = x + 0.5 - (c - radius / 3), hy = y + 0.5 - (c - radius / 3);
      const double light = std::max(0.0, 1.0 - std::sqrt(hx * hx + hy * hy) / radius);
      const double shade = 0.75 + 0.25 * light;
      int r = static_cast<int>(base[0] * shade + 255 * light * light * 0.8);
      int g = static_cast<int>(base[1] * shade + 255 * light * light * 0.8);
      int b = static_cast<int>(base[2] * shade + 255 * light * light * 0.8);
      // A dark ring at the rim.
      r = static_cast<int>(r * body + 40 * (1 - body));
      g = static_cast<int>(g * body + 40 * (1 - body));
      b = static_cast<int>(b * body + 40 * (1 - body));
      p.At(x, y) = Argb(static_cast<int>(255 * rim), r, g, b);
    }
  return p;
}

Picture IconPicture(int size) {
  Picture p;
  if (size <= 0) return p;
  p.width = p.height = size;
  p.pixels.assign(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), 0);
  auto fill = [&](double x0, double y0, double x1, double y1, std::uint32_t colour) {
    const int ax = static_cast<int>(x0 * size), ay = static_cast<int>(y0 * size);
    const int bx = static_cast<int>(x1 * size), by = static_cast<int>(y1 * size);
    for (int y = std::max(ay, 0); y < std::min(by, size); ++y)
      for (int x = std::max(ax, 0); x < std::min(bx, size); ++x) p.At(x, y) = colour;
  };
  const std::uint32_t body = Argb(255, 60, 70, 90), slot = Argb(255, 25, 30, 40), paper = Argb(255, 250, 250, 245),
                      ink = Argb(255, 20, 20, 20), accent = Argb(255, 40, 140, 220);
  fill(0.06, 0.30, 0.94, 0.78, body);    // the printer
  fill(0.14, 0.40, 0.86, 0.46, slot);    // its paper slot
  fill(0.22, 0.06, 0.78, 0.62, paper);   // the label coming out of it
  fill(0.22, 0.06, 0.78, 0.14, accent);  // the label's heading
  const double bars[] = {0.27, 0.31, 0.36, 0.38, 0.44, 0.49, 0.52, 0.58, 0.62, 0.66, 0.70};
  for (double x : bars) fill(x, 0.20, x + 0.025, 0.40, ink);
  fill(0.78, 0.64, 0.86, 0.70, Argb(255, 60, 210, 80));  // the power lamp
  return p;
}

}  // namespace kv::tool
