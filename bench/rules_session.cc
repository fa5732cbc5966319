// A session being filled in. Two figures:
//
// 1. A generated form of 200 questions (a quarter of them calculated, a
//    third with relevance, constraints and required answers throughout),
//    answered question by question with a recompute after every answer:
//    the median recompute, which should stay under 2 ms.
// 2. A repeat grown row by row to 1,000 and to 10,000 rows with a recompute
//    every 100 rows: the time per row added. Each recompute is linear in the
//    rows, so the per-row cost grows with the rows; 10,000 rows against
//    1,000 should stay under 15.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "rules/judgement.h"
#include "rules/session.h"

namespace {

// Thread CPU time rather than wall time: on a shared machine the wall
// clock also counts the time other processes held the core.
double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr int kQuestions = 200;

bool calculated(int i) { return i % 4 == 3; }

std::string wrap(const std::string& instance, const std::string& binds) {
  return "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\" "
         "xmlns:jr=\"http://openrosa.org/javarosa\"><h:head><model><instance>" +
         instance + "</instance>" + binds + "</model></h:head><h:body/></h:html>";
}

std::string questions_form() {
  std::string instance = "<data id=\"bench\">";
  std::string binds;
  for (int i = 0; i < kQuestions; ++i) {
    const std::string q = "q" + std::to_string(i);
    instance += "<" + q + "/>";
    std::string attributes;
    if (calculated(i)) {
      attributes += " calculate=\"if(/data/q" + std::to_string(i - 1) + " != '', /data/q" +
                    std::to_string(i - 1) + " * 2 + /data/q" + std::to_string(i - 2) + ", '')\"";
    } else {
      attributes += " type=\"int\" required=\"true()\" constraint=\". &gt;= 0 and . &lt; 1000\"";
    }
    if (i % 3 == 1) attributes += " relevant=\"/data/q" + std::to_string(i - 1) + " != 7\"";
    binds += "<bind nodeset=\"/data/" + q + "\"" + attributes + "/>";
  }
  return wrap(instance + "</data>", binds);
}

void fill_questions() {
  auto session = vindle::Session::from_form(questions_form(), "2024-01-01", "");
  if (!session) {
    std::printf("form: %s\n", session.error().c_str());
    return;
  }
  std::vector<double> times;
  std::vector<double> judged;
  for (int i = 0; i < kQuestions; ++i) {
    if (calculated(i)) continue;
    (void)session->set("/data/q" + std::to_string(i), std::to_string(i % 50));
    const double start = cpu_seconds();
    const vindle::RecomputeResult result = session->recompute();
    times.push_back(cpu_seconds() - start);
    if (result.relevant.size() != kQuestions) std::printf("unexpected relevance\n");
    // The judgement inside the recompute, on its own, for comparison.
    const double judge_start = cpu_seconds();
    (void)vindle::judge_submission(session->form(), session->instance(), "2024-01-01", "");
    judged.push_back(cpu_seconds() - judge_start);
  }
  std::sort(judged.begin(), judged.end());
  std::sort(times.begin(), times.end());
  std::printf("200 questions: median recompute %.3f ms (max %.3f ms) over %zu answers; "
              "the judgement within it alone %.3f ms\n",
              times[times.size() / 2] * 1e3, times.back() * 1e3, times.size(),
              judged[judged.size() / 2] * 1e3);
}

std::string repeat_form() {
  std::string binds;
  binds += "<bind nodeset=\"/data/rep/name\" required=\"true()\"/>";
  binds += "<bind nodeset=\"/data/rep/age\" constraint=\". &lt; 120\"/>";
  binds += "<bind nodeset=\"/data/rep/adult\" calculate=\"../age &gt;= 18\"/>";
  binds += "<bind nodeset=\"/data/rep/grp\" relevant=\"../adult = 'true'\"/>";
  binds += "<bind nodeset=\"/data/rep/grp/job\" required=\"true()\"/>";
  binds += "<bind nodeset=\"/data/total\" calculate=\"count(/data/rep)\"/>";
  return wrap("<data id=\"rows\"><rep jr:template=\"\"><name/><age>30</age><adult/>"
              "<grp><job/></grp></rep><total/></data>",
              binds);
}

double seconds_per_row(int rows) {
  auto session = vindle::Session::from_form(repeat_form(), "", "");
  if (!session) {
    std::printf("form: %s\n", session.error().c_str());
    return 0;
  }
  const double start = cpu_seconds();
  for (int r = 1; r <= rows; ++r) {
    (void)session->add_row("/data/rep");
    if (r % 100 == 0) {
      const vindle::RecomputeResult result = session->recompute();
      if (result.repeats.at("/data/rep") != static_cast<std::uint64_t>(r)) {
        std::printf("unexpected row count\n");
      }
    }
  }
  return (cpu_seconds() - start) / rows;
}

}  // namespace

int main(int argc, char** argv) {
  fill_questions();
  // "questions" alone runs only the first figure, for profiling it.
  if (argc > 1 && std::string(argv[1]) == "questions") return 0;
  const double small = seconds_per_row(1000);
  const double large = seconds_per_row(10000);
  std::printf("rows added with a recompute every 100: 1,000 rows %.1f us/row, "
              "10,000 rows %.1f us/row\n",
              small * 1e6, large * 1e6);
  std::printf("10,000 rows / 1,000 rows per row: %.1fx\n", large / small);
}
