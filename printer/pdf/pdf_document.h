// PDF pages for the printer application: a document held in memory, its page sizes, and each page drawn
// as grey dots at the printer's resolution (poppler). One page is drawn at a time, and a page whose
// picture would be larger than the caller allows is refused before anything is allocated, so that
// memory stays bounded for any document. Pages are drawn in a process of their own, the document's drawer,
// stopped past a bound of time and memory (poppler gives no way to stop a page being drawn, and a small document
// of forms that draw forms can keep it busy for hours), so that no document holds a printer or takes the
// machine's memory, and a fault in poppler ends only the drawer. The drawer is this program started anew
// (/proc/self/exe, under the name "kv-pdf-drawer"): a program that links this module becomes a drawer before its
// main runs when started so. One thread at a time uses a document; different documents may be drawn on
// different threads at once.
#ifndef KV_PRINTER_PDF_DOCUMENT_H
#define KV_PRINTER_PDF_DOCUMENT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv::printer {

struct GreyImage {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;  // rows top first, 0 black .. 255 white
};

// What drawing one page may cost beyond its picture; past either bound the page is stopped, an error.
struct DrawBounds {
  double seconds = 20;                        // time for one page, as the clock on the wall counts it
  std::size_t memory = std::size_t{1} << 30;  // memory poppler may take while it draws (not where sanitizers run)
};

class PdfDocument {
 public:
  ~PdfDocument();
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  // Opens a PDF held in memory; nullptr, with *error a sentence a client can read, when it is not a PDF, is
  // damaged, encrypted or otherwise cannot be read.
  static std::unique_ptr<PdfDocument> Open(const std::vector<std::uint8_t>& bytes, std::string* error);
  int PageCount() const;
  // The page's size in points (1/72 in), after the page's own rotation; false for an index out of range.
  bool PageSize(int index, double* width_pt, double* height_pt) const;
  // Draws page `index` at `dpi` dots per inch both ways into *out as grey; false, with *error, for an index out
  // of range, a dpi outside a sane range, a result larger than `max_pixels`, a page beyond `bounds`, or a failure
  // of the renderer.
  bool RenderPage(int index, double dpi, std::size_t max_pixels, GreyImage* out, std::string* error,
                  const DrawBounds& bounds = DrawBounds()) const;

  // The resolutions RenderPage accepts.
  static constexpr double kMinDpi = 1;
  static constexpr double kMaxDpi = 2400;

  struct Impl;

 private:
  explicit PdfDocument(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// poppler's own remarks on a document (syntax errors it repaired, fonts it substituted) go to `handler`,
// at most a few per document opened or page drawn; with none installed (the default) they are not shown,
// only the first of them joins the error sentence of a document or page that fails. For a program's log;
// the handler is called on the thread that opens or draws.
void SetPdfMessageHandler(std::function<void(const std::string&)> handler);

}  // namespace kv::printer

#endif
