#include "filters.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"
#include "page.h"
#include "pdf_document.h"
#include "preview.h"

namespace kv::printer {

namespace {

// Bounds that keep a job's memory small whatever it holds.
constexpr std::size_t kMaxDocumentBytes = 256u << 20;  // a PDF read into memory
constexpr int kMaxPictureSide = 16384;                 // a PNG's width or height, in dots
constexpr std::size_t kMaxPicturePixels = 64u << 20;   // and its dots
// Time a PDF job may spend drawing its pages, all copies together; each page has poppler's own bound as well
// (DrawBounds), so that a document of slow pages cannot hold the printer for hours.
constexpr double kMaxPdfDrawingSeconds = 300;

// The job's print options, given back to PAPPL when done.
struct Options {
  Options(pappl_job_t* job, unsigned pages) : value(papplJobCreatePrintOptions(job, pages, false)) {}
  ~Options() {
    if (value) papplJobDeletePrintOptions(value);
  }
  Options(const Options&) = delete;
  Options& operator=(const Options&) = delete;
  pappl_pr_options_t* value;
};

Scaling ScalingOf(pappl_scaling_t scaling, Scaling automatic) {
  switch (scaling) {
    case PAPPL_SCALING_FIT:
      return Scaling::kFit;
    case PAPPL_SCALING_FILL:
      return Scaling::kFill;
    case PAPPL_SCALING_NONE:
      return Scaling::kNone;
    default:
      return automatic;
  }
}

// A reason as it stands inside a message of ours: without its own closing period.
std::string Reason(std::string text) {
  while (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// Prints the pages that `page` draws, one label each, `copies` times in order. `page` gives each page's
// grey picture and the scaling its kind asks for; false with the job's message set stops the job.
template <typename DrawPage>
bool PrintPages(pappl_job_t* job, pappl_device_t* device, const pappl_pr_options_t& options, const Model& model,
                int pages, DrawPage draw_page) {
  LabelWriter writer(
      [job, device](const void* data, std::size_t size) { return WriteAndKeep(job, device, data, size); });
  LabelSettings settings = SettingsOf(model, options, model.print_width, DefaultLabelLength(model.dpi));
  // One page: the printer makes the copies (W1,n); several: the document again for each copy, in order.
  const int copies = std::clamp(options.copies, 1, kMaxCopies);
  const int rounds = pages == 1 ? 1 : copies;
  settings.copies = pages == 1 ? copies : 1;
  papplJobSetImpressions(job, pages * copies);
  for (int round = 0; round < rounds; ++round)
    for (int index = 0; index < pages; ++index) {
      if (papplJobIsCanceled(job)) return true;
      GreyImage image;
      Scaling scaling = Scaling::kAuto;
      if (!draw_page(index, settings, &image, &scaling)) return false;
      const Placement placement = Place(image.width, image.height, settings.width, settings.length, scaling);
      const GreyView view{image.width, image.height, image.pixels.data()};
      if (!WriteImage(writer, settings, view, placement)) {
        papplJobSetMessage(job, "The label of page %d was not printed: %s.", index + 1, writer.error().c_str());
        return false;
      }
      papplJobSetImpressionsCompleted(job, settings.copies);
    }
  papplDeviceFlush(device);
  return true;
}

// --- PNG ---------------------------------------------------------------------------------------------------

bool ReadPng(const char* path, GreyImage* out, std::string* error) {
  png_image png;
  std::memset(&png, 0, sizeof(png));
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path)) {
    *error = std::string("the PNG picture cannot be read (") + png.message + ")";
    return false;
  }
  if (png.width < 1 || png.height < 1 || png.width > kMaxPictureSide || png.height > kMaxPictureSide ||
      static_cast<std::size_t>(png.width) * png.height > kMaxPicturePixels) {
    *error = "the PNG picture of " + std::to_string(png.width) + " x " + std::to_string(png.height) +
             " dots is larger than " + std::to_string(kMaxPictureSide) + " dots a side";
    png_image_free(&png);
    return false;
  }
  // Grey and alpha, then every dot laid on white paper.
  png.format = PNG_FORMAT_GA;
  std::vector<std::uint8_t> ga(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, ga.data(), 0, nullptr)) {
    *error = std::string("the PNG picture is damaged (") + png.message + ")";
    png_image_free(&png);
    return false;
  }
  out->width = static_cast<int>(png.width);
  out->height = static_cast<int>(png.height);
  out->pixels.resize(static_cast<std::size_t>(png.width) * png.height);
  for (std::size_t i = 0; i < out->pixels.size(); ++i) {
    const unsigned grey = ga[2 * i], alpha = ga[2 * i + 1];
    out->pixels[i] = static_cast<std::uint8_t>((grey * alpha + 255u * (255u - alpha) + 127u) / 255u);
  }
  return true;
}

bool PrintPng(pappl_job_t* job, pappl_device_t* device, void*) {
  const Model* model = ModelOf(job);
  Options options(job, 1);
  if (!model || !options.value) {
    papplJobSetMessage(job, "The job's printer or options cannot be found.");
    return false;
  }
  GreyImage picture;
  std::string error;
  if (!ReadPng(papplJobGetFilename(job), &picture, &error)) {
    papplJobSetMessage(job, "Not printed: %s.", Reason(error).c_str());
    return false;
  }
  return PrintPages(job, device, *options.value, *model, 1,
                    [&](int, const LabelSettings&, GreyImage* image, Scaling* scaling) {
                      *scaling = ScalingOf(options.value->print_scaling, Scaling::kAuto);
                      *image = std::move(picture);
                      return true;
                    });
}

// --- PDF ---------------------------------------------------------------------------------------------------

bool ReadFile(const char* path, std::vector<std::uint8_t>* bytes, std::string* error) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) {
    *error = std::string("the document cannot be read (") + std::strerror(errno) + ")";
    if (fd >= 0) close(fd);
    return false;
  }
  if (static_cast<std::uint64_t>(st.st_size) > kMaxDocumentBytes) {
    *error = "the document is larger than " + std::to_string(kMaxDocumentBytes >> 20) + " MiB";
    close(fd);
    return false;
  }
  bytes->resize(static_cast<std::size_t>(st.st_size));
  std::size_t have = 0;
  while (have < bytes->size()) {
    const ssize_t got = read(fd, bytes->data() + have, bytes->size() - have);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    have += static_cast<std::size_t>(got);
  }
  close(fd);
  bytes->resize(have);
  return true;
}

bool PrintPdf(pappl_job_t* job, pappl_device_t* device, void*) {
  const Model* model = ModelOf(job);
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!model || !ReadFile(papplJobGetFilename(job), &bytes, &error)) {
    papplJobSetMessage(job, "Not printed: %s.", model ? Reason(error).c_str() : "the job's printer cannot be found");
    return false;
  }
  if (bytes.empty()) {
    papplJobSetMessage(job, "Not printed: the document is empty.");
    return false;
  }
  std::unique_ptr<PdfDocument> pdf = PdfDocument::Open(bytes, &error);
  bytes = std::vector<std::uint8_t>();
  if (!pdf) {
    papplJobSetMessage(job, "Not printed: %s.", Reason(error).c_str());
    return false;
  }
  const int pages = pdf->PageCount();
  if (pages < 1) {
    papplJobSetMessage(job, "Not printed: the PDF document has no pages.");
    return false;
  }
  Options options(job, static_cast<unsigned>(pages));
  if (!options.value) {
    papplJobSetMessage(job, "The job's options cannot be found.");
    return false;
  }
  const Scaling scaling = ScalingOf(options.value->print_scaling, Scaling::kFit);
  const auto started = std::chrono::steady_clock::now();
  return PrintPages(
      job, device, *options.value, *model, pages,
      [&](int index, const LabelSettings& settings, GreyImage* image, Scaling* page_scaling) {
        // The page is drawn at the resolution that makes it fit the label (turned when it lies across the
        // label), so that poppler draws every edge at the printer's dots; none is scaled again.
        double width_pt = 0, height_pt = 0;
        if (!pdf->PageSize(index, &width_pt, &height_pt) || width_pt <= 0 || height_pt <= 0) {
          papplJobSetMessage(job, "Not printed: page %d has no size.", index + 1);
          return false;
        }
        const double dots_w = width_pt / 72 * model->dpi, dots_h = height_pt / 72 * model->dpi;
        const Placement fit = Place(static_cast<int>(std::lround(dots_w)), static_cast<int>(std::lround(dots_h)),
                                    settings.width, settings.length, scaling);
        const double dpi = std::clamp(model->dpi * fit.scale, PdfDocument::kMinDpi, PdfDocument::kMaxDpi);
        std::string why;
        const std::size_t most =
            static_cast<std::size_t>(settings.width + 2) * static_cast<std::size_t>(settings.length + 2) * 2;
        kv::printer::DrawBounds bounds;
        const double left =
            kMaxPdfDrawingSeconds - std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (left <= 0) {
          papplJobSetMessage(job, "Stopped at page %d: the document takes more than %g s to draw.", index + 1,
                             kMaxPdfDrawingSeconds);
          return false;
        }
        bounds.seconds = std::min(bounds.seconds, left);
        if (!pdf->RenderPage(index, dpi, most, image, &why, bounds)) {
          papplJobSetMessage(job, "Page %d not printed: %s.", index + 1, Reason(why).c_str());
          return false;
        }
        *page_scaling = Scaling::kNone;  // drawn at its size on the label already
        return true;
      });
}

}  // namespace

void AddFilters(pappl_system_t* system) {
  // poppler's remarks on a document (objects it repaired, fonts it stood in for) go to the log.
  kv::printer::SetPdfMessageHandler(
      [system](const std::string& remark) { papplLog(system, PAPPL_LOGLEVEL_INFO, "PDF: %s", remark.c_str()); });
  papplSystemAddMIMEFilter(system, "image/png", kCommandFormat, PrintPng, nullptr);
  papplSystemAddMIMEFilter(system, "application/pdf", kCommandFormat, PrintPdf, nullptr);
}

}  // namespace kv::printer
