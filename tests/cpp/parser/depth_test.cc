// The parser refuses trees higher than kMaxExpressionDepth, whichever kind of
// nesting makes them high, and never exhausts the stack on the way.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "parser/parser.h"

namespace vindle {
namespace {

const std::string kTooDeep =
    "expression is nested more than 1000 levels deep — split it into smaller expressions";

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// Each kind of nesting, as an expression whose tree is `height` levels high.
struct Nesting {
  const char* kind;
  std::function<std::string(std::size_t height)> build;
};

const Nesting kNestings[] = {
    {"parentheses", [](std::size_t h) { return repeat("(", h - 1) + "1" + repeat(")", h - 1); }},
    {"leading minus signs", [](std::size_t h) { return repeat("-", h - 1) + "1"; }},
    {"predicates", [](std::size_t h) { return repeat("a[", h - 1) + "a" + repeat("]", h - 1); }},
    {"filter predicates", [](std::size_t h) { return repeat("f()[", h - 1) + "1" + repeat("]", h - 1); }},
    {"function arguments", [](std::size_t h) { return repeat("f(", h - 1) + "1" + repeat(")", h - 1); }},
    {"additive chain", [](std::size_t h) { return "1" + repeat("+1", h - 1); }},
    {"or chain", [](std::size_t h) { return "1" + repeat(" or 1", h - 1); }},
    {"union chain", [](std::size_t h) { return "a" + repeat("|a", h - 1); }},
    {"filters of filters", [](std::size_t h) { return repeat("(", h / 2) + "1" + repeat(")[1]", h / 2); }},
    {"mixed", [](std::size_t h) {
       // Each "-(" adds two levels: the negation and the parentheses.
       return repeat("-(", (h - 1) / 2) + "1" + repeat(")", (h - 1) / 2) + repeat("*1", (h - 1) % 2);
     }},
};

TEST(Depth, RefusesHundredThousandLevelsOfEveryKind) {
  for (const auto& [kind, build] : kNestings) {
    const auto expr = parse_expression(build(100'000));
    ASSERT_FALSE(expr) << kind;
    EXPECT_EQ(expr.error(), kTooDeep) << kind;
  }
}

TEST(Depth, AcceptsExactlyTheLimitAndRefusesOneMore) {
  for (const auto& [kind, build] : kNestings) {
    if (std::string_view(kind) == "filters of filters") continue;  // only even heights
    const auto at_limit = parse_expression(build(kMaxExpressionDepth));
    EXPECT_TRUE(at_limit) << kind << ": " << (at_limit ? "" : at_limit.error());
    const auto over = parse_expression(build(kMaxExpressionDepth + 1));
    ASSERT_FALSE(over) << kind;
    EXPECT_EQ(over.error(), kTooDeep) << kind;
  }
  EXPECT_TRUE(parse_expression(repeat("(", 500) + "1" + repeat(")[1]", 499) + ")"));
  EXPECT_FALSE(parse_expression(repeat("(", 500) + "1" + repeat(")[1]", 500)));
}

TEST(Depth, CountsTheHighestBranch) {
  // A chain of 999 additions holds a 2-level operand at its far left: 1001.
  const std::string deep_left = "-1" + repeat("+1", 999);
  EXPECT_EQ(parse_expression(deep_left).error(), kTooDeep);
  EXPECT_TRUE(parse_expression("1" + repeat("+1", 998) + "+-1"));
  // Predicates of a step sit one level below their path.
  EXPECT_EQ(parse_expression("a[" + repeat("-", 999) + "1]").error(), kTooDeep);
  EXPECT_TRUE(parse_expression("a[" + repeat("-", 998) + "1]"));
}

TEST(Depth, WideExpressionsAreNotDeep) {
  const std::string wide[] = {
      "a" + repeat("/a", 100'000),
      "f(1" + repeat(",1", 100'000) + ")",
      "a" + repeat("[1]", 100'000),
      "concat(" + repeat("(1+1),", 50'000) + "1)",
  };
  for (const std::string& text : wide) EXPECT_TRUE(parse_expression(text)) << text.substr(0, 20);
}

TEST(Depth, TheFirstErrorInTheTextWins) {
  // A syntax error before the nesting gets too deep is the one reported...
  EXPECT_EQ(parse_expression("(1 2" + repeat("(", 100'000)).error(),
            "expected RightParen, found Some(Number(2.0))");
  // ...and one after it is never reached.
  EXPECT_EQ(parse_expression(repeat("(", 100'000) + "1 2").error(), kTooDeep);
  EXPECT_EQ(parse_expression("1" + repeat("+1", 100'000) + " ]").error(), kTooDeep);
}

}  // namespace
}  // namespace vindle
