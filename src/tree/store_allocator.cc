#include "tree/store_allocator.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vindle {

// Sanitizer builds keep every block on the heap, where overruns are caught.
#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(__SANITIZE_ADDRESS__)

namespace {

// Below this, huge pages gain little and the heap reuses memory better.
constexpr std::size_t kLargeBlock = std::size_t{8} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t mapped_size(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* allocate_store_block(std::size_t bytes) {
  if (bytes < kLargeBlock) return ::operator new(bytes);
  const std::size_t size = mapped_size(bytes);
  void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  // Advice only: where huge pages are off, the block works all the same.
  ::madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void release_store_block(void* block, std::size_t bytes) noexcept {
  if (bytes < kLargeBlock) {
    ::operator delete(block);
  } else {
    ::munmap(block, mapped_size(bytes));
  }
}

#else

void* allocate_store_block(std::size_t bytes) { return ::operator new(bytes); }
void release_store_block(void* block, std::size_t) noexcept { ::operator delete(block); }

#endif

}  // namespace vindle
