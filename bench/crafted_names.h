// Names chosen to flood a hash table, and names drawn at random beside
// them. All lists are the same from run to run.
//
// `crafted_names`: "n" and seven letters a-z whose hash, as the bounded
// tables compute it (TextHash), has its low 18 bits below 256: in a table
// of 2^18 slots, the size a table holding 100,000 to 131,071 names
// reaches, they all share the first 256 slots. `random_names` have the
// same shape.
//
// `whole_hash_names`: names of one length that share all 64 bits of
// TextHash and every byte but their last sixteen, the first eight among
// them. TextHash gathers a name's words one at a time, and each step can
// be undone, so the last word that brings the hash to a chosen value can be
// solved for: the second-to-last word is varied until the solved word is
// made of name bytes. `random_words_names` have the same lengths.
//
// And what the benchmarks that use them share: the time of a read, and the
// best reads of two documents taking turns.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "text/bounded_map.h"
#include "tree/document.h"
#include "timing.h"

namespace bench {

// The CPU time of reading `xml`; a document that does not read ends the run.
inline double read_seconds(const std::string& xml) {
  const double start = cpu_seconds();
  const auto document = vindle::Document::parse(xml);
  const double seconds = cpu_seconds() - start;
  if (!document) {
    std::fprintf(stderr, "read failed: %s\n", document.error().c_str());
    std::exit(1);
  }
  return seconds;
}

// The best of `runs` reads of each of two documents, the two taking turns,
// so that the machine's ups and downs fall on both alike.
struct BestReads {
  double crafted = 1e300;
  double random = 1e300;
};
inline BestReads best_reads(const std::string& crafted_xml, const std::string& random_xml,
                            int runs) {
  BestReads best;
  for (int run = 0; run < runs; ++run) {
    best.crafted = std::min(best.crafted, read_seconds(crafted_xml));
    best.random = std::min(best.random, read_seconds(random_xml));
  }
  return best;
}

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

// The bytes the whole-hash names are made of: what the reader takes as a
// name without looking further. The first byte of a name is a letter.
constexpr std::string_view kNameBytes =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.";

namespace detail {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;  // TextHash's

// One word gathered into TextHash's state, as TextHash does it.
constexpr std::uint64_t gather(std::uint64_t h, std::uint64_t word) {
  h = (h ^ word) * kMultiplier;
  return h ^ (h >> 29);
}
// What the state, xored with the word, was before the multiplication and
// shift that brought it to `h`.
constexpr std::uint64_t ungather(std::uint64_t h) {
  h ^= (h >> 29) ^ (h >> 58);
  std::uint64_t inverse = kMultiplier;  // Newton's step doubles the bits right
  for (int k = 0; k < 5; ++k) inverse *= 2 - kMultiplier * inverse;
  return h * inverse;
}

inline std::uint64_t word_of(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  return word;
}

// The names one searcher finds: its second-to-last words are the base-64
// digits of the numbers from `first` up.
inline std::vector<std::string> solve_names(const std::string& stem, std::uint64_t target,
                                            std::uint64_t first, std::size_t count) {
  std::array<bool, 256> is_name_byte{};
  for (const char c : kNameBytes) is_name_byte[static_cast<unsigned char>(c)] = true;
  std::uint64_t state = stem.size() + 16;
  state *= kMultiplier;
  for (std::size_t k = 0; k < stem.size(); k += 8) state = gather(state, word_of(&stem[k]));
  const std::uint64_t wanted = ungather(target);
  std::vector<std::string> names;
  char varied[8];
  for (std::uint64_t n = first; names.size() < count; ++n) {
    for (int k = 0; k < 8; ++k) varied[k] = kNameBytes[(n >> (6 * k)) & 63];
    const std::uint64_t solved = wanted ^ gather(state, word_of(varied));
    bool fits = true;
    for (int k = 0; k < 8 && fits; ++k) fits = is_name_byte[(solved >> (8 * k)) & 0xFF];
    if (!fits) continue;
    std::string name = stem;
    name.append(varied, 8);
    char last[8];
    std::memcpy(last, &solved, 8);
    name.append(last, 8);
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace detail

// `count` names of `size` bytes (a multiple of 8, at least 24) that share
// TextHash and their first size - 16 bytes. Eight searchers work at once on
// numbers of their own, so the list does not depend on the machine; one
// name takes about 57,000 tries. The list is kept in /tmp, under a name
// that changes with TextHash, and read from there when it is made again.
inline std::string whole_hash_names_file(std::size_t count, std::size_t size) {
  char path[160];
  std::snprintf(path, sizeof path, "/tmp/vindle-whole-hash-names-%zu-%zu-%016llx.txt", size,
                count, static_cast<unsigned long long>(vindle::TextHash{}("whole hash")));
  return path;
}
inline std::vector<std::string> whole_hash_names(std::size_t count, std::size_t size) {
  constexpr std::size_t kSearchers = 8;
  const std::string cache = whole_hash_names_file(count, size);
  std::vector<std::string> names;
  {
    std::ifstream in(cache);
    for (std::string line; names.size() < count && std::getline(in, line);) {
      names.push_back(line);
    }
  }
  if (names.size() == count) return names;

  std::string stem = "crafted-";
  for (std::size_t k = 0; stem.size() + 16 < size; ++k) stem += "same-bytes-"[k % 11];
  const std::uint64_t target = vindle::mix_bits(0x5EED);  // any value will do
  std::vector<std::vector<std::string>> found(kSearchers);
  std::vector<std::thread> searchers;
  for (std::size_t k = 0; k < kSearchers; ++k) {
    searchers.emplace_back([&, k] {
      found[k] = detail::solve_names(stem, target, std::uint64_t{k} << 44,
                                     (count + kSearchers - 1) / kSearchers);
    });
  }
  for (std::thread& searcher : searchers) searcher.join();
  names.clear();
  for (const auto& some : found) names.insert(names.end(), some.begin(), some.end());
  names.resize(count);

  const std::string written = cache + ".part";
  {
    std::ofstream out(written);
    for (const std::string& name : names) out << name << '\n';
  }
  std::rename(written.c_str(), cache.c_str());
  return names;
}

// Names of `size` bytes (at least 5) drawn at random from the same bytes,
// the first a letter; `count` at most 2^24.
inline std::vector<std::string> random_words_names(std::size_t count, std::size_t size) {
  std::uint64_t state = 0x5EED + size;
  const auto next = [&state] {
    state += 0x9E3779B97F4A7C15ULL;
    return vindle::mix_bits(state);
  };
  std::vector<std::string> names;
  names.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    std::string name(size, 'a');
    name[0] = kNameBytes[next() % 52];
    for (std::size_t at = 1; at < size; ++at) name[at] = kNameBytes[next() % kNameBytes.size()];
    // The name's number in its last four bytes keeps every name distinct.
    for (std::size_t digit = 0; digit < 4; ++digit) {
      name[size - 1 - digit] = kNameBytes[(k >> (6 * digit)) & 63];
    }
    names.push_back(std::move(name));
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
