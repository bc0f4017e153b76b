// Windows: a device such as NUL is no print file, and ChangeCopies leaves it alone whatever the device
// makes of reading. (A folder is refused on every platform: copies_test.cpp.)
#include <gtest/gtest.h>

#include <filesystem>

#include "kvtaglib.h"
#include "test_env.h"

namespace {

using PlainFilesTest = kvtest::LibraryTest;

TEST_F(PlainFilesTest, ChangeCopiesRefusesADevice) {
  ASSERT_EQ(OpenPort(kvtest::kPrinter), KV_OK);
  EXPECT_EQ(ChangeCopies("NUL", 2), KV_ERR_COPIES_NOT_PLAIN);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "PrnTmp"));
}

}  // namespace
