// A small label through the library: a job of a few raw command lines and a prepared command file,
// delivered as one raw job to the printer.
//
//   sample_label [printer] [command file]
//
// The printer defaults to "KIRV R5"; the command file, when given, is appended after the lines.
#include <cstdio>
#include <cstring>

#include "kvtaglib.h"

namespace {

int Check(const char* what, int rc) {
  if (rc != KV_OK) std::fprintf(stderr, "sample_label: %s failed with %d\n", what, rc);
  return rc;
}

int PulseLine(const char* line) { return Pulse(line, static_cast<int>(std::strlen(line)), 0); }

}  // namespace

int main(int argc, char** argv) {
  const char* printer = argc > 1 ? argv[1] : "KIRV R5";
  const char* command_file = argc > 2 ? argv[2] : nullptr;

  if (Check("OpenPort", OpenPort(printer)) != KV_OK) {
    ClosePort();
    return 1;
  }
  int rc = Check("KV_ClearBuffer", KV_ClearBuffer());
  if (rc == KV_OK) rc = Check("Pulse", PulseLine("q812\r\n"));
  if (rc == KV_OK) rc = Check("Pulse", PulseLine("Q406,24\r\n"));
  if (rc == KV_OK) rc = Check("Pulse", PulseLine("A50,40,0,3,1,1,N,\"KIRV label kit\"\r\n"));
  if (rc == KV_OK && command_file != nullptr) rc = Check("OurSendFile", OurSendFile(command_file, 0));
  if (rc == KV_OK) rc = Check("Pulse", PulseLine("W1,1\r\n"));
  if (rc == KV_OK) rc = Check("KV_WritePrinter", KV_WritePrinter());
  ClosePort();
  if (rc == KV_OK) std::printf("sample_label: job sent to \"%s\"\n", printer);
  return rc == KV_OK ? 0 : 1;
}
