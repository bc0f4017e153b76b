// Windows: a print file that is no plain disk file (a device such as NUL, a folder) is refused by
// ChangeCopies and left as it is, whatever the device makes of reading.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kvtaglib.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;

class PlainFilesTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    ASSERT_EQ(OpenPort(kvtest::kPrinter), KV_OK);
  }
};

TEST_F(PlainFilesTest, ChangeCopiesRefusesWhatIsNotAPlainDiskFile) {
  fs::create_directory(dir_ / "folder.prn");
  for (const char* name : {"NUL", "folder.prn"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ChangeCopies(name, 2), KV_ERR_COPIES_NOT_PLAIN);
  }
  EXPECT_FALSE(fs::exists(dir_ / "PrnTmp"));
  kvtest::WriteWhole(dir_ / "label.prn", "#BD##CP#1,x");
  EXPECT_EQ(ChangeCopies("label.prn", 2), KV_OK) << "a plain file still is rewritten";
  EXPECT_EQ(kvtest::ReadWhole(dir_ / "label.prn"), "#BD##CP#2,x");
}

}  // namespace
