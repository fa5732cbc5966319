// Names chosen to flood the tables of a session and of the judgement
// (bench/crafted_names.h): an instance whose root holds 100,000 children of
// distinct names, all crafted or all random, under a form with
// `<bind nodeset="/data/*" relevant="true()"/>`. A session is opened on it
// as a saved instance and recomputed once: the instance is read, every
// child is selected and its slash path counted among its siblings'
// names, and the relevant paths are gathered. The best of three of each,
// taking turns, and the ratio.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "crafted_names.h"
#include "rules/session.h"

namespace {

using bench::cpu_seconds;

std::string instance(const std::vector<std::string>& names) {
  std::string xml = "<data id=\"crafted\">";
  for (const std::string& name : names) xml += "<" + name + "/>";
  return xml + "</data>";
}

const char* const kForm =
    "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\"><h:head><model>"
    "<instance><data id=\"crafted\"/></instance>"
    "<bind nodeset=\"/data/*\" relevant=\"true()\"/>"
    "</model></h:head><h:body/></h:html>";

double open_and_recompute_seconds(const std::string& saved, std::size_t expected) {
  const double start = cpu_seconds();
  auto session = vindle::Session::with_saved_instance(kForm, saved, "", "");
  if (!session) {
    std::fprintf(stderr, "session failed: %s\n", session.error().c_str());
    std::exit(1);
  }
  const vindle::RecomputeResult result = session->recompute();
  const double seconds = cpu_seconds() - start;
  if (result.relevant.size() < expected) {
    std::fprintf(stderr, "only %zu relevant paths\n", result.relevant.size());
    std::exit(1);
  }
  return seconds;
}

}  // namespace

int main() {
  constexpr std::size_t kNames = 100000;
  const std::string crafted = instance(bench::crafted_names(kNames));
  const std::string random = instance(bench::random_names(kNames));
  double best_crafted = 1e300;
  double best_random = 1e300;
  for (int run = 0; run < 3; ++run) {
    best_crafted = std::min(best_crafted, open_and_recompute_seconds(crafted, kNames));
    best_random = std::min(best_random, open_and_recompute_seconds(random, kNames));
  }
  std::printf("session on 100,000 children of distinct names, opened and recomputed\n");
  std::printf("crafted names: %8.1f ms\n", best_crafted * 1e3);
  std::printf("random names:  %8.1f ms\n", best_random * 1e3);
  std::printf("crafted / random: %.2fx\n", best_crafted / best_random);
  return 0;
}
