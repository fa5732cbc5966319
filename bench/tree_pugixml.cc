// The reader beside pugixml's load_buffer, on the 21 MB instance of
// tree_instance.h, in one process: the two take turns, each run builds a
// document from the same text and drops it, and the best run of each
// counts. Two figures each: reading alone, and reading with the document
// dropped, since giving memory back costs time as well.
//
// pugixml is a benchmark dependency only (Debian's libpugixml-dev); the
// build leaves this benchmark out when it is not installed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include <pugixml.hpp>

#include "tree/document.h"
#include "tree_instance.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Times {
  double read = 1e300;
  double read_and_drop = 1e300;
};

}  // namespace

int main() {
  const std::string xml = bench::make_instance(100000);
  const double megabytes = static_cast<double>(xml.size()) / 1e6;
  Times mine;
  Times theirs;
  std::size_t nodes = 0;
  for (int round = 0; round < 9; ++round) {
    {
      const auto start = Clock::now();
      std::optional<vindle::Document> document;
      auto read = vindle::Document::parse(xml);
      if (!read) {
        std::fprintf(stderr, "read failed: %s\n", read.error().c_str());
        return 1;
      }
      document.emplace(std::move(*read));
      mine.read = std::min(mine.read, seconds_since(start));
      nodes = document->size();
      document.reset();
      mine.read_and_drop = std::min(mine.read_and_drop, seconds_since(start));
    }
    {
      const auto start = Clock::now();
      std::optional<pugi::xml_document> document;
      document.emplace();
      const pugi::xml_parse_result result = document->load_buffer(xml.data(), xml.size());
      if (!result) {
        std::fprintf(stderr, "pugixml failed: %s\n", result.description());
        return 1;
      }
      theirs.read = std::min(theirs.read, seconds_since(start));
      document.reset();
      theirs.read_and_drop = std::min(theirs.read_and_drop, seconds_since(start));
    }
  }
  std::printf("instance: %.1f MB, %zu nodes\n", megabytes, nodes);
  std::printf("%-22s%14s%18s\n", "", "read MB/s", "read+drop MB/s");
  std::printf("%-22s%14.1f%18.1f\n", "vindle", megabytes / mine.read,
              megabytes / mine.read_and_drop);
  std::printf("%-22s%14.1f%18.1f\n", "pugixml load_buffer", megabytes / theirs.read,
              megabytes / theirs.read_and_drop);
  std::printf("vindle / pugixml: read %.2fx, read+drop %.2fx\n", theirs.read / mine.read,
              theirs.read_and_drop / mine.read_and_drop);
  return 0;
}
