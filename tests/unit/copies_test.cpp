// ChangeCopies: the count rewritten byte for byte and refusals that leave the file as it was; a failure
// at every step is swept in sweep_test.cpp.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
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
  const struct {
    std::string bytes;
    int number;
  } cases[] = {
      {"#BD#", 1},
      {"#ED#", 2},
      {"#BP#", 3},
      {"#EP#", 4},
      {"#YR#", 5},
      {"#XA#", 6},
      {std::string("qp\0\0", 4), 7},
      {"#CP#", 8},
      {"#TG#", 9},
      {"#TB#", 10},
      {"#TC#", 11},
      {"#DG#", 12},
      {"#DB#", 13},
      {"#DC#", 14},
      {"#CO#", 15},
      {std::string("ql\0x", 4), 16},
      {std::string("\t \0\0", 4), 100},
      {"qpqp", 0},
      {"#bd#", 0},
      {std::string(4, '\0'), 0},
      {"#BD ", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(kv::RecognizeTag(c.bytes.data()), c.number);
  }
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

TEST_F(CopiesTest, RewritesTheCountAndNothingElse) {
  const std::string rest = Bytes(3 * 10240 + 5, 9);
  const struct {
    const char* name;
    std::string before;
    int copies;
    std::string after;
  } cases[] = {
      {"one becomes 25", "#BD##CP#1\r\n" + rest, 25, "#BD##CP#25\r\n" + rest},
      {"no digits", "#BD##CP#,x", 3, "#BD##CP#3,x"},
      {"zero", "#BD##CP#77\r\n", 0, "#BD##CP#0\r\n"},
      {"negative", "#BD##CP#9 ", -2, "#BD##CP#-2 "},
      {"smallest", "#BD##CP#1\n", INT_MIN, "#BD##CP#-2147483648\n"},
      {"stops at any non-digit", "#BD##CP#12-34", 5, "#BD##CP#5-34"},
      {"longest old count", "#BD##CP#" + std::string(10239, '7') + ";", 1, "#BD##CP#1;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWhole(dir_ / "label.prn", c.before);
    EXPECT_EQ(ChangeCopies("label.prn", c.copies), KV_OK);
    EXPECT_EQ(ReadWhole(dir_ / "label.prn"), c.after);
  }
}

TEST_F(CopiesTest, RefusalsLeaveTheFileByteIdentical) {
  const struct {
    const char* name;
    std::string content;
    int code;
  } cases[] = {
      {"no #BD#", "#XA##CP#1\r\n", KV_ERR_COPIES_NO_BD},
      {"#CO# after #BD#", "#BD##CO#1\r\n", KV_ERR_COPIES_NO_CP},
      {"empty file", "", KV_ERR_COPIES_NO_BD},
      {"three bytes", "#BD", KV_ERR_COPIES_NO_BD},
      {"six bytes", "#BD##C", KV_ERR_COPIES_NO_CP},
      {"ends after #CP#", "#BD##CP#", KV_ERR_COPIES_TRUNCATED},
      {"ends inside the count", "#BD##CP#123", KV_ERR_COPIES_TRUNCATED},
      {"count too long", "#BD##CP#" + std::string(10240, '7') + ";", KV_ERR_COPIES_COUNT_TOO_LONG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWhole(dir_ / "label.prn", c.content);
    EXPECT_EQ(ChangeCopies("label.prn", 5), c.code);
    EXPECT_EQ(ReadWhole(dir_ / "label.prn"), c.content);
  }
}

TEST_F(CopiesTest, FileInAnotherDirectoryIsReplacedThere) {
  fs::create_directory(dir_ / "jobs");
  WriteWhole(dir_ / "jobs" / "label.prn", "#BD##CP#1,tail");
  EXPECT_EQ(ChangeCopies("jobs/label.prn", 12), KV_OK);
  EXPECT_EQ(ReadWhole(dir_ / "jobs" / "label.prn"), "#BD##CP#12,tail");
  EXPECT_FALSE(fs::exists(dir_ / "jobs" / "PrnTmp"));
  const std::string absolute = (dir_ / "jobs" / "label.prn").string();
  EXPECT_EQ(ChangeCopies(absolute.c_str(), 3), KV_OK);
  EXPECT_EQ(ReadWhole(dir_ / "jobs" / "label.prn"), "#BD##CP#3,tail");
}

TEST_F(CopiesTest, FileCalledLikeTheWorkFileIsNotOverwrittenByIt) {
  WriteWhole(dir_ / "PrnTmp", "#BD##CP#1,own");
  EXPECT_EQ(ChangeCopies("PrnTmp", 2), KV_OK);
  EXPECT_EQ(ReadWhole(dir_ / "PrnTmp"), "#BD##CP#2,own");
  fs::remove(dir_ / "PrnTmp");
  EXPECT_FALSE(fs::exists(dir_ / "PrnTmp~"));
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
