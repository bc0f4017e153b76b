#include "label_check.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <system_error>

// The reader gives its text as UTF-8.
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include "kv/render/png.h"

extern char** environ;

namespace kvtest {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kvtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

int RunProgram(const std::vector<std::string>& args) {
  if (args.empty()) return -1;
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

// Page `page` of `pdf` drawn by `pdftoppm -mono` at `dpi`, or scaled to `width` x `height` dots when given.
bool PdftoppmMono(const std::filesystem::path& pdf, int page, int dpi, kv::render::Bitmap* out, std::string* error,
                  int width = 0, int height = 0) {
  TempFolder folder;
  if (folder.path().empty()) return *error = "no temporary folder for pdftoppm", false;
  const std::string number = std::to_string(page + 1);
  std::vector<std::string> args = {"pdftoppm", "-mono", "-png", "-r", std::to_string(dpi), "-f", number, "-l", number};
  if (width > 0 && height > 0)
    args.insert(args.end(), {"-scale-to-x", std::to_string(width), "-scale-to-y", std::to_string(height)});
  const std::filesystem::path prefix = folder.path() / "page";
  args.insert(args.end(), {"-singlefile", pdf.string(), prefix.string()});
  const int status = RunProgram(args);
  if (status != 0) return *error = "pdftoppm failed with status " + std::to_string(status), false;
  if (!kv::render::ReadPng(prefix.string() + ".png", *out, 1 << 15, nullptr))
    return *error = "pdftoppm's picture cannot be read", false;
  return true;
}

// Whether poppler's drawing `page`, placed at (x0, y0) on the label, is black at the label's dot (x, y).
bool PageBlack(const kv::render::Bitmap& page, int x0, int y0, int x, int y) {
  x -= x0;
  y -= y0;
  return x >= 0 && y >= 0 && x < page.width() && y < page.height() && page.Black(x, y);
}

// What zxing-cpp reads: the label as grey dots (black 0, white 255), in any rotation, of the formats named.
struct ReaderInput {
  ReaderInput(const kv::render::Bitmap& label, const std::string& formats)
      : grey(static_cast<std::size_t>(label.width()) * static_cast<std::size_t>(label.height())),
        view(grey.data(), label.width(), label.height(), ZXing::ImageFormat::Lum) {
    for (int y = 0; y < label.height(); ++y)
      for (int x = 0; x < label.width(); ++x)
        grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(label.width()) + static_cast<std::size_t>(x)] =
            label.Black(x, y) ? 0 : 255;
    hints.setFormats(ZXing::BarcodeFormatsFromString(formats));
    hints.setReturnCodabarStartEnd(true);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
  }
  std::vector<std::uint8_t> grey;
  ZXing::ImageView view;
  ZXing::DecodeHints hints;
};

}  // namespace

Agreement CompareWithPdftoppm(const std::filesystem::path& pdf, int page, int dpi, const kv::render::Bitmap& label,
                              int max_shift) {
  Agreement a;
  if (label.empty()) return a.error = "the label is empty", a;
  kv::render::Bitmap drawn;
  if (!PdftoppmMono(pdf, page, dpi, &drawn, &a.error)) return a;
  if (drawn.width() != label.width() || drawn.height() != label.height()) {
    // Scaled to fit the label, keeping its proportions.
    const double scale = std::min(static_cast<double>(label.width()) / drawn.width(),
                                  static_cast<double>(label.height()) / drawn.height());
    const int w = std::max(1, static_cast<int>(std::lround(drawn.width() * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(drawn.height() * scale)));
    if (!PdftoppmMono(pdf, page, dpi, &drawn, &a.error, w, h)) return a;
  }
  const int x0 = (label.width() - drawn.width()) / 2, y0 = (label.height() - drawn.height()) / 2;
  const double dots = static_cast<double>(label.width()) * label.height();
  long long best = -1;
  for (int dy = -max_shift; dy <= max_shift; ++dy) {
    for (int dx = -max_shift; dx <= max_shift; ++dx) {
      long long agree = 0, both = 0, either = 0;
      for (int y = 0; y < label.height(); ++y) {
        for (int x = 0; x < label.width(); ++x) {
          const bool l = label.Black(x, y), p = PageBlack(drawn, x0 + dx, y0 + dy, x, y);
          agree += l == p;
          both += l && p;
          either += l || p;
        }
      }
      if (agree > best) {
        best = agree;
        a.share = static_cast<double>(agree) / dots;
        a.black_share = either == 0 ? 1.0 : static_cast<double>(both) / static_cast<double>(either);
        a.dx = dx;
        a.dy = dy;
      }
    }
  }
  return a;
}

std::vector<FoundBarcode> ReadBarcodes(const kv::render::Bitmap& label) {
  std::vector<FoundBarcode> found;
  if (label.empty()) return found;
  const ReaderInput in(label, "");
  for (const ZXing::Result& r : ZXing::ReadBarcodes(in.view, in.hints))
    if (r.isValid()) found.push_back({ZXing::ToString(r.format()), r.text()});
  return found;
}

FoundBarcode ReadBarcode(const kv::render::Bitmap& label, const std::string& format) {
  if (label.empty()) return {};
  const ReaderInput in(label, format);
  const ZXing::Result r = ZXing::ReadBarcode(in.view, in.hints);
  return r.isValid() ? FoundBarcode{ZXing::ToString(r.format()), r.text()} : FoundBarcode{};
}

}  // namespace kvtest
