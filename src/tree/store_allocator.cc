#include "tree/store_allocator.h"

#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vindle {

// Sanitizer builds keep every block on the heap, where overruns are caught.
#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(__SANITIZE_ADDRESS__)

namespace {

// Below this, huge pages gain little and the heap reuses memory better;
// above it, the C library would map the block afresh on every call anyway.
constexpr std::size_t kLargeBlock = std::size_t{4} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// A store block this large comes from a document of a million nodes or
// more, whose temporaries are worth giving back at once.
constexpr std::size_t kTrimmingBlock = std::size_t{64} << 20;

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
    return;
  }
  ::munmap(block, mapped_size(bytes));
#if defined(__GLIBC__)
  // The work on a large document leaves large temporaries behind, and once
  // one of them has been freed the C library serves the next ones from its
  // heap and keeps what they free for later. A large store going back to
  // the system takes that heap memory back with it. After a smaller
  // document the heap keeps the little the C library would keep anyway,
  // and the next call on a document of that size finds it ready instead of
  // faulting in fresh pages one by one.
  if (bytes >= kTrimmingBlock) ::malloc_trim(0);
#endif
}

void* resize_store_block(void* block, std::size_t old_bytes, std::size_t new_bytes,
                         std::size_t kept_bytes) {
  if (old_bytes >= kLargeBlock && new_bytes >= kLargeBlock) {
    // The kernel moves the pages themselves: nothing is copied, and the
    // pages never written stay untouched.
    void* moved = ::mremap(block, mapped_size(old_bytes), mapped_size(new_bytes), MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    ::madvise(moved, mapped_size(new_bytes), MADV_HUGEPAGE);
    return moved;
  }
  void* grown = allocate_store_block(new_bytes);
  std::memcpy(grown, block, kept_bytes);
  release_store_block(block, old_bytes);
  return grown;
}

#else

void* allocate_store_block(std::size_t bytes) { return ::operator new(bytes); }
void release_store_block(void* block, std::size_t) noexcept { ::operator delete(block); }

void* resize_store_block(void* block, std::size_t, std::size_t new_bytes,
                         std::size_t kept_bytes) {
  void* grown = ::operator new(new_bytes);
  std::memcpy(grown, block, kept_bytes);
  ::operator delete(block);
  return grown;
}

#endif

}  // namespace vindle
