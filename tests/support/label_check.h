// Checks of labels drawn from documents: a label compared dot for dot with poppler's own one-bit drawing of a
// PDF page (pdftoppm -mono), and the barcodes on a label read back by a real barcode reader (zxing-cpp).
#ifndef KV_TESTS_LABEL_CHECK_H
#define KV_TESTS_LABEL_CHECK_H

#include <filesystem>
#include <string>
#include <vector>

#include "kv/render/bitmap.h"

namespace kvtest {

// How well a label agrees with poppler's drawing of a page.
struct Agreement {
  std::string error;        // why there is no answer; "" when there is one
  double share = 0;         // dots of the label that agree, of all its dots
  double black_share = 0;   // dots black in both, of those black in either: the marks alone
  int dx = 0, dy = 0;       // the shift of poppler's drawing that agrees best
  int page_width = 0, page_height = 0;  // the size poppler drew the page at on the label, in dots
};

// Draws page `page` (from 0) of `pdf` with `pdftoppm -mono` at `dpi`, or, when `width` and `height` are
// given, scaled to exactly that many dots. False, with *error, when pdftoppm fails.
bool PdftoppmMono(const std::filesystem::path& pdf, int page, int dpi, kv::render::Bitmap* out, std::string* error,
                  int width = 0, int height = 0);

// Compares `label` with page `page` of `pdf` drawn by pdftoppm -mono at `dpi`. A label of the page's size is
// compared dot for dot; on a label of another size the page is taken as scaled to fit and centred, as the
// printer application places it. Shifts of poppler's drawing up to `max_shift` dots each way are tried and the
// best kept, so that a page placed a dot off by rounding still compares.
Agreement CompareWithPdftoppm(const std::filesystem::path& pdf, int page, int dpi, const kv::render::Bitmap& label,
                              int max_shift = 2);
// The same for a label saved as a PNG (the virtual printer's pictures).
Agreement CompareWithPdftoppm(const std::filesystem::path& pdf, int page, int dpi,
                              const std::filesystem::path& label_png, int max_shift = 2);

// Runs a program found on PATH with its arguments (no shell) and waits for it: its exit status, or -1.
int RunProgram(const std::vector<std::string>& args);

struct FoundBarcode {
  std::string format;  // zxing-cpp's name of the symbology, e.g. "Code128"
  std::string text;    // the data, as UTF-8
};

// Every barcode zxing-cpp finds on the label, in any rotation; none when the file cannot be read.
std::vector<FoundBarcode> ReadBarcodes(const kv::render::Bitmap& label);
std::vector<FoundBarcode> ReadBarcodes(const std::filesystem::path& label_png);

}  // namespace kvtest

#endif
