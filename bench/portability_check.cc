// The portability check's cost as forms grow: a form of 5,000 binds and one
// of 10,000, each bind with three expressions that hit construct rules and
// read known and unknown paths. The check must stay linear in the number of
// binds: doubling them may not much more than double the time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "portability/check.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string make_form(int binds) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<h:html xmlns=\"http://www.w3.org/2002/xforms\" "
      "xmlns:h=\"http://www.w3.org/1999/xhtml\" xmlns:jr=\"http://openrosa.org/javarosa\">\n"
      "<h:head><model>\n<instance><data id=\"big\">\n";
  for (int i = 0; i < binds; ++i) {
    if (i % 100 == 0) xml += "<g" + std::to_string(i / 100) + ">";
    xml += "<q" + std::to_string(i) + "/>";
    if (i % 100 == 99 || i + 1 == binds) xml += "</g" + std::to_string(i / 100) + ">\n";
  }
  xml += "<rep><v/><w/></rep>\n</data></instance>\n"
         "<instance id=\"lookup\"><root><item><name/></item></root></instance>\n";
  for (int i = 0; i < binds; ++i) {
    const std::string group = "/data/g" + std::to_string(i / 100);
    const std::string q = "q" + std::to_string(i);
    const std::string prev = "q" + std::to_string(std::max(i - 1, 0));
    xml += "<bind nodeset=\"" + group + "/" + q + "\" relevant=\"../" + prev +
           " &gt; 0 and regex(., '^a|b$')\" calculate=\"floor(" + group + "/" +
           prev +
           ") + count(/data/rep/v) + /data/" + q + "\" constraint=\"/data/rep/v = 'x' or "
           "instance('lookup')/root/item[name = current()/../" + prev + "] != ''\" type=\"int\"/>\n";
  }
  xml += "</model></h:head>\n<h:body><repeat nodeset=\"/data/rep\"/></h:body></h:html>\n";
  return xml;
}

// The best of a few runs, so that one slow run does not decide the ratio.
double time_check(const std::string& xml, std::size_t& findings) {
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    const auto result = vindle::check_form_findings(xml);
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    if (!result) {
      std::fprintf(stderr, "check failed: %s\n", result.error().c_str());
      std::exit(1);
    }
    findings = result->size();
  }
  return best;
}

}  // namespace

int main() {
  const std::string small = make_form(5'000);
  const std::string large = make_form(10'000);
  std::size_t small_findings = 0;
  std::size_t large_findings = 0;
  const double small_time = time_check(small, small_findings);
  const double large_time = time_check(large, large_findings);
  const double ratio = large_time / small_time;
  std::printf("5,000 binds:  %8.2f ms, %zu findings\n", small_time * 1e3, small_findings);
  std::printf("10,000 binds: %8.2f ms, %zu findings\n", large_time * 1e3, large_findings);
  std::printf("ratio: %.2f (must be under 2.5)\n", ratio);
  return ratio < 2.5 ? 0 : 1;
}
