// The system's language as Windows reports it.
#include "kv/platform/language.h"

#include <windows.h>

namespace kv::plat {

unsigned system_language_id() { return GetSystemDefaultLangID(); }

}  // namespace kv::plat
