// The system's language as Windows reports it.
#include "kv/platform/language.h"

#include <windows.h>

namespace kv::plat {

unsigned system_language_id() { return GetSystemDefaultLangID(); }

bool messages_in_chinese() { return true; }

}  // namespace kv::plat
