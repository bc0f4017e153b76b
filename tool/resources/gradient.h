// The main dialog's background: a vertical colour gradient, light in the upper half and falling
// linearly towards the bottom row.
#ifndef KV_TOOL_GRADIENT_H
#define KV_TOOL_GRADIENT_H

namespace kv::tool {

struct Rgb {
  int red, green, blue;
};

// One channel of row y (0 to height - 1) of a background `height` rows high, going from `to` in the
// upper half down to about `from` in the last row. A height below 1 has no rows: the result is `to`.
int GradientChannel(int from, int to, int y, int height);

// The colour of row y: red from 173 to 221, green from 207 to 235, blue from 230 to 245.
Rgb BackgroundRow(int y, int height);

}  // namespace kv::tool

#endif
