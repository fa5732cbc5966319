#include "text/bounded_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vindle {
namespace {

using namespace std::string_literals;

// A hash that sends every key to the same slot with the same tag: the
// table learns nothing from it and must tell keys apart by comparing them.
struct SameHash {
  template <class K>
  std::uint64_t operator()(const K&) const {
    return 0x12345;
  }
};

// Comparisons counted, so that the cost of one lookup is measured by what
// it does rather than by the clock.
struct Counts {
  std::size_t equal = 0;
  std::size_t less = 0;
};
struct CountingEqual {
  Counts* counts;
  template <class A, class B>
  bool operator()(const A& a, const B& b) const {
    ++counts->equal;
    return a == b;
  }
};
struct CountingLess {
  using is_transparent = void;
  Counts* counts;
  template <class A, class B>
  bool operator()(const A& a, const B& b) const {
    ++counts->less;
    return a < b;
  }
};

// Distinct names with a long shared beginning, so that comparing two of
// them is never settled by their first bytes.
std::vector<std::string> numbered_names(std::size_t count, std::string_view stem) {
  std::vector<std::string> names;
  for (std::size_t k = 0; k < count; ++k) names.push_back(std::string(stem) + std::to_string(k));
  return names;
}

// A path segment under its parent, as the checker's table of instance
// paths keys them.
struct Segment {
  std::size_t parent;
  std::string_view name;
  bool operator==(const Segment&) const = default;
  auto operator<=>(const Segment&) const = default;
};

// Every lookup, hit or miss, compares at most kProbeLimit keys in slots
// and a logarithm of the table's size in the tree, even when the hash says
// nothing; and the table still answers exactly. For each kind of key the
// tables hold: views of names, owned texts looked up by a view, and
// segments.
template <class Key, class MakeKey>
void expect_bounded_lookups(MakeKey make_key) {
  using Set = BoundedSet<Key, SameHash, CountingEqual, CountingLess>;
  for (const std::size_t size : {std::size_t{1}, std::size_t{17}, std::size_t{1000},
                                 std::size_t{100000}}) {
    Counts counts;
    Set set(SameHash{}, CountingEqual{&counts}, CountingLess{&counts});
    const std::vector<std::string> names = numbered_names(size, "a-long-shared-stem-");
    for (const std::string& name : names) set.insert(make_key(name));
    ASSERT_EQ(set.size(), size);

    const std::size_t tree_bound = OverflowTree::comparison_bound(set.overflow_size());
    const std::vector<std::string> misses = numbered_names(50, "not-there-");
    for (std::size_t k = 0; k < size; k += std::max<std::size_t>(1, size / 200)) {
      counts = {};
      ASSERT_EQ(set.find(make_key(names[k])), k);
      EXPECT_LE(counts.equal + counts.less, Set::kProbeLimit + tree_bound)
          << "size " << size << ", key " << k;
    }
    for (const std::string& miss : misses) {
      counts = {};
      EXPECT_FALSE(set.find(make_key(miss)).has_value());
      EXPECT_LE(counts.equal + counts.less, Set::kProbeLimit + tree_bound);
      // An insertion of a present key is a lookup too, which may split a
      // full node on its way down and look again there.
      counts = {};
      EXPECT_FALSE(set.insert(make_key(names[size / 2])).second);
      EXPECT_LE(counts.equal + counts.less, Set::kProbeLimit + 2 * tree_bound);
    }
  }
}

TEST(BoundedSet, ALookupStaysBoundedWhenEveryKeyHashesAlike) {
  expect_bounded_lookups<std::string_view>([](const std::string& name) {
    return std::string_view(name);
  });
  expect_bounded_lookups<std::string>([](const std::string& name) {
    return std::string_view(name);
  });
  expect_bounded_lookups<Segment>([](const std::string& name) {
    return Segment{name.size() % 3, name};
  });
}

// Keys whose hashes share only their low bits (the home slot) but differ
// above: the tree tells them apart by their hashes, and compares a key only
// to see that the entry found is it.
TEST(BoundedSet, KeysSharingAHomeAreFoundWithoutComparingKeys) {
  struct LowBitsAlike {
    std::uint64_t operator()(std::string_view key) const {
      return TextHash{}(key) << 20;  // the low 20 bits are zero for every key
    }
  };
  Counts counts;
  BoundedSet<std::string_view, LowBitsAlike, CountingEqual, CountingLess> set(
      LowBitsAlike{}, CountingEqual{&counts}, CountingLess{&counts});
  const std::vector<std::string> names = numbered_names(20000, "k");
  for (const std::string& name : names) set.insert(name);
  EXPECT_GT(set.overflow_size(), 19000u);
  for (std::size_t k = 0; k < names.size(); ++k) {
    counts = {};
    ASSERT_EQ(set.find(names[k]), k);
    ASSERT_EQ(counts.less, 0u);
    ASSERT_EQ(counts.equal, 1u);
  }
}

// Against std::set, over hashes from fair to useless: places are the order
// of first insertion, repeated keys are found, absent keys are not, and a
// table grown from empty answers as one reset for its size.
TEST(BoundedSet, AnswersAsAnOrderedSetWhateverTheHash) {
  struct FewHashes {
    std::uint64_t operator()(std::string_view key) const { return TextHash{}(key) % 7; }
  };
  const auto check = [](auto set) {
    std::set<std::string> reference;
    std::vector<std::string> order;
    std::uint64_t state = 1;
    for (int step = 0; step < 30000; ++step) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      const std::string key = "key" + std::to_string((state >> 33) % 12000);
      const auto [place, added] = set.insert(key);
      ASSERT_EQ(added, reference.insert(key).second) << key;
      if (added) order.push_back(key);
      ASSERT_EQ(set[place], key);
    }
    ASSERT_EQ(set.size(), order.size());
    for (std::size_t k = 0; k < order.size(); ++k) ASSERT_EQ(set.find(order[k]), k);
    for (int k = 12000; k < 13000; ++k) ASSERT_FALSE(set.contains("key" + std::to_string(k)));
  };
  check(BoundedSet<std::string, TextHash, SameText, TextLess>());
  check(BoundedSet<std::string, FewHashes, SameText, TextLess>());
  check(BoundedSet<std::string, SameHash, SameText, TextLess>());
  BoundedSet<std::string, SameHash, SameText, TextLess> reset;
  reset.reset(40000);
  check(reset);
}

// The empty key and keys that are prefixes of one another, which the
// eight-byte prefix of the tree's order cannot tell apart.
TEST(BoundedSet, KeysThatArePrefixesOfOneAnother) {
  BoundedSet<std::string, SameHash, SameText, TextLess> set;
  const std::vector<std::string> keys = {""s,        "\0"s,        "a"s,        "ab"s,
                                         "abcdefgh"s, "abcdefgh\0"s, "abcdefghi"s, "abcdefgi"s,
                                         "\xff"s,     "\xff\xff"s};
  for (const std::string& key : keys) EXPECT_TRUE(set.insert(key).second) << key;
  for (std::size_t k = 0; k < keys.size(); ++k) EXPECT_EQ(set.find(keys[k]), k) << keys[k];
  EXPECT_FALSE(set.contains(std::string_view("abcdefgh\0\0", 10)));
}

// The byte order the tree relies on, for keys of every length.
TEST(TextLess, IsTheOrderOfBytesAndItsPrefixAgrees) {
  const std::vector<std::string> keys = {""s,         "a"s,         "a\x01"s,    "ab"s,
                                         "abcdefgh"s, "abcdefgh!"s, "abcdefgi"s, "b"s,
                                         "\x7f"s,     "\x80"s,      "\xff\0z"s,  "\xff"s};
  for (const std::string& a : keys) {
    for (const std::string& b : keys) {
      const bool expected = std::string_view(a) < std::string_view(b);
      EXPECT_EQ(TextLess{}(a, b), expected) << a << " / " << b;
      if (TextLess::prefix(a) < TextLess::prefix(b)) {
        EXPECT_TRUE(expected) << a << " / " << b;
      }
    }
  }
}

TEST(BoundedMap, KeepsTheFirstValueAndResetsToEmpty) {
  BoundedMap<std::string_view, int, SameHash, SameText, TextLess> map;
  const std::vector<std::string> names = numbered_names(500, "n");
  for (std::size_t k = 0; k < names.size(); ++k) {
    EXPECT_TRUE(map.try_emplace(names[k], static_cast<int>(k)).second);
  }
  EXPECT_FALSE(map.try_emplace(names[7], -1).second);
  EXPECT_EQ(*map.find(names[7]), 7);
  map[names[9]] += 100;
  EXPECT_EQ(*map.find(names[9]), 109);
  EXPECT_EQ(map.find(std::string_view("absent")), nullptr);

  map.reset(3);
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.find(names[7]), nullptr);
  map["again"] = 1;
  EXPECT_EQ(map.size(), 1u);
  EXPECT_EQ(map.keys()[0], "again");
}

}  // namespace
}  // namespace vindle
