// Shared libraries loaded at run time by file name, their functions found by name.
#ifndef KV_PLATFORM_MODULES_H
#define KV_PLATFORM_MODULES_H

namespace kv::plat {

// A loaded library; null when none.
using ModuleHandle = void*;

// Loads the library of this file name, searched the platform's usual way. Null when it cannot be loaded.
ModuleHandle module_load(const char* file_name);

// The address of the library's export of this name; null when there is none.
void* module_symbol(ModuleHandle module, const char* name);

// Unloads a library of module_load; null is ignored.
void module_unload(ModuleHandle module);

}  // namespace kv::plat

#endif
