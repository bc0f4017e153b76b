// The calls of each backend that a test can make fail: one definition per platform (posix/, win32/;
// memory in common/), reached only through the fault seam in seam.cpp, which gives the public
// service of the same name. A backend never checks for a fault itself: a service gets fault
// injection by being put here and in the seam's table.
#ifndef KV_PLATFORM_SYSTEM_H
#define KV_PLATFORM_SYSTEM_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kv/platform/files.h"
#include "kv/platform/modules.h"
#include "kv/platform/printers.h"
#include "kv/platform/spooler.h"
#include "kv/platform/text_raster.h"

namespace kv::plat::sys {

void* mem_alloc(std::size_t size);

FileHandle file_create(const char* path);
FileHandle file_open_read(const char* path);
FileHandle file_open_plain(const char* path, bool* not_plain);
std::int64_t file_write(FileHandle file, const void* data, std::size_t len);
std::int64_t file_read(FileHandle file, void* buf, std::size_t len);
bool file_replace(const char* from, const char* to);

SpoolHandle spool_open(const char* printer_name);
bool spool_start_doc(SpoolHandle printer, const char* doc_name, const char* data_type);
bool spool_write(SpoolHandle printer, const void* data, std::size_t len);
bool spool_end_doc(SpoolHandle printer);

TextRaster* raster_open(const char* reference_printer, const FontSpec& font, const char* text);
DrawResult raster_draw(TextRaster* raster, const char* text, int width, int height, int x, int y, unsigned char* bits);

PrinterListing printers_list(std::vector<PrinterRecord>& out);

ModuleHandle module_load(const char* file_name);

}  // namespace kv::plat::sys

#endif
