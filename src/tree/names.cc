#include "tree/names.h"

#include <cstring>
#include <new>

namespace vindle {

NameTable& NameTable::operator=(const NameTable& other) {
  if (this == &other) return *this;
  texts_ = other.texts_;
  // The copied texts live elsewhere; the slots hold indexes and copy as
  // they are.
  views_.assign(texts_.begin(), texts_.end());
  slots_ = other.slots_;
  return *this;
}

void NameTable::rehash(std::size_t slot_count) {
  slots_.assign(slot_count, 0);
  const std::size_t mask = slot_count - 1;
  for (Index index = 0; index < views_.size(); ++index) {
    std::size_t slot = hash(views_[index]) & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = index + 1;
  }
}

NameTable::Index NameTable::intern(std::string_view name) {
  // At most half full, so that a search meets an empty slot soon.
  if ((views_.size() + 1) * 2 > slots_.size()) rehash(slots_.empty() ? 64 : slots_.size() * 2);
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash(name) & mask;
  for (;; slot = (slot + 1) & mask) {
    const Index entry = slots_[slot];
    if (entry == 0) break;
    if (same_name(views_[entry - 1], name)) return entry - 1;
  }
  if (views_.size() >= kLimit) throw std::bad_alloc();
  const auto index = static_cast<Index>(views_.size());
  views_.push_back(texts_.emplace_back(name));
  slots_[slot] = index + 1;
  return index;
}

}  // namespace vindle
