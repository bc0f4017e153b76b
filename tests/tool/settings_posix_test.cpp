// The settings file where something else stands at its name: a symbolic link is written through to
// the file it leads to, as the Windows profile functions do, and stays a link; a link that leads
// nowhere and a FIFO are refused without waiting. Links and FIFOs are made only by the POSIX build.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kv/platform/profile.h"
#include "settings.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;
using kv::tool::Settings;
using kvtest::ReadWhole;
using kvtest::WriteWhole;

class SettingsLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kvtest::EnterFreshDirectory("kvtool-links-");
    fs::create_directories(dir_ / "shared");
    alarm(60);  // a read that waited on a FIFO would end the program instead of stalling the run
  }
  void TearDown() override {
    alarm(0);
    kvtest::LeaveDirectory(dir_);
  }
  fs::path Ini() const { return dir_ / "KV_setting.ini"; }
  fs::path dir_;
};

TEST_F(SettingsLinkTest, LinkIsWrittenThroughAndStaysALink) {
  const fs::path target = dir_ / "shared" / "printers.ini";
  WriteWhole(target, "[Setting]\r\nDisplayLan=1\r\n");
  fs::permissions(target, fs::perms(0640));
  for (const bool relative : {false, true}) {
    SCOPED_TRACE(relative ? "relative link" : "absolute link");
    fs::remove(Ini());
    fs::create_symlink(relative ? fs::path("shared/printers.ini") : target, Ini());
    Settings settings(dir_.string());
    ASSERT_EQ(settings.WriteSetting("KIRV R5", "FD", relative ? "150" : "75"), 1);
    EXPECT_EQ(fs::symlink_status(Ini()).type(), fs::file_type::symlink);
    EXPECT_EQ(ReadWhole(target),
              std::string("[Setting]\r\nDisplayLan=1\r\n[KIRV R5]\r\nFD=") + (relative ? "150" : "75") + "\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));
    int value = 0;
    EXPECT_EQ(settings.ReadSettingInt("KIRV R5", "FD", "KV_setting.ini", &value), relative ? 3 : 2);
    EXPECT_EQ(value, relative ? 150 : 75);
    // Only the target's folder holds the work file while writing, and none is left anywhere.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "shared"), fs::directory_iterator()), 1);
  }
}

TEST_F(SettingsLinkTest, LinkLeadingNowhereAndFifoAreRefused) {
  fs::create_symlink(dir_ / "shared" / "missing.ini", Ini());
  Settings settings(dir_.string());
  EXPECT_EQ(settings.WriteSetting("Setting", "DisplayLan", "1"), 0);
  EXPECT_EQ(fs::symlink_status(Ini()).type(), fs::file_type::symlink) << "the link is not replaced by a file";
  EXPECT_FALSE(fs::exists(dir_ / "shared" / "missing.ini"));

  fs::remove(Ini());
  ASSERT_EQ(mkfifo(Ini().c_str(), 0600), 0);
  std::string text = "unchanged";
  EXPECT_EQ(settings.ReadSettingText("Setting", "DisplayLan", 99, &text), 0) << "read as empty, at once";
  EXPECT_EQ(settings.WriteSetting("Setting", "DisplayLan", "1"), 0);
  EXPECT_EQ(fs::symlink_status(Ini()).type(), fs::file_type::fifo);
}

// Our own reader takes no file beyond its bound: a huge file reads as empty (and is not rewritten: the
// command line's SetThatCannotStoreSaysSo).
TEST_F(SettingsLinkTest, FileBeyondTheBoundIsNotRead) {
  WriteWhole(Ini(), "[Setting]\r\nDisplayLan=1\r\n;" + std::string(kv::plat::kProfileMaxBytes, 'x') + "\r\n");
  int value = 42;
  EXPECT_EQ(Settings(dir_.string()).ReadSettingInt("Setting", "DisplayLan", "KV_setting.ini", &value), 0);
  EXPECT_EQ(value, 42);
}

}  // namespace
