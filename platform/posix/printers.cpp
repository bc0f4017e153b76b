// The printer listing through libcups.
//
// A printer's name is its queue name read with "_" as a space (queue KIRV_R5 is the printer
// "KIRV R5"), its driver name the queue's make and model, and it counts as off line when the queue is
// stopped or reports itself off line. Instances of a queue (lpoptions) are not printers of their own.
//
// The listing is one CUPS-Get-Printers request on a connection of its own, bounded as every spooler
// exchange is (exchange_bound): libcups's own listing calls wait without a bound on a spooler that has
// stopped answering, and ask other services (the default printer, network browsing) besides.
#include "kv/platform/printers.h"

#include <cups/cups.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <string>

#include "open_printer.h"
#include "system.h"

namespace kv::plat {

namespace {

using Clock = std::chrono::steady_clock;

// True when one of the state reasons is an "offline" reason (with any suffix).
bool reports_offline(ipp_attribute_t* reasons) {
  for (int i = 0; i < ippGetCount(reasons); ++i) {
    const char* reason = ippGetString(reasons, i, nullptr);
    if (reason != nullptr && std::strncmp(reason, "offline", 7) == 0) return true;
  }
  return false;
}

// Each wait inside libcups lasts at most one slice; between slices the deadline is checked.
int still_in_time(http_t*, void* deadline) { return Clock::now() < *static_cast<Clock::time_point*>(deadline) ? 1 : 0; }

// The records of the response's printer groups, sorted by name as the spooler's own listing is.
void read_records(ipp_t* response, std::vector<PrinterRecord>& out) {
  ipp_attribute_t* a = ippFirstAttribute(response);
  while (a != nullptr) {
    while (a != nullptr && ippGetGroupTag(a) != IPP_TAG_PRINTER) a = ippNextAttribute(response);
    if (a == nullptr) break;
    PrinterRecord record;
    bool named = false;
    for (; a != nullptr && ippGetGroupTag(a) == IPP_TAG_PRINTER; a = ippNextAttribute(response)) {
      const char* attr = ippGetName(a);
      if (attr == nullptr) continue;
      const char* text = ippGetString(a, 0, nullptr);
      if (std::strcmp(attr, "printer-name") == 0 && text != nullptr) {
        record.name = text;
        named = true;
      } else if (std::strcmp(attr, "printer-make-and-model") == 0 && text != nullptr) {
        record.driver = text;
      } else if (std::strcmp(attr, "printer-state") == 0) {
        record.offline = record.offline || ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
      } else if (std::strcmp(attr, "printer-state-reasons") == 0) {
        record.offline = record.offline || reports_offline(a);
      }
    }
    if (!named) continue;
    for (char& c : record.name)
      if (c == '_') c = ' ';
    out.push_back(std::move(record));
  }
  std::sort(out.begin(), out.end(), [](const PrinterRecord& x, const PrinterRecord& y) {
    return strcasecmp(x.name.c_str(), y.name.c_str()) < 0;
  });
}

}  // namespace

PrinterListing sys::printers_list(std::vector<PrinterRecord>& out) {
  out.clear();
  const std::chrono::milliseconds bound = exchange_bound();
  Clock::time_point deadline = Clock::now() + bound;
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              static_cast<int>(bound.count()), nullptr);
  if (http == nullptr) return PrinterListing::Unreachable;
  httpSetTimeout(http, std::min(0.25, static_cast<double>(bound.count()) / 1000.0), still_in_time, &deadline);

  static const char* const kWanted[] = {"printer-name", "printer-make-and-model", "printer-state",
                                        "printer-state-reasons"};
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(sizeof kWanted / sizeof kWanted[0]), nullptr, kWanted);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  ipp_t* response = cupsDoRequest(http, request, "/");
  const bool in_time = Clock::now() < deadline;
  httpClose(http);

  PrinterListing result = PrinterListing::Listed;
  if (response == nullptr) {
    // No answer at all: the spooler went away, or it did not answer in time.
    result = !in_time || cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE ? PrinterListing::Unreachable
                                                                                 : PrinterListing::Failed;
  } else if (ippGetStatusCode(response) == IPP_STATUS_ERROR_NOT_FOUND) {
    result = PrinterListing::Nothing;  // the spooler's answer when it has no printers
  } else if (ippGetStatusCode(response) > IPP_STATUS_OK_EVENTS_COMPLETE) {
    result = PrinterListing::Failed;
  } else {
    try {
      read_records(response, out);
    } catch (const std::bad_alloc&) {
      out.clear();
      result = PrinterListing::NoMemory;
    }
    if (result == PrinterListing::Listed && out.empty()) result = PrinterListing::Nothing;
  }
  ippDelete(response);
  return result;
}

}  // namespace kv::plat
