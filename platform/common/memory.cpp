#include "kv/platform/memory.h"

#include <cstdlib>

#include "system.h"

namespace kv::plat {

namespace {
std::size_t blocks_in_use = 0;
}  // namespace

void* sys::mem_alloc(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) ++blocks_in_use;
  return block;
}

void mem_free(void* block) {
  if (block == nullptr) return;
  --blocks_in_use;
  std::free(block);
}

std::size_t mem_blocks_in_use() { return blocks_in_use; }

}  // namespace kv::plat
