#include "portability/check.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace vindle
