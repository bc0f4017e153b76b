// On Windows every printer is the spooler's.
#include "delivery_printers.h"
#include "test_env.h"

namespace kvtest {

std::string CaptureSocketUri() { return std::string(); }

std::vector<DeliveryPrinter> DeliveryPrinters() { return {{"Spooler", kPrinter, true}}; }

}  // namespace kvtest
