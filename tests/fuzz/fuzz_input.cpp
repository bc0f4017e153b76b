#include "fuzz_input.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "connection.h"
#include "kvtaglib.h"

namespace fs = std::filesystem;

namespace kvfuzz {

void StartJob() {
  if (kv::PortIsClosed()) {
    // The held queue: a fuzz run may deliver (KV_PrintLabel), and nothing of it is to be printed.
    Check(OpenPort("KIRV R5 Stopped") == KV_OK, "the test spooler's queue \"KIRV R5 Stopped\" cannot be opened");
  }
  Check(ClearTmpFile() == KV_OK, "no spool file");
}

std::string SpoolBytes() { return ReadFile(kv::conn.TmpFileName); }

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const char* path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool DecodePcx(const std::string& code, std::string* bytes) {
  bytes->clear();
  for (std::size_t i = 0; i < code.size();) {
    const unsigned char b = static_cast<unsigned char>(code[i++]);
    if (b < 0xC0) {
      bytes->push_back(static_cast<char>(b));
    } else if (i == code.size() || (b & 0x3F) == 0) {
      return false;
    } else {
      bytes->append(b & 0x3F, code[i++]);
    }
  }
  return true;
}

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "finding: %s\n", what);
  std::abort();
}

}  // namespace kvfuzz

namespace {
fs::path work_folder;
void RemoveWorkFolder() {
  std::error_code ec;
  fs::current_path(fs::temp_directory_path(), ec);
  fs::remove_all(work_folder, ec);
}
}  // namespace

// Every target runs in a fresh folder of its own under the system's temporary folder (KV_FUZZ_TARGET is
// the target's name), removed at exit.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const fs::path dir = fs::temp_directory_path() / ("kvfuzz-" KV_FUZZ_TARGET "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::current_path(dir);
  work_folder = dir;
  std::atexit(RemoveWorkFolder);
  return 0;
}
