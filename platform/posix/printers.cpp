// The printer listing through libcups.
//
// A printer's name is its queue name read with "_" as a space (queue KIRV_R5 is the printer
// "KIRV R5"), its driver name the queue's make and model, and it counts as off line when the queue is
// stopped or reports itself off line. Instances of a queue (lpoptions) are not printers of their own.
#include "kv/platform/printers.h"

#include <cups/cups.h>

#include <cstring>

#include "system.h"

namespace kv::plat {

namespace {

constexpr const char kStateStopped[] = "5";  // IPP printer-state "stopped"

const char* option_of(const cups_dest_t& dest, const char* name) {
  const char* value = cupsGetOption(name, dest.num_options, dest.options);
  return value != nullptr ? value : "";
}

// True when a comma-separated list of state reasons holds an "offline" reason (with any suffix).
bool reports_offline(const char* reasons) {
  const char* p = reasons;
  while (*p != '\0') {
    if (std::strncmp(p, "offline", 7) == 0) return true;
    const char* comma = std::strchr(p, ',');
    if (comma == nullptr) break;
    p = comma + 1;
  }
  return false;
}

}  // namespace

PrinterListing sys::printers_list(std::vector<PrinterRecord>& out) {
  out.clear();
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  if (count <= 0) {
    cupsFreeDests(count, dests);
    return PrinterListing::Nothing;
  }
  for (int i = 0; i < count; ++i) {
    const cups_dest_t& dest = dests[i];
    if (dest.instance != nullptr || dest.name == nullptr) continue;
    PrinterRecord record;
    record.name = dest.name;
    for (char& c : record.name)
      if (c == '_') c = ' ';
    record.driver = option_of(dest, "printer-make-and-model");
    record.offline = std::strcmp(option_of(dest, "printer-state"), kStateStopped) == 0 ||
                     reports_offline(option_of(dest, "printer-state-reasons"));
    out.push_back(std::move(record));
  }
  cupsFreeDests(count, dests);
  return PrinterListing::Listed;
}

}  // namespace kv::plat
