// The spool file: its name, creation, the raw appenders and their pieces, and delivery's failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "connection.h"
#include "kv/platform/fault.h"
#include "kvtaglib.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

using kv::conn;
using kv::SetErrState;
using kv::plat::FaultSite;
using kvtest::Bytes;
using kvtest::kPrinter;
using kvtest::ReadWhole;
using kvtest::WriteWhole;

void* const kNoWindow = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));

class SpoolTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    ASSERT_EQ(OpenPort(kPrinter), KV_OK);
  }
};

// ClearTmpFile names the file in the current directory once and empties it; the name stays when the
// directory changes, and a closed connection leaves it alone.
TEST_F(SpoolTest, SpoolFileIsNamedOnceInTheCurrentDirectory) {
  ASSERT_EQ(KV_ClearBuffer(), KV_OK);
  const fs::path first = SpoolFile();
  EXPECT_TRUE(fs::equivalent(first.parent_path(), fs::current_path()));
  EXPECT_EQ(first.filename(), "KIRVtemp.prn");
  ASSERT_EQ(Pulse("old job", 7, 0), KV_OK);
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  EXPECT_EQ(SpoolBytes(), "");
  EXPECT_NE(conn.TmpFileHandle, kv::plat::kInvalidFile);
  fs::create_directory(dir_ / "elsewhere");
  fs::current_path(dir_ / "elsewhere");
  ASSERT_EQ(Pulse("AB", 2, 0), KV_OK);
  EXPECT_EQ(SpoolFile(), first);
  EXPECT_EQ(ReadWhole(first), "AB");
  ClosePort();
  const int stored = GetErrState();
  EXPECT_EQ(ClearTmpFile(), KV_ERR_TMP_CLOSED);
  EXPECT_EQ(KV_ClearBuffer(), KV_ERR_TMP_CLOSED);
  EXPECT_EQ(SpoolFile(), first);
  EXPECT_EQ(GetErrState(), stored) << "closed codes are returned, not stored";
}

// A work file's full name (directory, separator, name, terminating zero) must fit in 260 bytes: the spool
// file's here, and the image work file's by the same rule.
TEST_F(SpoolTest, CurrentDirectoryAtTheLimitOfTheName) {
  const std::size_t longest_dir = kv::kMaxPath - 1 - std::strlen("/KIRVtemp.prn");
  for (std::size_t length : {longest_dir, longest_dir + 1}) {
    SCOPED_TRACE(length);
    const fs::path deep = kvtest::MakeDirectoryOfLength(dir_, length);
    fs::current_path(deep);
    if (length == longest_dir) {
      EXPECT_EQ(ClearTmpFile(), KV_OK);
      EXPECT_EQ(std::strlen(conn.TmpFileName), static_cast<std::size_t>(kv::kMaxPath - 1));
      EXPECT_TRUE(fs::exists(SpoolFile()));
    } else {
      EXPECT_EQ(ClearTmpFile(), KV_ERR_TMP_CREATE);
      EXPECT_EQ(conn.TmpFileName[0], '\0') << "no cut-off name is kept";
      EXPECT_FALSE(fs::exists(deep / "KIRVtemp.prn"));
    }
    fs::current_path(dir_);
  }
}

TEST_F(SpoolTest, PulseLengths) {
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  const std::string data = Bytes(kv::kBufferSize + 1);
  struct Case {
    int length;
    int code;
    bool no_data = false;
  } cases[] = {{10240, KV_OK},
               {10241, KV_ERR_PULSE_LENGTH},
               {0, KV_OK},
               {-1, KV_ERR_PULSE_LENGTH},
               {INT32_MIN, KV_ERR_PULSE_LENGTH},
               {5, KV_ERR_PULSE_LENGTH, true},
               {0, KV_ERR_PULSE_LENGTH, true}};
  std::string expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << (c.no_data ? " bytes without data" : " bytes"));
    SetErrState(-77);
    EXPECT_EQ(Pulse(c.no_data ? nullptr : data.data(), c.length, 0), c.code);
    if (c.code == KV_OK) {
      expected.append(data, 0, static_cast<std::size_t>(c.length));
      EXPECT_EQ(GetErrState(), 0) << "Pulse stores its result, 0 included";
    } else {
      EXPECT_EQ(GetErrState(), -77) << "a refused call is not stored";
    }
    EXPECT_EQ(SpoolBytes(), expected);
  }
}

// The file appenders go in pieces of one buffer. With a window and a counter, the counter grows by each
// piece and the window is painted after it; a failed piece ends the transfer and keeps what came before.
TEST_F(SpoolTest, FileAppendersGoInPiecesOfOneBuffer) {
  constexpr int B = kv::kBufferSize;
  const std::string content = Bytes(2 * B + 1234, 7);
  WriteWhole(dir_ / "data", content);
  WriteWhole(dir_ / "empty", "");
  constexpr FaultSite kNone = FaultSite::Count, kWrite = FaultSite::FileWrite, kRead = FaultSite::FileRead;
  const struct {
    const char* name;
    const char* file;
    bool window, counter;  // given, or not
    FaultSite failing;     // its second call fails
    int rc;
    int stored;  // LastError after the call; -77 is untouched
    std::size_t appended;
    std::vector<int> paints;  // the counter at each paint, which it keeps after the last
  } cases[] = {
      {"whole", "data", true, true, kNone, KV_OK, -77, content.size(), {5 + B, 5 + 2 * B, 5 + 2 * B + 1234}},
      {"no window", "data", false, true, kNone, KV_OK, -77, content.size(), {}},
      {"no counter", "data", true, false, kNone, KV_OK, -77, content.size(), {5, 5, 5}},
      {"empty file", "empty", true, true, kNone, KV_OK, -77, 0, {}},
      {"missing file", "missing", true, true, kNone, KV_ERR_FILE_OPEN, -77, 0, {}},
      {"piece not appended", "data", true, true, kWrite, KV_ERR_TMP_WRITE, KV_ERR_TMP_WRITE, B, {5 + B}},
      {"piece not read", "data", true, true, kRead, KV_ERR_FILE_READ, KV_ERR_FILE_READ, B, {5 + B}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(ClearTmpFile(), KV_OK);
    SetErrState(-77);
    int counter = 5;  // the library adds to whatever the caller put there
    kvtest::PaintRecorder window(&counter);
    if (c.failing != kNone) kv::plat::fault_arm(c.failing, 2);
    EXPECT_EQ(OurSendFileEx(c.file, 0, c.window ? window.window() : kNoWindow, c.counter ? &counter : nullptr), c.rc);
    EXPECT_EQ(GetErrState(), c.stored);
    EXPECT_EQ(SpoolBytes(), content.substr(0, c.appended)) << "the spool file is never rolled back";
    EXPECT_EQ(window.paints(), c.paints);
    EXPECT_EQ(counter, c.paints.empty() ? 5 : c.paints.back());
  }
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  SetErrState(-77);
  EXPECT_EQ(OurSendFile("data", 0), KV_OK);
  EXPECT_EQ(SpoolBytes(), content);
  for (const char* unusable : {"missing", static_cast<const char*>(nullptr), "."})  // "." is a directory
    EXPECT_EQ(OurSendFile(unusable, 0), KV_ERR_FILE_OPEN) << (unusable != nullptr ? unusable : "null");
  EXPECT_EQ(GetErrState(), -77) << "-2222 is returned, not stored";
}

TEST_F(SpoolTest, DeliveryFromUnreadableSpoolFileSendsNothing) {
  EXPECT_EQ(KV_WritePrinter(), KV_ERR_TMP_READ) << "no spool file was ever named";
  struct Case {
    FaultSite site;
    const char* what;
  } cases[] = {{FaultSite::FileOpenRead, "cannot be opened"}, {FaultSite::FileRead, "reads short"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(KV_ClearBuffer(), KV_OK);
    kv::plat::fault_arm(c.site, 1);
    // A start of document would mean a job was sent: arm it to fail so that it would show.
    kv::plat::fault_arm(FaultSite::SpoolStartDoc, 1);
    EXPECT_EQ(KV_WritePrinter(), KV_ERR_TMP_READ);
    EXPECT_EQ(GetErrState(), KV_ERR_TMP_READ);
    EXPECT_TRUE(kv::plat::fault_now(FaultSite::SpoolStartDoc)) << "no document was started";
  }
}

}  // namespace
