#include "capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "test_env.h"

namespace fs = std::filesystem;

namespace kvtest {

namespace {

fs::path CaptureDir() {
  const char* dir = std::getenv("KV_CAPTURE_DIR");
  return dir != nullptr ? fs::path(dir) : fs::path();
}

fs::path JobPath(std::size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "job-%06zu.prn", index + 1);
  return CaptureDir() / name;
}

}  // namespace

std::size_t CapturedJobCount() {
  std::size_t n = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(CaptureDir(), ec))
    if (entry.path().extension() == ".prn") ++n;
  return n;
}

std::string WaitForJob(std::size_t index) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::error_code ec;
  while (!fs::exists(JobPath(index), ec)) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the capture printer received no job number " << index + 1;
      return "<no job>";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return ReadWhole(JobPath(index));
}

}  // namespace kvtest
