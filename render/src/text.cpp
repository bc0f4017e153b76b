#include "text.h"

#include <vector>

#include "kv/platform/font.h"

namespace kv::render {

namespace {

constexpr Cell kCells203[] = {{8, 12}, {10, 16}, {12, 20}, {14, 24}, {32, 48}};
constexpr Cell kCells300[] = {{12, 20}, {16, 28}, {20, 36}, {24, 44}, {48, 80}};

}  // namespace

Cell ResidentCell(int font, int dpi) {
  const int i = font < 1 ? 0 : font > 5 ? 4 : font - 1;
  return dpi == 300 ? kCells300[i] : kCells203[i];
}

int DrawText(const Frame& frame, const TextStyle& style, std::string_view text, Marks& marks) {
  const std::int64_t cw = style.cell.w, ch = style.cell.h, hm = style.x_factor, vm = style.y_factor;
  if (style.reverse) frame.Fill(marks, 0, 0, static_cast<std::int64_t>(text.size()) * cw * hm, ch * vm, Ink::kBlack);
  const Ink ink = style.reverse ? Ink::kWhite : Ink::kBlack;
  std::vector<unsigned char> glyph;
  int missing = 0;
  for (std::size_t i = 0; i < text.size() && !marks.full(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ') continue;
    if (style.capitals && c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    // Bytes are characters of the printer's code page; Latin-1 is the one the face knows.
    if (!kv::plat::font_cell_glyph(static_cast<char32_t>(c), style.cell.w, style.cell.h, glyph)) {
      if (kv::plat::font_cell_glyph(U'M', style.cell.w, style.cell.h, glyph)) {
        ++missing;
        continue;
      }
      return -1;
    }
    const std::int64_t left = static_cast<std::int64_t>(i) * cw * hm;
    for (int y = 0; y < style.cell.h; ++y) {
      const unsigned char* r = glyph.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(style.cell.w);
      for (int x = 0; x < style.cell.w;) {
        if (!r[x]) {
          ++x;
          continue;
        }
        int end = x;
        while (end < style.cell.w && r[end]) ++end;
        frame.Fill(marks, left + x * hm, y * vm, (end - x) * hm, vm, ink);
        x = end;
      }
    }
  }
  return missing;
}

}  // namespace kv::render
