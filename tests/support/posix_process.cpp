#include "posix_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "test_env.h"

namespace fs = std::filesystem;

namespace kvtest {

fs::path HarnessDir() {
  const char* dir = std::getenv("KV_HARNESS_DIR");
  return dir != nullptr ? fs::path(dir) : fs::path();
}

pid_t SpoolerPid() { return static_cast<pid_t>(std::atol(ReadWhole(HarnessDir() / "cupsd.pid").c_str())); }

void RestartSpooler() {
  const std::string command = std::string(KV_PYTHON) + " " + KV_HARNESS_SCRIPT + " restart " + HarnessDir().string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

int OpenSocketCount() {
  int n = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
    std::error_code link_ec;
    if (fs::read_symlink(entry.path(), link_ec).string().rfind("socket:", 0) == 0) ++n;
  }
  return n;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) { setenv(name, value, 1); }
ScopedEnv::~ScopedEnv() { unsetenv(name_); }

}  // namespace kvtest
