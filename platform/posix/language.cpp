// The system's language from the locale settings of the environment.
#include "kv/platform/language.h"

#include <cstdlib>
#include <cstring>

namespace kv::plat {

unsigned system_language_id() {
  // The first of these that is set and not empty decides, as it does for the C library's messages.
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') continue;
    return std::strncmp(value, "zh_CN", 5) == 0 ? kLangChinesePrc : kLangEnglishUs;
  }
  return kLangEnglishUs;
}

}  // namespace kv::plat
