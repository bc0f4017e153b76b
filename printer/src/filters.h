// Documents that the printer application draws itself rather than through PAPPL's raster pages: PNG
// pictures (every bit depth, transparency on white) and PDF pages (poppler, through kvprinter_pdf). Each
// page becomes one label, placed by page.h.
#ifndef KV_PRINTER_FILTERS_H
#define KV_PRINTER_FILTERS_H

#include <pappl/pappl.h>

namespace kv::printer {

// Registers the PNG and PDF filters with the system.
void AddFilters(pappl_system_t* system);

}  // namespace kv::printer

#endif
