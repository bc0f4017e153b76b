// Files of fixed name (the spool file, the work files "PrnTmp" and "KIRV.pcx") and print files with a link
// or a FIFO put in their place: nothing is read through a link, nothing waits on a FIFO, nothing with
// another name is truncated, and a rewritten file keeps its mode and owner.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "connection.h"
#include "kv/platform/fault.h"
#include "kvtaglib.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

using kv::plat::FaultSite;
using kvtest::ReadWhole;
using kvtest::WriteWhole;

constexpr const char kSecret[] = "not for the printer";

class FixedNamesTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    // A hang on a FIFO ends the test program instead of stalling the run.
    alarm(60);
    // A stopped queue: any job that slips through is held there, not printed by the capture printer.
    ASSERT_EQ(OpenPort("KIRV R5 Stopped"), KV_OK);
    WriteWhole(dir_ / "secret", kSecret);
  }
  void TearDown() override {
    alarm(0);
    EXPECT_EQ(ReadWhole(dir_ / "secret"), kSecret) << "the file behind the link is untouched";
    LibraryTest::TearDown();
  }
  static void MakeFifo(const fs::path& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); }
};

// A link or a FIFO swapped in at the spool file's name after ClearTmpFile; KV_PrintLabel delivers the same way.
TEST_F(FixedNamesTest, DeliverySendsOnlyAPlainSpoolFile) {
  const fs::path spool = dir_ / "KIRVtemp.prn";
  for (const bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "FIFO" : "link");
    ASSERT_EQ(ClearTmpFile(), KV_OK);
    ASSERT_EQ(Pulse("N\r\n", 3, 0), KV_OK);
    fs::remove(spool);
    if (fifo) {
      MakeFifo(spool);
    } else {
      fs::create_symlink(dir_ / "secret", spool);
    }
    kv::plat::fault_arm(FaultSite::SpoolStartDoc, 1);  // a started document would show
    EXPECT_EQ(KV_WritePrinter(), KV_ERR_TMP_READ);
    EXPECT_TRUE(kv::plat::fault_now(FaultSite::SpoolStartDoc)) << "no document was started";
    kv::plat::fault_clear();
    EXPECT_EQ(GetErrState(), KV_ERR_TMP_READ);
    EXPECT_EQ(fs::symlink_status(spool).type(), fifo ? fs::file_type::fifo : fs::file_type::symlink);
    fs::remove(spool);
  }
}

TEST_F(FixedNamesTest, NothingIsMadeOrTruncatedAtANameThatIsNotAPlainFile) {
  const fs::path spool = dir_ / "KIRVtemp.prn";
  for (const std::string fixed : {"KIRVtemp.prn", "PrnTmp", "KIRV.pcx"})
    for (const std::string planted : {"fifo", "hard link", "symlink"}) {
      SCOPED_TRACE(planted + " at " + fixed);
      const fs::path at = dir_ / fixed;
      if (planted == "fifo") MakeFifo(at);
      if (planted == "hard link") fs::create_hard_link(dir_ / "secret", at);
      if (planted == "symlink") fs::create_symlink(dir_ / "secret", at);
      if (fixed == "KIRVtemp.prn") {
        EXPECT_EQ(ClearTmpFile(), KV_ERR_TMP_CREATE);
        EXPECT_EQ(KV_ClearBuffer(), KV_ERR_TMP_CREATE);
      } else if (fixed == "PrnTmp") {
        WriteWhole(dir_ / "label.prn", "#BD##CP#1,x");
        EXPECT_EQ(ChangeCopies("label.prn", 2), KV_ERR_COPIES_WORK_FILE);
        EXPECT_EQ(ReadWhole(dir_ / "label.prn"), "#BD##CP#1,x") << "the label data is kept";
      } else {
        ASSERT_EQ(ClearTmpFile(), KV_OK);
        EXPECT_EQ(KV_DrawTextTrueTypeW(0, 0, 30, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "TT", "x"), KV_ERR_PCX_FILE);
        EXPECT_EQ(ReadWhole(spool), "") << "nothing is appended";
      }
      const fs::file_type kind = fs::symlink_status(at).type();
      EXPECT_EQ(kind, planted == "fifo"      ? fs::file_type::fifo
                      : planted == "symlink" ? fs::file_type::symlink
                                             : fs::file_type::regular);
      fs::remove(at);
    }
}

// Emptying a spool file, or rewriting a label's count, keeps the file's mode and owner, also when the last
// job left it read-only for others (one its user may not write cannot be emptied) or another user owns it.
TEST_F(FixedNamesTest, RewrittenFileKeepsPermissionsAndOwner) {
  const struct {
    const char* file;
    std::vector<int> modes;
    std::function<int()> rewrite;
    const char* after;
  } cases[] = {{"KIRVtemp.prn", {0600, 0640, 0664}, [] { return ClearTmpFile(); }, ""},
               {"label.prn", {0600, 0640, 0444, 0755}, [] { return ChangeCopies("label.prn", 3); }, "#BD##CP#3,x"}};
  for (const auto& c : cases) {
    const fs::path at = dir_ / c.file;
    for (const int mode : c.modes) {
      SCOPED_TRACE(testing::Message() << c.file << " " << std::oct << mode);
      fs::remove(at);
      WriteWhole(at, "#BD##CP#1,x");
      fs::permissions(at, fs::perms(mode));
      ASSERT_EQ(c.rewrite(), KV_OK);
      EXPECT_EQ(ReadWhole(at), c.after);
      EXPECT_EQ(fs::symlink_status(at).type(), fs::file_type::regular);
      EXPECT_EQ(fs::status(at).permissions() & fs::perms::all, fs::perms(mode));
    }
    if (geteuid() != 0) continue;  // only a privileged caller can give a file away, and so test the owner
    WriteWhole(at, "#BD##CP#1,x");
    ASSERT_EQ(chown(at.c_str(), 65534, 65534), 0);
    ASSERT_EQ(c.rewrite(), KV_OK);
    EXPECT_EQ(ReadWhole(at), c.after);
    struct stat st = {};
    ASSERT_EQ(stat(at.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
  }
  ASSERT_EQ(KV_SetLabelWidth(812), KV_OK);
  EXPECT_EQ(ReadWhole(dir_ / "KIRVtemp.prn"), "q812\r\n") << "the new spool file is the one the library appends to";
}

TEST_F(FixedNamesTest, ChangeCopiesLeavesLinksAndFifosAsTheyAre) {
  const std::string label = "#BD##CP#1,x";
  WriteWhole(dir_ / "target.prn", label);
  fs::create_symlink(dir_ / "target.prn", dir_ / "soft.prn");
  fs::create_hard_link(dir_ / "target.prn", dir_ / "hard.prn");
  MakeFifo(dir_ / "fifo.prn");
  for (const char* name : {"soft.prn", "hard.prn", "target.prn", "fifo.prn"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ChangeCopies(name, 9), KV_ERR_COPIES_NOT_PLAIN);
  }
  EXPECT_EQ(fs::symlink_status(dir_ / "soft.prn").type(), fs::file_type::symlink);
  EXPECT_EQ(fs::hard_link_count(dir_ / "target.prn"), 2u);
  EXPECT_EQ(ReadWhole(dir_ / "target.prn"), label);
  EXPECT_FALSE(fs::exists(dir_ / "PrnTmp"));
  // With its second name gone, the file is plain again and is rewritten.
  fs::remove(dir_ / "hard.prn");
  EXPECT_EQ(ChangeCopies("target.prn", 9), KV_OK);
  EXPECT_EQ(ReadWhole(dir_ / "soft.prn"), "#BD##CP#9,x") << "the link still leads to the rewritten file";
}

}  // namespace
