// Program start: the settings file in the current directory and the display language, fixed for the
// life of the process.
#ifndef KV_TOOL_STARTUP_H
#define KV_TOOL_STARTUP_H

#include <cstdint>

#include "settings.h"

namespace kv::tool {

inline constexpr char kSectionSetting[] = "Setting";
inline constexpr char kKeyDisplayLan[] = "DisplayLan";

// The process-wide state of the tool.
struct ToolProcess {
  Settings settings;                   // AppDirectory and SettingsPath
  std::uint16_t display_language = 0;  // DisplayLanguage: 0 Chinese, any other value English
  bool restart_pending = false;        // RestartPending: a new instance starts when the dialog closes
};

// Takes the current directory as AppDirectory and reads DisplayLan. When the key is missing or empty
// (a first start), the language follows the system's (Chinese only for Chinese, PRC, identifier
// 2052) and is written as eight digits. A settings file that cannot be had leaves Chinese and writes nothing.
// With `read_only` the settings only read (Settings::SetReadOnly): a first start then takes the
// system's language without writing it.
ToolProcess StartProgram(unsigned system_language_id, bool read_only = false);

}  // namespace kv::tool

#endif
