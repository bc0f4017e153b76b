// Run-time libraries through dlopen.
#include "kv/platform/modules.h"

#include <dlfcn.h>

#include "system.h"

namespace kv::plat {

ModuleHandle sys::module_load(const char* file_name) {
  if (file_name == nullptr || file_name[0] == '\0') return nullptr;
  return dlopen(file_name, RTLD_NOW | RTLD_LOCAL);
}

void* module_symbol(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return dlsym(module, name);
}

void module_unload(ModuleHandle module) {
  if (module != nullptr) dlclose(module);
}

}  // namespace kv::plat
