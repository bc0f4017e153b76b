#include "test_env.h"

#include <cstdlib>
#include <sstream>

#include "connection.h"
#include "kv/platform/fault.h"
#include "kv/platform/memory.h"
#include "kvtaglib.h"
#include "platform.h"

namespace fs = std::filesystem;

namespace kvtest {

namespace {

std::vector<std::string>* message_sink = nullptr;

void OnMessage(const char* text, void*) {
  if (message_sink != nullptr) message_sink->push_back(text);
}

void OnRepaint(void* window, void*) { static_cast<PaintRecorder*>(window)->Record(); }

// Checks that the test spooler is there and gives its queues the printer names that the tests use.
class SpoolerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_NE(std::getenv("CUPS_SERVER"), nullptr) << "run the tests through ctest: the test spooler is missing";
    ASSERT_NE(std::getenv("KV_CAPTURE_DIR"), nullptr) << "run the tests through ctest: the capture printer is missing";
    const char* const aliases[][2] = {
        {"KIRV R5", "KIRV_R5"},
        {"KIRV R5i", "KIRV_R5i"},
        {"KIRV R5 Stopped", "KIRV_R5_Stopped"},
        {"Raw Refusing", "Raw_Refusing"},
    };
    for (const auto& alias : aliases) EnsurePrinter(alias[0], alias[1], alias[1]);
  }
};

}  // namespace

fs::path EnterFreshDirectory(const char* prefix) {
  static int serial = 0;
  std::ostringstream name;
  name << prefix << ::testing::UnitTest::GetInstance()->current_test_info()->name() << "-" << ++serial;
  std::string leaf = name.str();
  for (char& c : leaf)
    if (c == '/') c = '_';
  fs::path dir = fs::temp_directory_path() / leaf;
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::current_path(dir);
  return dir;
}

void LeaveDirectory(const fs::path& dir) {
  fs::current_path(fs::temp_directory_path());
  std::error_code ec;
  fs::remove_all(dir, ec);
}

fs::path MakeDirectoryOfLength(const fs::path& base, std::size_t length) {
  fs::path deep = base;
  const std::size_t start = deep.string().size();
  EXPECT_LT(start + 2, length) << "the temporary folder is already too deep";
  std::size_t left = length > start ? length - start : 0;
  while (left > 1) {  // components of at most 100 characters, each after its separator
    std::size_t part = std::min<std::size_t>(left - 1, 100);
    if (left - 1 - part == 1) --part;  // never leave a remainder of a bare separator
    deep /= std::string(part, 'd');
    left -= part + 1;
  }
  EXPECT_EQ(deep.string().size(), length);
  fs::create_directories(deep);
  return deep;
}

std::string Bytes(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>((x >> 16) & 0xFF);
  }
  return s;
}

PaintRecorder::PaintRecorder(const int* counter) : counter_(counter), window_(OpenPaintWindow(this)) {}

PaintRecorder::~PaintRecorder() { ClosePaintWindow(window_); }

void LibraryTest::SetUp() {
  kv::ResetConnectionForTests();
  kv::plat::fault_clear();
  dir_ = EnterFreshDirectory("kvtest-");
  message_sink = &messages_;
  // Where paints go to the window, as in real use, no repaint handler stands in between.
  kv::SetHostHandlers(OnMessage, kPaintsReachTheWindow ? nullptr : OnRepaint, nullptr);
  // The messages in the language the tests compare them in, whatever the locale of the run.
  kv::SetMessageLanguage(kv::MessageLanguage::Chinese);
}

std::vector<std::string> LibraryTest::TakeMessages() {
  std::vector<std::string> taken;
  taken.swap(messages_);
  return taken;
}

void LibraryTest::TearDown() {
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{}) << "the library showed messages no one expected";
  kv::ResetConnectionForTests();
  kv::plat::fault_clear();
  EXPECT_EQ(kv::plat::mem_blocks_in_use(), 0u) << "the library kept blocks it should have released";
  message_sink = nullptr;
  kv::SetHostHandlers(nullptr, nullptr, nullptr);
  kv::SetMessageLanguage(kv::MessageLanguage::Locale);
  LeaveDirectory(dir_);
}

int LibraryTest::OpenAndClearTmpFile(const char* printer) {
  const int rc = OpenPort(printer);
  return rc != KV_OK ? rc : ClearTmpFile();
}

int LibraryTest::OpenAndClearBuffer(const char* printer) {
  const int rc = OpenPort(printer);
  return rc != KV_OK ? rc : KV_ClearBuffer();
}

fs::path LibraryTest::SpoolFile() const { return fs::path(kv::conn.TmpFileName); }

}  // namespace kvtest

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new kvtest::SpoolerEnvironment);
  return RUN_ALL_TESTS();
}
