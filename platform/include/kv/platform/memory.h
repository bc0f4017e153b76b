// Heap blocks of the library and the tool, through the fault-injection seam.
#ifndef KV_PLATFORM_MEMORY_H
#define KV_PLATFORM_MEMORY_H

#include <cstddef>

namespace kv::plat {

// A block of `size` bytes, or null when none can be had (or when a test made this allocation fail).
void* mem_alloc(std::size_t size);

// Releases a block of mem_alloc; null is ignored.
void mem_free(void* block);

// How many blocks of mem_alloc are not yet released: tests check that a failure leaks none.
std::size_t mem_blocks_in_use();

}  // namespace kv::plat

#endif
