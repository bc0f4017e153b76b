// Text in a TrueType font through fontconfig and FreeType, with the meanings that a Windows font
// request has on a printer's device context: the face is matched by name (fontconfig substitutes an
// absent one, preferring a font that can show every character of the text), a positive height is the
// character cell (ascent plus descent) in dots, a width sets the average character width, weight and
// italic pick a face or are made up (emboldened, slanted), underline and strike-out use the font's own
// position and thickness, and the escapement turns the text counter-clockwise. The reference printer
// only has to exist in the spooler: dots are the unit throughout.
#include "kv/platform/text_raster.h"

#include "system.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "kv/platform/spooler.h"

namespace kv::plat {

struct TextRaster {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FontSpec font = {};
  FT_Matrix matrix = {0x10000, 0, 0, 0x10000};  // average-width scaling and made-up slant
  bool embolden = false;                        // a bold weight on a face that has none
  int ascent = 0, cell = 0;                     // dots
  int underline_top = 0, underline_rows = 0;    // rows from the top of the cell
  int strike_top = 0, strike_rows = 0;
};

namespace {

constexpr int kDefaultCell = 34;      // the cell height of a height of 0: 12 points at 203 dots per inch
constexpr int kLargestCell = 16384;   // beyond this no glyph is rendered
constexpr FT_Fixed kSlant = 0x0366A;  // the shear of a made-up italic, as FreeType's oblique

// The code points of a UTF-8 text; a byte that begins no valid sequence stands for itself.
std::vector<FT_ULong> CodePoints(const char* text) {
  std::vector<FT_ULong> out;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (*s != 0) {
    const unsigned char c = *s;
    const int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
    FT_ULong cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
    int i = 1;
    for (; i <= extra && (s[i] & 0xC0) == 0x80; ++i) cp = (cp << 6) | (s[i] & 0x3F);
    if (i <= extra) {  // cut short: the lead byte alone
      cp = c;
      i = 1;
    }
    out.push_back(cp);
    s += i;
  }
  return out;
}

int Round26(FT_Pos v) { return static_cast<int>((v + 32) >> 6); }

// Finds the font file for the request: the named face when it can show the text, else the closest
// font that can. False when fontconfig finds nothing at all.
bool MatchFont(const FontSpec& font, const std::vector<FT_ULong>& text, std::string* file, int* index, int* weight,
               int* slant) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  FcCharSet* chars = FcCharSetCreate();
  if (pattern == nullptr || chars == nullptr) {
    if (pattern != nullptr) FcPatternDestroy(pattern);
    if (chars != nullptr) FcCharSetDestroy(chars);
    return false;
  }
  for (FT_ULong cp : text) FcCharSetAddChar(chars, static_cast<FcChar32>(cp));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.face));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(font.weight));
  FcPatternAddInteger(pattern, FC_SLANT, font.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcPatternAddCharSet(pattern, FC_CHARSET, chars);
  FcCharSetDestroy(chars);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* path = nullptr;
  const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  if (found) *file = reinterpret_cast<const char*>(path);
  if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
  if (FcPatternGetInteger(match, FC_WEIGHT, 0, weight) != FcResultMatch) *weight = FC_WEIGHT_REGULAR;
  if (FcPatternGetInteger(match, FC_SLANT, 0, slant) != FcResultMatch) *slant = FC_SLANT_ROMAN;
  FcPatternDestroy(match);
  return found;
}

// Sizes the face as the request says and works out the cell, the lines and the made-up styles.
bool SizeFace(TextRaster* r, int matched_weight, int matched_slant) {
  FT_Face face = r->face;
  const FontSpec& font = r->font;
  if (std::abs(font.height) > kLargestCell || font.width < 0 || font.width > kLargestCell) return false;
  FT_Size_RequestRec request = {};
  request.type = font.height >= 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
  request.height = static_cast<FT_Long>(font.height != 0 ? std::abs(font.height) : kDefaultCell) * 64;
  if (FT_Request_Size(face, &request) != 0) return false;

  const FT_Size_Metrics& m = face->size->metrics;
  r->ascent = Round26(m.ascender);
  r->cell = font.height > 0 ? font.height : Round26(m.ascender - m.descender);
  if (r->cell <= 0) return false;

  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  auto to_dots = [&](FT_Long units, FT_Fixed scale) { return static_cast<double>(FT_MulFix(units, scale)) / 64.0; };
  if (font.width > 0) {
    const double average = os2 != nullptr && os2->xAvgCharWidth > 0 ? to_dots(os2->xAvgCharWidth, m.x_scale)
                                                                    : to_dots(face->max_advance_width, m.x_scale) / 2;
    if (average > 0) r->matrix.xx = static_cast<FT_Fixed>(std::lround(65536.0 * font.width / average));
  }
  if (font.italic && matched_slant == FC_SLANT_ROMAN) r->matrix.xy = kSlant;
  r->embolden = font.weight >= 600 && matched_weight < FC_WEIGHT_DEMIBOLD;

  // The font's own lines: the underline's centre and thickness below the baseline, the strike-out's
  // top and thickness above it. Fonts without them get lines in the usual places.
  const double thickness =
      face->underline_thickness > 0 ? to_dots(face->underline_thickness, m.y_scale) : r->cell / 20.0;
  r->underline_rows = std::max(1, static_cast<int>(std::lround(thickness)));
  const double below = face->underline_position != 0 ? -to_dots(face->underline_position, m.y_scale) : r->cell / 10.0;
  r->underline_top = r->ascent + static_cast<int>(std::lround(below - thickness / 2));
  const double strike = os2 != nullptr && os2->yStrikeoutSize > 0 ? to_dots(os2->yStrikeoutSize, m.y_scale) : thickness;
  const double above =
      os2 != nullptr && os2->yStrikeoutPosition > 0 ? to_dots(os2->yStrikeoutPosition, m.y_scale) : r->ascent / 3.0;
  r->strike_rows = std::max(1, static_cast<int>(std::lround(strike)));
  r->strike_top = r->ascent - static_cast<int>(std::lround(above));
  return true;
}

// Loads one glyph with the request's transformation and made-up weight; false when it has none.
bool LoadGlyph(TextRaster* r, FT_ULong cp, bool render) {
  FT_Set_Transform(r->face, &r->matrix, nullptr);
  if (FT_Load_Char(r->face, cp, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0) return false;
  if (r->embolden) FT_GlyphSlot_Embolden(r->face->glyph);
  return !render || FT_Render_Glyph(r->face->glyph, FT_RENDER_MODE_MONO) == 0;
}

// Clears the pixel at (x, y) of the image, when it lies inside.
void Darken(unsigned char* bits, int width, int height, int x, int y) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  bits[static_cast<std::size_t>(y) * static_cast<std::size_t>(width / 8) + static_cast<std::size_t>(x / 8)] &=
      static_cast<unsigned char>(~(0x80u >> (x % 8)));
}

}  // namespace

TextRaster* sys::raster_open(const char* reference_printer, const FontSpec& font, const char* text) {
  SpoolHandle printer = spool_open(reference_printer);
  if (printer == nullptr) return nullptr;
  spool_close(printer);
  auto* r = new (std::nothrow) TextRaster;
  if (r == nullptr) return nullptr;
  r->font = font;
  std::string file;
  int index = 0, weight = 0, slant = 0;
  // Without a face the raster exists, but measures and draws nothing: no drawing surface.
  if (font.face != nullptr && text != nullptr && FT_Init_FreeType(&r->library) == 0 &&
      MatchFont(font, CodePoints(text), &file, &index, &weight, &slant) &&
      FT_New_Face(r->library, file.c_str(), index, &r->face) == 0 && !SizeFace(r, weight, slant)) {
    FT_Done_Face(r->face);
    r->face = nullptr;
  }
  return r;
}

bool raster_measure(TextRaster* r, const char* text, int* cx, int* cy) {
  if (r == nullptr || r->face == nullptr || text == nullptr || cx == nullptr || cy == nullptr) return false;
  FT_Pos pen = 0;
  for (FT_ULong cp : CodePoints(text))
    if (LoadGlyph(r, cp, false)) pen += r->face->glyph->advance.x;
  *cx = static_cast<int>((pen + 63) >> 6);
  *cy = r->cell;
  return true;
}

bool sys::raster_draw(TextRaster* r, const char* text, int width, int height, int x, int y, unsigned char* bits) {
  int cx = 0, cy = 0;
  if (bits == nullptr || width % 32 != 0 || !raster_measure(r, text, &cx, &cy)) return false;
  // The text upright in its own cell first, one byte a pixel; then turned into the image.
  std::vector<unsigned char> upright;
  try {
    upright.assign(static_cast<std::size_t>(cx) * static_cast<std::size_t>(cy), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  auto mark = [&](int u, int v) {
    if (u >= 0 && v >= 0 && u < cx && v < cy)
      upright[static_cast<std::size_t>(v) * static_cast<std::size_t>(cx) + static_cast<std::size_t>(u)] = 1;
  };
  FT_Pos pen = 0;
  for (FT_ULong cp : CodePoints(text)) {
    if (!LoadGlyph(r, cp, true)) continue;
    const FT_GlyphSlot g = r->face->glyph;
    const FT_Bitmap& b = g->bitmap;
    const int left = static_cast<int>(pen >> 6) + g->bitmap_left, top = r->ascent - g->bitmap_top;
    for (unsigned row = 0; row < b.rows; ++row)
      for (unsigned col = 0; col < b.width; ++col)
        if (b.buffer[static_cast<long>(row) * b.pitch + col / 8] & (0x80 >> (col % 8)))
          mark(left + static_cast<int>(col), top + static_cast<int>(row));
    pen += g->advance.x;
  }
  auto rule = [&](int top, int rows) {
    for (int v = top; v < top + rows; ++v)
      for (int u = 0; u < cx; ++u) mark(u, v);
  };
  if (r->font.underline) rule(r->underline_top, r->underline_rows);
  if (r->font.strike_out) rule(r->strike_top, r->strike_rows);

  for (int v = 0; v < cy; ++v) {
    for (int u = 0; u < cx; ++u) {
      if (!upright[static_cast<std::size_t>(v) * static_cast<std::size_t>(cx) + static_cast<std::size_t>(u)]) continue;
      switch (r->font.escapement) {
        case 900:
          Darken(bits, width, height, x + v, y - 1 - u);
          break;  // reading upwards
        case 1800:
          Darken(bits, width, height, x - 1 - u, y - 1 - v);
          break;  // upside down
        case 2700:
          Darken(bits, width, height, x - 1 - v, y + u);
          break;  // reading downwards
        default:
          Darken(bits, width, height, x + u, y + v);
          break;
      }
    }
  }
  return true;
}

void raster_close(TextRaster* r) {
  if (r == nullptr) return;
  if (r->face != nullptr) FT_Done_Face(r->face);
  if (r->library != nullptr) FT_Done_FreeType(r->library);
  delete r;
}

}  // namespace kv::plat
