// Names chosen to flood the name table (bench/crafted_names.h).
//
// 1. Reading <r><name1/>...</r> with 25,000, 100,000 and 200,000 crafted
//    names, against the same number of random names of the same length:
//    the best of five reads of each, taking turns, and the ratio. The
//    crafted documents should read within 3x of the random ones.
// 2. The name table alone, filled with 100,000 distinct names and then
//    asked for each: once with its own hash, once with a hash that sends
//    every name alike, so that every name but the first few lands in the
//    ordered overflow. The second should stay within 10x of the first.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "crafted_names.h"
#include "tree/document.h"
#include "tree/names.h"

namespace {

using bench::cpu_seconds;

struct SameHash {
  std::uint64_t operator()(std::string_view) const { return 0; }
};

template <class Table>
double fill_and_ask_seconds(const std::vector<std::string>& names) {
  const double start = cpu_seconds();
  Table table;
  for (const std::string& name : names) table.intern(name);
  std::size_t found = 0;
  for (const std::string& name : names) found += table.find(name).has_value();
  const double seconds = cpu_seconds() - start;
  if (found != names.size()) {
    std::fprintf(stderr, "lost names: %zu of %zu found\n", found, names.size());
    std::exit(1);
  }
  return seconds;
}

}  // namespace

int main() {
  constexpr std::size_t kMost = 200000;
  const double search_start = cpu_seconds();
  const std::vector<std::string> crafted = bench::crafted_names(kMost);
  const std::vector<std::string> random = bench::random_names(kMost);
  std::printf("crafted names: %zu searched out in %.1f s\n", crafted.size(),
              cpu_seconds() - search_start);

  std::printf("\nreading <r><name/>...</r>, best of five each, taking turns\n");
  std::printf("%8s %9s %12s %12s %8s\n", "names", "MB", "crafted ms", "random ms", "ratio");
  for (const std::size_t count : {std::size_t{25000}, std::size_t{100000}, kMost}) {
    const std::string crafted_xml = bench::names_document(crafted, count);
    const std::string random_xml = bench::names_document(random, count);
    const bench::BestReads best = bench::best_reads(crafted_xml, random_xml, 5);
    std::printf("%8zu %9.2f %12.2f %12.2f %7.2fx\n", count,
                static_cast<double>(crafted_xml.size()) / 1e6, best.crafted * 1e3,
                best.random * 1e3, best.crafted / best.random);
  }

  std::printf("\nthe name table alone: 100,000 distinct names put in, then each asked for\n");
  const std::vector<std::string> names(random.begin(), random.begin() + 100000);
  double best_own = 1e300;
  double best_same = 1e300;
  for (int run = 0; run < 5; ++run) {
    best_own = std::min(best_own, fill_and_ask_seconds<vindle::NameTable>(names));
    best_same = std::min(best_same, fill_and_ask_seconds<vindle::BasicNameTable<SameHash>>(names));
  }
  std::printf("its own hash:             %8.2f ms\n", best_own * 1e3);
  std::printf("every name hashing alike: %8.2f ms  (%.2fx)\n", best_same * 1e3,
              best_same / best_own);
  return 0;
}
