// Hash tables whose every lookup costs a bounded number of slots and a
// logarithmic number of comparisons, whatever the keys.
//
// The tables that hold names, paths and characters are keyed by text that a
// form, a submission or an instance supplies, and every hash here is public
// and fixed: the module draws no random numbers, so there is no secret to
// seed a hash with. Anyone can therefore search out keys that share a few
// slots, and a table that probes on until it finds a free slot would walk
// all of them on every lookup. Here a search visits at most `kProbeLimit`
// slots from the key's home, and compares at most one key there: the first
// of its tag. A key that finds none of them free when it is inserted, or
// finds another key of its tag, goes to an ordered tree instead (a B-tree,
// ordered by a second hash and the hash, then by the key's bytes), as a
// hash map that turns a long bucket into a tree does, and its home slot is
// marked. Ordinary keys almost never reach the tree; crafted ones cost a
// logarithm there, and comparisons of numbers unless they are alike in
// both hashes.
//
// Why the bound holds: there is no erase, so a slot that was taken when a
// key was inserted is still taken when it is looked for. A key in a slot is
// found before the search meets a free one or another key of its tag. A
// key in the tree marked its home, and a search turns to the tree only from
// a marked home. A rehash places the keys in slots again by the same rule;
// keys in the tree stay there, and their new homes are marked.
//
// Keys are kept in the order they were inserted, which is the order of
// iteration: nothing built from a walk of these tables depends on a hash.
// A reference into the table is valid until the next insertion.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace vindle {

// MurmurHash3's 64-bit finaliser: every bit of the input reaches every bit
// of the result.
constexpr std::uint64_t mix_bits(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDULL;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ULL;
  h ^= h >> 33;
  return h;
}

namespace text_words {

[[gnu::always_inline]] inline std::uint64_t load64(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, 8);
  return word;
}
[[gnu::always_inline]] inline std::uint32_t load32(const char* at) {
  std::uint32_t word;
  std::memcpy(&word, at, 4);
  return word;
}

// The bytes of a text shorter than 8 as one number, without a loop: two
// loads that overlap for 4 to 7 bytes, three bytes for 1 to 3. Texts of one
// length give one number each; the length tells lengths apart.
[[gnu::always_inline]] inline std::uint64_t short_word(const char* data, std::size_t size) {
  if (size >= 4) return load32(data) | std::uint64_t{load32(data + size - 4)} << 32;
  if (size == 0) return 0;
  return static_cast<unsigned char>(data[0]) |
         std::uint64_t{static_cast<unsigned char>(data[size / 2])} << 8 |
         std::uint64_t{static_cast<unsigned char>(data[size - 1])} << 16;
}

// SipHash with `C` rounds per word and `D` to finish, keyed by k0 and k1:
// a 256-bit state, and every round mixes it by additions, rotations and
// exclusive ors, which no algebra undoes in a few steps.
template <int C, int D>
std::uint64_t sip_hash(std::string_view text, std::uint64_t k0, std::uint64_t k1) {
  std::uint64_t v0 = k0 ^ 0x736F6D6570736575ULL;
  std::uint64_t v1 = k1 ^ 0x646F72616E646F6DULL;
  std::uint64_t v2 = k0 ^ 0x6C7967656E657261ULL;
  std::uint64_t v3 = k1 ^ 0x7465646279746573ULL;
  const auto rounds = [&](int count) {
    for (int k = 0; k < count; ++k) {
      v0 += v1;
      v1 = std::rotl(v1, 13) ^ v0;
      v0 = std::rotl(v0, 32);
      v2 += v3;
      v3 = std::rotl(v3, 16) ^ v2;
      v0 += v3;
      v3 = std::rotl(v3, 21) ^ v0;
      v2 += v1;
      v1 = std::rotl(v1, 17) ^ v2;
      v2 = std::rotl(v2, 32);
    }
  };
  const auto absorb = [&](std::uint64_t word) {
    v3 ^= word;
    rounds(C);
    v0 ^= word;
  };
  const std::size_t size = text.size();
  std::size_t k = 0;
  for (; k + 8 <= size; k += 8) absorb(load64(text.data() + k));
  std::uint64_t last = 0;
  if (k < size) std::memcpy(&last, text.data() + k, size - k);
  absorb(last | std::uint64_t{size} << 56);
  v2 ^= 0xFF;
  rounds(D);
  return v0 ^ v1 ^ v2 ^ v3;
}

}  // namespace text_words

// The hash of a text: its 8-byte words gathered by multiply and shift (the
// last word read so that it ends with the text, overlapping the one
// before), then the finaliser, so that names which differ only in their
// last bytes still fall in different slots. Inline: the evaluator looks a
// step's name up once per context node, and names are a few bytes long.
//
// Each step of that gathering can be undone, so texts of any one hash can be
// made at will: fix all words but the last two, vary the next-to-last, and
// solve for the last until its bytes are those of a name. `second` is the
// hash that tells such texts apart in a table's tree: SipHash-1-3 under a
// fixed key, in which undoing a step is of no use, since a word enters the
// state twice and a round leaves four words mixed together; texts alike in
// it are found only by trying about 2^32 of them per pair. Having texts
// alike in the first hash does not help: the two hashes share no step.
// The key is a constant, not a secret: nothing that is output depends on
// either hash, and the protection lies in the cost of finding texts alike
// in both.
//
// A text of eight bytes or fewer is a single word to the first hash, and
// every step from that word to the hash is one to one: texts of one length
// never share it, so no more than nine short texts can. For them the first
// hash serves as the second, which spares SipHash the short names that
// most tables hold.
struct TextHash {
  [[gnu::always_inline]] std::uint64_t operator()(std::string_view text) const {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    const char* const data = text.data();
    const std::size_t size = text.size();
    std::uint64_t h = size * kMultiplier;
    const auto gather = [&h](std::uint64_t word) {
      h = (h ^ word) * kMultiplier;
      h ^= h >> 29;
    };
    if (size < 8) {
      gather(text_words::short_word(data, size));
    } else {
      std::size_t k = 0;
      for (; k + 8 <= size; k += 8) gather(text_words::load64(data + k));
      if (k < size) gather(text_words::load64(data + size - 8));
    }
    return mix_bits(h);
  }
  std::uint64_t second(std::string_view text) const {
    if (text.size() <= 8) return (*this)(text);
    return text_words::sip_hash<1, 3>(text, 0x243F6A8885A308D3ULL, 0x13198A2E03707344ULL);
  }
};

// Byte equality of two texts, eight bytes at a time: names that share a
// long beginning, as crafted ones may, cost no more to tell apart than any
// others.
struct SameText {
  [[gnu::always_inline]] bool operator()(std::string_view a, std::string_view b) const {
    const std::size_t size = a.size();
    if (size != b.size()) return false;
    if (size < 8) {
      return text_words::short_word(a.data(), size) == text_words::short_word(b.data(), size);
    }
    std::size_t k = 0;
    for (; k + 8 <= size; k += 8) {
      if (text_words::load64(a.data() + k) != text_words::load64(b.data() + k)) return false;
    }
    return k == size ||
           text_words::load64(a.data() + size - 8) == text_words::load64(b.data() + size - 8);
  }
};

// The byte order of two texts (as std::string_view's), eight bytes at a
// time and inline: the tree of a table compares keys whose hashes are alike.
struct TextLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t k = 0;
    for (; k + 8 <= common; k += 8) {
      std::uint64_t x;
      std::uint64_t y;
      std::memcpy(&x, a.data() + k, 8);
      std::memcpy(&y, b.data() + k, 8);
      if (x != y) {
        if constexpr (std::endian::native == std::endian::little) {
          x = std::byteswap(x);
          y = std::byteswap(y);
        }
        return x < y;
      }
    }
    for (; k < common; ++k) {
      if (a[k] != b[k]) return static_cast<unsigned char>(a[k]) < static_cast<unsigned char>(b[k]);
    }
    return a.size() < b.size();
  }
  // The first eight bytes as a big-endian number, zeros past the end: two
  // texts whose prefixes differ are in the prefixes' order.
  static std::uint64_t prefix(std::string_view text) {
    std::uint64_t word = 0;
    if (text.empty()) return 0;
    std::memcpy(&word, text.data(), std::min<std::size_t>(text.size(), 8));
    if constexpr (std::endian::native == std::endian::little) word = std::byteswap(word);
    return word;
  }
};

// The keys of a `BoundedSet` that could not take a slot, as entries in a
// B-tree ordered by two numbers of the key and then by the key itself: a
// second hash, of another make than the one that placed it in slots, and
// that hash. The numbers sit in the nodes, so that keys are told apart by
// comparing numbers until both are alike: keys chosen to share the first
// hash (and their first bytes with it) are told apart by the second. The
// tree holds no key: the caller compares a place's key with the key sought,
// so nothing here points into the set, which may move.
class OverflowTree {
 public:
  static constexpr std::uint32_t kNodeEntries = 31;
  // Comparisons of keys one search makes at most, for a tree of `size`
  // entries. Every node but the root holds at least 15 entries, so a
  // search visits at most 1 + log16(size) nodes; in each it compares keys
  // only among entries whose numbers are alike, 5 times at most to find its
  // place among 31 and once to see whether the entry there is the key.
  static constexpr std::size_t comparison_bound(std::size_t size) {
    std::size_t levels = 1;
    for (std::size_t below = 16; below <= size; below *= 16) ++levels;
    return 6 * levels;
  }

  // Where a key stands before its own comparison is needed.
  struct Numbers {
    std::uint64_t second;
    std::uint64_t hash;
  };

  std::size_t size() const { return size_; }
  void clear() {
    nodes_.clear();
    root_ = kNone;
    height_ = 0;
    size_ = 0;
  }
  // `before(place)` tells whether the key at that place comes before the
  // key sought, `same(place)` whether it is the key sought; both are asked
  // only of entries whose numbers are the key's.
  template <class Before, class Same>
  std::optional<std::uint32_t> find(const Numbers& numbers, Before&& before, Same&& same) const {
    for (std::uint32_t at = root_; at != kNone;) {
      const Node& node = nodes_[at];
      const Spot spot = search(node, numbers, before, same);
      if (spot.found) return node.places[spot.k];
      at = node.leaf ? kNone : node.children[spot.k];
    }
    return std::nullopt;
  }
  // The key's place, found on the way down, or given by `claim()` and
  // added where the key belongs; and whether it was added. The nodes it
  // may need are reserved first, and `claim` is called before anything
  // but splits (which keep the tree as it was in all it holds), so that an
  // exception from either leaves the tree holding what it held.
  template <class Before, class Same, class Claim>
  [[gnu::noinline]] std::pair<std::uint32_t, bool> insert(const Numbers& numbers, Before&& before,
                                                         Same&& same, Claim&& claim) {
    const std::size_t needed = nodes_.size() + height_ + 2;
    if (nodes_.capacity() < needed) nodes_.reserve(std::max(needed, 2 * nodes_.capacity()));
    if (root_ == kNone) {
      root_ = new_node(true);
      height_ = 1;
    } else if (nodes_[root_].count == kNodeEntries) {
      const std::uint32_t top = new_node(false);
      nodes_[top].children[0] = root_;
      root_ = top;
      ++height_;
      split_child(top, 0);
    }
    std::uint32_t at = root_;
    while (true) {
      Spot spot = search(nodes_[at], numbers, before, same);
      if (!spot.found && !nodes_[at].leaf &&
          nodes_[nodes_[at].children[spot.k]].count == kNodeEntries) {
        // The child's middle entry comes up to k: the key may be that
        // entry, or lie on either side of it.
        split_child(at, spot.k);
        spot = search(nodes_[at], numbers, before, same);
      }
      if (spot.found) return {nodes_[at].places[spot.k], false};
      if (nodes_[at].leaf) {
        const std::uint32_t place = claim();
        Node& node = nodes_[at];
        node.open(spot.k);
        node.set(spot.k, numbers, place);
        ++node.count;
        ++size_;
        return {place, true};
      }
      at = nodes_[at].children[spot.k];
    }
  }
  // Every entry's hash and place, in no particular order.
  template <class F>
  void for_each(F&& f) const {
    for (const Node& node : nodes_) {
      for (std::uint32_t k = 0; k < node.count; ++k) f(node.hashes[k], node.places[k]);
    }
  }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  struct Node {
    std::uint32_t count = 0;
    bool leaf = true;
    // Apart, and the first hashes last: a search compares second hashes,
    // then follows a place or a child, and needs the first only where two
    // second hashes are alike.
    std::uint64_t seconds[kNodeEntries];
    std::uint32_t places[kNodeEntries];
    std::uint32_t children[kNodeEntries + 1];
    std::uint64_t hashes[kNodeEntries];

    void set(std::uint32_t k, const Numbers& numbers, std::uint32_t place) {
      seconds[k] = numbers.second;
      hashes[k] = numbers.hash;
      places[k] = place;
    }
    // The entries from k on move up one, leaving k free. One entry at a
    // time: a call to copy each array costs more than the few entries moved.
    void open(std::uint32_t k) {
      for (std::uint32_t j = count; j > k; --j) take(j, *this, j - 1);
    }
    void take(std::uint32_t k, const Node& from, std::uint32_t j) {
      set(k, {from.seconds[j], from.hashes[j]}, from.places[j]);
    }
  };
  // The first entry that does not come before the key sought, and whether
  // it is the key.
  struct Spot {
    std::uint32_t k = 0;
    bool found = false;
  };

  // The second hashes are searched without branches, since which way each
  // step goes is a coin toss. Entries alike in the second hash are rare but
  // under a hash that offers none; among them the first hashes are scanned
  // (a few entries, or a whole node whose numbers are alike, where the scan
  // ends as it meets the key's), and only entries alike in both are
  // compared as keys.
  template <class Before, class Same>
  static Spot search(const Node& node, const Numbers& numbers, Before& before, Same& same) {
    std::uint32_t low = 0;
    for (std::uint32_t n = node.count; n > 1;) {
      const std::uint32_t half = n / 2;
      low = node.seconds[low + half - 1] < numbers.second ? low + half : low;
      n -= half;
    }
    if (low < node.count && node.seconds[low] < numbers.second) ++low;
    if (low == node.count || node.seconds[low] != numbers.second) return {low, false};
    const auto alike = [&](std::uint32_t k) {
      return k < node.count && node.seconds[k] == numbers.second;
    };
    while (alike(low) && node.hashes[low] < numbers.hash) ++low;
    std::uint32_t high = low;
    while (alike(high) && node.hashes[high] == numbers.hash) ++high;
    if (low == high) return {low, false};
    // Entries low to high share the key's numbers: at most 31 of them.
    if (high - low == 1) {
      if (same(node.places[low])) return {low, true};
      return {before(node.places[low]) ? high : low, false};
    }
    const std::uint32_t end = high;
    while (low < high) {
      const std::uint32_t middle = (low + high) / 2;
      if (before(node.places[middle])) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    return {low, low < end && same(node.places[low])};
  }
  std::uint32_t new_node(bool leaf) {
    nodes_.emplace_back();
    nodes_.back().leaf = leaf;
    return static_cast<std::uint32_t>(nodes_.size() - 1);
  }
  // The full child at k gives its middle entry to the parent, which has
  // room, and its upper half to a new node placed after it.
  void split_child(std::uint32_t parent, std::uint32_t k) {
    constexpr std::uint32_t kHalf = kNodeEntries / 2;
    const std::uint32_t child = nodes_[parent].children[k];
    const std::uint32_t upper = new_node(nodes_[child].leaf);
    Node& left = nodes_[child];
    Node& right = nodes_[upper];
    for (std::uint32_t j = 0; j < kHalf; ++j) right.take(j, left, kHalf + 1 + j);
    if (!left.leaf) std::copy_n(left.children + kHalf + 1, kHalf + 1, right.children);
    right.count = kHalf;
    left.count = kHalf;
    Node& up = nodes_[parent];
    up.open(k);
    std::copy_backward(up.children + k + 1, up.children + up.count + 1,
                       up.children + up.count + 2);
    up.take(k, left, kHalf);
    up.children[k + 1] = upper;
    ++up.count;
  }

  std::vector<Node> nodes_;
  std::uint32_t root_ = kNone;
  std::size_t height_ = 0;
  std::size_t size_ = 0;
};

// A set of keys, each with its place: the order in which it was inserted.
// `Hash` gives a 64-bit hash of a key, or of anything a key is looked up
// by, and through `second` one of another make that orders the tree (every
// table keyed by input has one; a test's hash may leave it out); `Equal`
// and `Less` compare a key with such a thing, and `Less` is transparent
// when keys are looked up by another type.
template <class Key, class Hash, class Equal = std::equal_to<>, class Less = std::less<>>
class BoundedSet {
 public:
  // Slots a search visits at most before it turns to the tree. At most
  // half the slots are taken, so with a fair hash a key's run is longer
  // than this about once in thousands of keys.
  static constexpr std::size_t kProbeLimit = 16;

  BoundedSet() = default;
  explicit BoundedSet(Hash hash, Equal equal = Equal(), Less less = Less())
      : hash_(std::move(hash)), equal_(std::move(equal)), less_(std::move(less)) {}

  const Hash& hash_function() const { return hash_; }
  std::size_t size() const { return keys_.size(); }
  bool empty() const { return keys_.empty(); }
  const Key& operator[](std::size_t place) const { return keys_[place]; }
  std::span<const Key> keys() const { return keys_; }
  auto begin() const { return keys_.begin(); }
  auto end() const { return keys_.end(); }
  // How many keys live in the tree rather than in a slot.
  std::size_t overflow_size() const { return tree_.size(); }

  // The key's place, none when it is not held.
  template <class K>
  std::optional<std::uint32_t> find(const K& key) const {
    const std::uint32_t place = find_place(key);
    if (place == kAbsent) return std::nullopt;
    return place;
  }
  // The same as a number, kAbsent when the key is not held, so that no
  // optional is built through memory: the evaluator asks the name table once
  // per step it takes.
  static constexpr std::uint32_t kAbsent = UINT32_MAX;
  template <class K>
  std::uint32_t find_place(const K& key) const {
    if (slots_.empty()) return kAbsent;
    const std::uint64_t h = hash_(key);
    const Search search = search_slots(key, h);
    if (search.place != kAbsent) return search.place;
    return find_in_tree(key, h, search.home);
  }
  template <class K>
  bool contains(const K& key) const {
    return find(key).has_value();
  }

  // The key's place, and whether it was new. A new key is stored as
  // `make()` gives it, which must equal `key`: a table of views can look a
  // key up by a passing view and store a view of its own copy.
  template <class K, class Make>
  std::pair<std::size_t, bool> insert(const K& key, Make&& make) {
    if ((keys_.size() + 1) * 2 > slots_.size()) {
      rehash(slots_.empty() ? kFirstSlots : slots_.size() * 2);
    }
    const std::uint64_t h = hash_(key);
    const Search search = search_slots(key, h);
    if (search.place != kAbsent) return {search.place, false};
    const auto claim = [&] {
      if (keys_.size() >= kMaxEntries) throw std::bad_alloc();
      keys_.push_back(std::forward<Make>(make)());
      return static_cast<std::uint32_t>(keys_.size() - 1);
    };
    if (search.free != kNoSlot) {
      // When some key of this home went to the tree, this one may be there.
      if (const std::uint32_t found = find_in_tree(key, h, search.home); found != kAbsent) {
        return {found, false};
      }
      const std::uint32_t place = claim();
      slots_[search.free].tag = static_cast<std::uint32_t>(h >> 32);
      slots_[search.free].entry |= place + 1;
      return {place, true};
    }
    // Every slot of the run is taken, or one holds another key of this tag:
    // the key is in the tree or goes there, found or placed in one walk down.
    const auto [place, added] = add_to_tree(key, h, claim);
    slots_[search.home].entry |= kTreeMark;
    return {place, added};
  }
  template <class K>
  std::pair<std::size_t, bool> insert(const K& key) {
    return insert(key, [&key] { return Key(key); });
  }

  // Empties the set and sizes it for `expected` keys, with room in
  // proportion to that alone: a set reused for one small batch after a
  // large one costs the small batch only.
  void reset(std::size_t expected = 0) {
    keys_.clear();
    tree_.clear();
    std::size_t slots = kFirstSlots;
    while (slots < expected * 2) slots *= 2;
    slots_.assign(slots, Slot{});
  }

 private:
  // A slot holds a key's place + 1 (0 when free) and, in its top bit, the
  // mark that some key whose home is this slot lives in the tree. Within a
  // run of slots no two keys share a tag: a second key of a tag goes to the
  // tree, so that a search compares one key in slots at most, however
  // many keys share the whole hash.
  struct Slot {
    std::uint32_t tag = 0;    // the hash's high half: most mismatches cost no comparison
    std::uint32_t entry = 0;
  };
  static constexpr std::uint32_t kTreeMark = std::uint32_t{1} << 31;
  static constexpr std::uint32_t kPlaceMask = kTreeMark - 1;
  static constexpr std::size_t kFirstSlots = 16;
  static constexpr std::size_t kMaxEntries = kPlaceMask - 1;
  static constexpr std::size_t kNoSlot = SIZE_MAX;

  struct Search {
    std::uint32_t place = kAbsent;  // where the key is, when it is in a slot
    std::size_t home = 0;
    std::size_t free = kNoSlot;  // the first free slot of its run, when there is one
  };
  // At most kProbeLimit slots, and one comparison of keys: a key in a slot
  // is met before the first free slot of its run and before any other key
  // of its tag, since every slot it passed was taken, by a key of another
  // tag, when it came, and nothing is ever erased. A search that meets
  // another key of its tag stops there and reports no free slot: the key,
  // if it is held, is in the tree.
  template <class K>
  Search search_slots(const K& key, std::uint64_t h) const {
    const std::uint32_t tag = static_cast<std::uint32_t>(h >> 32);
    const std::size_t mask = slots_.size() - 1;
    Search search;
    search.home = h & mask;
    std::size_t at = search.home;
    for (std::size_t probe = 0; probe < kProbeLimit; ++probe, at = (at + 1) & mask) {
      const Slot slot = slots_[at];
      const std::uint32_t entry = slot.entry & kPlaceMask;
      if (entry == 0) {
        search.free = at;
        break;
      }
      if (slot.tag == tag) {
        // The first key of the run with this tag is the only one in a slot:
        // any later one went to the tree.
        if (equal_(keys_[entry - 1], key)) search.place = entry - 1;
        break;
      }
    }
    return search;
  }
  // The key's numbers in the tree: its second hash, and its hash. In place
  // of a second hash that the hash does not offer (as a test's hash that
  // sends every key alike does not), its prefix when its order offers one:
  // a number that orders keys as they are ordered wherever two differ, so
  // that keys of one hash are still told apart by numbers when their first
  // bytes differ.
  template <class K>
  OverflowTree::Numbers tree_numbers(const K& key, std::uint64_t h) const {
    if constexpr (requires { hash_.second(key); }) {
      return {hash_.second(key), h};
    } else if constexpr (requires { less_.prefix(key); }) {
      return {less_.prefix(key), h};
    } else {
      return {0, h};
    }
  }
  // The key's place in the tree, kAbsent when it is not there; searched
  // only when some key of this home was sent to the tree, and out of line,
  // so that the search of the slots stays small enough to inline.
  template <class K>
  std::uint32_t find_in_tree(const K& key, std::uint64_t h, std::size_t home) const {
    if ((slots_[home].entry & kTreeMark) == 0) return kAbsent;
    return search_tree(key, h);
  }
  template <class K>
  [[gnu::noinline]] std::uint32_t search_tree(const K& key, std::uint64_t h) const {
    return tree_
        .find(
            tree_numbers(key, h), [&](std::uint32_t place) { return less_(keys_[place], key); },
            [&](std::uint32_t place) { return equal_(keys_[place], key); })
        .value_or(kAbsent);
  }
  template <class K, class Claim>
  std::pair<std::uint32_t, bool> add_to_tree(const K& key, std::uint64_t h, Claim&& claim) {
    return tree_.insert(
        tree_numbers(key, h), [&](std::uint32_t other) { return less_(keys_[other], key); },
        [&](std::uint32_t other) { return equal_(keys_[other], key); }, claim);
  }

  // The keys in slots are placed again, in the order they came and by the
  // same rule; a key in the tree stays there, and only its new home is
  // marked. The slots are
  // built aside and swapped in last. Running out of memory half way leaves
  // the old slots, under which every key is still found: a key that went to
  // the tree meanwhile is also in its old slot, which a search meets first,
  // and adding it to the tree again later changes nothing.
  [[gnu::noinline]] void rehash(std::size_t slot_count) {
    std::vector<Slot> slots(slot_count);
    const std::size_t mask = slot_count - 1;
    std::vector<bool> in_slot(keys_.size(), false);
    for (const Slot& slot : slots_) {
      if ((slot.entry & kPlaceMask) != 0) in_slot[(slot.entry & kPlaceMask) - 1] = true;
    }
    tree_.for_each([&](std::uint64_t h, std::uint32_t) { slots[h & mask].entry |= kTreeMark; });
    for (std::size_t place = 0; place < keys_.size(); ++place) {
      if (!in_slot[place]) continue;
      const std::uint64_t h = hash_(keys_[place]);
      const std::uint32_t tag = static_cast<std::uint32_t>(h >> 32);
      std::size_t at = h & mask;
      std::size_t probe = 0;
      while (probe < kProbeLimit && (slots[at].entry & kPlaceMask) != 0 && slots[at].tag != tag) {
        ++probe;
        at = (at + 1) & mask;
      }
      if (probe < kProbeLimit && (slots[at].entry & kPlaceMask) == 0) {
        slots[at].tag = tag;
        slots[at].entry |= static_cast<std::uint32_t>(place + 1);
      } else {
        add_to_tree(keys_[place], h, [place] { return static_cast<std::uint32_t>(place); });
        slots[h & mask].entry |= kTreeMark;
      }
    }
    slots_.swap(slots);
  }

  [[no_unique_address]] Hash hash_;
  [[no_unique_address]] Equal equal_;
  [[no_unique_address]] Less less_;
  std::vector<Key> keys_;
  // A power of two long, at most half taken.
  std::vector<Slot> slots_;
  OverflowTree tree_;
};

// A map on the same plan: each key's value sits at the key's place.
template <class Key, class Value, class Hash, class Equal = std::equal_to<>,
          class Less = std::less<>>
class BoundedMap {
 public:
  BoundedMap() = default;
  explicit BoundedMap(Hash hash, Equal equal = Equal(), Less less = Less())
      : keys_(std::move(hash), std::move(equal), std::move(less)) {}

  std::size_t size() const { return keys_.size(); }
  bool empty() const { return keys_.empty(); }
  std::span<const Key> keys() const { return keys_.keys(); }
  std::span<Value> values() { return values_; }
  std::span<const Value> values() const { return values_; }

  template <class K>
  Value* find(const K& key) {
    const auto place = keys_.find(key);
    return place ? &values_[*place] : nullptr;
  }
  template <class K>
  const Value* find(const K& key) const {
    const auto place = keys_.find(key);
    return place ? &values_[*place] : nullptr;
  }
  template <class K>
  bool contains(const K& key) const {
    return keys_.contains(key);
  }
  // The key's value, made from `args` when the key is new, and whether it
  // was; an existing value is left as it is.
  // Values are made without throwing, after room for them is there, so
  // that a key never stands without its value.
  template <class K, class... Args>
  std::pair<Value&, bool> try_emplace(const K& key, Args&&... args) {
    static_assert(std::is_nothrow_constructible_v<Value, Args&&...>);
    if (values_.size() == values_.capacity()) {
      values_.reserve(std::max<std::size_t>(16, 2 * values_.capacity()));
    }
    const auto [place, added] = keys_.insert(key);
    if (added) values_.emplace_back(std::forward<Args>(args)...);
    return {values_[place], added};
  }
  template <class K>
  Value& operator[](const K& key) {
    return try_emplace(key).first;
  }
  void reset(std::size_t expected = 0) {
    keys_.reset(expected);
    values_.clear();
  }

 private:
  BoundedSet<Key, Hash, Equal, Less> keys_;
  std::vector<Value> values_;
};

// The tables keyed by texts (std::string_view or std::string).
template <class Key>
using BoundedTextSet = BoundedSet<Key, TextHash, SameText, TextLess>;
template <class Key, class Value>
using BoundedTextMap = BoundedMap<Key, Value, TextHash, SameText, TextLess>;

}  // namespace vindle
