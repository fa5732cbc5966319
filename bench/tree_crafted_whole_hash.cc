// Names that share the whole of the name table's hash and their first
// eight bytes (bench/crafted_names.h, `whole_hash_names`), beside random
// names of the same length: 100,000 names of 24 and of 272 bytes.
//
// 1. The name table alone: every name put in, then every name asked for
//    three times; the best of five of each, taking turns.
// 2. Reading <r><name1/>...</r>: the best of five of each, taking turns.
//
// `bench_tree_crafted_whole_hash craft` only makes the names (or finds them
// in /tmp, where they are kept) and prints where they are, for
// bench/crafted_whole_hash.py, which times the entry points on them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "crafted_names.h"
#include "tree/document.h"
#include "tree/names.h"

namespace {

using bench::cpu_seconds;

constexpr std::size_t kNames = 100000;
constexpr std::size_t kSizes[] = {24, 272};

// The crafted names share what they were made to share; and how many
// distinct values the table's second hash, when it has one, gives them.
template <class Hash = vindle::TextHash>
void describe(const std::vector<std::string>& names) {
  std::set<std::uint64_t> firsts;
  std::set<std::string_view> prefixes;
  std::set<std::uint64_t> seconds;
  for (const std::string& name : names) {
    firsts.insert(vindle::TextHash{}(name));
    prefixes.insert(std::string_view(name).substr(0, 8));
    if constexpr (requires(const Hash& hash) { hash.second(name); }) {
      seconds.insert(Hash{}.second(name));
    }
  }
  if (firsts.size() != 1 || prefixes.size() != 1 || std::set(names.begin(), names.end()).size() !=
                                                        names.size()) {
    std::fprintf(stderr, "the crafted names do not share the hash and prefix\n");
    std::exit(1);
  }
  std::printf("%zu names of %zu bytes: 1 hash, 1 prefix, %zu values of the second hash\n",
              names.size(), names.front().size(), seconds.size());
}

struct Seconds {
  double fill;
  double ask;
};

Seconds fill_and_ask(const std::vector<std::string>& names) {
  double start = cpu_seconds();
  vindle::NameTable table;
  for (const std::string& name : names) table.intern(name);
  Seconds seconds{cpu_seconds() - start, 0};
  start = cpu_seconds();
  std::size_t found = 0;
  for (int round = 0; round < 3; ++round) {
    for (const std::string& name : names) found += table.find(name).has_value();
  }
  seconds.ask = cpu_seconds() - start;
  if (found != 3 * names.size()) {
    std::fprintf(stderr, "lost names: %zu of %zu found\n", found, 3 * names.size());
    std::exit(1);
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const bool craft_only = argc > 1 && std::string_view(argv[1]) == "craft";
  for (const std::size_t size : kSizes) {
    const double start = cpu_seconds();
    const std::vector<std::string> crafted = bench::whole_hash_names(kNames, size);
    if (craft_only) {
      std::printf("%s\n", bench::whole_hash_names_file(kNames, size).c_str());
      continue;
    }
    const std::vector<std::string> random = bench::random_words_names(kNames, size);
    std::printf("\n");
    describe(crafted);
    std::printf("(made or read in %.1f s of this thread)\n", cpu_seconds() - start);

    Seconds best_crafted{1e300, 1e300};
    Seconds best_random{1e300, 1e300};
    for (int run = 0; run < 5; ++run) {
      const Seconds c = fill_and_ask(crafted);
      const Seconds r = fill_and_ask(random);
      best_crafted = {std::min(best_crafted.fill, c.fill), std::min(best_crafted.ask, c.ask)};
      best_random = {std::min(best_random.fill, r.fill), std::min(best_random.ask, r.ask)};
    }
    std::printf("%-38s %10s %10s %8s\n", "", "crafted ms", "random ms", "ratio");
    std::printf("%-38s %10.2f %10.2f %7.2fx\n", "name table: every name put in",
                best_crafted.fill * 1e3, best_random.fill * 1e3,
                best_crafted.fill / best_random.fill);
    std::printf("%-38s %10.2f %10.2f %7.2fx\n", "name table: every name asked for 3 times",
                best_crafted.ask * 1e3, best_random.ask * 1e3, best_crafted.ask / best_random.ask);

    const std::string crafted_xml = bench::names_document(crafted, kNames);
    const std::string random_xml = bench::names_document(random, kNames);
    const bench::BestReads read = bench::best_reads(crafted_xml, random_xml, 5);
    std::printf("%-38s %10.2f %10.2f %7.2fx\n", "read <r><name/>...</r>", read.crafted * 1e3,
                read.random * 1e3, read.crafted / read.random);
  }
  return 0;
}
