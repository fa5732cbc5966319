#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "tree/names.h"

namespace vindle {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// How many distinct values the low `bits` bits of the hash take over the
// names.
std::size_t distinct_slots(const std::vector<std::string>& names, int bits) {
  const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
  std::unordered_set<std::uint64_t> slots;
  for (const std::string& name : names) slots.insert(TextHash{}(name) & mask);
  return slots.size();
}

// Names of `size` bytes of "q" whose byte at `at` takes all 256 values.
std::vector<std::string> one_byte_varying(std::size_t size, std::size_t at) {
  std::vector<std::string> names;
  for (int c = 0; c < 256; ++c) {
    std::string name(size, 'q');
    name[at] = static_cast<char>(c);
    names.push_back(name);
  }
  return names;
}

// Names that differ in one byte, wherever it stands, spread over the slots
// of a small table as names drawn at random would: 256 names into 4,096
// slots fill about 248 of them.
TEST(NameTable, EveryByteOfANameReachesTheSlot) {
  for (std::size_t size = 1; size <= 40; ++size) {
    for (std::size_t at = 0; at < size; ++at) {
      EXPECT_GE(distinct_slots(one_byte_varying(size, at), 12), 230u)
          << "size " << size << ", byte " << at;
    }
  }
}

// 262,144 names of 16 bytes whose three varying characters stand last, in
// the middle or first: each arrangement fills the slots of a table of 2^19
// like names drawn at random (about 206,000), so none reads slower.
TEST(NameTable, NamesDifferingInAFewBytesSpreadWhereverTheBytesStand) {
  for (const std::size_t at : {13, 6, 0}) {
    std::vector<std::string> names;
    for (const char a : kAlphabet) {
      for (const char b : kAlphabet) {
        for (const char c : kAlphabet) {
          std::string name(16, 'q');
          name[at] = a;
          name[at + 1] = b;
          name[at + 2] = c;
          names.push_back(name);
        }
      }
    }
    EXPECT_GE(distinct_slots(names, 19), 200000u) << "varying from byte " << at;

    NameTable table;
    for (std::size_t k = 0; k < names.size(); k += 7) {
      EXPECT_EQ(table.intern(names[k]), k / 7);
    }
    const NameTable copy = table;
    for (std::size_t k = 0; k < names.size(); ++k) {
      const std::optional<NameTable::Index> expected =
          k % 7 == 0 ? std::optional<NameTable::Index>(k / 7) : std::nullopt;
      ASSERT_EQ(copy.find(names[k]), expected) << names[k];
    }
  }
}

// A hash that sends every name alike leaves the table to its ordered
// overflow, where names are told apart by the second hash when the hash
// offers one, and by their bytes when it does not: either way indexes still
// follow first use, every name is found, a copy answers as the original
// (and keeps the hash), and a name never stored is not found.
struct SameHash {
  std::uint64_t operator()(std::string_view) const { return 7; }
};
struct SameFirstHash {
  std::uint64_t operator()(std::string_view) const { return 7; }
  std::uint64_t second(std::string_view name) const { return TextHash{}.second(name); }
};

template <class Hash>
void expect_every_name_found_by_its_index() {
  std::vector<std::string> names;
  for (int k = 0; k < 20000; ++k) names.push_back("stem-" + std::to_string(k * 7919 % 20000));
  BasicNameTable<Hash> table;
  for (std::size_t k = 0; k < names.size(); ++k) ASSERT_EQ(table.intern(names[k]), k);
  for (std::size_t k = 0; k < names.size(); k += 3) ASSERT_EQ(table.intern(names[k]), k);
  const BasicNameTable<Hash> copy = table;
  ASSERT_EQ(copy.size(), names.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    ASSERT_EQ(copy.find(names[k]), k);
    ASSERT_EQ(copy[static_cast<NameTable::Index>(k)], names[k]);
  }
  EXPECT_FALSE(copy.find("stem-20000").has_value());
  EXPECT_FALSE(copy.find("").has_value());
}

TEST(NameTable, EveryNameHashingAlikeStillFindsEachByItsIndex) {
  expect_every_name_found_by_its_index<SameHash>();
  expect_every_name_found_by_its_index<SameFirstHash>();
}

}  // namespace
}  // namespace vindle
