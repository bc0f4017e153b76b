// The preview store and the preview page. The bytes a job sends its printer are kept as they go out; once
// the job has ended, the first request for its preview draws them with the job renderer (the same drawing
// as `kvlabel render`) and keeps the pictures as PNG files in memory. The page polls itself for a fresh
// list of jobs when scripts run, and is a plain page to reload when they do not.
#include "preview.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "kv/models.h"
#include "kv/render/png.h"
#include "kv/render/renderer.h"

namespace kv::printer {

namespace {

struct Kept {
  int job_id = 0;
  std::string name;
  std::string bytes;      // the first kPreviewJobBytes sent
  std::size_t total = 0;  // every byte sent
  bool drawn = false;     // the pictures and warnings below are made
  std::vector<std::string> pngs;
  std::vector<std::string> warnings;
  std::size_t labels = 0;  // labels the job prints (drawn or counted)
  int width = 0, height = 0;
};

struct Store {
  std::mutex lock;
  std::map<int, std::deque<std::shared_ptr<Kept>>> printers;  // by printer id, oldest job first
};

Store& TheStore() {
  static Store store;
  return store;
}

std::size_t BytesKept(const std::deque<std::shared_ptr<Kept>>& jobs) {
  std::size_t bytes = 0;
  for (const auto& k : jobs) {
    bytes += k->bytes.size();
    for (const std::string& png : k->pngs) bytes += png.size();
  }
  return bytes;
}

void Keep(pappl_job_t* job, const void* data, std::size_t size) {
  const int printer_id = papplPrinterGetID(papplJobGetPrinter(job));
  const int job_id = papplJobGetID(job);
  Store& store = TheStore();
  std::lock_guard<std::mutex> hold(store.lock);
  auto& jobs = store.printers[printer_id];
  if (jobs.empty() || jobs.back()->job_id != job_id) {
    auto kept = std::make_shared<Kept>();
    kept->job_id = job_id;
    const char* name = papplJobGetName(job);
    kept->name = name != nullptr ? std::string(name).substr(0, 256) : "";
    jobs.push_back(kept);
    while (jobs.size() > kPreviewJobs) jobs.pop_front();
  }
  Kept& kept = *jobs.back();
  kept.total += size;
  const std::size_t room = kPreviewJobBytes - kept.bytes.size();
  const std::size_t taken = size < room ? size : room;
  kept.bytes.append(static_cast<const char*>(data), taken);
  // The printer's bound: older jobs go first; the job being sent stays.
  while (jobs.size() > 1 && BytesKept(jobs) > kPreviewPrinterBytes) jobs.pop_front();
}

// Whether the job has ended (or is no longer known): its bytes are then all there.
bool Ended(pappl_printer_t* printer, int job_id) {
  pappl_job_t* job = papplPrinterFindJob(printer, job_id);
  return job == nullptr || papplJobGetState(job) >= IPP_JSTATE_CANCELED;
}

int DpiOf(pappl_printer_t* printer) {
  const char* driver = papplPrinterGetDriverName(printer);
  for (const Model& model : kModels)
    if (driver != nullptr && DriverName(model.name) == driver) return model.dpi;
  return 203;
}

std::string PngOf(const render::Bitmap& image, int dpi) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  if (out == nullptr) return {};
  std::string error;
  const bool written = render::WritePng(out, image, dpi, error);
  std::fclose(out);
  std::string png = written ? std::string(buffer, size) : std::string();
  std::free(buffer);
  return png;
}

// Draws an ended job's bytes once; the pictures are then kept with it.
void Draw(const std::shared_ptr<Kept>& kept, int dpi) {
  render::Limits limits;
  limits.max_dots = kPreviewMaxSide;
  limits.max_labels = kPreviewLabels;
  render::Printer printer(dpi, limits);
  std::vector<std::string> pngs;
  const render::JobSummary summary =
      printer.Run(kept->bytes.data(), kept->bytes.size(), [&](const render::RenderedLabel& label) {
        if (pngs.size() < kPreviewLabels) pngs.push_back(PngOf(label.image, dpi));
        // A picture that does not compress (noise) is not kept: it would outweigh the jobs' bytes.
        if (!pngs.empty() && pngs.back().size() > kPreviewPictureBytes) pngs.back().clear();
      });
  std::vector<std::string> warnings;
  for (std::size_t i = 0; i < pngs.size(); ++i)
    if (pngs[i].empty()) warnings.push_back("label " + std::to_string(i + 1) + ": no picture (too large to keep)");
  for (const render::Message& m : summary.messages) warnings.push_back(render::Describe(m));
  if (summary.messages_not_kept > 0)
    warnings.push_back(std::to_string(summary.messages_not_kept) + " more warning(s) not shown");
  if (kept->total > kept->bytes.size())
    warnings.push_back("only the first " + std::to_string(kept->bytes.size()) + " of " + std::to_string(kept->total) +
                       " bytes are drawn");
  if (summary.labels > pngs.size())
    warnings.push_back(std::to_string(summary.labels) + " labels; the first " + std::to_string(pngs.size()) +
                       " are shown");
  std::lock_guard<std::mutex> hold(TheStore().lock);
  kept->pngs = std::move(pngs);
  kept->warnings = std::move(warnings);
  kept->labels = summary.labels;
  kept->width = summary.width;
  kept->height = summary.height;
  kept->drawn = true;
}

// The printer's kept jobs, newest first, each drawn once it has ended.
std::vector<std::shared_ptr<Kept>> JobsOf(pappl_printer_t* printer) {
  std::vector<std::shared_ptr<Kept>> jobs;
  {
    Store& store = TheStore();
    std::lock_guard<std::mutex> hold(store.lock);
    const auto found = store.printers.find(papplPrinterGetID(printer));
    if (found != store.printers.end()) jobs.assign(found->second.rbegin(), found->second.rend());
  }
  for (const auto& kept : jobs) {
    bool drawn = false;
    {
      std::lock_guard<std::mutex> hold(TheStore().lock);
      drawn = kept->drawn;
    }
    if (!drawn && Ended(printer, kept->job_id)) Draw(kept, DpiOf(printer));
  }
  return jobs;
}

// A whole number of the query, 0 when missing or not one.
int QueryNumber(int num_form, cups_option_t* form, const char* name) {
  const char* text = cupsGetOption(name, num_form, form);
  if (text == nullptr || *text == '\0' || std::strlen(text) > 9) return 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return *end == '\0' && value > 0 ? static_cast<int>(value) : 0;
}

void Escaped(pappl_client_t* client, const std::string& text) { papplClientHTMLEscape(client, text.c_str(), 0); }

// The list of jobs: a line each, its labels as thumbnails that open the label at full size.
void JobList(pappl_client_t* client, pappl_printer_t* printer, const char* png_path) {
  const std::vector<std::shared_ptr<Kept>> jobs = JobsOf(printer);
  std::lock_guard<std::mutex> hold(TheStore().lock);
  if (jobs.empty()) papplClientHTMLPuts(client, "<p>No jobs yet.</p>\n");
  for (const auto& kept : jobs) {
    papplClientHTMLPrintf(client, "<div class=\"kv-job\" id=\"job-%d\" style=\"border-top:1px solid #ccc\">\n<h3>",
                          kept->job_id);
    papplClientHTMLPrintf(client, "Job %d: ", kept->job_id);
    Escaped(client, kept->name);
    papplClientHTMLPrintf(client, " <small>(%lu bytes)</small></h3>\n", static_cast<unsigned long>(kept->total));
    if (!kept->drawn) {
      papplClientHTMLPuts(client, "<p>Printing…</p>\n");
    } else {
      if (kept->labels > 0)
        papplClientHTMLPrintf(client, "<p>%lu label(s), %d x %d dots</p>\n", static_cast<unsigned long>(kept->labels),
                              kept->width, kept->height);
      for (int i = 0; i < static_cast<int>(kept->pngs.size()); ++i)
        if (!kept->pngs[static_cast<std::size_t>(i)].empty())
          papplClientHTMLPrintf(client,
                                "<a href=\"%s?job=%d&amp;label=%d\"><img class=\"kv-label\" src=\"%s?job=%d&amp;"
                                "label=%d\" alt=\"label %d\" style=\"max-width:200px;max-height:300px;border:1px "
                                "solid #888;margin:4px\"></a>\n",
                                png_path, kept->job_id, i + 1, png_path, kept->job_id, i + 1, i + 1);
      if (!kept->warnings.empty()) {
        papplClientHTMLPuts(client, "<ul class=\"kv-warnings\">\n");
        for (const std::string& w : kept->warnings) {
          papplClientHTMLPuts(client, "<li>");
          Escaped(client, w);
          papplClientHTMLPuts(client, "</li>\n");
        }
        papplClientHTMLPuts(client, "</ul>\n");
      }
    }
    papplClientHTMLPuts(client, "</div>\n");
  }
}

bool PreviewPage(pappl_client_t* client, void*) {
  pappl_printer_t* printer = PrinterOfPage(client);
  if (printer == nullptr) return false;
  if (!papplClientHTMLAuthorize(client)) return true;
  cups_option_t* form = nullptr;
  const int num_form = papplClientGetForm(client, &form);
  const char* part = cupsGetOption("part", num_form, form);
  const bool list_only = part != nullptr && std::strcmp(part, "jobs") == 0;
  cupsFreeOptions(num_form, form);
  char path[256], png_path[256];
  papplPrinterGetPath(printer, "kvpreview", path, sizeof path);
  papplPrinterGetPath(printer, "kvpreview.png", png_path, sizeof png_path);
  if (list_only) {
    if (!papplClientRespond(client, HTTP_STATUS_OK, nullptr, "text/html", 0, 0)) return true;
    JobList(client, printer, png_path);
    httpWrite2(papplClientGetHTTP(client), "", 0);
    return true;
  }
  papplClientHTMLPrinterHeader(client, printer, "Label previews", 0, nullptr, nullptr);
  papplClientHTMLPrintf(client,
                        "<div class=\"row\"><div class=\"col-12\"><p>The labels of the last %d jobs, drawn from the "
                        "bytes sent to the printer (the first %d MiB of a job, %d labels a job). "
                        "<a href=\"%s\">Reload</a></p>\n<div id=\"kv-jobs\">\n",
                        static_cast<int>(kPreviewJobs), static_cast<int>(kPreviewJobBytes >> 20),
                        static_cast<int>(kPreviewLabels), path);
  JobList(client, printer, png_path);
  papplClientHTMLPrintf(
      client,
      "</div>\n<script>\n"
      "// New jobs without a reload: the list is asked for again every second.\n"
      "(function () {\n"
      "  var list = document.getElementById('kv-jobs'), last = null;\n"
      "  function ask() {\n"
      "    fetch('%s?part=jobs', {cache: 'no-store', credentials: 'same-origin'})\n"
      "      .then(function (r) { return r.ok ? r.text() : null; })\n"
      "      .then(function (t) { if (t !== null && t !== last) { last = t; list.innerHTML = t; } })\n"
      "      .catch(function () {})\n"
      "      .then(function () { setTimeout(ask, 1000); });\n"
      "  }\n"
      "  setTimeout(ask, 1000);\n"
      "})();\n</script>\n</div></div>\n",
      path);
  papplClientHTMLPrinterFooter(client);
  return true;
}

bool PreviewPicture(pappl_client_t* client, void*) {
  pappl_printer_t* printer = PrinterOfPage(client);
  if (printer == nullptr) return false;
  if (!papplClientHTMLAuthorize(client)) return true;
  cups_option_t* form = nullptr;
  const int num_form = papplClientGetForm(client, &form);
  const int job_id = QueryNumber(num_form, form, "job");
  const int label = QueryNumber(num_form, form, "label");
  cupsFreeOptions(num_form, form);
  std::string png;
  for (const auto& kept : JobsOf(printer)) {
    std::lock_guard<std::mutex> hold(TheStore().lock);
    if (kept->job_id == job_id && kept->drawn && label >= 1 && static_cast<std::size_t>(label) <= kept->pngs.size())
      png = kept->pngs[static_cast<std::size_t>(label - 1)];
  }
  if (png.empty()) {
    papplClientRespond(client, HTTP_STATUS_NOT_FOUND, nullptr, nullptr, 0, 0);
    return true;
  }
  if (papplClientRespond(client, HTTP_STATUS_OK, nullptr, "image/png", 0, png.size()))
    httpWrite2(papplClientGetHTTP(client), png.data(), png.size());
  return true;
}

}  // namespace

bool WriteAndKeep(pappl_job_t* job, pappl_device_t* device, const void* data, std::size_t size) {
  const bool written = papplDeviceWrite(device, data, size) == static_cast<ssize_t>(size);
  if (job != nullptr && size > 0) Keep(job, data, size);
  return written;
}

pappl_printer_t* PrinterOfPage(pappl_client_t* client) {
  const char* uri = papplClientGetURI(client);
  if (uri == nullptr || uri[0] != '/') return nullptr;
  const char* end = std::strchr(uri + 1, '/');
  if (end == nullptr) return nullptr;
  const std::string resource = "/ipp/print" + std::string(uri, static_cast<std::size_t>(end - uri));
  return papplSystemFindPrinter(papplClientGetSystem(client), resource.c_str(), 0, nullptr);
}

void AddPrinterPage(pappl_printer_t* printer, const char* page, const char* format, pappl_resource_cb_t cb) {
  static std::mutex lock;
  static std::set<std::string> added;  // PAPPL keeps the first resource of a path
  char path[256];
  papplPrinterGetPath(printer, page, path, sizeof path);
  std::lock_guard<std::mutex> hold(lock);
  if (added.insert(path).second)
    papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path, format, cb, nullptr);
}

void AddPreviewPages(pappl_printer_t* printer) {
  AddPrinterPage(printer, "kvpreview", "text/html", PreviewPage);
  AddPrinterPage(printer, "kvpreview.png", "image/png", PreviewPicture);
  char path[256];
  papplPrinterGetPath(printer, "kvpreview", path, sizeof path);
  papplPrinterAddLink(printer, "Label previews", path, PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_JOB);
}

}  // namespace kv::printer
