#include "kv/platform/memory.h"

#include <cstdlib>

#include "kv/platform/fault.h"

namespace kv::plat {

void* mem_alloc(std::size_t size) {
  if (fault_now(FaultSite::Alloc)) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void mem_free(void* block) { std::free(block); }

}  // namespace kv::plat
