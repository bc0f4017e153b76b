// The one way a raw job is handed to the spooler, for the label library and the parameter tool alike.
#include "kv/platform/spooler.h"

namespace kv::plat {

SendOutcome spool_send_raw(SpoolHandle printer, const char* doc_name, const void* data, std::size_t len) {
  if (printer == nullptr) return SendOutcome::NoPrinter;
  if (!spool_start_doc(printer, doc_name, "RAW")) return SendOutcome::StartRefused;
  spool_start_page(printer);
  if (!spool_write(printer, data, len)) {
    spool_abort_doc(printer);
    return SendOutcome::WriteRefused;
  }
  spool_end_page(printer);
  return spool_end_doc(printer) ? SendOutcome::Sent : SendOutcome::EndRefused;
}

}  // namespace kv::plat
