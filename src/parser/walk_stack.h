// The stack of a walk over an expression's tree that does not recurse: the
// first entries live inside it, so that walking a small expression
// allocates nothing, and a deep one spills over to the heap.
#pragma once

#include <array>
#include <cstddef>
#include <type_traits>
#include <vector>

namespace vindle {

template <class T, std::size_t kInline = 32>
class WalkStack {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  bool empty() const { return size_ == 0; }

  void push(T item) {
    if (size_ < kInline) {
      inline_[size_] = item;
    } else {
      spilled_.push_back(item);
    }
    ++size_;
  }

  // The entry pushed last, removed; the stack must not be empty.
  T pop() {
    --size_;
    if (size_ < kInline) return inline_[size_];
    const T item = spilled_.back();
    spilled_.pop_back();
    return item;
  }

 private:
  std::array<T, kInline> inline_;
  std::vector<T> spilled_;
  std::size_t size_ = 0;
};

}  // namespace vindle
