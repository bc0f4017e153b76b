// The spooler through libcups.
//
// A printer's name is its queue name read with "_" as a space: queue KIRV_R5 is the printer "KIRV R5".
// Queue names hold no spaces, so opening accepts either spelling. An open printer is one connection to
// the CUPS server; a document is one CUPS job of one document, created when the document starts and
// streamed as it is written. Pages mean nothing to CUPS.
#include "kv/platform/spooler.h"

#include <cups/cups.h>

#include <new>
#include <string>

#include "system.h"

namespace kv::plat {

namespace {

struct CupsPrinter {
  std::string queue;
  http_t* http = nullptr;
  int job_id = 0;  // the job of the current document; 0 when none
  std::string doc_name;
  const char* format = CUPS_FORMAT_RAW;
  bool streaming = false;  // the job's document has been started with the server
};

CupsPrinter* printer_of(SpoolHandle h) { return static_cast<CupsPrinter*>(h); }

std::string queue_name(const char* printer_name) {
  std::string q(printer_name);
  for (char& c : q)
    if (c == ' ') c = '_';
  return q;
}

// Ends the current document's request with the server, if one is under way.
bool finish_stream(CupsPrinter* p) {
  if (!p->streaming) return true;
  p->streaming = false;
  return cupsFinishDocument(p->http, p->queue.c_str()) <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

void forget_job(CupsPrinter* p) {
  p->job_id = 0;
  p->doc_name.clear();
}

}  // namespace

SpoolHandle sys::spool_open(const char* printer_name) {
  if (printer_name == nullptr || printer_name[0] == '\0') return nullptr;
  std::string queue = queue_name(printer_name);
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
  if (http == nullptr) return nullptr;
  cups_dest_t* dest = cupsGetNamedDest(http, queue.c_str(), nullptr);
  if (dest == nullptr) {
    httpClose(http);
    return nullptr;
  }
  cupsFreeDests(1, dest);
  auto* p = new (std::nothrow) CupsPrinter;
  if (p == nullptr) {
    httpClose(http);
    return nullptr;
  }
  p->queue = std::move(queue);
  p->http = http;
  return p;
}

bool spool_close(SpoolHandle printer) {
  CupsPrinter* p = printer_of(printer);
  if (p == nullptr) return false;
  if (p->job_id != 0) spool_abort_doc(p);
  httpClose(p->http);
  delete p;
  return true;
}

bool sys::spool_start_doc(SpoolHandle printer, const char* doc_name, const char* data_type) {
  CupsPrinter* p = printer_of(printer);
  if (p == nullptr || p->job_id != 0 || doc_name == nullptr) return false;
  int id = cupsCreateJob(p->http, p->queue.c_str(), doc_name, 0, nullptr);
  if (id <= 0) return false;
  p->job_id = id;
  p->doc_name = doc_name;
  p->format = (data_type != nullptr && std::string(data_type) == "RAW") ? CUPS_FORMAT_RAW : CUPS_FORMAT_AUTO;
  return true;
}

bool spool_start_page(SpoolHandle printer) { return printer != nullptr && printer_of(printer)->job_id != 0; }

bool spool_end_page(SpoolHandle printer) { return printer != nullptr && printer_of(printer)->job_id != 0; }

bool sys::spool_write(SpoolHandle printer, const void* data, std::size_t len) {
  CupsPrinter* p = printer_of(printer);
  if (p == nullptr || p->job_id == 0 || (data == nullptr && len > 0)) return false;
  if (len == 0) return true;
  if (!p->streaming) {
    if (cupsStartDocument(p->http, p->queue.c_str(), p->job_id, p->doc_name.c_str(), p->format, 1) !=
        HTTP_STATUS_CONTINUE)
      return false;
    p->streaming = true;
  }
  return cupsWriteRequestData(p->http, static_cast<const char*>(data), len) == HTTP_STATUS_CONTINUE;
}

bool sys::spool_end_doc(SpoolHandle printer) {
  CupsPrinter* p = printer_of(printer);
  if (p == nullptr || p->job_id == 0) return false;
  bool ok;
  if (p->streaming) {
    ok = finish_stream(p);
  } else {
    // CUPS keeps no empty documents. The spooler has taken a job with nothing to print: the job
    // is done at once, so withdraw it rather than leave it waiting for a document forever.
    cupsCancelJob2(p->http, p->queue.c_str(), p->job_id, 0);
    ok = true;
  }
  forget_job(p);
  return ok;
}

bool spool_abort_doc(SpoolHandle printer) {
  CupsPrinter* p = printer_of(printer);
  if (p == nullptr || p->job_id == 0) return false;
  finish_stream(p);
  bool ok = cupsCancelJob2(p->http, p->queue.c_str(), p->job_id, 0) == IPP_STATUS_OK;
  forget_job(p);
  return ok;
}

}  // namespace kv::plat
