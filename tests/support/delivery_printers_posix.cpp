#include "delivery_printers.h"
#include "posix_process.h"
#include "test_env.h"

namespace kvtest {

std::string CaptureSocketUri() {
  std::string port = ReadWhole(HarnessDir() / "capture.port");
  return port.empty() ? std::string() : "socket://127.0.0.1:" + port;
}

std::vector<DeliveryPrinter> DeliveryPrinters() {
  return {
      {"Spooler", kPrinter, true},
      {"Socket", CaptureSocketUri(), true},
      {"Device", "usb:" + (HarnessDir() / "device.fifo").string(), false},
  };
}

}  // namespace kvtest
