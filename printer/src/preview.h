// Previews of what the application sent each printer: the bytes of its last jobs are kept (bounded), drawn
// by the job renderer at the model's resolution, and shown as pictures on the printer's preview page.
#ifndef KV_PRINTER_PREVIEW_H
#define KV_PRINTER_PREVIEW_H

#include <pappl/pappl.h>

#include <cstddef>

namespace kv::printer {

// Jobs kept a printer, bytes kept of one job, and bytes kept of all of a printer's jobs together: an older
// job is forgotten when a new one would pass either bound; a job's bytes beyond its bound are counted only.
inline constexpr std::size_t kPreviewJobs = 10;
inline constexpr std::size_t kPreviewJobBytes = std::size_t{8} << 20;
inline constexpr std::size_t kPreviewPrinterBytes = std::size_t{32} << 20;
// Labels drawn a job (later labels are counted), and the largest side of a label drawn, in dots.
inline constexpr std::size_t kPreviewLabels = 4;
inline constexpr int kPreviewMaxSide = 8192;
// The largest PNG kept of one label (its pictures count towards the printer's bytes too).
inline constexpr std::size_t kPreviewPictureBytes = std::size_t{2} << 20;

// Writes bytes of a job to the printer's device and keeps them for the job's preview; true when the device
// took them all.
bool WriteAndKeep(pappl_job_t* job, pappl_device_t* device, const void* data, std::size_t size);

// The printer a page of ours belongs to, from the request's path (/NAME/...): a printer deleted and added
// again under its name keeps its pages. Null when there is none.
pappl_printer_t* PrinterOfPage(pappl_client_t* client);

// Adds a printer page of ours at /NAME/`page`, once a name.
void AddPrinterPage(pappl_printer_t* printer, const char* page, const char* format, pappl_resource_cb_t cb);

// Adds the printer's preview page (/NAME/kvpreview), its pictures (/NAME/kvpreview.png?job=ID&label=N)
// and a link to the page.
void AddPreviewPages(pappl_printer_t* printer);

}  // namespace kv::printer

#endif
