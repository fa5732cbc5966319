#include "tree/store_allocator.h"

#include <cstring>
#include <new>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <mutex>
#endif

namespace vindle {

namespace {

// Giving the heap back. Freed memory stays in the C library's heap: free()
// returns only the top of the heap to the system, and only once the top
// exceeds a threshold that the library raises, up to 64 MiB, each time a
// block it had mapped is freed; memory freed below the top stays resident
// for good. malloc_trim gives back every free page, wherever it lies, but
// it walks the whole heap and the next work faults the pages in again, so
// it runs only when much is known to lie free. The settings of malloc
// (mallopt) are left alone: they belong to the program this module is
// loaded into.
//
// The heap is the process's, so this bookkeeping is too: the few counters
// below are the only state here shared by every document.
#if defined(__GLIBC__)

// Store blocks freed onto the heap and not taken again: many small stores
// (sessions of a few hundred rows each) that lived together and are
// dropped leave this much behind, which the heap only reuses if as many
// come back.
constexpr std::size_t kStrandedStore = std::size_t{16} << 20;

// Bytes of store blocks on the heap now, and the most there have been
// since the heap was last given back: the difference was freed and has
// not been taken again by a store.
std::atomic<std::size_t> heap_store_bytes{0};
std::atomic<std::size_t> heap_store_peak{0};

void give_heap_back() noexcept {
  heap_store_peak.store(heap_store_bytes.load(std::memory_order_relaxed),
                        std::memory_order_relaxed);
  ::malloc_trim(0);
}

void heap_store_made(std::size_t bytes) noexcept {
  const std::size_t now = heap_store_bytes.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  std::size_t peak = heap_store_peak.load(std::memory_order_relaxed);
  while (now > peak &&
         !heap_store_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

// After the block is back on the heap. A steady run of calls frees what the
// previous call made and makes it again, so the peak stays where one call
// puts it and nothing is trimmed.
void heap_store_freed(std::size_t bytes) noexcept {
  const std::size_t now = heap_store_bytes.fetch_sub(bytes, std::memory_order_relaxed) - bytes;
  std::size_t peak = heap_store_peak.load(std::memory_order_relaxed);
  // Of threads that free at once, the one that lowers the peak trims.
  if (peak >= now + kStrandedStore &&
      heap_store_peak.compare_exchange_strong(peak, now, std::memory_order_relaxed)) {
    give_heap_back();
  }
}

#else

void heap_store_made(std::size_t) noexcept {}
void heap_store_freed(std::size_t) noexcept {}

#endif

void* heap_block(std::size_t bytes) {
  void* block = ::operator new(bytes);
  heap_store_made(bytes);
  return block;
}

void free_heap_block(void* block, std::size_t bytes) noexcept {
  ::operator delete(block);
  heap_store_freed(bytes);
}

}  // namespace

// Sanitizer builds keep every block on the heap, where overruns are caught.
#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(__SANITIZE_ADDRESS__)

namespace {

// Below this, huge pages gain little and the heap reuses memory better;
// above it, the C library would map the block afresh on every call anyway.
constexpr std::size_t kLargeBlock = std::size_t{4} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t mapped_size(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

#if defined(__GLIBC__)

// A store block this large comes from a document of a million nodes or
// more, whose temporaries are worth giving back at once.
constexpr std::size_t kTrimmingBlock = std::size_t{64} << 20;
// How much higher the resident set may stand when the last large store
// has gone than when the first came before the heap is given back. The
// work on a large document leaves its temporaries in the heap: a call that
// reads a document of a few megabytes and evaluates one expression leaves
// a few megabytes, which the next such call reuses, while a session
// recomputed over 100,000 rows leaves tens of megabytes, which nothing may
// come to reuse.
constexpr std::size_t kResidentGrowth = std::size_t{16} << 20;

// The pages given back are faulted in afresh by whatever uses as much
// memory next, at about 2.6 µs a 4 KiB page on the development machine, or
// 0.65 ms a MiB. After giving back, the heap is not given back again until
// 50 times that has passed: work that comes back at once and uses the same
// memory again (sessions of one size made and dropped one after the other)
// keeps it rather than pay more than about 2% of its time for it, while
// what work leaves after longer than that is given back.
constexpr std::chrono::microseconds kPacePerMebibyte{32'500};

// The large (mapped) store blocks alive, the resident set when the first
// of them came, and when the heap may next be given back once such work is
// done. Mapping and unmapping cost a system call each, so a lock here
// costs nothing that shows.
struct LargeStores {
  std::mutex lock;
  std::size_t alive = 0;
  std::size_t resident_before = 0;  // 0 when it could not be read
  std::chrono::steady_clock::time_point next_give_back;
};
LargeStores large_stores;

// The resident set from /proc/self/statm, or 0 when it cannot be read.
std::size_t resident_bytes() noexcept {
  const int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (file < 0) return 0;
  char text[128];
  const ssize_t length = ::read(file, text, sizeof text - 1);
  ::close(file);
  if (length <= 0) return 0;
  text[length] = '\0';
  // The second field: resident pages.
  const char* at = std::strchr(text, ' ');
  if (at == nullptr) return 0;
  std::size_t pages = 0;
  for (++at; *at >= '0' && *at <= '9'; ++at) {
    pages = pages * 10 + static_cast<std::size_t>(*at - '0');
  }
  static const long page_size = ::sysconf(_SC_PAGESIZE);
  return page_size > 0 ? pages * static_cast<std::size_t>(page_size) : 0;
}

void large_store_made() noexcept {
  const std::lock_guard<std::mutex> held(large_stores.lock);
  if (large_stores.alive++ == 0) large_stores.resident_before = resident_bytes();
}

// After the block is unmapped. Only once the last large store has gone
// does the resident set say what the work left behind: while one lives,
// its pages count too, whether written or not. What the rest of the
// program freed before the work began is in both figures, and whatever the
// work reused of it is not counted twice, so a program that alternates its
// own large calls with these is not trimmed after every one.
void large_store_freed(std::size_t bytes) noexcept {
  const std::lock_guard<std::mutex> held(large_stores.lock);
  const bool trimming = bytes >= kTrimmingBlock;
  if (trimming) give_heap_back();
  if (--large_stores.alive > 0 || trimming) return;
  const std::size_t before = large_stores.resident_before;
  const std::size_t resident = resident_bytes();
  if (before == 0 || resident < before + kResidentGrowth) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < large_stores.next_give_back) return;
  give_heap_back();
  const std::size_t after = resident_bytes();
  const std::size_t mebibytes = after != 0 && after < resident ? (resident - after) >> 20 : 0;
  large_stores.next_give_back =
      now + kPacePerMebibyte * static_cast<std::chrono::microseconds::rep>(mebibytes);
}

#else

void large_store_made() noexcept {}
void large_store_freed(std::size_t) noexcept {}

#endif

}  // namespace

void* allocate_store_block(std::size_t bytes) {
  if (bytes < kLargeBlock) return heap_block(bytes);
  const std::size_t size = mapped_size(bytes);
  void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  // Advice only: where huge pages are off, the block works all the same.
  ::madvise(block, size, MADV_HUGEPAGE);
  large_store_made();
  return block;
}

void release_store_block(void* block, std::size_t bytes) noexcept {
  if (bytes < kLargeBlock) {
    free_heap_block(block, bytes);
    return;
  }
  ::munmap(block, mapped_size(bytes));
  large_store_freed(bytes);
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

void* allocate_store_block(std::size_t bytes) { return heap_block(bytes); }
void release_store_block(void* block, std::size_t bytes) noexcept {
  free_heap_block(block, bytes);
}

void* resize_store_block(void* block, std::size_t old_bytes, std::size_t new_bytes,
                         std::size_t kept_bytes) {
  void* grown = heap_block(new_bytes);
  std::memcpy(grown, block, kept_bytes);
  free_heap_block(block, old_bytes);
  return grown;
}

#endif

}  // namespace vindle
