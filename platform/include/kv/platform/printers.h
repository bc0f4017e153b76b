// The printers installed on this machine, as the spooler lists them: name, driver, off-line mark.
#ifndef KV_PLATFORM_PRINTERS_H
#define KV_PLATFORM_PRINTERS_H

#include <string>
#include <vector>

namespace kv::plat {

struct PrinterRecord {
  std::string name;      // the printer's name, as the spooler opens it (a CUPS queue with "_" read as " ")
  std::string driver;    // the driver's name (CUPS: the queue's make and model)
  bool offline = false;  // the spooler marks the printer as not working (off line, or stopped in CUPS)
};

// How a listing ended.
enum class PrinterListing {
  Listed,    // the records are in `out`, in the spooler's order
  Nothing,   // the spooler reported nothing to list (no printers, or no answer to the size query)
  NoMemory,  // no block for the records could be had
  Failed,    // the spooler refused the listing itself
};

// Lists the local printers into `out`, which is emptied first.
PrinterListing printers_list(std::vector<PrinterRecord>& out);

}  // namespace kv::plat

#endif
