// The printer application's own web pages for each printer: the settings page (the parameter tool's
// options, through the tool's core) and the preview page (the labels of the last jobs, drawn by the
// renderer). PAPPL serves them beside its own pages and links them from the printer's page.
#ifndef KV_PRINTER_WEB_SETTINGS_H
#define KV_PRINTER_WEB_SETTINGS_H

#include <pappl/pappl.h>

#include <string>

namespace kv::printer {

// Where the pages keep the printers' stored option values: the tool's settings file (KV_setting.ini)
// in this folder, a section per printer. Called once, before the first printer is made.
void SetSettingsFolder(const std::string& folder);

// PAPPL's printer-creation callback: adds the printer's pages and the links to them.
void AddPrinterPages(pappl_printer_t* printer, void* data);

}  // namespace kv::printer

#endif
