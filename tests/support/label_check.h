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
  std::string error;       // why there is no answer; "" when there is one
  double share = 0;        // dots of the label that agree, of all its dots
  double black_share = 0;  // dots black in both, of those black in either: the marks alone
  int dx = 0, dy = 0;      // the shift of poppler's drawing that agrees best
};

// Compares `label` with page `page` (from 0) of `pdf` drawn by pdftoppm -mono at `dpi`: dot for dot on a label
// of the page's size, else with the page scaled to fit and centred, as the printer application places it.
// Shifts of up to `max_shift` dots each way are tried and the best kept (a page placed a dot off by rounding).
Agreement CompareWithPdftoppm(const std::filesystem::path& pdf, int page, int dpi, const kv::render::Bitmap& label,
                              int max_shift = 2);

// A folder of its own under the temporary folder, removed with its content; path() is empty when none was made.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs a program found on PATH with its arguments (no shell) and waits for it: its exit status, or -1.
int RunProgram(const std::vector<std::string>& args);

struct FoundBarcode {
  std::string format;  // zxing-cpp's name of the symbology, e.g. "Code128"
  std::string text;    // the data, as UTF-8
};

// Every barcode zxing-cpp finds on the label, in any rotation.
std::vector<FoundBarcode> ReadBarcodes(const kv::render::Bitmap& label);
// The one barcode of `format` (zxing-cpp's name, e.g. "Code128") that zxing-cpp finds first; empty when none.
FoundBarcode ReadBarcode(const kv::render::Bitmap& label, const std::string& format);

}  // namespace kvtest

#endif
