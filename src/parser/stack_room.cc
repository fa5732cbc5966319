#include "parser/stack_room.h"

#include <cstdint>

#if defined(__linux__)
#include <pthread.h>
#endif

namespace vindle {
namespace {

// The calling thread's stack, [low, high); both 0 when unknown.
struct StackBounds {
  std::uintptr_t low = 0;
  std::uintptr_t high = 0;
};

StackBounds read_bounds() {
  StackBounds bounds;
#if defined(__linux__)
  // For the main thread this reads the stack's mapping and its size limit,
  // for any other thread the stack it was created with, guard page left out.
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return bounds;
  void* address = nullptr;
  std::size_t size = 0;
  if (pthread_attr_getstack(&attributes, &address, &size) == 0) {
    bounds.low = reinterpret_cast<std::uintptr_t>(address);
    bounds.high = bounds.low + size;
  }
  pthread_attr_destroy(&attributes);
#endif
  return bounds;
}

thread_local bool bounds_read = false;
thread_local StackBounds bounds;

}  // namespace

bool stack_running_short() {
  if (!bounds_read) {
    bounds = read_bounds();
    bounds_read = true;
  }
  // The stack grows down on every platform this builds for.
  const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  if (here <= bounds.low || here >= bounds.high) return false;
  return here - bounds.low < kStackReserve;
}

}  // namespace vindle
