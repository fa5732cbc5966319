// Reading and writing a large instance, and the cost of numbering a
// document and giving every node its slash path as the document grows.
//
// The instance is the submission-like document of tree_instance.h.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tree/document.h"
#include "tree_instance.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

vindle::Document parse_or_die(const std::string& xml) {
  auto document = vindle::Document::parse(xml);
  if (!document) {
    std::fprintf(stderr, "read failed: %s\n", document.error().c_str());
    std::exit(1);
  }
  return std::move(*document);
}

// Best of a few runs, to keep one slow run (page faults of a first
// allocation) from deciding the figure.
template <typename Work>
double best_seconds(int runs, Work work) {
  double best = 1e300;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    work();
    best = std::min(best, seconds_since(start));
  }
  return best;
}

// Renumbering and the path of every node, on a fresh copy each run so that
// no run finds the slash-path cache of the one before.
double renumber_and_paths(int rows) {
  const vindle::Document document = parse_or_die(bench::make_instance(rows));
  double best = 1e300;
  for (int run = 0; run < 3; ++run) {
    vindle::Document copy = document;
    const auto start = Clock::now();
    copy.renumber();
    std::size_t total = 0;
    for (vindle::NodeId id = 0; id < copy.size(); ++id) total += copy.path_of(id).size();
    best = std::min(best, seconds_since(start));
    if (total == 0) std::exit(1);
  }
  return best;
}

}  // namespace

int main() {
  const std::string xml = bench::make_instance(100000);
  const double megabytes = static_cast<double>(xml.size()) / 1e6;
  std::printf("instance: %.1f MB\n", megabytes);

  // Each run's document is dropped after its time is taken.
  std::size_t nodes = 0;
  double read_time = 1e300;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    const vindle::Document document = parse_or_die(xml);
    read_time = std::min(read_time, seconds_since(start));
    nodes = document.size();
  }
  std::printf("read:  %8.1f MB/s  (%zu nodes, %.1f ms)\n", megabytes / read_time, nodes,
              read_time * 1e3);

  const vindle::Document document = parse_or_die(xml);
  std::string out;
  const double write_time = best_seconds(5, [&] { out = document.to_xml(); });
  const double written = static_cast<double>(out.size()) / 1e6;
  std::printf("write: %8.1f MB/s  (%.1f MB written, %.1f ms)\n", written / write_time, written,
              write_time * 1e3);
  if (parse_or_die(out).size() != nodes) {
    std::fprintf(stderr, "the written instance reads back differently\n");
    return 1;
  }

  const double small = renumber_and_paths(10000);
  const double large = renumber_and_paths(100000);
  std::printf("renumber + path_of of every node:  10k rows %.1f ms, 100k rows %.1f ms, "
              "ratio %.2f\n",
              small * 1e3, large * 1e3, large / small);
  return 0;
}
