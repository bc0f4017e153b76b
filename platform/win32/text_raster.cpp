// Text in a TrueType font through GDI: the font is made with CreateFontA, measured on the reference
// printer's device context, and drawn with TextOutA into a monochrome bitmap of a memory context
// compatible with it.
#include "kv/platform/text_raster.h"

#include "system.h"

#include <windows.h>

#include <new>

namespace kv::plat {

struct TextRaster {
  HFONT font = nullptr;
  bool stock_font = false;  // the system font stands in for a font that could not be made
  HDC printer = nullptr;
  HGDIOBJ printer_font = nullptr;  // the font the reference context had before ours
};

TextRaster* sys::raster_open(const char* reference_printer, const FontSpec& request, const char*) {
  HFONT font = CreateFontA(request.height, request.width, request.escapement, 0, request.weight, request.italic,
                           request.underline, request.strike_out, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_CHARACTER_PRECIS,
                           PROOF_QUALITY, 0, request.face);
  const bool stock = font == nullptr;
  if (stock) font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  HDC printer = CreateDCA(reference_printer, reference_printer, nullptr, nullptr);
  auto* r = printer != nullptr ? new (std::nothrow) TextRaster : nullptr;
  if (r == nullptr) {
    if (printer != nullptr) DeleteDC(printer);
    if (!stock) DeleteObject(font);
    return nullptr;
  }
  r->font = font;
  r->stock_font = stock;
  r->printer = printer;
  r->printer_font = SelectObject(printer, font);
  return r;
}

bool raster_measure(TextRaster* r, const char* text, int* cx, int* cy) {
  if (r == nullptr || text == nullptr || cx == nullptr || cy == nullptr) return false;
  SIZE size = {};
  if (!GetTextExtentPoint32A(r->printer, text, lstrlenA(text), &size)) return false;
  *cx = size.cx;
  *cy = size.cy;
  return true;
}

DrawResult sys::raster_draw(TextRaster* r, const char* text, int width, int height, int x, int y, unsigned char* bits) {
  if (r == nullptr || text == nullptr || bits == nullptr) return DrawResult::NoSurface;
  const LONG bytes = width / 8 * height;
  HBITMAP bitmap = CreateBitmap(width, height, 1, 1, nullptr);
  if (bitmap == nullptr) return DrawResult::NoSurface;
  SetBitmapBits(bitmap, bytes, bits);
  HDC memory = CreateCompatibleDC(r->printer);
  if (memory == nullptr) {
    DeleteObject(bitmap);
    return DrawResult::NoSurface;
  }
  HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  HGDIOBJ old_font = SelectObject(memory, r->font);
  TextOutA(memory, x, y, text, lstrlenA(text));
  GetBitmapBits(bitmap, bytes, bits);
  SelectObject(memory, old_font);
  SelectObject(memory, old_bitmap);
  DeleteDC(memory);
  DeleteObject(bitmap);
  return DrawResult::Drawn;
}

void raster_close(TextRaster* r) {
  if (r == nullptr) return;
  SelectObject(r->printer, r->printer_font);
  DeleteDC(r->printer);
  if (!r->stock_font) DeleteObject(r->font);
  delete r;
}

}  // namespace kv::plat
