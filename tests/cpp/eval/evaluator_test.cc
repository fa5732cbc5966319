#include "eval/evaluator.h"

#include <gtest/gtest.h>

#include <map>

#include "../parser/deep_trees.h"
#include "parser/parser.h"
#include "text/result.h"

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

// A chain is evaluated from its innermost left operand up, in a loop; each
// operator still sees the value of everything to its left, decides as
// before whether to evaluate its right operand, and stops at the first
// error.
TEST(Evaluator, ChainsOfOperators) {
  const Document document = *Document::parse("<d><a>1</a><b>2</b></d>");
  const ClockEnv env("", "");
  const std::pair<std::string, std::string> cases[] = {
      {"10 - 2 - 3", "5"},
      {"2 div 2 div 2", "0.5"},
      {"7 mod 4 mod 2", "1"},
      {"3 > 2 > 1", "false"},
      {"1 = 1 = 1", "true"},
      {"2 * 3 + 4 * 5 - 6 div 2", "23"},
      {"0 or 0 and 1 or 1", "true"},
      {"0 or 0 or 1 or nosuch()", "true"},
      {"1 and 1 and 0 and nosuch()", "false"},
      {"0 or 0 or nosuch() or 1", "error: unknown function nosuch()"},
      {"1 + nosuch() + other()", "error: unknown function nosuch()"},
      {"1 + 1 + other() + nosuch()", "error: unknown function other()"},
      {"count(/d/b | /d/a | /d/b | /d/*)", "2"},
      {"(/d/b | /d/a | /d/b)[1]", "1"},
      {"/d/a | 1 | nosuch()", "error: union needs a node-set, got a number"},
      {"nosuch() | 1 | /d/a", "error: unknown function nosuch()"},
      {"/d/a | /d/b | 'x'", "error: union needs a node-set, got a string"},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(run(expression, document, env), expected) << expression;
  }
}

// A union as it reads when each "|" merges the nodes of its two sides, the
// left side evaluated and checked before the right: what a union of any
// shape must give, nodes and errors alike.
NodesResult merged_pairwise(const Expr& expr, const Document& document, const EvalEnv& env) {
  if (const auto* union_ = expr.as<Expr::Union>()) {
    VINDLE_ASSIGN_OR_RETURN(auto&& left, merged_pairwise(*union_->lhs, document, env));
    VINDLE_ASSIGN_OR_RETURN(auto&& right, merged_pairwise(*union_->rhs, document, env));
    left.insert(left.end(), right.begin(), right.end());
    return sort_document_order(std::move(left), document);
  }
  const Focus focus{*document.root(), 1, 1};
  VINDLE_ASSIGN_OR_RETURN(auto&& value, evaluate(expr, document, focus, env));
  return expect_node_set(std::move(value), "union");
}

std::string described(const NodesResult& nodes, const Document& document) {
  if (!nodes) return "error: " + nodes.error();
  std::string text;
  for (const NodeId node : *nodes) text += document.path_of(node) + " ";
  return text;
}

// Both readings of one union, as text.
std::pair<std::string, std::string> both(const std::string& expression, const Document& document,
                                         const EvalEnv& env) {
  const auto expr = parse_expression(expression);
  if (!expr) return {"parse error: " + expr.error(), ""};
  auto value = evaluate(*expr, document, Focus{*document.root(), 1, 1}, env);
  const NodesResult gathered = value ? expect_node_set(std::move(*value), "union")
                                     : NodesResult(std::unexpected(value.error()));
  return {described(gathered, document),
          described(merged_pairwise(*expr, document, env), document)};
}

TEST(Union, GivesWhatMergingPairByPairGives) {
  // "fruit" is a secondary instance held in the document, as in the model
  // document; "table" lies outside it.
  const Document document = *Document::parse(
      "<data><a id='1' k='x'>1</a><b>2</b><g><a>3</a><b k='y'>4</b></g>"
      "<instance id='fruit'><item>apple</item><item>pear</item></instance></data>");
  TableEnv env;
  env.tables.emplace("table", *Document::parse("<root><item>fig</item></root>"));
  const std::pair<const char*, const char*> cases[] = {
      {"/data/b | /data/a", "/data/a /data/b "},
      {"/data/a | /data/a | /data/a", "/data/a "},
      {"//a | /data/g/a | /data/*", "/data/a /data/b /data/g /data/g/a /data/instance "},
      {"/data/a/@k | /data/a | /data/g/b/@k | /data/a/@id",
       "/data/a /data/a/id /data/a/k /data/g/b/k "},
      {"instance('fruit')/item[2] | /data/b | instance('fruit')/item",
       "/data/b /data/instance/item[1] /data/instance/item[2] "},
      {"(/data/g/* | /data/a) | (/data/b | /data/g/a)", "/data/a /data/b /data/g/a /data/g/b "},
      {"/data/b | (/data/a | (/data/g/b | (/data/g/a | /data/a)))",
       "/data/a /data/b /data/g/a /data/g/b "},
      {"((/data/g/b | /data/a) | /data/b) | /data/g/b", "/data/a /data/b /data/g/b "},
      {"/data/nothing | /data/a | /data/nothing", "/data/a "},
      {"/data/a | 1 | nosuch()", "error: union needs a node-set, got a number"},
      {"/data/a | nosuch() | 'x'", "error: unknown function nosuch()"},
      {"/data/a | (/data/b | 'x') | nosuch()", "error: union needs a node-set, got a string"},
      {"(/data/a | true()) | 1", "error: union needs a node-set, got a boolean"},
      {"/data/a | instance('table')/item",
       "error: instance('table') lies outside the document under evaluation — its nodes cannot "
       "be read here"},
      {"/data/a | instance('none')/item",
       "error: instance('none') is not loaded — the form expects a secondary instance the "
       "evaluator was not given"},
  };
  for (const auto& [expression, expected] : cases) {
    const auto [gathered, merged] = both(expression, document, env);
    EXPECT_EQ(gathered, merged) << expression;
    EXPECT_EQ(gathered, expected) << expression;
  }
}

// Nodes added since the last numbering sort after every numbered node and
// keep their order among themselves; only a node equal to the one before
// it is dropped, so where the sets are put in order must not matter.
TEST(Union, NodesWithoutANumberKeepTheirOrder) {
  Document document = *Document::parse("<data><a>1</a><b>2</b></data>");
  const NodeId root = *document.root();
  document.insert_after(document.children(root).front(), document.new_element("c", "3"));
  document.append_child(root, document.new_element("d", "4"));
  const ClockEnv env("", "");
  const std::pair<const char*, const char*> cases[] = {
      {"/data/d | /data/c | /data/a | /data/c | /data/d", "/data/a /data/d /data/c /data/d "},
      {"/data/c | /data/c | /data/d | (/data/c | /data/b) | /data/*",
       "/data/a /data/b /data/c /data/d /data/c /data/d "},
      {"/data/d | (/data/c | (/data/d | /data/d)) | /data/c", "/data/d /data/c /data/d /data/c "},
  };
  for (const auto& [expression, expected] : cases) {
    const auto [gathered, merged] = both(expression, document, env);
    EXPECT_EQ(gathered, expected) << expression;
    EXPECT_EQ(merged, expected) << expression;
  }
}

// Many operands, in scrambled order and repeating nodes, so that the list
// is put in order many times on the way.
TEST(Union, ManyOperandsGiveWhatMergingGives) {
  std::string xml = "<data>";
  for (int i = 0; i < 500; ++i) xml += "<x" + std::to_string(i) + " a=''/>";
  xml += "</data>";
  Document document = *Document::parse(xml);
  document.append_child(*document.root(), document.new_element("late", ""));
  const ClockEnv env("", "");
  for (const int operands : {2, 3, 64, 2'000}) {
    std::string expression;
    for (int i = 0; i < operands; ++i) {
      if (i > 0) expression += " | ";
      const int k = (i * 37) % 500;
      expression += i % 5 == 0 ? "/data/late" : "/data/x" + std::to_string(k);
      if (i % 7 == 0) expression += "/@a";
    }
    const auto [gathered, merged] = both(expression, document, env);
    EXPECT_EQ(gathered, merged) << operands << " operands";
  }
}

// Unions nest through parentheses as deep as any expression may, and no
// deeper: the walk over them holds no machine stack, but the parser's limit
// stands.
TEST(Union, NestingLimitStands) {
  const Document document = *Document::parse("<data><a/><b/></data>");
  const ClockEnv env("", "");
  const auto nested = [](int levels) {
    std::string expression;
    for (int i = 0; i < levels; ++i) expression += "/data/a | (";
    expression += "/data/b";
    expression += std::string(static_cast<std::size_t>(levels), ')');
    return expression;
  };
  EXPECT_EQ(both(nested(400), document, env).first, "/data/a /data/b ");
  EXPECT_EQ(both(nested(1'001), document, env).first, "parse error: " + expression_too_deep());
}

// Trees nested far deeper than the parser allows, built by hand: the
// evaluation answers or refuses with the nesting message, on the main
// thread and on a small stack, and never overflows.
TEST(Evaluator, RefusesNestingTheStackCannotHold) {
  const std::string too_deep =
      "error: expression is nested more than 1000 levels deep — split it into smaller expressions";
  const Document document = *Document::parse("<d><a>1</a></d>");
  const ClockEnv env("", "");
  for (const testing::Shape& shape : testing::kDeepShapes) {
    const Expr tree = testing::deep_tree(shape, 20'000);
    const auto outcome = [&] {
      auto value = evaluate(tree, document, Focus{*document.root(), 1, 1}, env);
      return value ? value_to_string(*value, document) : "error: " + value.error();
    };
    std::string on_main = outcome();
    std::string on_small;
    testing::on_small_stack(std::size_t{256} << 10, [&] { on_small = outcome(); });
    for (const std::string& result : {on_main, on_small}) {
      EXPECT_TRUE(result.find("error") == std::string::npos || result == too_deep)
          << shape.name << ": " << result;
    }
    if (std::string_view(shape.name) == "right operands") {
      EXPECT_EQ(on_small, too_deep);
    }
  }
}

}  // namespace
}  // namespace vindle
