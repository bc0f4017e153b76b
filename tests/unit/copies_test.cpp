// ChangeCopies: the count rewritten byte for byte and refusals that leave the file as it was; a failure
// at every step is swept in sweep_test.cpp.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <iterator>
#include <string>

#include "connection.h"
#include "copies.h"
#include "kvtaglib.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

using kvtest::Bytes;
using kvtest::ReadWhole;
using kvtest::WriteWhole;

TEST(TagTable, RecognisesEachTagByItsWholeText) {
  const std::string numbered[] = {
      "#BD#", "#ED#", "#BP#", "#EP#", "#YR#", "#XA#", std::string("qp\0\0", 4), "#CP#", "#TG#",
      "#TB#", "#TC#", "#DG#", "#DB#", "#DC#", "#CO#", std::string("ql\0x", 4)};
  for (int n = 1; n <= 16; ++n) EXPECT_EQ(kv::RecognizeTag(numbered[n - 1].data()), n) << numbered[n - 1];
  EXPECT_EQ(kv::RecognizeTag(std::string("\t \0\0", 4).data()), 100);
  for (const std::string& none : {std::string("qpqp"), std::string("#bd#"), std::string(4, '\0'), std::string("#BD ")})
    EXPECT_EQ(kv::RecognizeTag(none.data()), 0) << none;
}

class CopiesTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    ASSERT_EQ(OpenPort(kvtest::kPrinter), KV_OK);
    SetErrState(-77);
  }
  void TearDown() override {
    EXPECT_EQ(GetErrState(), -77) << "ChangeCopies stores nothing";
    EXPECT_FALSE(fs::exists(dir_ / "PrnTmp")) << "the work file is gone";
    LibraryTest::TearDown();
  }
  static void SetErrState(int code) { kv::SetErrState(code); }
};

// The count rewritten, every other byte kept, in the file's own folder; or the file left as it was.
TEST_F(CopiesTest, RewritesTheCountAndNothingElseOrRefusesTheFile) {
  fs::create_directory(dir_ / "jobs");
  const std::string rest = Bytes(3 * 10240 + 5, 9), absolute = (dir_ / "jobs" / "full.prn").string();
  const struct {
    const char* name;
    std::string before;
    int copies;
    int rc;
    std::string after = "";  // when rewritten
    std::string file = "label.prn";
  } cases[] = {
      {"one becomes 25", "#BD##CP#1\r\n" + rest, 25, KV_OK, "#BD##CP#25\r\n" + rest},
      {"no digits", "#BD##CP#,x", 3, KV_OK, "#BD##CP#3,x"},
      {"zero", "#BD##CP#77\r\n", 0, KV_OK, "#BD##CP#0\r\n"},
      {"smallest", "#BD##CP#1\n", INT_MIN, KV_OK, "#BD##CP#-2147483648\n"},
      {"stops at any non-digit", "#BD##CP#12-34", 5, KV_OK, "#BD##CP#5-34"},
      {"longest old count", "#BD##CP#" + std::string(10239, '7') + ";", 1, KV_OK, "#BD##CP#1;"},
      {"in another folder", "#BD##CP#1,tail", 12, KV_OK, "#BD##CP#12,tail", "jobs/label.prn"},
      {"by its full name", "#BD##CP#1,tail", 3, KV_OK, "#BD##CP#3,tail", absolute},
      {"called like the work file", "#BD##CP#1,own", 2, KV_OK, "#BD##CP#2,own", "PrnTmp"},
      {"no #BD#", "#XA##CP#1\r\n", 5, KV_ERR_COPIES_NO_BD},
      {"#CO# after #BD#", "#BD##CO#1\r\n", 5, KV_ERR_COPIES_NO_CP},
      {"empty file", "", 5, KV_ERR_COPIES_NO_BD},
      {"three bytes", "#BD", 5, KV_ERR_COPIES_NO_BD},
      {"six bytes", "#BD##C", 5, KV_ERR_COPIES_NO_CP},
      {"ends after #CP#", "#BD##CP#", 5, KV_ERR_COPIES_TRUNCATED},
      {"ends inside the count", "#BD##CP#123", 5, KV_ERR_COPIES_TRUNCATED},
      {"count too long", "#BD##CP#" + std::string(10240, '7') + ";", 5, KV_ERR_COPIES_COUNT_TOO_LONG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWhole(c.file, c.before);
    EXPECT_EQ(ChangeCopies(c.file.c_str(), c.copies), c.rc);
    EXPECT_EQ(ReadWhole(c.file), c.rc == KV_OK ? c.after : c.before);
    fs::remove(c.file);
    EXPECT_TRUE(fs::is_empty(dir_ / "jobs")) << "no work file is left";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1) << "no work file is left";
  }
}

TEST_F(CopiesTest, FilesThatCannotBeUsed) {
  EXPECT_EQ(ChangeCopies("missing.prn", 2), KV_ERR_COPIES_OPEN);
  EXPECT_EQ(ChangeCopies(nullptr, 2), KV_ERR_COPIES_OPEN);
  WriteWhole(dir_ / "label.prn", "#BD##CP#1,x");
  fs::create_directory(dir_ / "PrnTmp");  // the work file's name is taken by a folder
  EXPECT_EQ(ChangeCopies("label.prn", 2), KV_ERR_COPIES_WORK_FILE);
  EXPECT_EQ(ReadWhole(dir_ / "label.prn"), "#BD##CP#1,x");
  fs::remove(dir_ / "PrnTmp");
  fs::create_directory(dir_ / "folder.prn");  // a folder is no print file to replace
  EXPECT_EQ(ChangeCopies("folder.prn", 2), KV_ERR_COPIES_NOT_PLAIN);
  EXPECT_TRUE(fs::is_directory(dir_ / "folder.prn"));
  ClosePort();  // it needs an open printer, though it only rewrites a file
  SetErrState(-77);
  EXPECT_EQ(ChangeCopies("label.prn", 2), KV_ERR_COPIES_CLOSED);
  EXPECT_EQ(ReadWhole(dir_ / "label.prn"), "#BD##CP#1,x");
}

}  // namespace
