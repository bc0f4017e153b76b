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
  EXPECT_EQ(SpoolBytes(), "N\r\n");
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

// The code and LastError of a spool file that cannot be created are swept in sweep_test.cpp.
TEST_F(SpoolTest, SpoolFileThatCannotBeCreatedLeavesNothingToAppendTo) {
  kv::plat::fault_arm(FaultSite::FileCreate, 1);
  EXPECT_EQ(ClearTmpFile(), KV_ERR_TMP_CREATE);
  EXPECT_EQ(conn.TmpFileHandle, kv::plat::kInvalidFile);
  EXPECT_EQ(Pulse("x", 1, 0), KV_ERR_TMP_WRITE);
}

// The full name (directory, separator, "KIRVtemp.prn", terminating zero) must fit in 260 bytes.
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
               {0, KV_ERR_PULSE_LENGTH, true},
               {1, KV_OK}};
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

TEST_F(SpoolTest, FileAppendersGoInPiecesOfOneBuffer) {
  const std::string content = Bytes(2 * kv::kBufferSize + 1234, 7);
  WriteWhole(dir_ / "payload.bin", content);
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  ASSERT_EQ(OurSendFile("payload.bin", 0), KV_OK);
  EXPECT_EQ(SpoolBytes(), content);

  ASSERT_EQ(ClearTmpFile(), KV_OK);
  int counter = 5;  // the library adds to whatever the caller put there
  kvtest::PaintRecorder window(&counter);
  ASSERT_EQ(OurSendFileEx("payload.bin", 0, window.window(), &counter), KV_OK);
  EXPECT_EQ(SpoolBytes(), content);
  EXPECT_EQ(counter, 5 + static_cast<int>(content.size()));
  const std::vector<int> paints = {5 + 10240, 5 + 20480, 5 + 20480 + 1234};
  EXPECT_EQ(window.paints(), paints) << "one paint after each piece, with the counter already added to";
}

// Without a window nothing is counted or painted; without a counter the window is still told of
// each piece and nothing is written through the null pointer.
TEST_F(SpoolTest, NoWindowOrNoCounter) {
  WriteWhole(dir_ / "payload.bin", Bytes(15000));
  for (const bool window_given : {false, true}) {
    SCOPED_TRACE(window_given);
    ASSERT_EQ(ClearTmpFile(), KV_OK);
    int counter = 42;
    kvtest::PaintRecorder window(&counter);
    ASSERT_EQ(
        OurSendFileEx("payload.bin", 0, window_given ? window.window() : kNoWindow, window_given ? nullptr : &counter),
        KV_OK);
    EXPECT_EQ(counter, 42);
    EXPECT_EQ(window.paints().size(), window_given ? 2u : 0u);
    EXPECT_EQ(SpoolBytes().size(), 15000u);
  }
}

TEST_F(SpoolTest, EmptyAndMissingFiles) {
  WriteWhole(dir_ / "empty.bin", "");
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  int counter = 0;
  kvtest::PaintRecorder window(&counter);
  SetErrState(-77);
  EXPECT_EQ(OurSendFileEx("empty.bin", 0, window.window(), &counter), KV_OK);
  EXPECT_TRUE(window.paints().empty()) << "no paint at the end of the file";
  EXPECT_EQ(OurSendFile("missing.bin", 0), KV_ERR_FILE_OPEN);
  EXPECT_EQ(OurSendFileEx("missing.bin", 0, window.window(), &counter), KV_ERR_FILE_OPEN);
  EXPECT_EQ(OurSendFile(nullptr, 0), KV_ERR_FILE_OPEN);
  EXPECT_EQ(OurSendFile(".", 0), KV_ERR_FILE_OPEN) << "a directory is no file to append";
  EXPECT_TRUE(window.paints().empty());
  EXPECT_EQ(counter, 0);
  EXPECT_EQ(GetErrState(), -77) << "-2222 is returned, not stored";
  EXPECT_EQ(SpoolBytes(), "");
}

TEST_F(SpoolTest, FailedPieceEndsTheTransferAndKeepsWhatCameBefore) {
  const std::string content = Bytes(3 * kv::kBufferSize);
  WriteWhole(dir_ / "payload.bin", content);
  struct Case {
    FaultSite site;
    int code;
  } cases[] = {{FaultSite::FileWrite, KV_ERR_TMP_WRITE}, {FaultSite::FileRead, KV_ERR_FILE_READ}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_EQ(ClearTmpFile(), KV_OK);
    int counter = 0;
    kvtest::PaintRecorder window(&counter);
    kv::plat::fault_arm(c.site, 2);
    EXPECT_EQ(OurSendFileEx("payload.bin", 0, window.window(), &counter), c.code);
    EXPECT_EQ(GetErrState(), c.code);
    EXPECT_EQ(SpoolBytes(), content.substr(0, kv::kBufferSize)) << "the spool file is never rolled back";
    EXPECT_EQ(counter, kv::kBufferSize) << "no count for the failed piece";
    EXPECT_EQ(window.paints(), std::vector<int>{kv::kBufferSize});
  }
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
