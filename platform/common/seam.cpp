// The fault seam: the table of the services a test can make fail. Each entry names the site that
// fails it and what the failing call answers, and hands every other call to the backend's call of
// the same name (system.h). A failing call never reaches the system, so a failure path runs exactly
// the code it runs when the system itself refuses.
#include "kv/platform/fault.h"
#include "kv/platform/memory.h"
#include "system.h"

namespace kv::plat {

namespace {

// The call, unless a test has armed `site` for it: then `failed`.
template <typename Result, typename... Params, typename... Args>
Result Seam(FaultSite site, Result failed, Result (*call)(Params...), Args... args) {
  return fault_now(site) ? failed : call(args...);
}

}  // namespace

void* mem_alloc(std::size_t size) { return Seam<void*>(FaultSite::Alloc, nullptr, sys::mem_alloc, size); }

FileHandle file_create(const char* path) { return Seam(FaultSite::FileCreate, kInvalidFile, sys::file_create, path); }

FileHandle file_open_read(const char* path) {
  return Seam(FaultSite::FileOpenRead, kInvalidFile, sys::file_open_read, path);
}

FileHandle file_open_plain(const char* path, bool* not_plain) {
  if (not_plain != nullptr) *not_plain = false;
  return Seam(FaultSite::FileOpenRead, kInvalidFile, sys::file_open_plain, path, not_plain);
}

std::int64_t file_write(FileHandle file, const void* data, std::size_t len) {
  return Seam<std::int64_t>(FaultSite::FileWrite, -1, sys::file_write, file, data, len);
}

std::int64_t file_read(FileHandle file, void* buf, std::size_t len) {
  return Seam<std::int64_t>(FaultSite::FileRead, -1, sys::file_read, file, buf, len);
}

bool file_replace(const char* from, const char* to) {
  return Seam(FaultSite::FileReplace, false, sys::file_replace, from, to);
}

SpoolHandle spool_open(const char* printer_name) {
  return Seam<SpoolHandle>(FaultSite::SpoolOpen, nullptr, sys::spool_open, printer_name);
}

bool spool_start_doc(SpoolHandle printer, const char* doc_name, const char* data_type) {
  return Seam(FaultSite::SpoolStartDoc, false, sys::spool_start_doc, printer, doc_name, data_type);
}

bool spool_write(SpoolHandle printer, const void* data, std::size_t len) {
  return Seam(FaultSite::SpoolWrite, false, sys::spool_write, printer, data, len);
}

bool spool_end_doc(SpoolHandle printer) {
  // A document the spooler will not end is abandoned, so that nothing of it is printed.
  if (fault_now(FaultSite::SpoolEndDoc)) {
    spool_abort_doc(printer);
    return false;
  }
  return sys::spool_end_doc(printer);
}

TextRaster* raster_open(const char* reference_printer, const FontSpec& font, const char* text) {
  return Seam<TextRaster*, const char*, const FontSpec&, const char*>(FaultSite::RasterOpen, nullptr, sys::raster_open,
                                                                      reference_printer, font, text);
}

DrawResult raster_draw(TextRaster* raster, const char* text, int width, int height, int x, int y, unsigned char* bits) {
  return Seam(FaultSite::RasterDraw, DrawResult::NoSurface, sys::raster_draw, raster, text, width, height, x, y, bits);
}

PrinterListing printers_list(std::vector<PrinterRecord>& out) {
  // Two ways to fail: the listing itself, and the block that holds the listed records.
  out.clear();
  if (fault_now(FaultSite::PrinterList)) return PrinterListing::Failed;
  if (fault_now(FaultSite::PrinterBuffer)) return PrinterListing::NoMemory;
  return sys::printers_list(out);
}

ModuleHandle module_load(const char* file_name) {
  return Seam<ModuleHandle>(FaultSite::ModuleLoad, nullptr, sys::module_load, file_name);
}

}  // namespace kv::plat
