// Documents that the printer application's tests print: the demo's shipping label and PDFs of many pages.
#ifndef KV_TESTS_DOCUMENTS_H
#define KV_TESTS_DOCUMENTS_H

#include <cairo-pdf.h>
#include <gtest/gtest.h>

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

// A PDF of `pages` pages of `width` x `height` points, each with a bar as long as its number (modulo 100) says.
inline std::vector<std::uint8_t> PagesPdf(int pages, double width, double height) {
  std::vector<std::uint8_t> pdf;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(
      [](void* out, const unsigned char* data, unsigned int size) {
        static_cast<std::vector<std::uint8_t>*>(out)->insert(static_cast<std::vector<std::uint8_t>*>(out)->end(), data,
                                                             data + size);
        return CAIRO_STATUS_SUCCESS;
      },
      &pdf, width, height);
  cairo_t* cr = cairo_create(surface);
  for (int i = 1; i <= pages; ++i) {
    cairo_rectangle(cr, 10, 10, 20 + i % 100, height / 2);
    cairo_fill(cr);
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return pdf;
}

}  // namespace kvtest

#endif
