#include "rules/judgement.h"

#include <gtest/gtest.h>

#include <string>

#include "rules/model.h"
#include "rules/relevance.h"

namespace vindle {
namespace {


TEST(FindingText, QuotesHeldAndCalculatedValues) {
  const struct {
    SubmissionFinding finding;
    const char* text;
  } cases[] = {
      {{"/n", "/data/t", std::nullopt, {FindingKind::Calculation{"5.0", "5"}}},
       "/data/t: holds \"5.0\", but the form calculates \"5\""},
      {{"/n", "/data/t", std::nullopt, {FindingKind::Calculation{"a \"b\"\t\\", "\x01\xcc\x81é"}}},
       "/data/t: holds \"a \\\"b\\\"\\t\\\\\", but the form calculates \"\\u{1}\\u{301}é\""},
      {{"/n", "/p", std::nullopt, {FindingKind::Constraint{}}},
       "/p: the answer does not satisfy the form's constraint"},
      {{"/n", "/p", "Too \"big\"", {FindingKind::Constraint{}}}, "/p: Too \"big\""},
      {{"/n", "/p", std::nullopt, {FindingKind::Required{}}}, "/p: required, and unanswered"},
      {{"/n", "/p", "Say it", {FindingKind::Required{}}}, "/p: Say it"},
      {{"/n", "/p", std::nullopt, {FindingKind::NotEvaluated{"no such thing"}}},
       "/p: rule could not be evaluated — no such thing"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.finding.fmt(), c.text);
}

TEST(Judgement, AMillionDeepInstanceIsJudgedWithoutDeepStacks) {
  constexpr int kDepth = 1'000'000;
  std::string instance;
  instance.reserve(kDepth * 8);
  for (int i = 0; i < kDepth; ++i) instance += "<n>";
  instance += "<leaf/>";
  for (int i = 0; i < kDepth; ++i) instance += "</n>";
  auto form = Form::load(
      "<h:html xmlns:h='h'><h:head><model><instance><d/></instance>"
      "<bind nodeset='/n' relevant='true()'/>"
      "<bind nodeset='//leaf' required='true()' relevant='true()'/>"
      "</model></h:head></h:html>");
  ASSERT_TRUE(form) << form.error();
  auto submission = Document::parse(instance);
  ASSERT_TRUE(submission) << submission.error();
  const auto findings = judge_submission(*form, *submission, "", "");
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].kind.text(), std::string("required"));
  EXPECT_EQ(findings[0].path.size(), kDepth * 2 + 5);
}

TEST(Judgement, TenThousandBindsAreJudged) {
  constexpr int kBinds = 10'000;
  std::string binds;
  std::string answers;
  for (int i = 0; i < kBinds; ++i) {
    const std::string name = "q" + std::to_string(i);
    binds += "<bind nodeset='/data/" + name + "' required='true()' constraint='. &gt; " +
             std::to_string(i) + "'/>";
    answers += "<" + name + ">" + std::to_string(i + (i % 2)) + "</" + name + ">";
  }
  auto form = Form::load("<h:html xmlns:h='h'><h:head><model><instance><data/></instance>" +
                         binds + "</model></h:head></h:html>");
  ASSERT_TRUE(form) << form.error();
  auto submission = Document::parse("<data>" + answers + "</data>");
  const auto findings = judge_submission(*form, *submission, "", "");
  ASSERT_EQ(findings.size(), kBinds / 2);
  EXPECT_EQ(findings.front().fmt(), "/data/q0: the answer does not satisfy the form's constraint");
}

// Every finding of a union bind, of each kind and from each pass, names
// the bind by the path the form holds, not by a copy of it: a union of
// many operands would otherwise be copied once per node it selects.
TEST(Judgement, FindingsOfAUnionBindShareItsPath) {
  auto form = Form::load(
      "<h:html xmlns:h='h'><h:head><model><instance><data/></instance>"
      "<bind nodeset='a | b | c | d' relevant=\"name(.) != 'd' or nosuch()\""
      " calculate=\"concat(name(.), '!')\" constraint=\"name(.) != 'b'\""
      " required=\"name(.) = 'c' or (name(.) = 'd' and nosuch())\"/>"
      "</model></h:head></h:html>");
  ASSERT_TRUE(form) << form.error();
  auto submission = Document::parse("<data><a>1</a><b>2</b><c/><d>4</d></data>");
  const auto findings = judge_submission(*form, *submission, "", "");
  std::vector<std::string> texts;
  for (const SubmissionFinding& finding : findings) {
    texts.push_back(finding.fmt());
    EXPECT_EQ(finding.nodeset, "/data/a | /data/b | /data/c | /data/d");
    EXPECT_EQ(finding.nodeset.data(), form->binds[0].nodeset.data()) << texts.back();
  }
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "/data/d: rule could not be evaluated — unknown function nosuch()",
                       "/data/a: holds \"1\", but the form calculates \"a!\"",
                       "/data/b: holds \"2\", but the form calculates \"b!\"",
                       "/data/c: holds \"\", but the form calculates \"c!\"",
                       "/data/d: holds \"4\", but the form calculates \"d!\"",
                       "/data/b: the answer does not satisfy the form's constraint",
                       "/data/c: required, and unanswered",
                       "/data/d: rule could not be evaluated — unknown function nosuch()",
                   }));
}

TEST(Relevance, InheritsFromEveryAncestorWithAnOwnValue) {
  auto form = Form::load(
      "<h:html xmlns:h='h'><h:head><model><instance><data/></instance>"
      "<bind nodeset='/data/g' relevant='false()'/>"
      "<bind nodeset='/data/g/h/q' relevant='true()'/>"
      "<bind nodeset='/data/g/h' />"
      "<bind nodeset='/data/k' relevant='nosuch()'/>"
      "<bind nodeset='/data/k/q' />"
      "<bind nodeset='/data/r' relevant='true()'/>"
      "<bind nodeset='/data/r/@a' />"
      "<bind nodeset='/data/r/q' relevant='0 div 0'/>"
      "</model></h:head></h:html>");
  ASSERT_TRUE(form) << form.error();
  auto instance = Document::parse(
      "<data><g><h><q/></h><x/></g><k><q/></k><r a='1'><q/></r></data>");
  const JudgingState state(*form, *instance, "", "");
  std::vector<std::pair<std::string, bool>> by_path;
  for (const auto& [id, relevant] : state.relevance().entries()) {
    by_path.emplace_back(state.model().path_of(id), relevant);
  }
  const std::vector<SubmissionFinding>& findings = state.relevance_failures();
  EXPECT_EQ(by_path, (std::vector<std::pair<std::string, bool>>{
                         {"/model/data/g", false},
                         {"/model/data/g/h", false},
                         {"/model/data/g/h/q", false},
                         {"/model/data/k", true},
                         {"/model/data/k/q", true},
                         {"/model/data/r", true},
                         {"/model/data/r/a", true},
                         {"/model/data/r/q", false},
                     }));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].path, "/data/k");
  EXPECT_EQ(findings[0].nodeset, "/data/k");
  EXPECT_TRUE(findings[0].kind.is<FindingKind::NotEvaluated>());
}

}  // namespace
}  // namespace vindle
