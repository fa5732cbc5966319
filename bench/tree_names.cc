// Reading documents of many distinct element names: 262,144 names of 16
// bytes, 13 "q" and three characters of 64, once with the three characters
// last and once with them first. Every name is new to the name table, so
// each tag is a lookup that misses and an insertion; the two documents are
// the same size and should read in about the same time, however the bytes
// of the names are arranged.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tree/document.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// <d><qqqqqqqqqqqqqAAA/>...</d>, or <d><AAAqqqqqqqqqqqqq/>...</d>.
std::string make_names_document(bool varying_last) {
  const std::string filler(13, 'q');
  std::string xml = "<d>";
  for (const char a : kAlphabet) {
    for (const char b : kAlphabet) {
      for (const char c : kAlphabet) {
        const char varying[] = {a, b, c};
        xml += '<';
        if (!varying_last) xml.append(varying, 3);
        xml += filler;
        if (varying_last) xml.append(varying, 3);
        xml += "/>";
      }
    }
  }
  xml += "</d>";
  return xml;
}

double read_seconds(const std::string& xml, std::size_t& nodes) {
  const auto start = Clock::now();
  const auto document = vindle::Document::parse(xml);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!document) {
    std::fprintf(stderr, "read failed: %s\n", document.error().c_str());
    std::exit(1);
  }
  nodes = document->size();
  return seconds;
}

}  // namespace

int main() {
  const std::string last = make_names_document(true);
  const std::string first = make_names_document(false);
  std::printf("names: %zu distinct, 16 bytes each; documents of %.1f MB\n",
              kAlphabet.size() * kAlphabet.size() * kAlphabet.size(),
              static_cast<double>(last.size()) / 1e6);

  // The two take turns, best of five each.
  double best_last = 1e300;
  double best_first = 1e300;
  std::size_t nodes = 0;
  for (int run = 0; run < 5; ++run) {
    best_last = std::min(best_last, read_seconds(last, nodes));
    best_first = std::min(best_first, read_seconds(first, nodes));
  }
  std::printf("read, varying characters last:  %8.1f ms  (%zu nodes)\n", best_last * 1e3, nodes);
  std::printf("read, varying characters first: %8.1f ms\n", best_first * 1e3);
  std::printf("slower / faster: %.2fx\n",
              std::max(best_last, best_first) / std::min(best_last, best_first));
  return 0;
}
