// The system language on POSIX, which the locale settings tell, and the language the label library's
// messages take from it: built into the settings tests natively only (Windows reports its own, which a
// test cannot change, and the library's messages stay Chinese there).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "kv/platform/language.h"

namespace {

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

}  // namespace
