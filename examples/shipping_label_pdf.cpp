// Writes the demo's 4 x 6 in shipping label as a one-page PDF: text, boxes and a Code 128 barcode.
//
//   shipping_label_pdf OUT.pdf
#include <cstdio>
#include <string>
#include <vector>

#include "shipping_label.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shipping_label_pdf OUT.pdf\n");
    return 2;
  }
  std::vector<std::uint8_t> pdf;
  std::string error;
  if (!kv::examples::MakeShippingLabelPdf(&pdf, &error)) {
    std::fprintf(stderr, "shipping_label_pdf: %s\n", error.c_str());
    return 1;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(pdf.data(), 1, pdf.size(), out) == pdf.size();
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "shipping_label_pdf: could not write %s\n", argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
