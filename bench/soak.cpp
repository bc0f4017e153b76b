// Soak run: N labels (default 10,000) printed one after another in one process through the spooler
// named by CUPS_SERVER, each with text, a barcode, a box, a bitmap and TrueType text. Prints labels per
// second and the process's resident memory and open descriptors after the first label and at the
// end, so that a leak of memory or descriptors shows as growth. Exits non-zero on the first failure.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "kvtaglib.h"

namespace {

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long OpenDescriptors() {
  long n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n - 1;  // the listing's own descriptor
}

// One label; 0, or the code of the first step that failed.
int PrintOne(int serial) {
  static const unsigned char kBitmap[4 * 16] = {0x0F, 0xF0, 0x55, 0xAA};
  const std::string number = std::to_string(serial);
  int rc = KV_ClearBuffer();
  if (rc == KV_OK) rc = KV_SetLabelWidth(800);
  if (rc == KV_OK) rc = KV_DrawText(20, 20, 0, 3, 1, 1, 'N', ("Label " + number).c_str());
  if (rc == KV_OK) rc = KV_DrawBarcode(20, 60, 0, "1", 2, 4, 50, 'B', number.c_str());
  if (rc == KV_OK) rc = KV_DrawRectangle(10, 10, 3, 780, 300);
  if (rc == KV_OK) rc = KV_DrawBinGraphics(600, 20, 4, 16, kBitmap);
  if (rc == KV_OK) rc = KV_DrawTextTrueTypeW(20, 160, 40, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "SOAK", "Soak 标签");
  if (rc == KV_OK) rc = KV_PrintLabel(1, 1);
  return rc;
}

void Report(const char* when, int labels, double seconds) {
  std::printf("%-6s labels %6d  %8.1f labels/s  RSS %6ld KiB  descriptors %3ld\n", when, labels,
              seconds > 0 ? labels / seconds : 0.0, ResidentKiB(), OpenDescriptors());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int labels = argc > 1 ? std::atoi(argv[1]) : 10000;
  const char* printer = argc > 2 ? argv[2] : "KIRV R5";
  if (labels < 1) {
    std::fprintf(stderr, "usage: kv_soak [LABELS] [PRINTER]\n");
    return 2;
  }
  if (OpenPort(printer) != KV_OK) {
    std::fprintf(stderr, "the printer \"%s\" cannot be opened\n", printer);
    return 1;
  }
  using Clock = std::chrono::steady_clock;
  int rc = PrintOne(0);
  Report("start", 1, 0);
  const Clock::time_point begin = Clock::now();
  for (int i = 1; i < labels && rc == KV_OK; ++i) {
    rc = PrintOne(i);
    if (rc != KV_OK) std::fprintf(stderr, "label %d failed with %d\n", i, rc);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  Report("end", labels, seconds * labels / (labels > 1 ? labels - 1 : 1));
  ClosePort();
  return rc == KV_OK ? 0 : 1;
}
