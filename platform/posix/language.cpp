// The system's language from the locale settings of the environment.
#include "kv/platform/language.h"

#include <cstdlib>
#include <cstring>

namespace kv::plat {

namespace {

// The locale of messages: the first of these that is set and not empty decides, as it does for the C
// library's messages; "" when none is.
const char* message_locale() {
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return "";
}

}  // namespace

unsigned system_language_id() {
  return std::strncmp(message_locale(), "zh_CN", 5) == 0 ? kLangChinesePrc : kLangEnglishUs;
}

bool messages_in_chinese() { return std::strncmp(message_locale(), "zh", 2) == 0; }

}  // namespace kv::plat
