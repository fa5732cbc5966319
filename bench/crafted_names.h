// Names chosen to flood a hash table, and names drawn at random beside
// them. The crafted names are "n" and seven letters a-z whose hash, as the
// bounded tables compute it (TextHash), has its low 18 bits below 256: in
// a table of 2^18 slots, the size a table holding 100,000 to 131,071 names
// reaches, they all share the first 256 slots. The random names have the
// same shape. Both lists are the same from run to run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/bounded_map.h"

namespace bench {

constexpr std::uint64_t kCraftedSlotBits = 18;
constexpr std::uint64_t kCraftedSlots = 256;

// The name spelled by the base-26 digits of `n`.
inline std::string letters_name(std::uint64_t n) {
  std::string name = "n";
  for (int k = 0; k < 7; ++k) {
    name += static_cast<char>('a' + n % 26);
    n /= 26;
  }
  return name;
}

// Searched out by trying names in turn: about one in 1,024 qualifies.
inline std::vector<std::string> crafted_names(std::size_t count) {
  const std::uint64_t mask = (std::uint64_t{1} << kCraftedSlotBits) - 1;
  std::vector<std::string> names;
  names.reserve(count);
  for (std::uint64_t n = 0; names.size() < count; ++n) {
    std::string name = letters_name(n);
    if ((vindle::TextHash{}(name) & mask) < kCraftedSlots) names.push_back(std::move(name));
  }
  return names;
}

// splitmix64 from a fixed seed; every name distinct.
inline std::vector<std::string> random_names(std::size_t count) {
  std::uint64_t state = 0x5EED;
  std::vector<std::string> names;
  names.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    state += 0x9E3779B97F4A7C15ULL;
    // A draw below 26^7 / count, times count, plus the name's own number:
    // below 26^7, and no two names alike.
    const std::uint64_t draw = vindle::mix_bits(state) % (8031810176ULL / count);  // 26^7
    names.push_back(letters_name(draw * count + k));
  }
  return names;
}

// <r><name1/><name2/>...</r>
inline std::string names_document(const std::vector<std::string>& names, std::size_t count) {
  std::string xml = "<r>";
  for (std::size_t k = 0; k < count; ++k) {
    xml += '<';
    xml += names[k];
    xml += "/>";
  }
  xml += "</r>";
  return xml;
}

}  // namespace bench
