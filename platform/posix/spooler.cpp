// The spooler through libcups, and the printers addressed directly (direct.cpp).
//
// A printer's name is its queue name read with "_" as a space: queue KIRV_R5 is the printer "KIRV R5".
// Queue names hold no spaces, so opening accepts either spelling. A name that is a URI or a device path
// opens a printer without the spooler.
//
// A handle holds no connection to the CUPS server while no document is open: opening resolves the
// queue (one short exchange, then the connection is closed again), and each document connects, sends
// its one CUPS job and disconnects. Any number of open handles therefore cost the server nothing.
// Every exchange is bounded (exchange_bound); an exchange that runs out of time fails, and the handle
// is left with nothing open. Pages mean nothing to CUPS.
#include "kv/platform/spooler.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <set>
#include <string>

#include "open_printer.h"
#include "system.h"

namespace kv::plat {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds bound_from_env(const char* name, std::chrono::milliseconds fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  long long ms = std::strtoll(text, &end, 10);
  if (*end != '\0' || ms <= 0) return fallback;
  return std::chrono::milliseconds(ms);
}

// The handles spool_open gave out and spool_close has not taken back. A handle is checked against
// this set before use, so a stale or foreign value is refused rather than followed. When the library
// is unloaded (or the process ends), the printers still open are closed with it.
class Registry {
 public:
  ~Registry() {
    for (OpenPrinter* p : open_) delete p;
  }
  bool Holds(OpenPrinter* p) {
    std::lock_guard<std::mutex> hold(lock_);
    return open_.count(p) != 0;
  }
  void Add(OpenPrinter* p) {
    std::lock_guard<std::mutex> hold(lock_);
    open_.insert(p);
  }
  void Remove(OpenPrinter* p) {
    std::lock_guard<std::mutex> hold(lock_);
    open_.erase(p);
  }

 private:
  std::mutex lock_;
  std::set<OpenPrinter*> open_;
};

Registry& registry() {
  static Registry printers;
  return printers;
}

std::string queue_name(const char* printer_name) {
  std::string q(printer_name);
  for (char& c : q)
    if (c == ' ') c = '_';
  return q;
}

// One CUPS queue. `http` is open only from the start of a document to its end.
class CupsPrinter final : public OpenPrinter {
 public:
  explicit CupsPrinter(std::string queue) : queue_(std::move(queue)) {}
  ~CupsPrinter() override {
    if (job_id_ != 0) abort_doc();
    disconnect();
  }

  // Asks the server whether the queue exists.
  bool resolve() {
    if (!connect()) return false;
    ipp_t* request = new_request(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-name");
    bool found = exchange(request, nullptr);
    disconnect();
    return found;
  }

  bool start_doc(const char* doc_name, bool raw) override {
    if (job_id_ != 0 || !connect()) return false;
    int id = create_job(doc_name);
    if (id <= 0) {
      disconnect();
      return false;
    }
    job_id_ = id;
    doc_name_ = doc_name;
    format_ = raw ? CUPS_FORMAT_RAW : CUPS_FORMAT_AUTO;
    return true;
  }

  bool write(const void* data, std::size_t len) override {
    if (job_id_ == 0) return false;
    if (len == 0) return true;
    begin_exchange();
    if (!streaming_) {
      if (cupsStartDocument(http_, queue_.c_str(), job_id_, doc_name_.c_str(), format_, 1) != HTTP_STATUS_CONTINUE)
        return failed();
      streaming_ = true;
    }
    if (cupsWriteRequestData(http_, static_cast<const char*>(data), len) != HTTP_STATUS_CONTINUE) return failed();
    return true;
  }

  bool end_doc() override {
    if (job_id_ == 0) return false;
    begin_exchange();
    bool ok;
    if (streaming_) {
      ok = finish_stream();
    } else {
      // CUPS keeps no empty documents. The spooler has taken a job with nothing to print: the job
      // is done at once, so withdraw it rather than leave it waiting for a document forever.
      cancel_job();
      ok = true;
    }
    forget_job();
    return ok;
  }

  bool abort_doc() override {
    if (job_id_ == 0) return false;
    bool ok = false;
    // After an exchange that ran out of time the server is not answering: asking it to cancel would
    // only wait out the bound again. The dropped connection ends the half-sent request; the server
    // discards the job that never received its document.
    if (!broken_) {
      begin_exchange();
      finish_stream();
      ok = cancel_job();
    }
    forget_job();
    return ok;
  }

  bool in_doc() const override { return job_id_ != 0; }

 private:
  // Each wait inside libcups lasts at most one slice; between slices the deadline is checked.
  static int still_in_time(http_t*, void* self) {
    return Clock::now() < static_cast<CupsPrinter*>(self)->deadline_ ? 1 : 0;
  }

  void begin_exchange() { deadline_ = Clock::now() + exchange_bound(); }

  // A request about this queue. The library's own shortcuts for these requests also ask the server
  // for its default printer and the queue's capabilities over connections of their own, with no
  // bound; the requests are therefore made here, on this connection alone.
  ipp_t* new_request(ipp_op_t op) const {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue_.c_str());
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
  }

  // Sends the request and, when the server grants it, hands back the job id it names (if asked).
  bool exchange(ipp_t* request, int* job_id) {
    begin_exchange();
    const std::string resource = "/printers/" + queue_;
    ipp_t* response = cupsDoRequest(http_, request, resource.c_str());
    bool ok = response != nullptr && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
    if (ok && job_id != nullptr) {
      ipp_attribute_t* attr = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
      *job_id = attr != nullptr ? ippGetInteger(attr, 0) : 0;
      ok = *job_id > 0;
    }
    ippDelete(response);
    if (!ok) broken_ = true;
    return ok;
  }

  bool cancel_job() {
    ipp_t* request = new_request(IPP_OP_CANCEL_JOB);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job_id_);
    return exchange(request, nullptr);
  }

  // Asks for a new job and returns its id, or 0.
  int create_job(const char* title) {
    ipp_t* request = new_request(IPP_OP_CREATE_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title);
    int id = 0;
    return exchange(request, &id) ? id : 0;
  }

  bool connect() {
    begin_exchange();
    const int connect_ms = static_cast<int>(exchange_bound().count());
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, connect_ms, nullptr);
    if (http_ == nullptr) return false;
    const double slice = std::min(0.25, static_cast<double>(connect_ms) / 1000.0);
    httpSetTimeout(http_, slice, still_in_time, this);
    broken_ = false;
    return true;
  }

  void disconnect() {
    if (http_ != nullptr) httpClose(http_);
    http_ = nullptr;
  }

  bool failed() {
    broken_ = true;
    return false;
  }

  // Ends the current document's request with the server, if one is under way.
  bool finish_stream() {
    if (!streaming_) return true;
    streaming_ = false;
    return cupsFinishDocument(http_, queue_.c_str()) <= IPP_STATUS_OK_EVENTS_COMPLETE;
  }

  void forget_job() {
    job_id_ = 0;
    streaming_ = false;
    doc_name_.clear();
    disconnect();
  }

  std::string queue_;
  http_t* http_ = nullptr;
  Clock::time_point deadline_{};
  int job_id_ = 0;  // the job of the current document; 0 when none
  std::string doc_name_;
  const char* format_ = CUPS_FORMAT_RAW;
  bool streaming_ = false;  // the job's document has been started with the server
  bool broken_ = false;     // an exchange of this document failed
};

}  // namespace

std::chrono::milliseconds exchange_bound() {
  return bound_from_env("KV_SPOOLER_TIMEOUT_MS", std::chrono::milliseconds(30000));
}

std::chrono::milliseconds connect_bound() {
  return bound_from_env("KV_CONNECT_TIMEOUT_MS", std::chrono::milliseconds(5000));
}

OpenPrinter* printer_behind(SpoolHandle handle) {
  auto* p = static_cast<OpenPrinter*>(handle);
  return registry().Holds(p) ? p : nullptr;
}

SpoolHandle sys::spool_open(const char* printer_name) {
  if (printer_name == nullptr || printer_name[0] == '\0') return nullptr;
  OpenPrinter* p = nullptr;
  if (spool_is_direct_name(printer_name)) {
    p = open_direct(printer_name);
  } else {
    auto* cups = new (std::nothrow) CupsPrinter(queue_name(printer_name));
    if (cups != nullptr && !cups->resolve()) {
      delete cups;
      cups = nullptr;
    }
    p = cups;
  }
  if (p == nullptr) return nullptr;
  try {
    registry().Add(p);
  } catch (const std::bad_alloc&) {
    delete p;
    return nullptr;
  }
  return p;
}

bool spool_close(SpoolHandle printer) {
  OpenPrinter* p = printer_behind(printer);
  if (p == nullptr) return false;
  registry().Remove(p);
  delete p;  // abandons a document still open
  return true;
}

bool sys::spool_start_doc(SpoolHandle printer, const char* doc_name, const char* data_type) {
  OpenPrinter* p = printer_behind(printer);
  if (p == nullptr || p->in_doc() || doc_name == nullptr) return false;
  return p->start_doc(doc_name, data_type != nullptr && std::string(data_type) == "RAW");
}

bool spool_start_page(SpoolHandle printer) {
  OpenPrinter* p = printer_behind(printer);
  return p != nullptr && p->in_doc();
}

bool spool_end_page(SpoolHandle printer) { return spool_start_page(printer); }

bool sys::spool_write(SpoolHandle printer, const void* data, std::size_t len) {
  OpenPrinter* p = printer_behind(printer);
  if (p == nullptr || !p->in_doc() || (data == nullptr && len > 0)) return false;
  return p->write(data, len);
}

bool sys::spool_end_doc(SpoolHandle printer) {
  OpenPrinter* p = printer_behind(printer);
  if (p == nullptr || !p->in_doc()) return false;
  return p->end_doc();
}

bool spool_abort_doc(SpoolHandle printer) {
  OpenPrinter* p = printer_behind(printer);
  return p != nullptr && p->abort_doc();
}

}  // namespace kv::plat
