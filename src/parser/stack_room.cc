#include "parser/stack_room.h"

#include <cstdint>

#if defined(__linux__)
#include <pthread.h>
#endif

namespace vindle {
namespace {

// Where the calling thread's stack runs short: from `low` (its lowest
// address) up to `limit`, kStackReserve above it. Both 0 while unread, and
// 0 and 1 once read when the bounds cannot be known, so that no frame is
// ever short.
struct StackLimit {
  std::uintptr_t low = 0;
  std::uintptr_t limit = 0;
};

StackLimit read_limit() {
  StackLimit unknown{0, 1};
#if defined(__linux__)
  // For the main thread this reads the stack's mapping and its size limit,
  // for any other thread the stack it was created with, guard page left out.
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return unknown;
  void* address = nullptr;
  std::size_t size = 0;
  const bool read = pthread_attr_getstack(&attributes, &address, &size) == 0;
  pthread_attr_destroy(&attributes);
  if (!read || size == 0) return unknown;
  const auto low = reinterpret_cast<std::uintptr_t>(address);
  return {low, low + kStackReserve};
#else
  return unknown;
#endif
}

thread_local StackLimit stack_limit;

}  // namespace

bool stack_running_short() {
  StackLimit& known = stack_limit;
  if (known.limit == 0) known = read_limit();
  // The stack grows down on every platform this builds for. A frame below
  // the stack's lowest address lies on a stack of some other kind.
  const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  return here < known.limit && here >= known.low;
}

}  // namespace vindle
