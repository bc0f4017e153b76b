#include "driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "kv/models.h"
#include "label_writer.h"
#include "preview.h"

namespace kv::printer {

namespace {

// What PAPPL keeps of a driver: the names must outlive every printer.
struct DriverEntry {
  std::string name, device_id;
  const Model* model;
  std::vector<std::string> media;  // PWG media names
};

std::vector<DriverEntry>& Entries() {
  static std::vector<DriverEntry> entries = [] {
    std::vector<DriverEntry> list;
    for (const Model& model : kModels) {
      DriverEntry entry;
      entry.model = &model;
      entry.name = DriverName(model.name);
      const std::string name = model.name;
      const std::size_t space = name.find(' ');
      entry.device_id = "MFG:" + name.substr(0, space) + ";MDL:" + name.substr(space + 1) + ";CMD:KIRV;";
      entry.media = {"oe_4x6-label_4x6in", "oe_4x4-label_4x4in", "oe_4x2-label_4x2in", "oe_2x1-label_2x1in",
                     "om_100x150mm_100x150mm"};
      // Custom sizes: from half an inch by a quarter up to the print head's width by one metre.
      char size[128];
      const int head_hmm = model.print_width * 2540 / model.dpi;
      pwgFormatSizeName(size, sizeof(size), "roll", "max", head_hmm, 100000, nullptr);
      entry.media.push_back(size);
      pwgFormatSizeName(size, sizeof(size), "roll", "min", 1270, 635, nullptr);
      entry.media.push_back(size);
      list.push_back(std::move(entry));
    }
    return list;
  }();
  return entries;
}

const DriverEntry* EntryOf(const char* driver_name) {
  if (!driver_name) return nullptr;
  for (const DriverEntry& entry : Entries())
    if (entry.name == driver_name) return &entry;
  return nullptr;
}

const DriverEntry* EntryOf(pappl_job_t* job) { return EntryOf(papplPrinterGetDriverName(papplJobGetPrinter(job))); }

// Hundredths of a millimetre to dots.
int Dots(int hmm, int dpi) { return static_cast<int>((static_cast<long long>(hmm) * dpi + 1270) / 2540); }

}  // namespace

const Model* ModelOf(pappl_job_t* job) {
  const DriverEntry* entry = EntryOf(job);
  return entry ? entry->model : nullptr;
}

LabelSettings SettingsOf(const Model& model, const pappl_pr_options_t& options, int raster_width, int raster_height) {
  LabelSettings s;
  s.dpi = model.dpi;
  s.width = options.media.size_width > 0 ? Dots(options.media.size_width, model.dpi) : raster_width;
  s.width = std::clamp(s.width, 1, model.print_width);
  s.length = options.media.size_length > 0 ? Dots(options.media.size_length, model.dpi) : raster_height;
  s.length = std::clamp(s.length, 1, 65535);
  if (std::strstr(options.media.type, "continuous") || options.media.tracking == PAPPL_MEDIA_TRACKING_CONTINUOUS ||
      options.media.tracking == PAPPL_MEDIA_TRACKING_WEB)
    s.tracking = Tracking::kContinuous;
  else if (options.media.tracking == PAPPL_MEDIA_TRACKING_MARK)
    s.tracking = Tracking::kMark;
  // Darkness: the printer's configured level moved by the job's print-darkness, both in percent.
  const int percent = std::clamp(options.darkness_configured + options.print_darkness, 0, 100);
  s.darkness = (percent * kMaxDarkness + 50) / 100;
  // print-speed is in hundredths of a millimetre a second; the printer counts inches a second.
  if (options.print_speed > 0) s.speed = std::clamp((options.print_speed + 1270) / 2540, 1, kMaxSpeed);
  s.copies = 1;  // PAPPL prints each copy of a document again
  s.halftone = options.print_content_optimize == PAPPL_CONTENT_PHOTO ? Halftone::kDiffusion : Halftone::kThreshold;
  return s;
}

namespace {

// One raster job: the label being written and the row it is assembled in.
struct RasterJob {
  RasterJob(pappl_job_t* job, pappl_device_t* device)
      : writer([job, device](const void* data, std::size_t size) { return WriteAndKeep(job, device, data, size); }) {}
  LabelWriter writer;
  LabelSettings settings;
  std::vector<std::uint8_t> row;
  unsigned raster_width = 0;
  cups_cspace_t space = CUPS_CSPACE_SW;
  bool failed = false;
};

bool StartJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  papplJobSetData(job, new RasterJob(job, device));
  return true;
}

bool StartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned) {
  auto* raster = static_cast<RasterJob*>(papplJobGetData(job));
  const DriverEntry* entry = EntryOf(job);
  if (!raster || !entry) return false;
  const auto& header = options->header;
  if (header.cupsBitsPerPixel != 8 || header.cupsBitsPerColor != 8) {
    papplJobSetMessage(job, "Unsupported raster: %u bits a dot; this printer takes 8-bit grey.",
                       header.cupsBitsPerPixel);
    return false;
  }
  papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Page of %ux%u dots at %ux%u dpi, %u bits a dot, colour space %d.",
              header.cupsWidth, header.cupsHeight, header.HWResolution[0], header.HWResolution[1],
              header.cupsBitsPerPixel, static_cast<int>(header.cupsColorSpace));
  raster->raster_width = header.cupsWidth;
  raster->space = header.cupsColorSpace;
  raster->settings =
      SettingsOf(*entry->model, *options, static_cast<int>(header.cupsWidth), static_cast<int>(header.cupsHeight));
  raster->row.assign(static_cast<std::size_t>(raster->settings.width), 255);
  if (!raster->writer.Begin(raster->settings)) {
    papplJobSetMessage(job, "Cannot start the label: %s.", raster->writer.error().c_str());
    return false;
  }
  return true;
}

bool WriteLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned, const unsigned char* line) {
  auto* raster = static_cast<RasterJob*>(papplJobGetData(job));
  if (!raster) return false;
  // The raster's rows are centred on the label: cut where wider, white where narrower.
  const int label = raster->settings.width;
  const int width = static_cast<int>(raster->raster_width);
  const int shift = (label - width) / 2;
  std::fill(raster->row.begin(), raster->row.end(), 255);
  for (int x = std::max(0, -shift); x < width && x + shift < label; ++x) {
    // Device black (K) counts ink, the grey spaces (W, SW) light.
    raster->row[static_cast<std::size_t>(x + shift)] =
        raster->space == CUPS_CSPACE_K ? static_cast<std::uint8_t>(255 - line[x]) : line[x];
  }
  if (!raster->writer.AddRow(raster->row.data())) {
    papplJobSetMessage(job, "The printer stopped taking the label: %s.", raster->writer.error().c_str());
    return false;
  }
  return true;
}

bool EndPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) {
  auto* raster = static_cast<RasterJob*>(papplJobGetData(job));
  if (!raster || !raster->writer.End()) {
    if (raster) papplJobSetMessage(job, "The printer stopped taking the label: %s.", raster->writer.error().c_str());
    return false;
  }
  return true;
}

bool EndJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  delete static_cast<RasterJob*>(papplJobGetData(job));
  papplJobSetData(job, nullptr);
  papplDeviceFlush(device);
  return true;
}

// A job in the printer's own language: its bytes, unchanged, in pieces of 64 KiB.
bool PrintRaw(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  const int fd = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    papplJobSetMessage(job, "Cannot read the job's document: %s.", std::strerror(errno));
    return false;
  }
  std::unique_ptr<char[]> buffer(new char[65536]);
  std::size_t total = 0;
  for (;;) {
    const ssize_t got = read(fd, buffer.get(), 65536);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      papplJobSetMessage(job, "Cannot read the job's document: %s.", std::strerror(errno));
      close(fd);
      return false;
    }
    if (got == 0) break;
    if (!WriteAndKeep(job, device, buffer.get(), static_cast<std::size_t>(got))) {
      papplJobSetMessage(job, "The printer stopped taking the job after %zu bytes.", total);
      close(fd);
      return false;
    }
    total += static_cast<std::size_t>(got);
  }
  close(fd);
  if (total == 0) {
    papplJobSetMessage(job, "The document is empty: nothing was sent to the printer.");
    return false;
  }
  papplDeviceFlush(device);
  return true;
}

}  // namespace

std::string DriverName(const char* model_name) {
  std::string name;
  for (const char* p = model_name; p && *p; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p))
                ? static_cast<char>(std::tolower(static_cast<unsigned char>(*p)))
                : '_';
  return name;
}

std::vector<pappl_pr_driver_t>& Drivers() {
  static std::vector<pappl_pr_driver_t> drivers = [] {
    std::vector<pappl_pr_driver_t> list;
    for (DriverEntry& entry : Entries())
      list.push_back({entry.name.c_str(), entry.model->name, entry.device_id.c_str(), nullptr});
    return list;
  }();
  return drivers;
}

bool DriverCallback(pappl_system_t*, const char* driver_name, const char*, const char*, pappl_pr_driver_data_t* data,
                    ipp_t**, void*) {
  const DriverEntry* entry = EntryOf(driver_name);
  if (!entry || !data) return false;
  const Model& model = *entry->model;
  data->printfile_cb = PrintRaw;
  data->rstartjob_cb = StartJob;
  data->rstartpage_cb = StartPage;
  data->rwriteline_cb = WriteLine;
  data->rendpage_cb = EndPage;
  data->rendjob_cb = EndJob;
  data->format = kCommandFormat;
  std::snprintf(data->make_and_model, sizeof(data->make_and_model), "%s", model.name);
  data->ppm = 6;
  data->kind = PAPPL_KIND_LABEL | PAPPL_KIND_ROLL;
  data->color_supported = PAPPL_COLOR_MODE_MONOCHROME | PAPPL_COLOR_MODE_BI_LEVEL | PAPPL_COLOR_MODE_AUTO;
  data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data->content_default = PAPPL_CONTENT_AUTO;
  data->quality_default = IPP_QUALITY_NORMAL;
  data->scaling_default = PAPPL_SCALING_AUTO;
  data->orient_default = IPP_ORIENT_NONE;
  // Grey pictures: the grey-to-one-bit step is ours (threshold or error diffusion by the job's content).
  // One raster type is offered, 8-bit grey. A client's 8-bit raster of another colour space is read by its own
  // page header (black_8 counts ink); one of other bits a dot is refused at its first page (StartPage).
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->force_raster_type = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->num_resolution = 1;
  data->x_resolution[0] = data->y_resolution[0] = model.dpi;
  data->x_default = data->y_default = model.dpi;
  // Labels are printed to their edges. The margins of a hundredth of a millimetre (no dot at either resolution)
  // give every size a bordered twin as well: a CUPS queue made with -m everywhere names its default size after
  // the bordered one ("4x6"), which would otherwise not exist beside "4x6.Borderless".
  data->borderless = true;
  data->left_right = data->bottom_top = 1;
  data->num_media = static_cast<int>(std::min<std::size_t>(entry->media.size(), PAPPL_MAX_MEDIA));
  for (int i = 0; i < data->num_media; ++i) data->media[i] = entry->media[static_cast<std::size_t>(i)].c_str();
  data->num_source = 1;
  data->source[0] = "main-roll";
  data->num_type = 2;
  data->type[0] = "labels";
  data->type[1] = "continuous";
  data->tracking_supported = PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_MARK | PAPPL_MEDIA_TRACKING_CONTINUOUS;
  pappl_media_col_t& media = data->media_default;
  media = pappl_media_col_t{};
  std::snprintf(media.size_name, sizeof(media.size_name), "%s", entry->media[0].c_str());
  media.size_width = 10160;
  media.size_length = 15240;
  std::snprintf(media.source, sizeof(media.source), "main-roll");
  std::snprintf(media.type, sizeof(media.type), "labels");
  media.tracking = PAPPL_MEDIA_TRACKING_GAP;
  data->media_ready[0] = media;
  data->darkness_supported = kMaxDarkness + 1;
  data->darkness_configured = 50;
  data->darkness_default = 0;
  data->speed_supported[0] = 2540;
  data->speed_supported[1] = kMaxSpeed * 2540;
  data->speed_default = 0;
  data->sides_supported = data->sides_default = PAPPL_SIDES_ONE_SIDED;
  return true;
}

const char* AutoAddCallback(const char*, const char*, const char* device_id, void*) {
  if (!device_id) return nullptr;
  cups_option_t* pairs = nullptr;
  const int count = papplDeviceParseID(device_id, &pairs);
  const char* maker = cupsGetOption("MFG", count, pairs);
  if (!maker) maker = cupsGetOption("MANUFACTURER", count, pairs);
  const char* product = cupsGetOption("MDL", count, pairs);
  if (!product) product = cupsGetOption("MODEL", count, pairs);
  const char* found = nullptr;
  if (maker && product) {
    const std::string name = std::string(maker) + " " + product;
    for (const DriverEntry& entry : Entries())
      if (strcasecmp(entry.model->name, name.c_str()) == 0) found = entry.name.c_str();
  }
  cupsFreeOptions(count, pairs);
  return found;
}

const char* DetectFormat(const unsigned char* header, std::size_t size, void*) {
  // The printer's language: after any blank lines, a first line that is one of its commands. The
  // library's jobs begin with "N" (a new label), its configuration commands with "#UM>" or "^@".
  std::size_t at = 0;
  while (at < size && (header[at] == '\r' || header[at] == '\n')) ++at;
  std::size_t end = at;
  while (end < size && header[end] != '\r' && header[end] != '\n') ++end;
  if (end == size || end == at) return nullptr;
  const std::string first(reinterpret_cast<const char*>(header + at), end - at);
  if (first == "N" || first == "^@" || first == "?" || first == "ZT" || first == "ZB" || first.rfind("#UM>", 0) == 0)
    return kCommandFormat;
  static const char* const kWords[] = {"q", "Q", "FS\"", "GM\"", "FK\"", "GK\"", "H", "S", "D"};
  for (const char* word : kWords) {
    const std::size_t n = std::strlen(word);
    if (first.compare(0, n, word) == 0 && first.size() > n &&
        (word[n - 1] == '"' || std::isdigit(static_cast<unsigned char>(first[n]))))
      return kCommandFormat;
  }
  return nullptr;
}

}  // namespace kv::printer
