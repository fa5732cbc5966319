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
// 3. Single edits on a repeat that already holds 1,000, 10,000 and 100,000
//    rows (a saved instance): add_row, set and get of a question in the
//    middle row, remove_row of the middle row and of the last one, taken in
//    turns as a user would, so that each edit meets the state the one before
//    left; the median of each. None should grow with the rows; removing the
//    middle row moves the ids after it in the list of the parent's children.
// 4. Setting a path of 40,000 and of 1,000,000 new steps.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "rules/judgement.h"
#include "rules/session.h"
#include "timing.h"

namespace {

// Thread CPU time rather than wall time: on a shared machine the wall
// clock also counts the time other processes held the core.
using bench::cpu_seconds;

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

struct EditTimes {
  std::vector<double> add_row, set, get, remove_middle, remove_last;
};

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Times one call, in microseconds, and stops the benchmark if it failed.
template <typename Edit>
double timed_us(Edit edit) {
  const double start = cpu_seconds();
  const bool done = edit();
  const double spent = (cpu_seconds() - start) * 1e6;
  if (!done) {
    std::printf("an edit failed\n");
    std::exit(1);
  }
  return spent;
}

void edits_on_rows(int rows) {
  std::string saved = "<data id=\"rows\">";
  for (int r = 0; r < rows; ++r) {
    saved += "<rep><name>n" + std::to_string(r) +
             "</name><age>30</age><adult/><grp><job/></grp></rep>";
  }
  saved += "<total/></data>";
  auto session = vindle::Session::with_saved_instance(repeat_form(), saved, "", "");
  if (!session) {
    std::printf("form: %s\n", session.error().c_str());
    return;
  }
  const std::string middle = "/data/rep[" + std::to_string(rows / 2) + "]";
  const std::string question = middle + "/name";
  EditTimes times;
  for (int turn = 0; turn < 200; ++turn) {
    times.add_row.push_back(timed_us([&] { return session->add_row("/data/rep").has_value(); }));
    times.set.push_back(timed_us([&] { return session->set(question, "x").has_value(); }));
    times.get.push_back(timed_us([&] { return session->get(question) == "x"; }));
    times.remove_middle.push_back(timed_us(
        [&] { return session->remove_row("/data/rep", rows / 2).has_value(); }));
    (void)session->add_row("/data/rep");
    times.remove_last.push_back(timed_us([&] {
      return session->remove_row("/data/rep", static_cast<std::uint64_t>(rows)).has_value();
    }));
  }
  std::printf("%8d rows: add_row %7.2f us  set %7.2f us  get %7.2f us  "
              "remove_row middle %7.2f us  last %7.2f us\n",
              rows, median(times.add_row), median(times.set), median(times.get),
              median(times.remove_middle), median(times.remove_last));
}

void deep_path(int steps) {
  auto session = vindle::Session::from_form(repeat_form(), "", "");
  if (!session) return;
  std::string path = "/data";
  for (int k = 0; k < steps; ++k) path += "/z";
  const double start = cpu_seconds();
  if (!session->set(path, "v")) std::printf("the deep set failed\n");
  std::printf("set of a new path of %d steps: %.3f s\n", steps, cpu_seconds() - start);
}

int main(int argc, char** argv) {
  // "edits" alone runs only the third and fourth figures.
  const bool edits_only = argc > 1 && std::string(argv[1]) == "edits";
  if (edits_only) {
    for (const int rows : {1000, 10000, 100000}) edits_on_rows(rows);
    for (const int steps : {40000, 1000000}) deep_path(steps);
    return 0;
  }
  fill_questions();
  // "questions" alone runs only the first figure, for profiling it.
  if (argc > 1 && std::string(argv[1]) == "questions") return 0;
  const double small = seconds_per_row(1000);
  const double large = seconds_per_row(10000);
  std::printf("rows added with a recompute every 100: 1,000 rows %.1f us/row, "
              "10,000 rows %.1f us/row\n",
              small * 1e6, large * 1e6);
  std::printf("10,000 rows / 1,000 rows per row: %.1fx\n", large / small);
  for (const int rows : {1000, 10000, 100000}) edits_on_rows(rows);
  for (const int steps : {40000, 1000000}) deep_path(steps);
}
