// The allocator of a document's node store. A large document's store runs
// to hundreds of megabytes, and on many machines first touching that much
// memory a 4 KiB page at a time costs more than reading the XML itself, so
// large blocks are mapped directly and offered to the kernel for
// transparent huge pages. Small blocks come from the ordinary heap.
#pragma once

#include <cstddef>

namespace vindle {

void* allocate_store_block(std::size_t bytes);
void release_store_block(void* block, std::size_t bytes) noexcept;

template <typename T>
struct StoreAllocator {
  using value_type = T;

  StoreAllocator() = default;
  template <typename U>
  StoreAllocator(const StoreAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    return static_cast<T*>(allocate_store_block(count * sizeof(T)));
  }
  void deallocate(T* block, std::size_t count) noexcept {
    release_store_block(block, count * sizeof(T));
  }
  friend bool operator==(const StoreAllocator&, const StoreAllocator&) { return true; }
};

}  // namespace vindle
