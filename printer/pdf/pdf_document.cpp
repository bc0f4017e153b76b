#include "pdf_document.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

namespace kv::printer {
namespace {

// poppler's remarks passed on per document opened or page drawn; a damaged document can give one per
// object, thousands, which no log needs.
constexpr int kMaxMessagesPerStep = 16;
// A PDF's header may follow some bytes of other data; readers look this far for it.
constexpr std::size_t kHeaderWindow = 1024;

std::mutex handler_mutex;
std::shared_ptr<const std::function<void(const std::string&)>> message_handler;

std::shared_ptr<const std::function<void(const std::string&)>> Handler() {
  std::lock_guard<std::mutex> lock(handler_mutex);
  return message_handler;
}

// What poppler said during the step this thread is carrying out.
struct StepMessages {
  bool active = false;
  int count = 0;
  std::string first;
};
thread_local StepMessages step_messages;

void OnPopplerMessage(const std::string& message, void*) {
  StepMessages& step = step_messages;
  if (step.active && step.count++ == 0) step.first = message;
  if (step.active && step.count > kMaxMessagesPerStep) return;
  if (auto handler = Handler()) (*handler)(message);
}

// Collects poppler's remarks for one step (opening a document or drawing a page) on this thread.
class Step {
 public:
  Step() {
    static std::once_flag installed;
    std::call_once(installed, [] { poppler::set_debug_error_function(OnPopplerMessage, nullptr); });
    step_messages = StepMessages{};
    step_messages.active = true;
  }
  ~Step() {
    const int dropped = step_messages.count - kMaxMessagesPerStep;
    step_messages.active = false;
    if (dropped > 0)
      if (auto handler = Handler()) (*handler)(std::to_string(dropped) + " more messages from poppler not shown");
  }
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;

  // " (poppler: its first remark)" when there was one, without poppler's "error (offset): " in front.
  static std::string Detail() {
    std::string first = step_messages.first;
    if (first.rfind("error", 0) == 0 && first.find(": ") != std::string::npos) first.erase(0, first.find(": ") + 2);
    return first.empty() ? std::string() : " (poppler: " + first + ")";
  }
};

bool Fail(std::string* error, const std::string& sentence) {
  if (error != nullptr) *error = sentence;
  return false;
}

bool HasPdfHeader(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kHeader[] = "%PDF-";
  const std::size_t window = std::min(bytes.size(), kHeaderWindow);
  const auto* begin = bytes.data();
  return std::search(begin, begin + window, kHeader, kHeader + 5) != begin + window;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

}  // namespace

struct PdfDocument::Impl {
  std::unique_ptr<poppler::document> document;
  int pages = 0;
};

PdfDocument::PdfDocument(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PdfDocument::~PdfDocument() = default;

std::unique_ptr<PdfDocument> PdfDocument::Open(const std::vector<std::uint8_t>& bytes, std::string* error) {
  if (bytes.empty()) return Fail(error, "The document is empty."), nullptr;
  if (!HasPdfHeader(bytes)) return Fail(error, "The document is not a PDF file."), nullptr;
  if (bytes.size() > static_cast<std::size_t>(INT_MAX))
    return Fail(error, "The PDF document is too large to be read (2 GiB at most)."), nullptr;
  Step step;
  try {
    // poppler keeps the bytes it reads from: the document owns this copy.
    poppler::byte_array data(bytes.begin(), bytes.end());
    auto impl = std::make_unique<Impl>();
    impl->document.reset(poppler::document::load_from_data(&data));
    if (!impl->document)
      return Fail(error, "The PDF document is damaged and cannot be read" + Step::Detail() + "."), nullptr;
    if (impl->document->is_locked())
      return Fail(error, "The PDF document is protected by a password."), nullptr;
    if (!impl->document->has_permission(poppler::perm_print))
      return Fail(error, "The PDF document's author does not permit printing it."), nullptr;
    impl->pages = impl->document->pages();
    if (impl->pages < 1) return Fail(error, "The PDF document has no pages" + Step::Detail() + "."), nullptr;
    return std::unique_ptr<PdfDocument>(new PdfDocument(std::move(impl)));
  } catch (const std::bad_alloc&) {
    return Fail(error, "There is not enough memory to read the PDF document."), nullptr;
  }
}

int PdfDocument::PageCount() const { return impl_->pages; }

bool PdfDocument::PageSize(int index, double* width_pt, double* height_pt) const {
  if (index < 0 || index >= impl_->pages) return false;
  Step step;
  std::unique_ptr<poppler::page> page(impl_->document->create_page(index));
  if (!page) return false;
  const poppler::rectf box = page->page_rect(poppler::crop_box);
  double w = box.width(), h = box.height();
  // The page's own rotation (a multiple of a quarter turn) turns its size with it.
  const auto orientation = page->orientation();
  if (orientation == poppler::page::landscape || orientation == poppler::page::seascape) std::swap(w, h);
  if (width_pt != nullptr) *width_pt = std::fabs(w);
  if (height_pt != nullptr) *height_pt = std::fabs(h);
  return true;
}

bool PdfDocument::RenderPage(int index, double dpi, std::size_t max_pixels, GreyImage* out,
                             std::string* error) const {
  if (out != nullptr) *out = GreyImage{};
  if (index < 0 || index >= impl_->pages)
    return Fail(error, "The PDF document has no page " + std::to_string(index + 1) + "; it has " +
                           std::to_string(impl_->pages) + ".");
  if (!(dpi >= kMinDpi && dpi <= kMaxDpi))
    return Fail(error, "The resolution " + Number(dpi) + " dpi is outside " + Number(kMinDpi) + " to " +
                           Number(kMaxDpi) + " dpi.");
  if (out == nullptr) return Fail(error, "No image was given to draw page " + std::to_string(index + 1) + " into.");
  double width_pt = 0, height_pt = 0;
  if (!PageSize(index, &width_pt, &height_pt))
    return Fail(error, "Page " + std::to_string(index + 1) + " of the PDF document cannot be read.");

  // The picture's size as poppler rounds it, checked before anything is drawn.
  const double width = std::floor(width_pt * dpi / 72 + 0.5), height = std::floor(height_pt * dpi / 72 + 0.5);
  if (!(width >= 1 && height >= 1))
    return Fail(error, "Page " + std::to_string(index + 1) + " is too small to draw at " + Number(dpi) + " dpi.");
  if (width * height > static_cast<double>(max_pixels) || width > INT_MAX / 4 || height > INT_MAX / 4)
    return Fail(error, "Page " + std::to_string(index + 1) + " is too large to print: " + Number(width) + " x " +
                           Number(height) + " dots at " + Number(dpi) + " dpi, more than the " +
                           std::to_string(max_pixels) + " allowed.");

  Step step;
  try {
    std::unique_ptr<poppler::page> page(impl_->document->create_page(index));
    if (!page) return Fail(error, "Page " + std::to_string(index + 1) + " of the PDF document cannot be read.");
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_paper_color(0xffffffff);
    // No smoothing: edges fall on whole dots, as in poppler's own one-bit drawing (pdftoppm -mono), so that a
    // threshold keeps text and bars as sharp as the page draws them.
    renderer.set_render_hints(0);
    const poppler::image picture = renderer.render_page(page.get(), dpi, dpi);
    if (!picture.is_valid() || picture.format() != poppler::image::format_gray8 || picture.width() < 1 ||
        picture.height() < 1)
      return Fail(error, "Page " + std::to_string(index + 1) + " of the PDF document could not be drawn" +
                             Step::Detail() + ".");
    const std::size_t w = static_cast<std::size_t>(picture.width()), h = static_cast<std::size_t>(picture.height());
    if (w * h > max_pixels)
      return Fail(error, "Page " + std::to_string(index + 1) + " is too large to print at " + Number(dpi) + " dpi.");
    out->pixels.resize(w * h);
    const char* rows = picture.const_data();
    const std::size_t stride = static_cast<std::size_t>(picture.bytes_per_row());
    for (std::size_t y = 0; y < h; ++y) std::memcpy(out->pixels.data() + y * w, rows + y * stride, w);
    out->width = picture.width();
    out->height = picture.height();
    return true;
  } catch (const std::bad_alloc&) {
    *out = GreyImage{};
    return Fail(error, "There is not enough memory to draw page " + std::to_string(index + 1) + ".");
  }
}

void SetPdfMessageHandler(std::function<void(const std::string&)> handler) {
  auto shared = handler ? std::make_shared<const std::function<void(const std::string&)>>(std::move(handler))
                        : nullptr;
  std::lock_guard<std::mutex> lock(handler_mutex);
  message_handler = std::move(shared);
}

}  // namespace kv::printer
