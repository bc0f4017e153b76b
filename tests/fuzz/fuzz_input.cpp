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

namespace {
fs::path work_folder;
void RemoveWorkFolder() {
  std::error_code ec;
  fs::current_path(fs::temp_directory_path(), ec);
  fs::remove_all(work_folder, ec);
}
}  // namespace

void EnterWorkFolder(const char* target) {
  const fs::path dir = fs::temp_directory_path() / (std::string("kvfuzz-") + target + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::current_path(dir);
  if (work_folder.empty()) std::atexit(RemoveWorkFolder);
  work_folder = dir;
}

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

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "finding: %s\n", what);
  std::abort();
}

}  // namespace kvfuzz
