// The printer's resident fixed-cell fonts, drawn from a monospaced face through the font layer.
#ifndef KV_RENDER_TEXT_H
#define KV_RENDER_TEXT_H

#include <string_view>

#include "marks.h"

namespace kv::render {

struct Cell {
  int w, h;
};

// The cell of resident font 1 to 5 at 203 or 300 dpi (any other resolution counts as 203).
Cell ResidentCell(int font, int dpi);

struct TextStyle {
  Cell cell;
  int x_factor = 1, y_factor = 1;  // each dot of the cell becomes x_factor x y_factor dots
  bool reverse = false;            // white text on black cells
  bool capitals = false;           // small letters are drawn as capitals
};

// Draws `text`, one byte per cell, from the frame's origin to the right. Returns how many characters
// had no glyph (their cells stay empty, or black when reversed); -1 when the font layer has no face.
int DrawText(const Frame& frame, const TextStyle& style, std::string_view text, Marks& marks);

}  // namespace kv::render

#endif
