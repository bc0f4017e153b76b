#include <cstdlib>
#include <filesystem>

#include "delivery_printers.h"
#include "test_env.h"

namespace kvtest {

namespace {

std::filesystem::path HarnessDir() {
  const char* dir = std::getenv("KV_HARNESS_DIR");
  return dir != nullptr ? std::filesystem::path(dir) : std::filesystem::path();
}

}  // namespace

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
