// Text drawn in a TrueType font into a one-bit image, at the resolution of a reference printer.
#ifndef KV_PLATFORM_TEXT_RASTER_H
#define KV_PLATFORM_TEXT_RASTER_H

namespace kv::plat {

// The font, with the meanings of the Windows font request.
struct FontSpec {
  int height;  // > 0: character cell height (ascent + descent) in dots; < 0: em height; 0: a default
  int width;   // average character width in dots; 0: the face's own proportions
  const char* face;
  int escapement;  // direction of the text in tenths of a degree, counter-clockwise: 0, 900, 1800, 2700
  int weight;      // 100 to 900
  bool italic;
  bool underline;
  bool strike_out;
};

// A font made ready against a reference printer.
struct TextRaster;

// Prepares the font against the printer named `reference_printer`; null when there is no such printer.
// `text` is the text that will be drawn (a font is chosen that can show it where the face cannot).
TextRaster* raster_open(const char* reference_printer, const FontSpec& font, const char* text);

// The width and height of the text, upright, in dots. False when the text cannot be measured.
bool raster_measure(TextRaster* raster, const char* text, int* cx, int* cy);

// What drawing came to.
enum class DrawResult {
  Drawn,
  NoSurface,  // no drawing surface could be made
  NoMemory,   // the text's glyphs could not be rendered or kept for want of memory
};

// Draws the text into `bits`, an image of `width` (a multiple of 32) by `height` pixels, rows top
// first, width / 8 bytes each, the leftmost pixel in the most significant bit; the text's pixels are
// cleared to 0, all others are left alone. The text's reference point (the top left of its first
// character cell, before turning) is put at (x, y), and the text turned by the font's escapement.
// Besides `bits`, the work memory is the text's glyphs, one bit a dot, or for large glyphs one at a
// time.
DrawResult raster_draw(TextRaster* raster, const char* text, int width, int height, int x, int y, unsigned char* bits);

// Releases the font and everything made for it.
void raster_close(TextRaster* raster);

}  // namespace kv::plat

#endif
