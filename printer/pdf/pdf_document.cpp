#include "pdf_document.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
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

// A page is drawn in a process of its own, the drawer: this program started again under kDrawerName, with
// the document's bytes at kDocumentFd and a socket to its parent at standard input. A child merely forked
// from this process could not draw safely: another thread may hold a lock (poppler's, the allocator's) at the
// moment of the fork, which the child would then wait on for ever.
constexpr char kDrawerName[] = "kv-pdf-drawer";
constexpr int kDocumentFd = 3;
// Descriptors passed to the drawer are first moved at or above this, clear of the numbers they take there.
constexpr int kFirstFreeFd = 10;

// What the parent asks of the drawer: one page.
struct DrawRequest {
  int index;
  double dpi;
  std::uint64_t max_pixels;
  std::uint64_t memory;  // bytes the drawing may map beyond what the drawer has mapped when it begins
  int width, height;     // the picture's size as the page's size gives it
};

// What the drawer answers; for a page drawn, width * height grey dots follow.
struct DrawReply {
  enum : int { kDrawn, kFailed, kNoMemory };
  int state;
  int width, height;
  int remarks;  // poppler's remarks while drawing, all of them counted
  char kept[kMaxMessagesPerStep][256];
};
DrawReply* drawer_reply = nullptr;  // set in the drawer while it draws

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
  if (DrawReply* reply = drawer_reply) {
    // The drawer keeps the remarks for its parent, which passes them on to the program's handler.
    if (reply->remarks < kMaxMessagesPerStep) CopyText(reply->kept[reply->remarks], sizeof reply->kept[0], message);
    ++reply->remarks;
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

namespace {

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

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t put = write(fd, p, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

// Reads `size` bytes from `fd` before `deadline`; false when the time is up (*late set) or the other end is gone.
bool ReadAll(int fd, void* data, std::size_t size,
             std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max(),
             bool* late = nullptr) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      if (late != nullptr) *late = true;
      return false;
    }
    pollfd wait{fd, POLLIN, 0};
    const int ready = poll(&wait, 1, static_cast<int>(std::min<long long>(left.count() + 1, 1000)));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    const ssize_t got = read(fd, p, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// Draws one page in the drawer into `pixels` (width * height grey dots), the outcome in *reply.
void DrawHere(poppler::document& document, const DrawRequest& request, DrawReply* reply,
              std::vector<std::uint8_t>* pixels) {
  try {
    std::unique_ptr<poppler::page> page(document.create_page(request.index));
    if (!page) return;
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_paper_color(0xffffffff);
    // No smoothing: edges fall on whole dots, as in poppler's own one-bit drawing (pdftoppm -mono), so that a
    // threshold keeps text and bars as sharp as the page draws them.
    renderer.set_render_hints(0);
    const poppler::image picture = renderer.render_page(page.get(), request.dpi, request.dpi);
    if (!picture.is_valid() || picture.format() != poppler::image::format_gray8 || picture.width() < 1 ||
        picture.height() < 1)
      return;
    // poppler answers a drawing surface it could not have with a picture of a single dot.
    if (std::abs(picture.width() - request.width) > 1 || std::abs(picture.height() - request.height) > 1) {
      reply->state = DrawReply::kNoMemory;
      return;
    }
    const std::size_t w = static_cast<std::size_t>(picture.width()), h = static_cast<std::size_t>(picture.height());
    if (w * h > request.max_pixels) return;
    pixels->resize(w * h);
    const char* rows = picture.const_data();
    const std::size_t stride = static_cast<std::size_t>(picture.bytes_per_row());
    for (std::size_t y = 0; y < h; ++y) std::memcpy(pixels->data() + y * w, rows + y * stride, w);
    reply->width = picture.width();
    reply->height = picture.height();
    reply->state = DrawReply::kDrawn;
  } catch (const std::bad_alloc&) {
    pixels->clear();
    reply->state = DrawReply::kNoMemory;
  }
}

// The drawer's life: the document from kDocumentFd, then one page for each request on standard input, until
// the parent closes its end.
[[noreturn]] void ServeAsDrawer() {
  poppler::set_debug_error_function(OnPopplerMessage, nullptr);
  struct stat st {};
  void* bytes = MAP_FAILED;
  if (fstat(kDocumentFd, &st) == 0 && st.st_size > 0 && st.st_size <= INT_MAX)
    bytes = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, kDocumentFd, 0);
  std::unique_ptr<poppler::document> document;
  if (bytes != MAP_FAILED)
    document.reset(
        poppler::document::load_from_raw_data(static_cast<const char*>(bytes), static_cast<int>(st.st_size)));
  DrawRequest request{};
  while (ReadAll(STDIN_FILENO, &request, sizeof request)) {
    DrawReply reply{};
    reply.state = DrawReply::kFailed;
    if (!kSanitized) {
      // The bound is on the address space; the sanitizers reserve terabytes of it for themselves.
      rlimit memory{};
      getrlimit(RLIMIT_AS, &memory);
      const rlim_t want = MappedNow() + request.memory;
      memory.rlim_cur = memory.rlim_max == RLIM_INFINITY ? want : std::min<rlim_t>(want, memory.rlim_max);
      setrlimit(RLIMIT_AS, &memory);
    }
    std::vector<std::uint8_t> pixels;
    drawer_reply = &reply;
    if (document) DrawHere(*document, request, &reply, &pixels);
    drawer_reply = nullptr;
    if (!WriteAll(STDIN_FILENO, &reply, sizeof reply) ||
        (reply.state == DrawReply::kDrawn && !WriteAll(STDIN_FILENO, pixels.data(), pixels.size())))
      break;
  }
  _exit(0);
}

// A program that links this module becomes a drawer, before its main runs, when it is started under the
// drawer's name (as StartDrawer starts it); the C library hands a constructor the program's arguments.
__attribute__((constructor)) void BecomeDrawerIfAsked(int argc, char** argv, char**) {
  if (argc == 1 && argv != nullptr && argv[0] != nullptr && std::strcmp(argv[0], kDrawerName) == 0) ServeAsDrawer();
}

// A descriptor moved to kFirstFreeFd or above (closing `fd`), so that passing it on cannot clash with the
// numbers it takes in the drawer; -1 when that fails.
int MovedClear(int fd) {
  if (fd < 0 || fd >= kFirstFreeFd) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, kFirstFreeFd);
  close(fd);
  return moved;
}

}  // namespace

// The document's bytes in a memory file (shared with the drawers) and the drawer of this document, if one
// runs.
struct PdfDocument::Impl {
  int bytes_fd = -1;
  const char* bytes = nullptr;
  std::size_t bytes_size = 0;
  std::unique_ptr<poppler::document> document;
  int pages = 0;
  pid_t drawer = -1;
  int socket = -1;  // to the drawer

  ~Impl() {
    StopDrawer(false);
    document.reset();
    if (bytes != nullptr) munmap(const_cast<char*>(bytes), bytes_size);
    if (bytes_fd >= 0) close(bytes_fd);
  }

  bool StartDrawer() {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return false;
    pair[0] = MovedClear(pair[0]);
    pair[1] = MovedClear(pair[1]);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, pair[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&files, bytes_fd, kDocumentFd);
    posix_spawn_file_actions_addclosefrom_np(&files, kDocumentFd + 1);  // nothing else of this program's
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (const int s : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&signals, s);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char* argv[] = {const_cast<char*>(kDrawerName), nullptr};
    const bool started =
        pair[0] >= 0 && pair[1] >= 0 && posix_spawn(&drawer, "/proc/self/exe", &files, &attributes, argv, environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    if (pair[1] >= 0) close(pair[1]);
    if (!started) {
      if (pair[0] >= 0) close(pair[0]);
      drawer = -1;
      return false;
    }
    socket = pair[0];
    return true;
  }

  // A drawer that ended between pages (killed from outside) is let go, so that the next page starts a new one
  // rather than failing.
  void ForgetEndedDrawer() {
    if (drawer < 0) return;
    const pid_t done = waitpid(drawer, nullptr, WNOHANG);
    if (done == 0 || (done < 0 && errno == EINTR)) return;
    close(socket);
    socket = -1;
    drawer = -1;
  }

  // Ends the drawer: at once (`kill_now`), or by closing its socket, which it reads as the end of its work.
  void StopDrawer(bool kill_now) {
    if (drawer < 0) return;
    if (kill_now) kill(drawer, SIGKILL);
    close(socket);
    socket = -1;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
      const pid_t done = waitpid(drawer, nullptr, WNOHANG);
      if (done == drawer || (done < 0 && errno != EINTR)) break;  // ECHILD: reaped elsewhere
      if (std::chrono::steady_clock::now() >= give_up) {
        kill(drawer, SIGKILL);
        while (waitpid(drawer, nullptr, 0) < 0 && errno == EINTR) {
        }
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    drawer = -1;
  }
};

namespace {

// Has page `index` drawn by the document's drawer (started when none runs) within `bounds`.
bool DrawInDrawer(PdfDocument::Impl& doc, int index, double dpi, int width, int height, std::size_t max_pixels,
                  const DrawBounds& bounds, GreyImage* out, std::string* error) {
  const std::string page_name = "Page " + std::to_string(index + 1);
  doc.ForgetEndedDrawer();
  if (doc.drawer < 0 && !doc.StartDrawer())
    return Fail(error, "The PDF document could not be drawn: no process could be started for " + page_name + ".");
  const auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(bounds.seconds));
  const DrawRequest request{index, dpi, max_pixels, bounds.memory, width, height};
  DrawReply reply{};
  bool late = false, drawn = false;
  std::string sentence;
  // send, not write: a drawer that has ended must not end this program with SIGPIPE.
  if (send(doc.socket, &request, sizeof request, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof request) &&
      ReadAll(doc.socket, &reply, sizeof reply, deadline, &late)) {
    if (reply.state == DrawReply::kDrawn) {
      const std::size_t dots = static_cast<std::size_t>(reply.width) * static_cast<std::size_t>(reply.height);
      try {
        if (reply.width < 1 || reply.height < 1 || dots > max_pixels) throw std::length_error("picture");
        out->pixels.resize(dots);
        drawn = ReadAll(doc.socket, out->pixels.data(), dots, deadline, &late);
      } catch (const std::bad_alloc&) {
        sentence = "There is not enough memory to draw " + page_name + ".";
        doc.StopDrawer(true);  // the rest of its answer cannot be taken
      } catch (const std::length_error&) {
        doc.StopDrawer(true);
      }
    } else if (reply.state == DrawReply::kNoMemory) {
      sentence = "There is not enough memory to draw " + page_name + ".";
    } else {
      std::string first =
          reply.remarks > 0 ? std::string(reply.kept[0], strnlen(reply.kept[0], sizeof reply.kept[0])) : std::string();
      if (first.rfind("error", 0) == 0 && first.find(": ") != std::string::npos) first.erase(0, first.find(": ") + 2);
      sentence = page_name + " of the PDF document could not be drawn" +
                 (first.empty() ? std::string() : " (poppler: " + first + ")") + ".";
    }
  }
  if (drawn) {
    out->width = reply.width;
    out->height = reply.height;
  } else if (late) {
    doc.StopDrawer(true);
    sentence =
        page_name + " of the PDF document takes more than " + Number(bounds.seconds) + " s to draw; it was stopped.";
  } else if (sentence.empty()) {
    // The drawer ended without an answer: past its memory bound, or poppler failed.
    doc.StopDrawer(true);
    sentence = "The drawing of " + page_name +
               " of the PDF document ended early: it needs more memory than a page may take, or poppler failed.";
  }
  if (!drawn) *out = GreyImage{};
  if (auto handler = Handler()) {
    const int remarks = std::max(reply.remarks, 0);
    for (int i = 0; i < std::min(remarks, kMaxMessagesPerStep); ++i)
      (*handler)(std::string(reply.kept[i], strnlen(reply.kept[i], sizeof reply.kept[i])));
    if (remarks > kMaxMessagesPerStep)
      (*handler)(std::to_string(remarks - kMaxMessagesPerStep) + " more messages from poppler not shown");
  }
  return drawn || Fail(error, sentence);
}

}  // namespace

PdfDocument::PdfDocument(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PdfDocument::~PdfDocument() = default;

std::unique_ptr<PdfDocument> PdfDocument::Open(const std::vector<std::uint8_t>& bytes, std::string* error) {
  if (bytes.empty()) return Fail(error, "The document is empty."), nullptr;
  if (!HasPdfHeader(bytes)) return Fail(error, "The document is not a PDF file."), nullptr;
  if (bytes.size() > static_cast<std::size_t>(INT_MAX))
    return Fail(error, "The PDF document is too large to be read (2 GiB at most)."), nullptr;
  Step step;
  try {
    // poppler reads from the bytes as long as the document lives: they are kept in a memory file, which the
    // document's drawers read too.
    auto impl = std::make_unique<Impl>();
    impl->bytes_fd = MovedClear(memfd_create("kv-pdf-document", MFD_CLOEXEC));
    if (impl->bytes_fd < 0 || !WriteAll(impl->bytes_fd, bytes.data(), bytes.size())) throw std::bad_alloc();
    void* mapped = mmap(nullptr, bytes.size(), PROT_READ, MAP_SHARED, impl->bytes_fd, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    impl->bytes = static_cast<const char*>(mapped);
    impl->bytes_size = bytes.size();
    impl->document.reset(poppler::document::load_from_raw_data(impl->bytes, static_cast<int>(impl->bytes_size)));
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

  return DrawInDrawer(*impl_, index, dpi, static_cast<int>(width), static_cast<int>(height),
                      std::min(max_pixels, static_cast<std::size_t>((width + 2) * (height + 2))), bounds, out, error);
}

void SetPdfMessageHandler(std::function<void(const std::string&)> handler) {
  auto shared = handler ? std::make_shared<const std::function<void(const std::string&)>>(std::move(handler)) : nullptr;
  std::lock_guard<std::mutex> lock(handler_mutex);
  message_handler = std::move(shared);
}

}  // namespace kv::printer
