#include <gtest/gtest.h>

#include <map>
#include <string>

#include "eval/evaluator.h"
#include "parser/parser.h"
#include "text/result.h"

namespace vindle {
namespace {

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
  VINDLE_ASSIGN_OR_RETURN(auto&& value, evaluate(expr, document, Focus{*document.root(), 1, 1}, env));
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
  const NodesResult gathered =
      value ? expect_node_set(std::move(*value), "union") : NodesResult(std::unexpected(value.error()));
  return {described(gathered, document), described(merged_pairwise(*expr, document, env), document)};
}

// An environment with one table of its own, outside the document.
class TableEnv final : public EvalEnv {
 public:
  TableEnv() { table_ = *Document::parse("<root><item>fig</item></root>"); }
  const Document* instance(std::string_view id) const override {
    return id == "table" ? &table_ : nullptr;
  }
  std::optional<std::string> choice_label(std::string_view, std::string_view) const override {
    return std::nullopt;
  }
  std::string today() const override { return ""; }
  std::string now() const override { return ""; }

 private:
  Document table_;
};

TEST(Union, GivesWhatMergingPairByPairGives) {
  // "fruit" is a secondary instance held in the document, as in the model
  // document; "table" lies outside it.
  const Document document = *Document::parse(
      "<data><a id='1' k='x'>1</a><b>2</b><g><a>3</a><b k='y'>4</b></g>"
      "<instance id='fruit'><item>apple</item><item>pear</item></instance></data>");
  const TableEnv env;
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
  const TableEnv env;
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
  for (int i = 0; i < 500; ++i) xml += "<x" + std::to_string(i) + " a='" + std::to_string(i) + "'/>";
  xml += "</data>";
  Document document = *Document::parse(xml);
  document.append_child(*document.root(), document.new_element("late", ""));
  const TableEnv env;
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
  const TableEnv env;
  const auto nested = [](int levels) {
    std::string expression;
    for (int i = 0; i < levels; ++i) expression += "/data/a | (";
    expression += "/data/b";
    expression += std::string(static_cast<std::size_t>(levels), ')');
    return expression;
  };
  const auto [gathered, merged] = both(nested(400), document, env);
  EXPECT_EQ(gathered, "/data/a /data/b ");
  EXPECT_EQ(merged, gathered);
  EXPECT_EQ(both(nested(1'001), document, env).first,
            "parse error: " + expression_too_deep());
}

}  // namespace
}  // namespace vindle
