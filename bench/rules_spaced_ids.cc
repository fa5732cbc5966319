// Node ids spaced to flood the tables keyed by them. A hash table that
// places an id by the id itself modulo a prime bucket count puts every row
// of a repeat in one bucket when the rows span exactly that many ids each
// (1,109 ids: the bucket count libstdc++ picks for 542 to 1,109 keys), and
// every visit to a row then walks the whole bucket. Each figure is taken on
// rows of that span ("crafted") and on rows of one id fewer ("control"),
// which differ in nothing else; the two should cost the same.
//
// - judge: a form whose repeat p holds 70 questions, with
//   `<bind nodeset="/data/p/amount" constraint=". &lt;= sum(/data/p/amount)"/>`,
//   and a submission of 1,000 rows padded with attributes to the span, read
//   and judged as submission_findings does;
// - recompute: a session opened on that submission as its saved instance,
//   recomputed once;
// - eval: `count(/data/p[count(/data/p/z) = 0])` on `<data><z/>` and 1,000
//   rows of `<c/>` children (1,108 of them in a crafted row), read and
//   evaluated as eval_expression does.
//
// The best of three of each, taking turns, and crafted / control.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "parser/parser.h"
#include "rules/form.h"
#include "rules/judgement.h"
#include "rules/session.h"
#include "tree/document.h"
#include "timing.h"

namespace {

using bench::cpu_seconds;

[[noreturn]] void fail(const char* what, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", what, message.c_str());
  std::exit(1);
}

constexpr int kRows = 1000;
constexpr int kQuestions = 70;  // q0..q68 and amount
constexpr int kCraftedSpan = 1109;

std::string make_form() {
  std::string row = "<p jr:template=\"\">";
  for (int i = 0; i + 1 < kQuestions; ++i) row += "<q" + std::to_string(i) + "/>";
  row += "<amount/></p>";
  return "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\" "
         "xmlns:jr=\"http://openrosa.org/javarosa\"><h:head><model>"
         "<instance><data id=\"spaced\">" +
         row +
         "</data></instance>"
         "<bind nodeset=\"/data/p/amount\" constraint=\". &lt;= sum(/data/p/amount)\"/>"
         "</model></h:head><h:body/></h:html>";
}

// Rows of 70 answers, each row with as many attributes as make it (with
// its answers) span `span` ids.
std::string make_submission(int span) {
  std::string row_attributes;
  for (int a = 0; a < span - 1 - kQuestions; ++a) {
    row_attributes += " a" + std::to_string(a) + "=\"\"";
  }
  std::string answers;
  for (int i = 0; i + 1 < kQuestions; ++i) {
    answers += "<q" + std::to_string(i) + ">" + std::to_string(i) + "</q" + std::to_string(i) + ">";
  }
  std::string xml = "<data id=\"spaced\">";
  for (int r = 0; r < kRows; ++r) {
    xml += "<p" + row_attributes + ">" + answers + "<amount>" + std::to_string(r % 50) +
           "</amount></p>";
  }
  return xml + "</data>";
}

// <data><z/> and rows of `children` <c/> each.
std::string make_eval_submission(int children) {
  std::string row = "<p>";
  for (int c = 0; c < children; ++c) row += "<c/>";
  row += "</p>";
  std::string xml = "<data><z/>";
  for (int r = 0; r < kRows; ++r) xml += row;
  return xml + "</data>";
}

double judge_seconds(const vindle::Form& form, const std::string& submission_text,
                     std::size_t& findings) {
  const double start = cpu_seconds();
  auto submission = vindle::Document::parse(submission_text);
  if (!submission) fail("submission refused", submission.error());
  findings = vindle::judge_submission(form, std::move(*submission), "2024-06-12", "").size();
  return cpu_seconds() - start;
}

double recompute_seconds(const std::string& form_text, const std::string& submission_text,
                         std::size_t& relevant) {
  auto session =
      vindle::Session::with_saved_instance(form_text, submission_text, "2024-06-12", "");
  if (!session) fail("session refused", session.error());
  const double start = cpu_seconds();
  const vindle::RecomputeResult result = session->recompute();
  const double seconds = cpu_seconds() - start;
  relevant = result.relevant.size();
  return seconds;
}

double eval_seconds(const std::string& submission_text, std::string& value) {
  const double start = cpu_seconds();
  auto document = vindle::Document::parse(submission_text);
  if (!document) fail("submission refused", document.error());
  auto expr = vindle::parse_expression("count(/data/p[count(/data/p/z) = 0])");
  if (!expr) fail("expression refused", expr.error());
  const vindle::ClockEnv clock("2024-06-12", "");
  auto result = vindle::evaluate(*expr, *document, vindle::Focus{*document->root(), 1, 1}, clock);
  if (!result) fail("evaluation failed", result.error());
  value = vindle::value_to_string(*result, *document);
  return cpu_seconds() - start;
}

void report(const char* figure, double crafted, double control, const std::string& detail) {
  std::printf("%-9s crafted %9.1f ms, control %9.1f ms, crafted / control %6.2fx (%s)\n", figure,
              crafted * 1e3, control * 1e3, crafted / control, detail.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // "judge", "recompute" or "eval" alone runs only that figure.
  const std::string only = argc > 1 ? argv[1] : "";
  constexpr int kRounds = 3;
  const std::string form_text = make_form();
  auto form = vindle::Form::load(form_text);
  if (!form) fail("form refused", form.error());
  const std::string crafted = make_submission(kCraftedSpan);
  const std::string control = make_submission(kCraftedSpan - 1);
  std::printf("%d rows spanning %d ids (%.1f MB) against %d ids\n", kRows, kCraftedSpan,
              static_cast<double>(crafted.size()) / 1e6, kCraftedSpan - 1);

  if (only.empty() || only == "judge") {
    double best[2] = {1e300, 1e300};
    std::size_t findings[2] = {};
    for (int round = 0; round < kRounds; ++round) {
      best[0] = std::min(best[0], judge_seconds(*form, crafted, findings[0]));
      best[1] = std::min(best[1], judge_seconds(*form, control, findings[1]));
    }
    report("judge", best[0], best[1],
           std::to_string(findings[0]) + " and " + std::to_string(findings[1]) + " findings");
  }
  if (only.empty() || only == "recompute") {
    double best[2] = {1e300, 1e300};
    std::size_t relevant[2] = {};
    for (int round = 0; round < kRounds; ++round) {
      best[0] = std::min(best[0], recompute_seconds(form_text, crafted, relevant[0]));
      best[1] = std::min(best[1], recompute_seconds(form_text, control, relevant[1]));
    }
    report("recompute", best[0], best[1],
           std::to_string(relevant[0]) + " and " + std::to_string(relevant[1]) + " relevant");
  }
  if (only.empty() || only == "eval") {
    const std::string crafted_eval = make_eval_submission(kCraftedSpan - 1);
    const std::string control_eval = make_eval_submission(kCraftedSpan - 2);
    double best[2] = {1e300, 1e300};
    std::string values[2];
    for (int round = 0; round < kRounds; ++round) {
      best[0] = std::min(best[0], eval_seconds(crafted_eval, values[0]));
      best[1] = std::min(best[1], eval_seconds(control_eval, values[1]));
    }
    report("eval", best[0], best[1], "count " + values[0] + " and " + values[1]);
  }
  return 0;
}
