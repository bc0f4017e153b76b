// Linear barcodes and PDF417 symbols, encoded by zint and drawn as bars and modules in printer dots.
#ifndef KV_RENDER_SYMBOLS_H
#define KV_RENDER_SYMBOLS_H

#include <string>
#include <string_view>

#include "marks.h"
#include "text.h"

namespace kv::render {

struct BarcodeStyle {
  std::string_view selection;  // "1", "1A", "E30", "K", ...
  int narrow = 2;              // narrow bar (module) in dots
  int wide = 4;                // wide bar of the two-width codes in dots
  int height = 50;             // bar height in dots
  bool readable = false;       // human-readable text under the bars
  Cell text_cell{10, 16};      // the cell of that text
};

// Draws a linear barcode. Returns "" or, when nothing was drawn, the reason (unknown selection, data
// that the symbology refuses).
std::string DrawBarcode(const Frame& frame, const BarcodeStyle& style, std::string_view data, Marks& marks);

struct Pdf417Style {
  int security = 0;    // error correction level 0 to 8
  int module = 2;      // module width in dots
  int row_height = 6;  // row height in dots
  int rows = 0;        // at most this many rows (0: free)
  int columns = 0;     // this many data columns (0: free)
  bool truncated = false;
};

// Draws a PDF417 symbol. Returns "" or the reason nothing was drawn.
std::string DrawPdf417(const Frame& frame, const Pdf417Style& style, std::string_view data, Marks& marks);

}  // namespace kv::render

#endif
