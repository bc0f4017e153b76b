// What every library test stands on: a fresh connection, its own working directory, the library's messages
// recorded instead of shown, and the test spooler's printers.
#ifndef KV_TESTS_TEST_ENV_H
#define KV_TESTS_TEST_ENV_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kvtest {

// The printer that every end-to-end test prints to; the spooler's queue KIRV_R5.
inline constexpr const char kPrinter[] = "KIRV R5";

// Defined here so that the test programs without the spooler's set-up (and its main) can use them too.
inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteWhole(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Makes an empty folder for the running test, named after it, and makes it the current directory.
std::filesystem::path EnterFreshDirectory(const char* prefix);

// Leaves the folder of EnterFreshDirectory for the temporary folder and removes it with its content.
void LeaveDirectory(const std::filesystem::path& dir);

// Makes a folder inside `base` whose full path is exactly `length` characters long.
std::filesystem::path MakeDirectoryOfLength(const std::filesystem::path& base, std::size_t length);

// `n` bytes of every value 0 to 255, CR, LF and zero bytes among them, in a fixed pseudo-random order.
std::string Bytes(std::size_t n, unsigned seed = 1);

// A window that records each paint request: the value of the byte counter it watches at that moment.
class PaintRecorder {
 public:
  explicit PaintRecorder(const int* counter);
  ~PaintRecorder();
  PaintRecorder(const PaintRecorder&) = delete;
  PaintRecorder& operator=(const PaintRecorder&) = delete;

  void* window() const { return window_; }
  const std::vector<int>& paints() const { return paints_; }
  void Record() { paints_.push_back(*counter_); }

 private:
  const int* counter_;
  void* window_ = nullptr;
  std::vector<int> paints_;
};

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // OpenPort, then ClearTmpFile (an empty job) or KV_ClearBuffer (a job of "N"): the first code that is not 0.
  static int OpenAndClearTmpFile(const char* printer);
  static int OpenAndClearBuffer(const char* printer);

  // The spool file of the current job.
  std::filesystem::path SpoolFile() const;
  std::string SpoolBytes() const { return ReadWhole(SpoolFile()); }

  // The messages the library has shown since the last call; one left at the end of a test fails it.
  std::vector<std::string> TakeMessages();

  std::filesystem::path dir_;          // the current directory during the test
  std::vector<std::string> messages_;  // messages the library showed, in order
};

}  // namespace kvtest

#endif
