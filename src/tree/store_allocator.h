// The memory of a document's store. A large document's store runs to
// hundreds of megabytes, and on many machines first touching that much
// memory a 4 KiB page at a time costs more than reading the XML itself, so
// large blocks are mapped directly, offered to the kernel for transparent
// huge pages, grown by remapping rather than copying, and unmapped when the
// document is dropped, so that the memory goes back to the system at once.
// Small blocks come from the ordinary heap.
//
// What the heap keeps is given back to the system too, where much is known
// to lie free: when the last large store goes and the resident set stands
// 16 MiB or more above where it stood when the first came (a session
// recomputed over 100,000 rows leaves tens of megabytes of results and
// temporaries behind), unless the heap was given back so recently that the
// work now ending would pay more than about 2% of its time faulting the
// pages in again; when a block of 64 MiB or more goes (a document of a
// million nodes); and when store blocks of 16 MiB in all have gone back to
// the heap and not been taken again (many small sessions held together and
// dropped). A steady run of calls on documents of a few megabytes reuses
// what the last call freed, and is left alone.
//
// `StoreArray` is the growable array the store is made of: it holds plain
// values only, and growing it never writes the new room (no zero-filling of
// memory that is about to be written anyway). Room that is reserved but
// never written is never touched, so reserving generously costs address
// space, not memory.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace vindle {

void* allocate_store_block(std::size_t bytes);
void release_store_block(void* block, std::size_t bytes) noexcept;
// The block grown or shrunk to `new_bytes`, its first `kept_bytes` kept; the
// old block is released. May move it.
void* resize_store_block(void* block, std::size_t old_bytes, std::size_t new_bytes,
                         std::size_t kept_bytes);

template <typename T>
class StoreArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  StoreArray() = default;
  StoreArray(const StoreArray& other) { *this = other; }
  StoreArray(StoreArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  StoreArray& operator=(const StoreArray& other) {
    if (this != &other) {
      clear_and_release();
      if (other.size_ > 0) {
        data_ = static_cast<T*>(allocate_store_block(other.size_ * sizeof(T)));
        capacity_ = other.size_;
        std::memcpy(data_, other.data_, other.size_ * sizeof(T));
        size_ = other.size_;
      }
    }
    return *this;
  }
  StoreArray& operator=(StoreArray&& other) noexcept {
    if (this != &other) {
      clear_and_release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  ~StoreArray() { clear_and_release(); }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t k) { return data_[k]; }
  const T& operator[](std::size_t k) const { return data_[k]; }
  T& back() { return data_[size_ - 1]; }

  void reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    if (capacity > max_count()) throw std::bad_alloc();
    data_ = static_cast<T*>(data_ == nullptr
                                ? allocate_store_block(capacity * sizeof(T))
                                : resize_store_block(data_, capacity_ * sizeof(T),
                                                     capacity * sizeof(T), size_ * sizeof(T)));
    capacity_ = capacity;
  }
  // Makes room for `count` more values at the end and returns it, unwritten.
  T* extend(std::size_t count) {
    if (count > capacity_ - size_) grow(count);
    T* room = data_ + size_;
    size_ += count;
    return room;
  }
  void push_back(const T& value) {
    if (size_ == capacity_) grow(1);
    data_[size_++] = value;
  }
  void append(const T* values, std::size_t count) {
    if (count == 0) return;
    if (count > capacity_ - size_) {
      // The values may lie in this very array, which growing moves.
      const bool inside = values >= data_ && values < data_ + size_;
      const std::size_t at = inside ? static_cast<std::size_t>(values - data_) : 0;
      grow(count);
      if (inside) values = data_ + at;
    }
    std::memcpy(data_ + size_, values, count * sizeof(T));
    size_ += count;
  }
  void shrink(std::size_t size) {
    if (size < size_) size_ = size;
  }
  void clear() { size_ = 0; }

 private:
  static constexpr std::size_t max_count() { return ~std::size_t{0} / 2 / sizeof(T); }

  void grow(std::size_t count) {
    if (count > max_count() - size_) throw std::bad_alloc();
    const std::size_t needed = size_ + count;
    std::size_t capacity = capacity_ < 16 ? 16 : capacity_;
    while (capacity < needed) capacity = capacity > max_count() / 2 ? needed : capacity * 2;
    reserve(capacity);
  }
  void clear_and_release() {
    if (data_ != nullptr) release_store_block(data_, capacity_ * sizeof(T));
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace vindle
