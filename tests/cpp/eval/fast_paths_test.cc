// The evaluator's shortcuts give what the steps they stand for give: //x
// read in one walk of the subtree, and texts read in place.
#include <gtest/gtest.h>

#include <string>

#include "eval/evaluator.h"
#include "parser/parser.h"

namespace vindle {
namespace {

std::string run(const std::string& expression, const Document& document) {
  auto expr = parse_expression(expression);
  if (!expr) return "parse error: " + expr.error();
  const ClockEnv env("", "");
  auto value = evaluate(*expr, document, Focus{*document.root(), 1, 1}, env);
  if (!value) return "error: " + value.error();
  return value_to_string(*value, document);
}

TEST(DescendantsInOneWalk, GiveWhatTheTwoStepsGive) {
  // Read, the tree is numbered in its own order; edited, it is not.
  Document read = *Document::parse(
      "<d><a><x>1</x><b><x>2</x></b></a><x>3<x>4</x></x><y a='5'><x>6</x></y></d>");
  Document edited = read;
  const NodeId a = edited.children(*edited.root())[0];
  edited.append_child(a, edited.new_element("x", "7"));
  const NodeId moved = edited.children(*edited.root())[1];
  edited.detach(moved);
  edited.append_child(*edited.root(), moved);

  const struct {
    const Document& document;
    const char* expression;
    const char* expected;
  } cases[] = {
      {read, "join(',', //x)", "1,2,34,4,6"},
      {read, "join(',', /descendant-or-self::node()/child::x)", "1,2,34,4,6"},
      {read, "join(',', //b//x)", "2"},
      {read, "join(',', //x[1])", "1,2,34,4,6"},
      {read, "join(',', //*)", "12,1,2,2,34,4,6,6"},
      {read, "count(//nothing)", "0"},
      {read, "join(',', //@a)", "5"},
      {read, "join(',', //y/@a//x)", ""},
      // Since the numbering, a node added comes after the others and a
      // node moved keeps its place.
      {edited, "join(',', //x)", "1,2,34,4,6,7"},
      {edited, "join(',', /descendant-or-self::node()/child::x)", "1,2,34,4,6,7"},
  };
  for (const auto& c : cases) EXPECT_EQ(run(c.expression, c.document), c.expected) << c.expression;
}

TEST(TextsInPlace, GiveWhatCopiesGive) {
  const Document document = *Document::parse(
      "<d><n> 12 </n><n>007</n><n>5.</n><n>-0</n><n>123456789012345</n>"
      "<n>1234567890123456789</n><m>a<b>7</b>c</m><s>row 17</s></d>");
  const std::pair<const char*, const char*> cases[] = {
      {"sum(/d/n[position() <= 3])", "24"},
      {"1 div /d/n[4]", "-Infinity"},
      {"/d/n[5] + 0", "123456789012345"},
      {"/d/n[6] + 0", "1234567890123456768"},
      {"contains(/d/m, 'a7')", "true"},
      {"contains(/d/s, '7')", "true"},
      {"starts-with(/d/s, concat('r', 'o'))", "true"},
      {"ends-with(/d/m, /d/m/b)", "true"},
      {"substring-before(/d/s, ' ')", "row"},
      {"substring-after(/d/m, 'a')", "7"},
      {"count(/d/*[contains(., '7')])", "5"},
      {"/d/m = 'a7'", "true"},
      {"/d/n = 7", "true"},
      {"min(/d/n)", "0"},
      {"join('|', /d/m | /d/s)", "a7|row 17"},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(run(expression, document), expected) << expression;
  }
}

}  // namespace
}  // namespace vindle
