// The one way a raw job is handed to the spooler, for the label library and the parameter tool alike.
#include "kv/platform/spooler.h"

namespace kv::plat {

int spool_send_raw(SpoolHandle printer, const char* doc_name, const void* data, std::size_t len,
                   const SendCodes& codes) {
  if (printer == nullptr) return codes.no_printer;
  if (!spool_start_doc(printer, doc_name, "RAW")) return codes.start_doc;
  spool_start_page(printer);
  if (!spool_write(printer, data, len)) {
    spool_abort_doc(printer);
    return codes.write;
  }
  spool_end_page(printer);
  return spool_end_doc(printer) ? 0 : codes.end_doc;
}

}  // namespace kv::plat
