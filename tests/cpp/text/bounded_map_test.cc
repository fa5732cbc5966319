#include "text/bounded_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vindle {
namespace {

using namespace std::string_literals;

// A hash that sends every key to the same slot with the same tag, and has
// no second hash: the table learns nothing from it and must tell keys apart
// by comparing them.
struct SameHash {
  template <class K>
  std::uint64_t operator()(const K&) const {
    return 0x12345;
  }
};

// The same first hash, with the text's own second hash: keys are alike
// wherever the table places them by the first.
struct SameFirstHash {
  std::uint64_t operator()(std::string_view) const { return 0x12345; }
  std::uint64_t second(std::string_view key) const { return TextHash{}.second(key); }
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
  // Texts offer the tree their prefix, as TextLess does; a prefix is a
  // number, and its comparisons are not counted.
  static std::uint64_t prefix(std::string_view text) { return TextLess::prefix(text); }
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

// Texts that share TextHash and every byte but their last sixteen, made as
// anyone can make them: TextHash gathers a text's words one at a time and
// each step can be undone, so the last word that brings the hash to a chosen
// value can be solved for, whatever the word before it. Here the words may
// hold any bytes, so that every try gives a text.
std::vector<std::string> texts_of_one_hash(std::size_t count, std::size_t size) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
  const auto gather = [](std::uint64_t h, std::uint64_t word) {
    h = (h ^ word) * kMultiplier;
    return h ^ (h >> 29);
  };
  std::uint64_t inverse = kMultiplier;
  for (int k = 0; k < 5; ++k) inverse *= 2 - kMultiplier * inverse;
  const std::string stem(size - 16, 's');
  std::uint64_t state = size * kMultiplier;
  for (std::size_t k = 0; k < stem.size(); k += 8) state = gather(state, 0x7373737373737373ULL);
  const std::uint64_t target = 0x0123456789ABCDEFULL;  // the state the finaliser is given
  const std::uint64_t wanted = (target ^ (target >> 29) ^ (target >> 58)) * inverse;
  std::vector<std::string> texts;
  for (std::uint64_t varied = 1; texts.size() < count; ++varied) {
    const std::uint64_t last = wanted ^ gather(state, varied);
    std::string text = stem;
    text.append(reinterpret_cast<const char*>(&varied), 8);
    text.append(reinterpret_cast<const char*>(&last), 8);
    texts.push_back(std::move(text));
  }
  for (const std::string& text : texts) {
    EXPECT_EQ(TextHash{}(text), TextHash{}(texts.front()));
    EXPECT_EQ(TextLess::prefix(text), TextLess::prefix(texts.front()));
  }
  return texts;
}

// All of the tag alike, the home as a fair hash places it, and the text's
// own second hash: a run of slots is full of keys of one tag.
struct SameTagHash {
  std::uint64_t operator()(std::string_view key) const {
    return 0xABCD000000000000ULL | (TextHash{}(key) & 0xFFFFFFFF);
  }
  std::uint64_t second(std::string_view key) const { return TextHash{}.second(key); }
};

// Keys alike in all the table places them by, hash and prefix, but not in
// their second hash cost numbers, not texts: a lookup compares one key in
// slots at most (the first of its tag), and one in the tree to see that
// the entry found is the key; it never asks the keys' order. The first
// `keys.size() - misses` keys are put in, the rest looked for in vain.
template <class Hash>
void expect_told_apart_by_numbers(const std::vector<std::string>& keys, std::size_t misses) {
  Counts counts;
  BoundedSet<std::string_view, Hash, CountingEqual, CountingLess> set(
      Hash{}, CountingEqual{&counts}, CountingLess{&counts});
  const std::size_t held = keys.size() - misses;
  for (std::size_t k = 0; k < held; ++k) ASSERT_TRUE(set.insert(keys[k]).second);
  EXPECT_EQ(counts.less, 0u);
  EXPECT_GT(set.overflow_size(), held / 5);
  for (std::size_t k = 0; k < keys.size(); ++k) {
    counts = {};
    if (k < held) {
      ASSERT_EQ(set.find(keys[k]), k);
      ASSERT_EQ(set.insert(keys[k]).first, k);
      ASSERT_LE(counts.equal, 4u) << "key " << k;  // two for the find, two for the insertion
    } else {
      ASSERT_FALSE(set.contains(keys[k]));
      ASSERT_LE(counts.equal, 1u) << "key " << k;
    }
    ASSERT_EQ(counts.less, 0u) << "key " << k;
  }
}

TEST(BoundedSet, KeysAlikeButForTheSecondHashAreToldApartByNumbers) {
  for (const std::size_t size : {24, 272}) {
    expect_told_apart_by_numbers<TextHash>(texts_of_one_hash(20050, size), 50);
  }
  expect_told_apart_by_numbers<SameFirstHash>(numbered_names(20050, "a-long-shared-stem-"), 50);
  expect_told_apart_by_numbers<SameTagHash>(numbered_names(20050, "a-long-shared-stem-"), 50);
}

// Against std::set, over hashes from fair to useless: places are the order
// of first insertion, repeated keys are found, absent keys are not, and a
// table grown from empty answers as one reset for its size.
TEST(BoundedSet, AnswersAsAnOrderedSetWhateverTheHash) {
  struct FewHashes {
    std::uint64_t operator()(std::string_view key) const { return TextHash{}(key) % 7; }
  };
  // The first hash alike, the second of three values: keys alike in both.
  struct FewSeconds {
    std::uint64_t operator()(std::string_view) const { return 7; }
    std::uint64_t second(std::string_view key) const { return TextHash{}.second(key) % 3; }
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
  check(BoundedSet<std::string, SameFirstHash, SameText, TextLess>());
  check(BoundedSet<std::string, FewSeconds, SameText, TextLess>());
  check(BoundedSet<std::string, SameTagHash, SameText, TextLess>());
  BoundedSet<std::string, SameHash, SameText, TextLess> reset;
  reset.reset(40000);
  check(reset);
}

// The tables of texts against std::map, on texts that share TextHash mixed
// with ordinary ones, put in and looked for in a shuffled order, across
// growth and a reset.
TEST(BoundedTextMap, AnswersAsAnOrderedMapOnTextsOfOneHash) {
  std::vector<std::string> pool = texts_of_one_hash(3000, 24);
  const std::vector<std::string> long_ones = texts_of_one_hash(1000, 272);
  pool.insert(pool.end(), long_ones.begin(), long_ones.end());
  for (int k = 0; k < 3000; ++k) pool.push_back("name-" + std::to_string(k));
  BoundedTextMap<std::string_view, std::size_t> map;
  std::map<std::string, std::size_t, std::less<>> reference;
  std::uint64_t state = 7;
  for (int step = 0; step < 40000; ++step) {
    if (step == 25000) {
      map.reset(10);
      reference.clear();
    }
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const std::string& key = pool[(state >> 33) % pool.size()];
    if ((state >> 20) % 3 == 0) {
      const std::size_t* found = map.find(std::string_view(key));
      const auto expected = reference.find(key);
      ASSERT_EQ(found != nullptr, expected != reference.end());
      if (found) {
        ASSERT_EQ(*found, expected->second);
      }
    } else {
      const bool added = map.try_emplace(std::string_view(key), reference.size()).second;
      ASSERT_EQ(added, reference.try_emplace(key, reference.size()).second);
    }
  }
  ASSERT_EQ(map.size(), reference.size());
  for (const auto& [key, value] : reference) ASSERT_EQ(*map.find(std::string_view(key)), value);
}

// The second hash is SipHash: its rounds and its last word are those of
// the published reference (SipHash-2-4 under the key 00..0f).
TEST(TextHash, TheSecondHashFollowsSipHash) {
  std::string bytes;
  for (char c = 0; c < 15; ++c) bytes += c;
  constexpr std::uint64_t k0 = 0x0706050403020100ULL;
  constexpr std::uint64_t k1 = 0x0F0E0D0C0B0A0908ULL;
  EXPECT_EQ((text_words::sip_hash<2, 4>(bytes, k0, k1)), 0xA129CA6149BE45E5ULL);
  EXPECT_EQ((text_words::sip_hash<2, 4>("", k0, k1)), 0x726FDB47DD0E0E31ULL);
}

// Texts of eight bytes or fewer serve as their own second hash, which is
// sound only while no two of one length share the first: every text of up
// to two bytes, and at each greater length up to eight, texts that differ
// from a random one in two bytes wherever they stand.
TEST(TextHash, ShortTextsOfOneLengthNeverShareIt) {
  std::uint64_t state = 3;
  for (std::size_t size = 0; size <= 8; ++size) {
    std::set<std::string> texts;
    if (size <= 2) {
      for (std::uint32_t k = 0; k < (1u << (8 * size)); ++k) {
        texts.insert(std::string(reinterpret_cast<const char*>(&k), size));
      }
    } else {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      const std::string base(reinterpret_cast<const char*>(&state), size);
      for (std::size_t a = 0; a < size; ++a) {
        for (std::size_t b = a + 1; b < size; ++b) {
          for (int x = 0; x < 256 * 256; x += 97) {
            std::string text = base;
            text[a] = static_cast<char>(x);
            text[b] = static_cast<char>(x >> 8);
            texts.insert(text);
          }
        }
      }
    }
    std::set<std::uint64_t> hashes;
    for (const std::string& text : texts) {
      hashes.insert(TextHash{}(text));
      ASSERT_EQ(TextHash{}.second(text), TextHash{}(text));
    }
    EXPECT_EQ(hashes.size(), texts.size()) << "texts of " << size << " bytes";
  }
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
