// Documents that the printer application's tests print: the demo's shipping label and PDFs of many pages.
#ifndef KV_TESTS_DOCUMENTS_H
#define KV_TESTS_DOCUMENTS_H

#include <cairo-pdf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "shipping_label.h"

namespace kvtest {

// The demo's 4 x 6 in shipping label as a PDF, made once; empty (and a failure said) when it cannot be made.
inline const std::vector<std::uint8_t>& ShippingLabelPdf() {
  static const std::vector<std::uint8_t> pdf = [] {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!kv::examples::MakeShippingLabelPdf(&bytes, &error)) ADD_FAILURE() << error;
    return bytes;
  }();
  return pdf;
}

// A PDF of `pages` pages of `width` x `height` points, each with its number in large type.
inline std::vector<std::uint8_t> NumberedPagesPdf(int pages, double width, double height) {
  std::vector<std::uint8_t> pdf;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(
      [](void* out, const unsigned char* data, unsigned int size) {
        static_cast<std::vector<std::uint8_t>*>(out)->insert(static_cast<std::vector<std::uint8_t>*>(out)->end(), data,
                                                             data + size);
        return CAIRO_STATUS_SUCCESS;
      },
      &pdf, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, std::min(48.0, height / 2));
  for (int i = 1; i <= pages; ++i) {
    cairo_move_to(cr, 10, std::min(80.0, height * 3 / 4));
    cairo_show_text(cr, std::to_string(i).c_str());
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return pdf;
}

}  // namespace kvtest

#endif
