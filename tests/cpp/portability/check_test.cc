#include "portability/check.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "parser/parser.h"

namespace vindle {
namespace {

std::string form_with(const std::string& instance, const std::string& binds) {
  return "<html><head><model><instance>" + instance + "</instance>" + binds +
         "</model></head><body/></html>";
}

TEST(CheckFormFindings, SkipsBindsWithoutAPathAndExpressionsThatDoNotParse) {
  std::string too_deep = "floor(1) + ";
  for (std::size_t k = 0; k <= kMaxExpressionDepth; ++k) too_deep += '(';
  too_deep += '1';
  for (std::size_t k = 0; k <= kMaxExpressionDepth; ++k) too_deep += ')';
  ASSERT_FALSE(parse_expression(too_deep));

  const auto findings = check_form_findings(form_with(
      "<data><q/></data>",
      "<bind calculate='last()'/>"
      "<bind nodeset='  ' calculate='last()'/>"
      "<bind nodeset='' ref='' calculate='last()'/>"
      "<bind nodeset='/data/q' relevant='floor(' calculate='" + too_deep +
          "' constraint='ceiling(.)'/>"));
  ASSERT_TRUE(findings);
  ASSERT_EQ(findings->size(), 1u);
  EXPECT_EQ((*findings)[0].rule, "constraint");
  EXPECT_EQ((*findings)[0].construct, "ceiling()");
}

// The instance is walked for its paths on a stack of its own, and its
// paths are never written out whole: a million levels would make that a
// terabyte.
TEST(CheckFormFindings, AMillionDeepInstance) {
  constexpr std::size_t kDepth = 1'000'000;
  std::string instance = "<data><q/>";
  for (std::size_t k = 0; k < kDepth; ++k) instance += "<d>";
  instance += "<leaf/>";
  for (std::size_t k = 0; k < kDepth; ++k) instance += "</d>";
  instance += "</data>";
  const auto findings = check_form_findings(
      form_with(instance, "<bind nodeset='/data/q' calculate='/data/leaf + ../q'/>"));
  ASSERT_TRUE(findings);
  ASSERT_EQ(findings->size(), 1u);
  EXPECT_EQ((*findings)[0].construct, "/data/leaf, which this form's instance has no node for");
  std::string deepest = "/data";
  for (std::size_t k = 0; k < kDepth; ++k) deepest += "/d";
  deepest += "/leaf";
  EXPECT_TRUE((*findings)[0].suggestion == deepest);
}

// A relative bind path is read from the root of the first instance without
// an id: made absolute, it is the context of what the rules read and the
// path reported.
TEST(CheckFormFindings, RelativeBindPathsAreReadFromTheInstanceRoot) {
  struct Case {
    std::string form;
    std::vector<std::pair<std::string, std::string>> findings;  // path, construct
  };
  const std::string missing = ", which this form's instance has no node for";
  const Case cases[] = {
      {form_with("<data><a/><g><q/></g></data>",
                 "<bind nodeset='g/q' relevant='../../a = 1' constraint='. > 1'/>"
                 "<bind nodeset=' ./a ' calculate='../zz + ../g/q'/>"),
       {{"/data/a", "/data/zz" + missing}}},
      {form_with("<data><g><q/></g></data>", "<bind nodeset=' ' ref='g' required='last()'/>"),
       {{"/data/g", "last()"}}},
      {"<html><model><instance id='s'><survey/></instance><instance><data><a/></data></instance>"
       "<bind nodeset='a' relevant='. = 1 and ../b = 2'/></model></html>",
       {{"/data/a", "/data/b" + missing}}},
      // No instance root: no path is read, and the bind is named as written.
      {form_with("", "<bind nodeset=' a ' calculate='last() + ../zz'/>"), {{"a", "last()"}}},
  };
  for (const auto& [text, expected] : cases) {
    const auto findings = check_form_findings(text);
    ASSERT_TRUE(findings) << text;
    std::vector<std::pair<std::string, std::string>> got;
    for (const PortabilityFinding& finding : *findings) got.emplace_back(finding.path, finding.construct);
    EXPECT_EQ(got, expected) << text;
  }
}

// Each operand of a union bind is a context of its own: what the rules read
// is read from each, "." included, and the union's text is never taken for
// one path.
TEST(CheckFormFindings, EachOperandOfAUnionBindIsAContext) {
  struct Case {
    std::string binds;
    std::vector<std::pair<std::string, std::string>> findings;  // path, construct
  };
  const std::string missing = ", which this form's instance has no node for";
  const std::string instance = "<data><x/><y/><g><x/><y/></g></data>";
  const Case cases[] = {
      {"<bind nodeset='x | g/x' constraint='. &lt; ../z'/>",
       {{"/data/x | /data/g/x", "/data/z" + missing},
        {"/data/x | /data/g/x", "/data/g/z" + missing}}},
      // Both operands read /data/zz: reported once.
      {"<bind nodeset='/data/x | y' calculate='../zz'/>",
       {{"/data/x | /data/y", "/data/zz" + missing}}},
      {"<bind nodeset='/data/x | /data/q' relevant='. = 1'/>",
       {{"/data/x | /data/q", "/data/q" + missing}}},
  };
  for (const auto& [binds, expected] : cases) {
    const auto findings = check_form_findings(form_with(instance, binds));
    ASSERT_TRUE(findings) << binds;
    std::vector<std::pair<std::string, std::string>> got;
    for (const PortabilityFinding& finding : *findings) got.emplace_back(finding.path, finding.construct);
    EXPECT_EQ(got, expected) << binds;
  }
}

}  // namespace
}  // namespace vindle
