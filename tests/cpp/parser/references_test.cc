#include "parser/references.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/parser.h"

namespace vindle {
namespace {

struct Case {
  std::string context;
  std::string expression;
  std::vector<std::string> expected;
};

std::vector<std::string> references(const std::string& expression, const std::string& context) {
  auto expr = parse_expression(expression);
  EXPECT_TRUE(expr) << expression << ": " << expr.error();
  return expr ? collect_references(*expr, context) : std::vector<std::string>{};
}

TEST(References, ResolvesRelativePathsAgainstTheContext) {
  const Case cases[] = {
      {"/data/q1", "../q2", {"/data/q2"}},
      {"/data/q1", ".", {"/data/q1"}},
      {"/data/q1", "/data/q3", {"/data/q3"}},
      {"/data/q1", "q4", {"/data/q1/q4"}},
      {"/data/q1", "./q4/.", {"/data/q1/q4"}},
      {"/data/q1", "../../x", {"/x"}},
      {"/data/q1", "../../..", {}},
      {"/data/q1", "../../../a", {}},
      {"/data/q1", "/data/..", {}},
      {"/data/q1", "/..", {}},
      {"/data/q1", "/", {}},
      {"/data/q1", "/data/g/../q5", {"/data/q5"}},
      {"/data/q1", "self::x", {"/data/q1"}},
      {"/data/q1", "parent::y", {"/data"}},
      {"/data/q1", "../jr:q2", {"/data/q2"}},
      {"/data/q1", "../q2[1]", {"/data/q2"}},
      // Contexts are taken as text: pieces stay as written.
      {"data/q1", "a", {"/q1/a"}},
      {"q1", "a", {"/a"}},
      {"", "a", {"/a"}},
      {"/data//q1/", "a", {"/data//q1//a"}},
      {"/data/r[2]/q", "../x", {"/data/r[2]/x"}},
  };
  for (const auto& [context, expression, expected] : cases) {
    EXPECT_EQ(references(expression, context), expected) << context << " " << expression;
  }
}

TEST(References, SkipsPathsThatCannotBeWrittenPlainly) {
  const char* expressions[] = {
      "@id",        "../*",         "//q2",        "../q2/@x",    "descendant::q2", "ancestor::data",
      "../text()",  "../node()",    "a//b",        "following-sibling::q2",         "$v/a",
      "1",          "'/data/q1'",   "$v",          "instance('t')/root/item",
  };
  for (const char* expression : expressions) {
    EXPECT_EQ(references(expression, "/data/q1"), std::vector<std::string>{}) << expression;
  }
}

TEST(References, WalksEverythingInOrder) {
  const Case cases[] = {
      {"/data/q1", "../rep[../flag = 'y']/v", {"/data/rep/v", "/data/flag"}},
      {"/data/q1", "if(../a > 0, ../b, ../c)", {"/data/a", "/data/b", "/data/c"}},
      {"/data/q1", "../a + ../a", {"/data/a", "/data/a"}},
      {"/data/q1", "count(instance('t')/root/item[name = ../q])", {"/data/q1/name", "/data/q"}},
      {"/data/q1", "jr:choice-name(/data/q1, '/data/q1')", {"/data/q1"}},
      {"/data/q1", "-../a | ../b", {"/data/a", "/data/b"}},
      {"/data/q1", "//x[../a]/y[../b]", {"/data/a", "/data/b"}},
      {"/data/q1", "(../a)/b", {"/data/a"}},
      {"/data/q1", "(../a)[../b]/c[../d]", {"/data/a", "/data/b", "/data/d"}},
      {"/data/q1", "../a[../b[../c]]", {"/data/a", "/data/b", "/data/c"}},
      {"/data/q1", "../../..[../a]", {"/data/a"}},
      {"/data/q1", "not(../a) and ../b or ../c != ../d", {"/data/a", "/data/b", "/data/c", "/data/d"}},
  };
  for (const auto& [context, expression, expected] : cases) {
    EXPECT_EQ(references(expression, context), expected) << context << " " << expression;
  }
}

TEST(References, AppendsToWhatIsThere) {
  auto expr = parse_expression("../b");
  ASSERT_TRUE(expr);
  std::vector<std::string> out = {"/data/a"};
  collect_references_into(*expr, "/data/q1", out);
  collect_references_into(*expr, "/other/q", out);
  EXPECT_EQ(out, (std::vector<std::string>{"/data/a", "/data/b", "/other/b"}));
}

}  // namespace
}  // namespace vindle
