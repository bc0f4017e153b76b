#include "gradient.h"

namespace kv::tool {

namespace {
constexpr double kStep = 1.0;  // the span is walked in steps of one row
}  // namespace

int GradientChannel(int from, int to, int y, int height) {
  if (height < 1) return to;
  if (y < 0) y = 0;  // rows outside the background take the colour of the nearest row
  if (y >= height) y = height - 1;
  const int n = static_cast<int>(height / kStep);
  const int k = y / n;  // 0 for every row of the background
  const double value = from - (y - (k + 1.0) * n) * 2.0 * (to - from) / n;
  const int result = static_cast<int>(value);  // truncated toward zero
  return result > to ? to : result;
}

Rgb BackgroundRow(int y, int height) {
  return Rgb{GradientChannel(173, 221, y, height), GradientChannel(207, 235, y, height),
             GradientChannel(230, 245, y, height)};
}

}  // namespace kv::tool
