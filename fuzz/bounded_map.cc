// Fills bounded tables with arbitrary keys under hashes from fair to
// useless, and checks every answer against std::map: each key keeps the
// place of its first insertion, every key put in is found, and no other.
// The weak hashes send most keys to the ordered overflow, whose B-tree
// splits and rehashes are what this exercises.
//
// The first byte picks how many bits of the hash are kept (none, so that
// every key hashes alike, up to all 64), the second how many of the second
// hash, which tells apart keys alike in the first; the rest is cut at 0xFF
// into keys, and a key that begins with 0xFE empties the table instead.
//
// dev/fuzz: seeds=none max_len=4096
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "text/bounded_map.h"

namespace {

struct WeakHash {
  std::uint64_t mask;
  std::uint64_t second_mask;
  std::uint64_t operator()(std::string_view key) const { return vindle::TextHash{}(key) & mask; }
  std::uint64_t second(std::string_view key) const {
    return vindle::TextHash{}.second(key) & second_mask;
  }
};

std::uint64_t low_bits(std::uint8_t byte) {
  const unsigned bits = byte % 65;
  return bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
}

[[noreturn]] void fail(const char* what, std::string_view key) {
  std::fprintf(stderr, "bounded_map: %s (key of %zu bytes)\n", what, key.size());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const WeakHash hash{low_bits(data[0]), low_bits(data[1])};
  vindle::BoundedSet<std::string, WeakHash, vindle::SameText, vindle::TextLess> set(hash);
  vindle::BoundedMap<std::string_view, std::size_t, WeakHash, vindle::SameText, vindle::TextLess>
      map(hash);
  std::map<std::string, std::size_t, std::less<>> reference;
  std::map<std::string, std::size_t, std::less<>> views;  // keeps the map's keys alive

  const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find('\xff', start);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view key = rest.substr(start, end - start);
    start = end + 1;
    if (!key.empty() && key.front() == '\xfe') {
      set.reset(key.size());
      map.reset(key.size());
      reference.clear();
      views.clear();
      continue;
    }
    const auto [place, added] = set.insert(key);
    const auto [known, was_new] = reference.try_emplace(std::string(key), reference.size());
    if (added != was_new) fail("insertion disagrees on whether the key is new", key);
    if (place != known->second) fail("the key's place is not its first insertion", key);
    if (set[place] != key) fail("the place holds another key", key);

    const auto [kept, kept_new] = views.try_emplace(std::string(key), 0);
    const auto [value, value_new] = map.try_emplace(std::string_view(kept->first), place);
    if (value_new != kept_new || value != place) fail("the map's value is not the first", key);
  }
  if (set.size() != reference.size() || map.size() != reference.size()) {
    fail("the sizes differ", {});
  }
  for (const auto& [key, place] : reference) {
    if (set.find(key) != place) fail("a key put in is not found", key);
    const std::size_t* value = map.find(std::string_view(key));
    if (value == nullptr || *value != place) fail("a key put in is not in the map", key);
    // A key one byte longer, or one byte shorter, was put in only if the
    // reference holds it too.
    for (const std::string& other : {key + '\x01', key.empty() ? std::string("\x01") : key.substr(1)}) {
      if (set.contains(other) != reference.contains(other)) fail("a key not put in is found", other);
    }
  }
  return 0;
}
