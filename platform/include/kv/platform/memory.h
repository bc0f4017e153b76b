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

// Owns one block of mem_alloc and releases it when it goes, for a function that would otherwise
// have to free the block on each of its ways out.
class HeapBlock {
 public:
  HeapBlock() = default;
  explicit HeapBlock(std::size_t size) : block_(mem_alloc(size)) {}
  ~HeapBlock() { mem_free(block_); }
  HeapBlock(HeapBlock&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  HeapBlock& operator=(HeapBlock&& other) noexcept {
    if (this != &other) {
      mem_free(block_);
      block_ = other.block_;
      other.block_ = nullptr;
    }
    return *this;
  }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;

  // False when the allocation failed (or nothing was allocated).
  explicit operator bool() const { return block_ != nullptr; }

  // The block as elements of T; null when there is none.
  template <typename T>
  T* as() const {
    return static_cast<T*>(block_);
  }

  // Releases the block now.
  void reset() {
    mem_free(block_);
    block_ = nullptr;
  }

 private:
  void* block_ = nullptr;
};

}  // namespace kv::plat

#endif
