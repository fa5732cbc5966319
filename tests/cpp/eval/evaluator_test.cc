#include "eval/evaluator.h"

#include <gtest/gtest.h>

#include <map>

#include "parser/parser.h"

namespace vindle {
namespace {

// An environment that holds secondary instances of its own, outside the
// document under evaluation.
class TableEnv final : public EvalEnv {
 public:
  std::map<std::string, Document, std::less<>> tables;

  const Document* instance(std::string_view id) const override {
    const auto found = tables.find(id);
    return found == tables.end() ? nullptr : &found->second;
  }
  std::optional<std::string> choice_label(std::string_view, std::string_view) const override {
    return std::nullopt;
  }
  std::string today() const override { return ""; }
  std::string now() const override { return ""; }
};

std::string run(const std::string& expression, const Document& document, const EvalEnv& env) {
  auto expr = parse_expression(expression);
  if (!expr) return "parse error: " + expr.error();
  auto value = evaluate(*expr, document, Focus{*document.root(), 1, 1}, env);
  if (!value) return "error: " + value.error();
  return value_to_string(*value, document);
}

TEST(Evaluator, InstancesOutsideTheDocument) {
  TableEnv env;
  env.tables.emplace("empty", Document());
  env.tables.emplace("fruit", *Document::parse("<root><item>apple</item></root>"));
  const Document document = *Document::parse("<data><q>5</q></data>");

  const std::pair<std::string, std::string> cases[] = {
      // A table without a root element yields nothing, without evaluating
      // the rest of the filter.
      {"count(instance('empty')/item[nosuch()])", "0"},
      // Nodes of another document cannot leave the filter that reached
      // them: their ids would name other nodes here.
      {"instance('fruit')/item",
       "error: instance('fruit') lies outside the document under evaluation — its nodes "
       "cannot be read here"},
      {"count(instance('fruit')/nothing)", "0"},
      {"count(instance('fruit')/item[. = 'pear'])", "0"},
      {"instance('fruit')/item[nosuch()]", "error: unknown function nosuch()"},
      {"instance('none')/item",
       "error: instance('none') is not loaded — the form expects a secondary instance the "
       "evaluator was not given"},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(run(expression, document, env), expected) << expression;
  }
}

TEST(Evaluator, DocumentOrderAfterEditsPutsNewNodesLast) {
  Document document = *Document::parse("<data><a>1</a><b>2</b></data>");
  const NodeId root = *document.root();
  const NodeId first = document.children(root).front();
  const NodeId added = document.new_element("c", "3");
  document.insert_after(first, added);  // not renumbered: it has no number yet
  const ClockEnv env("", "");
  EXPECT_EQ(run("count(/data/*)", document, env), "3");
  // In the tree c stands between a and b, but until the next numbering it
  // sorts after every numbered node. A step's predicate counts candidates
  // in tree order; a filter counts the sorted set.
  EXPECT_EQ(run("/data/*[3]", document, env), "2");
  EXPECT_EQ(run("(/data/*)[3]", document, env), "3");
  EXPECT_EQ(run("(/data/c | /data/a)[1]", document, env), "1");
  document.renumber();
  EXPECT_EQ(run("/data/*[2]", document, env), "3");
}

TEST(Evaluator, NestedContextsOnSharedAxes) {
  const Document document =
      *Document::parse("<r><a><b><c/></b><c/></a><d><c/></d></r>");
  const ClockEnv env("", "");
  const std::pair<std::string, std::string> cases[] = {
      {"count(//*//c)", "3"},
      {"count(/r/a/descendant-or-self::*/descendant::*)", "3"},
      {"count(//c/ancestor::*)", "4"},
      {"count(//c/ancestor-or-self::*)", "7"},
      // With a predicate each context counts its own candidates.
      {"count(//*/descendant::c[1])", "2"},
      {"count(//c/ancestor::*[1])", "3"},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(run(expression, document, env), expected) << expression;
  }
}

}  // namespace
}  // namespace vindle
