// The settings file: the start-up cases of the display language, the two reading operations, and a
// file edited by hand that keeps everything but the one value written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "codes.h"
#include "kv/platform/fault.h"
#include "kv/platform/language.h"
#include "kv/platform/profile.h"
#include "platform.h"
#include "startup.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;
using kvtest::ReadWhole;
using kvtest::WriteWhole;
using namespace kv::tool;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::plat::fault_clear();
    dir_ = kvtest::EnterFreshDirectory("kvtool-settings-");
  }
  void TearDown() override {
    kv::plat::fault_clear();
    kvtest::LeaveDirectory(dir_);
  }
  fs::path Ini() const { return dir_ / "KV_setting.ini"; }
  std::string IniPath() const { return Ini().string(); }

  fs::path dir_;
};

TEST_F(SettingsTest, FirstStartFollowsTheSystemLanguage) {
  ToolProcess chinese = StartProgram(kv::plat::kLangChinesePrc);
  EXPECT_EQ(chinese.display_language, 0);
  EXPECT_EQ(ReadWhole(Ini()), "[Setting]\r\nDisplayLan=00000000\r\n");

  fs::remove(Ini());
  ToolProcess english = StartProgram(kv::plat::kLangEnglishUs);
  EXPECT_EQ(english.display_language, 1);
  EXPECT_EQ(ReadWhole(Ini()), "[Setting]\r\nDisplayLan=00000001\r\n");
  EXPECT_EQ(english.settings.AppDirectory(), fs::current_path().string());
  EXPECT_EQ(english.settings.SettingsPath(), IniPath());
}

TEST_F(SettingsTest, StoredLanguageIsKeptWhateverTheSystem) {
  const struct {
    const char* stored;
    int language;
  } rows[] = {{"00000001", 1}, {"1", 1}, {"0", 0}, {"2", 2}, {"abc", 0}, {"65536", 0}, {"-1", 0xFFFF}};
  for (const auto& row : rows) {
    const std::string ini = std::string("[Setting]\r\nDisplayLan=") + row.stored + "\r\n";
    WriteWhole(Ini(), ini);
    EXPECT_EQ(StartProgram(kv::plat::kLangChinesePrc).display_language, row.language) << row.stored;
    EXPECT_EQ(ReadWhole(Ini()), ini) << "a stored value is not written again at start";
  }
}

TEST_F(SettingsTest, AbsentFileIsCreatedEmptyByARead) {
  Settings settings(dir_.string());
  int value = 42;
  EXPECT_EQ(settings.ReadSettingInt("KIRV R5", "FD", kSettingsFileName, &value), 0);
  EXPECT_EQ(value, 42) << "a missing key leaves the value untouched";
  ASSERT_TRUE(fs::exists(Ini()));
  EXPECT_EQ(fs::file_size(Ini()), 0u);
}

// Nothing can be created in /proc, whoever asks: the tests run as root, for whom a read-only
// directory's permission bits would not stop the creation.
TEST_F(SettingsTest, DirectoryWhereNothingCanBeCreated) {
  fs::current_path(kvtest::kUnwritableDirectory);
  ToolProcess process = StartProgram(kv::plat::kLangEnglishUs);
  int value = 42;
  EXPECT_EQ(process.settings.ReadSettingInt("Setting", "DisplayLan", kSettingsFileName, &value), kErrSettingsFile);
  EXPECT_EQ(value, 42);
  char text[8] = "keep";
  EXPECT_EQ(process.settings.ReadSettingText("Setting", "DisplayLan", kSettingsFileName, sizeof text, text),
            kErrSettingsFile);
  EXPECT_STREQ(text, "keep");
  EXPECT_EQ(process.settings.WriteSetting("Setting", "DisplayLan", "1"), 0);
  fs::current_path(dir_);
}

TEST_F(SettingsTest, ReadsTakeNoMoreThanTheirBuffer) {
  WriteWhole(Ini(), "[KIRV R5]\r\nIA=192.168.8.180\r\nFD=" + std::string(150, '7') + "\r\n");
  Settings settings(dir_.string());
  char text[8];
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(settings.ReadSettingText("KIRV R5", "IA", kSettingsFileName, 4, text), 3);
  EXPECT_STREQ(text, "192");
  EXPECT_EQ(std::string(text + 4, 4), "####") << "nothing written past the buffer";
  EXPECT_EQ(settings.ReadSettingText("KIRV R5", "IA", kSettingsFileName, 0, text), kErrSettingsFile);
  EXPECT_EQ(settings.ReadSettingText("KIRV R5", "IA", kSettingsFileName, 8, nullptr), kErrSettingsFile);
  EXPECT_EQ(settings.ReadSettingText("KIRV R5", "MK", kSettingsFileName, 8, text), 0);
  EXPECT_STREQ(text, "") << "a missing key reads as the empty text";
  int value = 0;
  EXPECT_EQ(settings.ReadSettingInt("KIRV R5", "FD", kSettingsFileName, &value), 99) << "at most 99 characters";
  EXPECT_EQ(settings.ReadSettingInt(nullptr, "FD", kSettingsFileName, &value), kErrSettingsFile);
  EXPECT_EQ(settings.ReadSettingInt("KIRV R5", "FD", nullptr, &value), kErrSettingsFile);
  EXPECT_EQ(Settings("").ReadSettingInt("KIRV R5", "FD", kSettingsFileName, &value), kErrSettingsFile);
}

TEST_F(SettingsTest, SectionsAndKeysWithoutRegardToCase) {
  WriteWhole(Ini(),
             "; written by hand\r\n"
             "[kirv r5]\r\n"
             "  fd = 150 \r\n"
             "IA=\"192.168.8.180\"\r\n"
             "noequals\r\n"
             "[KIRV R5]\r\n"
             "FD=999\r\n"
             "DL=12\r\n");
  Settings settings(dir_.string());
  int value = 0;
  EXPECT_EQ(settings.ReadSettingInt("KIRV R5", "FD", kSettingsFileName, &value), 3);
  EXPECT_EQ(value, 150) << "the first section of the name counts";
  std::string text;
  EXPECT_EQ(settings.ReadSettingText("Kirv R5", "ia", 99, &text), 13);
  EXPECT_EQ(text, "192.168.8.180") << "the quotes are not part of the value";
  EXPECT_EQ(settings.ReadSettingText("KIRV R5", "DL", 99, &text), 0) << "only the first section is read";
  EXPECT_EQ(settings.ReadSettingText("KIRV R5", "noequals", 99, &text), 0);
}

TEST_F(SettingsTest, WriteChangesOnlyItsValue) {
  const std::string before =
      "; settings of the label printers\r\n"
      "[Setting]\r\n"
      "DisplayLan=1\r\n"
      "[kirv r5]\r\n"
      "fd=150\r\n"
      "; tear-off checked on site\r\n"
      "Dl=12\r\n"
      "[Other Printer]\r\n"
      "FD=75\r\n";
  WriteWhole(Ini(), before);
  Settings settings(dir_.string());
  EXPECT_EQ(settings.WriteSetting("KIRV R5", "FD", "225"), 1);
  std::string expected = before;
  expected.replace(expected.find("fd=150"), 6, "fd=225");
  EXPECT_EQ(ReadWhole(Ini()), expected);

  EXPECT_EQ(settings.WriteSetting("KIRV R5", "SP", "10"), 1);
  expected.insert(expected.find("[Other Printer]"), "SP=10\r\n");
  EXPECT_EQ(ReadWhole(Ini()), expected) << "a new key goes at the end of its section";

  EXPECT_EQ(settings.WriteSetting("KIRV R5i", "FD", "220"), 1);
  expected += "[KIRV R5i]\r\nFD=220\r\n";
  EXPECT_EQ(ReadWhole(Ini()), expected) << "a new section goes at the end of the file";
}

TEST_F(SettingsTest, BlankLinesAndSpacingOfOtherLines) {
  const std::string before =
      "[Setting]\r\n"
      "DisplayLan = 1\r\n"
      "\r\n"
      "[KIRV R5]\r\n"
      "FD=150\r\n"
      "\r\n"
      "[Other]\r\n"
      "x = \"quoted\"\r\n";
  WriteWhole(Ini(), before);
  Settings settings(dir_.string());
  ASSERT_EQ(settings.WriteSetting("KIRV R5", "DL", "8"), 1);
  if (kvtest::kProfileWriterKeepsLayout) {
    EXPECT_EQ(ReadWhole(Ini()),
              "[Setting]\r\nDisplayLan = 1\r\n\r\n[KIRV R5]\r\nFD=150\r\nDL=8\r\n\r\n[Other]\r\nx = \"quoted\"\r\n")
        << "the new key goes before the blank line that parts the sections";
  } else {
    // What every reader sees stays the same (Windows itself, like our POSIX writer, edits only its
    // own line).
    EXPECT_EQ(ReadWhole(Ini()),
              "[Setting]\r\nDisplayLan=1\r\n[KIRV R5]\r\nFD=150\r\nDL=8\r\n[Other]\r\nx=\"quoted\"\r\n");
  }
  std::string text;
  EXPECT_EQ(settings.ReadSettingText("Setting", "DisplayLan", 99, &text), 1);
  EXPECT_EQ(settings.ReadSettingText("Other", "x", 99, &text), 6);
}

TEST_F(SettingsTest, TextsThatWouldBreakTheLinesAreRefused) {
  WriteWhole(Ini(), "[KIRV R5]\r\nIA=1.2.3.4\r\n");
  Settings settings(dir_.string());
  EXPECT_EQ(settings.WriteSetting("KIRV R5", "IA", "1.2.3.4\r\n[Setting]"), 0);
  EXPECT_EQ(settings.WriteSetting("KIRV\nR5", "IA", "1"), 0);
  EXPECT_EQ(settings.WriteSetting("KIRV R5", nullptr, "1"), 0);
  EXPECT_EQ(ReadWhole(Ini()), "[KIRV R5]\r\nIA=1.2.3.4\r\n");
}

TEST_F(SettingsTest, BlanksInsideTheBracketsAreNotPartOfTheName) {
  const struct {
    const char* header;
  } cases[] = {{"[ Setting ]"}, {"[Setting  ]"}, {"[\tSetting]"}, {"  [ setting\t]"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    const std::string before = std::string(c.header) + "\r\nDisplayLan=1\r\n";
    WriteWhole(Ini(), before);
    Settings settings(dir_.string());
    std::string text;
    EXPECT_EQ(settings.ReadSettingText("Setting", "DisplayLan", 99, &text), 1);
    EXPECT_EQ(text, "1");
    ASSERT_EQ(settings.WriteSetting("Setting", "DisplayLan", "0"), 1);
    EXPECT_EQ(ReadWhole(Ini()).find("DisplayLan=1"), std::string::npos) << "the value was changed where it stood";
    EXPECT_EQ(ReadWhole(Ini()).find("etting", ReadWhole(Ini()).find("etting") + 1), std::string::npos)
        << "no second section was appended";
    EXPECT_EQ(settings.ReadSettingText("Setting", "DisplayLan", 99, &text), 1);
    EXPECT_EQ(text, "0");
  }
}

TEST_F(SettingsTest, FileWithoutFinalLineEnd) {
  WriteWhole(Ini(), "[A]\r\nk=1");
  Settings settings(dir_.string());
  ASSERT_EQ(settings.WriteSetting("A", "j", "2"), 1);
  EXPECT_EQ(ReadWhole(Ini()), "[A]\r\nk=1\r\nj=2\r\n");
}

}  // namespace
