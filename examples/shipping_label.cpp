#include "shipping_label.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <zint.h>

#include <cstring>
#include <memory>

namespace kv::examples {
namespace {

constexpr double kWidth = 288;   // 4 in, in points
constexpr double kHeight = 432;  // 6 in
constexpr double kMargin = 10;

struct SymbolDeleter {
  void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
  try {
    out->insert(out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    return CAIRO_STATUS_NO_MEMORY;
  }
  return CAIRO_STATUS_SUCCESS;
}

void Text(cairo_t* cr, double x, double y, double size, bool bold, const char* text) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text);
}

// Text centred on x.
void CentredText(cairo_t* cr, double x, double y, double size, bool bold, const char* text) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text, &e);
  cairo_move_to(cr, x - e.x_advance / 2, y);
  cairo_show_text(cr, text);
}

void Box(cairo_t* cr, double x, double y, double w, double h, double line) {
  cairo_set_line_width(cr, line);
  cairo_rectangle(cr, x + line / 2, y + line / 2, w - line, h - line);
  cairo_stroke(cr);
}

void HorizontalRule(cairo_t* cr, double y, double line) {
  cairo_rectangle(cr, kMargin, y, kWidth - 2 * kMargin, line);
  cairo_fill(cr);
}

// Draws the Code 128 symbol of `data` with zint's vector output: each bar one filled rectangle, the
// symbol `width` points wide at (x, y), its bars `height` points tall. "" or zint's reason.
std::string Code128(cairo_t* cr, const char* data, double x, double y, double width, double height) {
  std::unique_ptr<zint_symbol, SymbolDeleter> s(ZBarcode_Create());
  if (!s) return "zint could not allocate a symbol";
  s->symbology = BARCODE_CODE128;
  s->show_hrt = 0;
  const int rc = ZBarcode_Encode_and_Buffer_Vector(s.get(), reinterpret_cast<const unsigned char*>(data),
                                                   static_cast<int>(std::strlen(data)), 0);
  if (rc >= ZINT_ERROR || s->vector == nullptr || s->vector->width <= 0 || s->vector->height <= 0)
    return std::string("zint could not encode the barcode: ") + s->errtxt;
  const double kx = width / s->vector->width;
  const double ky = height / s->vector->height;
  for (const zint_vector_rect* r = s->vector->rectangles; r != nullptr; r = r->next)
    cairo_rectangle(cr, x + r->x * kx, y + r->y * ky, r->width * kx, r->height * ky);
  cairo_fill(cr);
  return "";
}

}  // namespace

bool MakeShippingLabelPdf(std::vector<std::uint8_t>* pdf, std::string* error) {
  pdf->clear();
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
      cairo_pdf_surface_create_for_stream(Append, pdf, kWidth, kHeight));
  // A fixed date keeps the file the same from run to run.
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, "KIRV shipping label");
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "KIRV label kit");
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, "2026-01-01T00:00:00Z");
  std::unique_ptr<cairo_t, ContextDeleter> context(cairo_create(surface.get()));
  cairo_t* cr = context.get();
  cairo_set_source_rgb(cr, 0, 0, 0);

  // The frame, and the sender in small type.
  Box(cr, kMargin / 2, kMargin / 2, kWidth - kMargin, kHeight - kMargin, 2);
  Text(cr, kMargin + 4, 26, 8, true, "FROM:");
  Text(cr, kMargin + 4, 37, 8, false, "KIRV Demo Works, Unit 4");
  Text(cr, kMargin + 4, 47, 8, false, "12 Harbour Road, Springfield 01234");
  // The service box: a black panel with the service in white, the weight beside it.
  cairo_rectangle(cr, 196, kMargin + 6, 72, 38);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  CentredText(cr, 232, kMargin + 33, 22, true, "P1");
  cairo_set_source_rgb(cr, 0, 0, 0);
  Text(cr, 160, 70, 9, false, "WEIGHT 2.4 kg");
  HorizontalRule(cr, 78, 1.5);

  // The addressee in large type.
  Text(cr, kMargin + 4, 96, 9, true, "SHIP TO:");
  Text(cr, kMargin + 16, 116, 14, true, "ALEX MORGAN");
  Text(cr, kMargin + 16, 134, 12, false, "Morgan Trading Ltd");
  Text(cr, kMargin + 16, 151, 12, false, "221 Station Street, Floor 3");
  Text(cr, kMargin + 16, 170, 16, true, "RIVERTON  40211");
  Text(cr, kMargin + 16, 188, 12, false, "COUNTRY OF SAMPLES");
  HorizontalRule(cr, 200, 3);

  // The routing boxes.
  Box(cr, kMargin, 208, 120, 54, 1.5);
  Text(cr, kMargin + 6, 222, 8, false, "ROUTE");
  Text(cr, kMargin + 6, 252, 24, true, "RV 402");
  Box(cr, kMargin + 126, 208, kWidth - 2 * kMargin - 126, 54, 1.5);
  Text(cr, kMargin + 132, 222, 8, false, "SORT / DAY");
  Text(cr, kMargin + 132, 252, 24, true, "07  TUE");

  // The tracking barcode with its text below, and the reference.
  Text(cr, kMargin + 4, 280, 8, true, "TRACKING #");
  std::string failed = Code128(cr, kShippingBarcode, 34, 288, 220, 78);
  if (!failed.empty()) {
    *error = failed;
    return false;
  }
  CentredText(cr, kWidth / 2, 380, 11, false, kShippingBarcode);
  HorizontalRule(cr, 390, 1.5);
  Text(cr, kMargin + 4, 406, 8, false, "REF: ORDER-1042    1 OF 1    2026-01-01");
  Text(cr, kMargin + 4, 418, 7, false, "Printed through the KIRV printer application");

  cairo_show_page(cr);
  context.reset();
  cairo_surface_finish(surface.get());
  const cairo_status_t status = cairo_surface_status(surface.get());
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cairo could not write the PDF: ") + cairo_status_to_string(status);
    pdf->clear();
    return false;
  }
  return true;
}

}  // namespace kv::examples
