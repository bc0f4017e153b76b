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
  // The spooler could not be reached, or did not answer within the bound of every spooler exchange
  // (KV_SPOOLER_TIMEOUT_MS on Linux); Linux only.
  Unreachable,
};

// Lists the local printers into `out`, which is emptied first. Bounded in time as every exchange with
// the spooler is.
PrinterListing printers_list(std::vector<PrinterRecord>& out);

}  // namespace kv::plat

#endif
