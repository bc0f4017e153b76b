// Run-time libraries through LoadLibraryA.
#include "kv/platform/modules.h"

#include <windows.h>

#include "system.h"

namespace kv::plat {

ModuleHandle sys::module_load(const char* file_name) {
  if (file_name == nullptr || file_name[0] == '\0') return nullptr;
  return LoadLibraryA(file_name);
}

void* module_symbol(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void module_unload(ModuleHandle module) {
  if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace kv::plat
