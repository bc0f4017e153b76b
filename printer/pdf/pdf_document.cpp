#include "pdf_document.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

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

// What a drawing child leaves for its parent, at the start of a map both share; the picture follows it.
struct ChildRecord {
  enum : int { kRunning, kDrawn, kFailed };
  std::atomic<int> state;
  int width, height;
  int remarks;  // poppler's remarks while drawing, all of them counted
  bool no_memory;
  char first[256];  // the first remark
  char kept[kMaxMessagesPerStep][256];
};
static_assert(std::atomic<int>::is_always_lock_free, "the record is shared between processes");
ChildRecord* child_record = nullptr;  // set in a drawing child only

void CopyText(char* to, std::size_t size, const std::string& text) {
  const std::size_t n = std::min(size - 1, text.size());
  std::memcpy(to, text.data(), n);
  to[n] = '\0';
}

// What poppler said during the step this thread is carrying out.
struct StepMessages {
  bool active = false;
  int count = 0;
  std::string first;
};
thread_local StepMessages step_messages;

void OnPopplerMessage(const std::string& message, void*) {
  if (ChildRecord* record = child_record) {
    // A drawing child keeps the remarks for its parent, which passes them on: the child calls nothing of the
    // program's (its other threads' locks may have been held when the child was made).
    if (record->remarks == 0) CopyText(record->first, sizeof record->first, message);
    if (record->remarks < kMaxMessagesPerStep) CopyText(record->kept[record->remarks], sizeof record->kept[0], message);
    ++record->remarks;
    return;
  }
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

// Draws the page in this process (a drawing child) into `record` and the picture after it.
void DrawHere(poppler::document& document, int index, double dpi, std::size_t max_pixels, std::size_t capacity,
              ChildRecord* record) {
  try {
    std::unique_ptr<poppler::page> page(document.create_page(index));
    if (!page) return;
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_paper_color(0xffffffff);
    // No smoothing: edges fall on whole dots, as in poppler's own one-bit drawing (pdftoppm -mono), so that a
    // threshold keeps text and bars as sharp as the page draws them.
    renderer.set_render_hints(0);
    const poppler::image picture = renderer.render_page(page.get(), dpi, dpi);
    if (!picture.is_valid() || picture.format() != poppler::image::format_gray8 || picture.width() < 1 ||
        picture.height() < 1)
      return;
    const std::size_t w = static_cast<std::size_t>(picture.width()), h = static_cast<std::size_t>(picture.height());
    if (w * h > max_pixels || w * h > capacity) return;
    auto* pixels = reinterpret_cast<std::uint8_t*>(record + 1);
    const char* rows = picture.const_data();
    const std::size_t stride = static_cast<std::size_t>(picture.bytes_per_row());
    for (std::size_t y = 0; y < h; ++y) std::memcpy(pixels + y * w, rows + y * stride, w);
    record->width = picture.width();
    record->height = picture.height();
    record->state.store(ChildRecord::kDrawn, std::memory_order_release);
  } catch (const std::bad_alloc&) {
    record->no_memory = true;
  }
}

// The memory this process has mapped now, in bytes (0 when it cannot be read).
std::size_t MappedNow() {
  unsigned long long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return static_cast<std::size_t>(pages) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#  if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#  else
constexpr bool kSanitized = false;
#  endif
#else
constexpr bool kSanitized = false;
#endif

// Draws page `index` in a child process bounded by `bounds`; the picture comes back through a shared map of
// `capacity` dots. poppler's remarks are passed to the handler here, in the program's own process.
bool DrawInChild(poppler::document& document, int index, double dpi, std::size_t max_pixels, std::size_t capacity,
                 const DrawBounds& bounds, GreyImage* out, std::string* error) {
  const std::string page_name = "Page " + std::to_string(index + 1);
  const std::size_t size = sizeof(ChildRecord) + capacity;
  void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return Fail(error, "There is not enough memory to draw " + page_name + ".");
  auto* record = new (map) ChildRecord{};
  const std::size_t limit = MappedNow() + bounds.memory + size;
  const pid_t pid = fork();
  if (pid == 0) {
    child_record = record;
    if (!kSanitized) {
      const rlimit memory{limit, limit};
      setrlimit(RLIMIT_AS, &memory);
    }
    DrawHere(document, index, dpi, max_pixels, capacity, record);
    _exit(0);
  }
  bool stopped = false;
  int status = 0;
  if (pid > 0) {
    // Asked for often at first, then every 20 ms: most pages take a few milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(bounds.seconds);
    auto pause = std::chrono::microseconds(200);
    for (;;) {
      const pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid || (done < 0 && errno != EINTR)) break;  // ECHILD: reaped by the system, the record tells
      if (std::chrono::steady_clock::now() >= deadline) {
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        stopped = true;
        break;
      }
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
  }
  bool drawn = false;
  std::string sentence;
  if (pid < 0) {
    sentence = "The PDF document could not be drawn: no process could be started for " + page_name + ".";
  } else if (stopped) {
    sentence =
        page_name + " of the PDF document takes more than " + Number(bounds.seconds) + " s to draw; it was stopped.";
  } else if (record->state.load(std::memory_order_acquire) == ChildRecord::kDrawn) {
    drawn = true;
  } else if (record->no_memory) {
    sentence = "There is not enough memory to draw " + page_name + ".";
  } else {
    std::string first = record->first;
    if (first.rfind("error", 0) == 0 && first.find(": ") != std::string::npos) first.erase(0, first.find(": ") + 2);
    const bool ended_early = WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0);
    sentence = ended_early ? "The drawing of " + page_name +
                                 " of the PDF document ended early: it needs more memory than a page may take, "
                                 "or poppler failed."
                           : page_name + " of the PDF document could not be drawn" +
                                 (first.empty() ? std::string() : " (poppler: " + first + ")") + ".";
  }
  if (auto handler = Handler()) {
    const int remarks = std::max(record->remarks, 0);
    for (int i = 0; i < std::min(remarks, kMaxMessagesPerStep); ++i) (*handler)(record->kept[i]);
    if (remarks > kMaxMessagesPerStep)
      (*handler)(std::to_string(remarks - kMaxMessagesPerStep) + " more messages from poppler not shown");
  }
  if (drawn) {
    try {
      const auto* pixels = reinterpret_cast<const std::uint8_t*>(record + 1);
      out->pixels.assign(pixels, pixels + static_cast<std::size_t>(record->width) * record->height);
      out->width = record->width;
      out->height = record->height;
    } catch (const std::bad_alloc&) {
      *out = GreyImage{};
      drawn = false;
      sentence = "There is not enough memory to draw " + page_name + ".";
    }
  }
  record->~ChildRecord();
  munmap(map, size);
  return drawn || Fail(error, sentence);
}

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
    if (impl->document->is_locked()) return Fail(error, "The PDF document is protected by a password."), nullptr;
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

bool PdfDocument::RenderPage(int index, double dpi, std::size_t max_pixels, GreyImage* out, std::string* error,
                             const DrawBounds& bounds) const {
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

  return DrawInChild(*impl_->document, index, dpi, max_pixels,
                     static_cast<std::size_t>(width + 2) * static_cast<std::size_t>(height + 2), bounds, out, error);
}

void SetPdfMessageHandler(std::function<void(const std::string&)> handler) {
  auto shared = handler ? std::make_shared<const std::function<void(const std::string&)>>(std::move(handler)) : nullptr;
  std::lock_guard<std::mutex> lock(handler_mutex);
  message_handler = std::move(shared);
}

}  // namespace kv::printer
