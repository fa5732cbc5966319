// pulldata() and choice-name() against an environment that has what the
// clock-only one lacks: tables and choice labels.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "parser/parser.h"

namespace vindle {
namespace {

Document read(std::string_view xml) {
  auto document = Document::parse(xml);
  EXPECT_TRUE(document.has_value()) << xml;
  return document ? std::move(*document) : Document();
}

class FormLikeEnv final : public EvalEnv {
 public:
  std::map<std::string, Document, std::less<>> tables;
  std::map<std::pair<std::string, std::string>, std::string> labels;
  mutable std::vector<std::pair<std::string, std::string>> asked;

  const Document* instance(std::string_view id) const override {
    const auto found = tables.find(id);
    return found == tables.end() ? nullptr : &found->second;
  }
  std::optional<std::string> choice_label(std::string_view value,
                                          std::string_view question) const override {
    asked.emplace_back(value, question);
    const auto found = labels.find({std::string(value), std::string(question)});
    if (found == labels.end()) return std::nullopt;
    return found->second;
  }
  std::string today() const override { return ""; }
  std::string now() const override { return ""; }
};

const char kSubmission[] = "<data><v>a</v><k> b </k></data>";

// The string value of `expression`, or its message.
std::string run(std::string_view expression, const EvalEnv& env) {
  const Document document = read(kSubmission);
  auto expr = parse_expression(expression);
  if (!expr) return "parse: " + expr.error();
  auto value = evaluate(*expr, document, Focus{*document.root()}, env);
  if (!value) return "error: " + value.error();
  return value_to_string(*value, document);
}

struct Case {
  const char* table;  // XML of the table with the id "fruit"; null: a table without root
  const char* expression;
  const char* expected;
};

TEST(Pulldata, FindsTheRowsInEitherShapeOfTable) {
  const Case cases[] = {
      // One container element holding the rows; keys compared trimmed,
      // the wanted cell returned as it stands.
      {"<root><list><row><key>a</key><name>Apple</name></row>"
       "<row><key> b </key><name> Banana </name></row></list></root>",
       "pulldata('fruit', 'name', 'key', /data/k)", " Banana "},
      // Rows held directly by the root.
      {"<root><row><key>a</key><name>Apple</name></row>"
       "<row><key>b</key><name>Banana</name></row></root>",
       "pulldata('fruit', 'name', 'key', 'b')", "Banana"},
      // A single row held directly reads as a container: its cells become
      // the rows, none has a key cell, and a non-blank key finds nothing.
      {"<root><row><key>b</key><name>Banana</name></row></root>",
       "pulldata('fruit', 'name', 'key', 'b')", ""},
      // The first matching row wins, even without the wanted cell.
      {"<root><row><key>b</key></row><row><key>b</key><name>x</name></row></root>",
       "pulldata('fruit', 'name', 'key', 'b')", ""},
      // A row without a key cell matches a blank key.
      {"<root><row><name>keyless</name></row><row><key>b</key><name>x</name></row></root>",
       "pulldata('fruit', 'name', 'key', '  ')", "keyless"},
      // Only four arguments are read.
      {"<root><row><key>a</key><name>Apple</name></row>"
       "<row><key>b</key><name>Banana</name></row></root>",
       "pulldata('fruit', 'name', 'key', 'a', nosuch())", "Apple"},
      {nullptr, "pulldata('fruit', 'name', 'key', 'a')", ""},  // no root
  };
  for (const Case& c : cases) {
    FormLikeEnv env;
    env.tables.emplace("fruit", c.table ? read(c.table) : Document());
    EXPECT_EQ(run(c.expression, env), c.expected) << c.expression;
  }
}

TEST(Pulldata, FailsWithoutItsTable) {
  FormLikeEnv env;
  env.tables.emplace("other", read("<root><row><key>a</key></row></root>"));
  const std::pair<const char*, const char*> cases[] = {
      {"pulldata('fruit', 'name', 'key', 'a')",
       "error: pulldata() cannot find the table 'fruit' — the form declares it as an external "
       "file, and nothing has loaded it"},
      // Every argument is read before the table is looked up.
      {"pulldata('fruit', 'name', 'key', nosuch())", "error: unknown function nosuch()"},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(run(expression, env), expected) << expression;
  }
}

TEST(ChoiceName, AsksTheEnvironmentWithTheValueAsEvaluated) {
  FormLikeEnv env;
  env.labels[{"a", "/data/q"}] = "Apple";
  env.labels[{" b ", "/data/q"}] = "Spaced";
  const std::pair<const char*, const char*> cases[] = {
      {"choice-name('a', '/data/q')", "Apple"},
      {"jr:choice-name(/data/v, ' /data/q\t')", "Apple"},
      {"choice-name(/data/k, '/data/q')", "Spaced"},
      {"choice-name('', nosuch())", ""},
      {"choice-name('b', ' /data/q ')",
       "error: choice-name(): no choice \"b\" for /data/q — the evaluator was given no choice "
       "list for that question"},
      {"jr:choice-name('a\"\n', '/data/r')",
       "error: jr:choice-name(): no choice \"a\\\"\\n\" for /data/r — the evaluator was given "
       "no choice list for that question"},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(run(expression, env), expected) << expression;
  }
  // The blank value never reached the environment; the others did, with
  // the question trimmed and the value not.
  ASSERT_EQ(env.asked.size(), 5u);
  EXPECT_EQ(env.asked[1], (std::pair<std::string, std::string>{"a", "/data/q"}));
  EXPECT_EQ(env.asked[2], (std::pair<std::string, std::string>{" b ", "/data/q"}));
}

}  // namespace
}  // namespace vindle
