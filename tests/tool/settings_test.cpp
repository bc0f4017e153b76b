// The settings file: the start-up cases of the display language, the two reading operations, a
// file edited by hand that keeps everything but the one value written, and on POSIX links and FIFOs at
// its name and the system language that the locale tells.
#include <gtest/gtest.h>

#ifndef _WIN32
#  include <sys/stat.h>
#  include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
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

#ifndef _WIN32
// A symbolic link at the settings file's name is written through to the file it leads to, as the
// Windows profile functions do, and stays a link.
TEST_F(SettingsTest, LinkIsWrittenThroughAndStaysALink) {
  const fs::path target = dir_ / "shared" / "printers.ini";
  fs::create_directories(target.parent_path());
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
    EXPECT_EQ(settings.ReadSettingInt("KIRV R5", "FD", kSettingsFileName, &value), relative ? 3 : 2);
    EXPECT_EQ(value, relative ? 150 : 75);
    // Only the target's folder holds the work file while writing, and none is left anywhere.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "shared"), fs::directory_iterator()), 1);
  }
}

// A link that leads nowhere and a FIFO are refused without waiting.
TEST_F(SettingsTest, LinkLeadingNowhereAndFifoAreRefused) {
  fs::create_directories(dir_ / "shared");
  fs::create_symlink(dir_ / "shared" / "missing.ini", Ini());
  Settings settings(dir_.string());
  EXPECT_EQ(settings.WriteSetting("Setting", "DisplayLan", "1"), 0);
  EXPECT_EQ(fs::symlink_status(Ini()).type(), fs::file_type::symlink) << "the link is not replaced by a file";
  EXPECT_FALSE(fs::exists(dir_ / "shared" / "missing.ini"));

  fs::remove(Ini());
  ASSERT_EQ(mkfifo(Ini().c_str(), 0600), 0);
  alarm(60);  // a read that waited on the FIFO would end the program instead of stalling the run
  std::string text = "unchanged";
  EXPECT_EQ(settings.ReadSettingText("Setting", "DisplayLan", 99, &text), 0) << "read as empty, at once";
  EXPECT_EQ(settings.WriteSetting("Setting", "DisplayLan", "1"), 0);
  alarm(0);
  EXPECT_EQ(fs::symlink_status(Ini()).type(), fs::file_type::fifo);
}

// Our own reader takes no file beyond its bound: a huge file reads as empty (and is not rewritten: the
// command line's SetThatCannotStoreSaysSo).
TEST_F(SettingsTest, FileBeyondTheBoundIsNotRead) {
  WriteWhole(Ini(), "[Setting]\r\nDisplayLan=1\r\n;" + std::string(kv::plat::kProfileMaxBytes, 'x') + "\r\n");
  int value = 42;
  EXPECT_EQ(Settings(dir_.string()).ReadSettingInt("Setting", "DisplayLan", kSettingsFileName, &value), 0);
  EXPECT_EQ(value, 42);
}

// The first of LC_ALL, LC_MESSAGES and LANG that is set tells the language: the system's is Chinese
// for Chinese (PRC) only, the library's messages for any Chinese locale.
TEST(SystemLanguage, FromTheLocale) {
  const struct {
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    unsigned id;
    bool chinese_messages;
  } rows[] = {
      {"zh_CN.UTF-8", "en_US.UTF-8", "en_US.UTF-8", kv::plat::kLangChinesePrc, true},
      {"", "zh_CN.GB2312", "en_US.UTF-8", kv::plat::kLangChinesePrc, true},
      {nullptr, nullptr, "zh_CN", kv::plat::kLangChinesePrc, true},
      {nullptr, nullptr, "zh_TW.UTF-8", kv::plat::kLangEnglishUs, true},
      {"de_DE.UTF-8", nullptr, "zh_CN.UTF-8", kv::plat::kLangEnglishUs, false},
      {"C", nullptr, nullptr, kv::plat::kLangEnglishUs, false},
      {nullptr, nullptr, nullptr, kv::plat::kLangEnglishUs, false},
  };
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  const auto put = [&](int i, const char* value) {
    value != nullptr ? setenv(names[i], value, 1) : unsetenv(names[i]);
  };
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i)
    if (const char* v = std::getenv(names[i])) saved[i] = v;
  for (const auto& row : rows) {
    const char* values[] = {row.lc_all, row.lc_messages, row.lang};
    for (int i = 0; i < 3; ++i) put(i, values[i]);
    EXPECT_EQ(kv::plat::system_language_id(), row.id) << (row.lang != nullptr ? row.lang : "(no LANG)");
    EXPECT_EQ(kv::plat::messages_in_chinese(), row.chinese_messages) << (row.lang != nullptr ? row.lang : "(no LANG)");
  }
  for (int i = 0; i < 3; ++i) put(i, saved[i] ? saved[i]->c_str() : nullptr);
}
#endif

}  // namespace
