// Inputs that once crashed the evaluator or made it slow beyond reason,
// kept small; each names what went wrong.
#include <gtest/gtest.h>

#include <string>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "parser/parser.h"

namespace vindle {
namespace {

std::string run(const std::string& expression, const Document& document) {
  const ClockEnv env("", "");
  auto expr = parse_expression(expression);
  if (!expr) return "parse error: " + expr.error();
  auto value = evaluate(*expr, document, Focus{*document.root(), 1, 1}, env);
  if (!value) return "error: " + value.error();
  if (!value->is_node_set()) return value_to_string(*value, document);
  // The names and numbers of the nodes, so that order and duplicates show.
  std::string out;
  for (const NodeId id : value->nodes()) {
    out += document.node(id).name;
    out += std::to_string(document.order_of(id).value_or(99));
    out += ' ';
  }
  return out;
}

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// The following, preceding and sibling axes walked the whole document (or
// all siblings) once per context node, so that //a/following::a over a few
// thousand elements took seconds. From many context nodes they now take the
// union in one pass; these pin down that it is the same union.
TEST(Regression, AxesFromManyContextNodesGiveTheUnionOfEachNodesAxis) {
  // Numbers in document order: r0 a1 x2 b3 c4 y5 z6 d7 a8 e9 a10 b11.
  const Document document = *Document::parse(
      "<r><a x=\"1\"><b/><c y=\"2\" z=\"3\"><d/></c></a><a/><e><a><b/></a></e></r>");
  const std::pair<std::string, std::string> cases[] = {
      {"//b/following::*", "c4 d7 a8 e9 a10 b11 "},
      {"//b/preceding::*", "a1 b3 c4 d7 a8 "},
      {"//@*/following::*", "b3 c4 d7 a8 e9 a10 b11 "},
      {"//@*/preceding::*", "b3 "},
      {"//c/@*/following::*", "d7 a8 e9 a10 b11 "},
      {"//c/@*/preceding::*", "b3 "},
      {"//a/following::a", "a8 a10 "},
      {"//a/preceding::a", "a1 a8 "},
      {"/r/*/following-sibling::*", "a8 e9 "},
      {"/r/*/preceding-sibling::*", "a1 a8 "},
      {"//*/following-sibling::*", "c4 a8 e9 "},
      {"//*/preceding-sibling::*", "a1 b3 a8 "},
      {"//@*/following-sibling::*", ""},
      {"(/r | //@z)/following-sibling::*", ""},
      // With a predicate, each context node's axis is filtered on its own.
      {"//b/following::*[1]", "c4 "},
      {"//a/preceding-sibling::*[1]", "a1 "},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(run(expression, document), expected) << expression;
    // The same tree once marked as edited takes the walk from each node.
    Document edited = document;
    edited.set_root(edited.root());
    EXPECT_EQ(run(expression, edited), expected) << expression << " after an edit";
  }
}

TEST(Regression, AxesFromManyContextNodesInLargeDocumentsAreFast) {
  // Each case took minutes when every context node walked its own axis.
  const Document flat = *Document::parse("<r>" + repeat("<a/>", 20'000) + "</r>");
  EXPECT_EQ(run("count(//a/following::a/following::a)", flat), "19998");
  EXPECT_EQ(run("count(//a/preceding::a)", flat), "19999");
  EXPECT_EQ(run("count(//a/following-sibling::a/following-sibling::a)", flat), "19998");
  EXPECT_EQ(run("count(//a/preceding-sibling::*)", flat), "19999");
  const Document deep = *Document::parse(repeat("<a>", 5'000) + repeat("</a>", 5'000));
  EXPECT_EQ(run("count(//a/following::a)", deep), "0");
  EXPECT_EQ(run("count(//a/preceding::a)", deep), "0");
}

}  // namespace
}  // namespace vindle
