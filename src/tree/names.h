// The names of one document, each stored once: a node holds a 32-bit
// index into its document's table instead of a string of its own. A form
// or submission repeats a few hundred names over and over, so the table is
// small while the nodes are many, and comparing two names of one document
// is comparing two numbers.
//
// A name's text never moves once stored, so the views the table hands out
// stay valid for the life of the table (and of any table moved from it).
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vindle {

class NameTable {
 public:
  using Index = std::uint32_t;
  // Indexes run below this; the table refuses to grow past it.
  static constexpr Index kLimit = Index{1} << 31;

  NameTable() = default;
  NameTable(const NameTable& other) { *this = other; }
  NameTable(NameTable&&) = default;
  NameTable& operator=(const NameTable& other);
  NameTable& operator=(NameTable&&) = default;

  // The index of the name, stored now when it is new.
  Index intern(std::string_view name);
  // The index of the name when it is stored, none otherwise: a name the
  // table does not hold belongs to no node of the document.
  std::optional<Index> find(std::string_view name) const {
    if (slots_.empty()) return std::nullopt;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash(name) & mask;; slot = (slot + 1) & mask) {
      const Index entry = slots_[slot];
      if (entry == 0) return std::nullopt;
      if (same_name(views_[entry - 1], name)) return entry - 1;
    }
  }
  std::string_view operator[](Index index) const { return views_[index]; }
  std::size_t size() const { return views_.size(); }

  // The hash that places a name: its slot is the hash's low bits. Inline,
  // as is the search: the evaluator looks a step's name up once per context
  // node, and names are a few bytes long.
  //
  // Every byte of a name must reach those low bits. A multiplication
  // carries a bit only upwards, so without the finaliser names that differ
  // only in their last bytes (the high bytes of their last word) would
  // share a few slots, and one crafted file of such names would make every
  // lookup of the reader a long walk. The words are gathered by multiply
  // and shift, and MurmurHash3's 64-bit finaliser then spreads every bit of
  // the result over every bit of the hash.
  static std::uint64_t hash(std::string_view name) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    const char* const data = name.data();
    const std::size_t size = name.size();
    std::uint64_t h = size * kMultiplier;
    std::size_t k = 0;
    for (; k + 8 <= size; k += 8) {
      std::uint64_t word;
      std::memcpy(&word, data + k, 8);
      h = (h ^ word) * kMultiplier;
      h ^= h >> 29;
    }
    if (k < size) {
      std::uint64_t word = 0;
      for (std::size_t j = 0; k + j < size; ++j) {
        word |= std::uint64_t{static_cast<unsigned char>(data[k + j])} << (8 * j);
      }
      h = (h ^ word) * kMultiplier;
      h ^= h >> 29;
    }
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 33;
    return h;
  }

 private:
  // Eight bytes at a time: names that share a long beginning, as crafted
  // ones may, cost no more to tell apart than any others.
  static bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t k = 0;
    for (; k + 8 <= a.size(); k += 8) {
      std::uint64_t x;
      std::uint64_t y;
      std::memcpy(&x, a.data() + k, 8);
      std::memcpy(&y, b.data() + k, 8);
      if (x != y) return false;
    }
    for (; k < a.size(); ++k) {
      if (a[k] != b[k]) return false;
    }
    return true;
  }
  void rehash(std::size_t slot_count);

  // The texts, in a container whose elements never move.
  std::deque<std::string> texts_;
  std::vector<std::string_view> views_;
  // Open addressing: index + 1, or 0 for an empty slot; a power of two long.
  std::vector<Index> slots_;
};

}  // namespace vindle
