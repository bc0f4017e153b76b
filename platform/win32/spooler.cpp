// The spooler through winspool.
#include "kv/platform/spooler.h"

#include <windows.h>
#include <winspool.h>

#include "system.h"

namespace kv::plat {

SpoolHandle sys::spool_open(const char* printer_name) {
  if (printer_name == nullptr || printer_name[0] == '\0') return nullptr;
  HANDLE h = nullptr;
  if (!OpenPrinterA(const_cast<char*>(printer_name), &h, nullptr)) return nullptr;
  return h;
}

bool spool_close(SpoolHandle printer) { return ClosePrinter(printer) != 0; }

bool sys::spool_start_doc(SpoolHandle printer, const char* doc_name, const char* data_type) {
  DOC_INFO_1A info;
  info.pDocName = const_cast<char*>(doc_name);
  info.pOutputFile = nullptr;
  info.pDatatype = const_cast<char*>(data_type);
  return StartDocPrinterA(printer, 1, reinterpret_cast<BYTE*>(&info)) != 0;
}

bool spool_start_page(SpoolHandle printer) { return StartPagePrinter(printer) != 0; }

bool spool_end_page(SpoolHandle printer) { return EndPagePrinter(printer) != 0; }

bool sys::spool_write(SpoolHandle printer, const void* data, std::size_t len) {
  const char* p = static_cast<const char*>(data);
  // WritePrinter takes a 32-bit count; larger jobs go in pieces.
  do {
    DWORD piece = len > 0x40000000u ? 0x40000000u : static_cast<DWORD>(len);
    DWORD written = 0;
    if (!WritePrinter(printer, const_cast<char*>(p), piece, &written)) return false;
    p += piece;
    len -= piece;
  } while (len > 0);
  return true;
}

bool sys::spool_end_doc(SpoolHandle printer) { return EndDocPrinter(printer) != 0; }

bool spool_abort_doc(SpoolHandle printer) { return AbortPrinter(printer) != 0; }

// Every printer is the spooler's.
bool spool_is_direct_name(const char*) { return false; }

}  // namespace kv::plat
