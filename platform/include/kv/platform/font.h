// The font layer: FreeType started once for the whole process, fontconfig matches and faces kept, so
// that no font file is opened again for each piece of text. The TrueType text of the library and the
// job renderer's resident printer fonts both draw through it (Linux only).
#ifndef KV_PLATFORM_FONT_H
#define KV_PLATFORM_FONT_H

#include <vector>

namespace kv::plat {

// Draws one character of a monospaced face into a cell of `cell_w` x `cell_h` dots: `ink` receives
// cell_w * cell_h bytes, row by row from the top, 1 where the glyph covers the dot, else 0. The face
// ("monospace" through fontconfig, so DejaVu Sans Mono here) is matched once and kept; the glyph is
// scaled to fit the cell (the face's full height from ascender to descender fills cell_h, its advance
// fits cell_w) and cached per (character, cell size). False (ink left empty) when no face can be had,
// when cell_w or cell_h is below 1 or above 4096, or when the face has no glyph and no fallback
// (or memory runs out).
bool font_cell_glyph(char32_t ch, int cell_w, int cell_h, std::vector<unsigned char>& ink);

}  // namespace kv::plat

#endif
