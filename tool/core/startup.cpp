#include "startup.h"

#include <cstdio>

#include "codes.h"
#include "kv/platform/files.h"
#include "kv/platform/language.h"

namespace kv::tool {

namespace {
constexpr std::size_t kDirectoryRoom = 260;  // the current directory: at most 259 characters
}  // namespace

ToolProcess StartProgram(unsigned system_language_id, bool read_only) {
  char directory[kDirectoryRoom];
  const std::size_t n = plat::current_directory(directory, sizeof directory);
  ToolProcess process{Settings(n > 0 ? std::string(directory, n) : std::string())};
  if (read_only) process.settings.SetReadOnly(true);
  int language = 0;
  if (process.settings.ReadSettingInt(kSectionSetting, kKeyDisplayLan, kSettingsFileName, &language) == 0) {
    language = system_language_id != plat::kLangChinesePrc ? 1 : 0;
    char text[16];
    std::snprintf(text, sizeof text, "%08d", language);
    process.settings.WriteSetting(kSectionSetting, kKeyDisplayLan, text);
  }
  process.display_language = static_cast<std::uint16_t>(language);
  return process;
}

}  // namespace kv::tool
