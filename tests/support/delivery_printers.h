// The printers the delivery tests print to: the spooler's queue and, where printers open without the spooler,
// the capture printer's own port and a FIFO standing in for a printer's device file.
#ifndef KV_TESTS_DELIVERY_PRINTERS_H
#define KV_TESTS_DELIVERY_PRINTERS_H

#include <ostream>
#include <string>
#include <vector>

namespace kvtest {

struct DeliveryPrinter {
  std::string label;  // names the test case: letters and digits only
  std::string name;   // the name given to OpenPort
  bool counts_jobs;   // each job arrives on its own (a device's byte stream may join two jobs)
};

std::vector<DeliveryPrinter> DeliveryPrinters();

// How a failing test names its printer.
inline void PrintTo(const DeliveryPrinter& printer, std::ostream* out) { *out << printer.name; }

// "socket://127.0.0.1:PORT" of the capture printer; empty where printers are not opened directly.
std::string CaptureSocketUri();

}  // namespace kvtest

#endif
