// The parser refuses trees nested more than kMaxExpressionDepth levels deep,
// whichever kind of nesting makes them deep, and refuses rather than
// exhausts a small stack. A chain of one operator is one level however long,
// and no walk that cannot fail (freeing, copying, collecting references)
// recurses on a tree's depth.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "deep_trees.h"
#include "parser/parser.h"
#include "parser/references.h"

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

std::string outcome(const std::string& text) {
  const auto expr = parse_expression(text);
  return expr ? "parsed" : expr.error();
}

// Each kind of nesting, as an expression whose tree is `height` levels deep.
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
    {"right operands", [](std::size_t h) { return repeat("1+(", (h - 1) / 2) + "1" + repeat(")", (h - 1) / 2); }},
    {"chains in parentheses",
     [](std::size_t h) { return repeat("(", h - 2) + "1+1+1" + repeat(")", h - 2); }},
    {"mixed", [](std::size_t h) {
       // Each "-(" adds two levels: the negation and the parentheses.
       return repeat("-(", (h - 1) / 2) + "1" + repeat(")", (h - 1) / 2) + repeat("*1", (h - 1) % 2);
     }},
};

TEST(Depth, RefusesHundredThousandLevelsOfEveryKind) {
  for (const auto& [kind, build] : kNestings) EXPECT_EQ(outcome(build(100'000)), kTooDeep) << kind;
}

TEST(Depth, AcceptsExactlyTheLimitAndRefusesOneMore) {
  for (const auto& [kind, build] : kNestings) {
    if (std::string_view(kind) == "right operands") continue;  // odd heights only
    EXPECT_EQ(outcome(build(kMaxExpressionDepth)), "parsed") << kind;
    EXPECT_EQ(outcome(build(kMaxExpressionDepth + 1)), kTooDeep) << kind;
  }
  EXPECT_EQ(outcome(repeat("1+(", 499) + "1" + repeat(")", 499)), "parsed");
  EXPECT_EQ(outcome(repeat("1+(", 500) + "1" + repeat(")", 500)), kTooDeep);
  EXPECT_EQ(outcome(repeat("(", 500) + "1" + repeat(")[1]", 499) + ")"), "parsed");
  EXPECT_EQ(outcome(repeat("(", 500) + "1" + repeat(")[1]", 500)), kTooDeep);
}

TEST(Depth, ChainsAreOneLevelWhateverTheirLength) {
  const std::pair<std::string, std::string> chains[] = {
      {"1", " or 1"}, {"1", " and 1"}, {"1", " = 1"}, {"1", " != 1"}, {"1", " < 1"},
      {"1", " <= 1"}, {"1", " > 1"},   {"1", " >= 1"}, {"1", " + 1"},  {"1", " - 1"},
      {"1", " * 1"},  {"1", " div 1"}, {"1", " mod 1"}, {"a", " | a"}, {"1", " * 2 + 3 = 4 or 5"},
  };
  for (const auto& [first, more] : chains) {
    const auto expr = parse_expression(first + repeat(more, 20'000));
    ASSERT_TRUE(expr) << more << ": " << expr.error();
    // Still left-associative: the left spine holds every operator.
    std::size_t spine = 0;
    for (const Expr* node = &*expr;;) {
      if (const auto* binary = node->as<Expr::Binary>()) {
        node = &*binary->lhs;
      } else if (const auto* union_ = node->as<Expr::Union>()) {
        node = &*union_->lhs;
      } else {
        break;
      }
      ++spine;
    }
    EXPECT_GE(spine, 20'000u) << more;
  }
}

TEST(Depth, CountsTheDeepestBranch) {
  // A right operand sits a level below its operator, a left one level with it.
  EXPECT_EQ(outcome("1" + repeat("+1", 20'000) + "+" + repeat("-", 998) + "1"), "parsed");
  EXPECT_EQ(outcome("1" + repeat("+1", 10) + "+" + repeat("-", 999) + "1"), kTooDeep);
  EXPECT_EQ(outcome(repeat("-", 999) + "1" + repeat("+1", 20'000)), "parsed");
  EXPECT_EQ(outcome(repeat("-", 1000) + "1" + repeat("+1", 10)), kTooDeep);
  // Predicates of a step sit one level below their path.
  EXPECT_EQ(outcome("a[" + repeat("-", 999) + "1]"), kTooDeep);
  EXPECT_EQ(outcome("a[" + repeat("-", 998) + "1]"), "parsed");
}

TEST(Depth, WideExpressionsAreNotDeep) {
  const std::string wide[] = {
      "a" + repeat("/a", 100'000),
      "f(1" + repeat(",1", 100'000) + ")",
      "a" + repeat("[1]", 100'000),
      "concat(" + repeat("(1+1),", 50'000) + "1)",
  };
  for (const std::string& text : wide) EXPECT_EQ(outcome(text), "parsed") << text.substr(0, 20);
}

TEST(Depth, TheFirstErrorInTheTextWins) {
  // A syntax error before the nesting gets too deep is the one reported...
  EXPECT_EQ(outcome("(1 2" + repeat("(", 100'000)), "expected RightParen, found Some(Number(2.0))");
  // ...and one after it is never reached.
  EXPECT_EQ(outcome(repeat("(", 100'000) + "1 2"), kTooDeep);
  EXPECT_EQ(outcome(repeat("f(", 100'000) + " ]"), kTooDeep);
}

TEST(Depth, SmallStacksRefuseRatherThanOverflow) {
  for (const std::size_t stack : {std::size_t{128} << 10, std::size_t{256} << 10}) {
    for (const auto& [kind, build] : kNestings) {
      const std::string text = build(kMaxExpressionDepth);
      std::string result;
      testing::on_small_stack(stack, [&] { result = outcome(text); });
      EXPECT_TRUE(result == "parsed" || result == kTooDeep) << kind << " on " << stack << ": " << result;
    }
  }
  // A stack far too small for the nesting the limit allows.
  std::string result;
  testing::on_small_stack(std::size_t{128} << 10, [&] { result = outcome(repeat("(", 999) + "1" + repeat(")", 999)); });
  EXPECT_EQ(result, kTooDeep);
}

TEST(Depth, FreeingCopyingAndCollectingNeverRecurse) {
  constexpr std::size_t kLevels = 20'000;
  for (const testing::Shape& shape : testing::kDeepShapes) {
    Expr tree = testing::deep_tree(shape, kLevels);
    std::size_t references = 0;
    testing::on_small_stack(std::size_t{64} << 10, [&] {
      Expr copy = tree;
      references = collect_references(copy, "/d/q").size();
      Expr gone = std::move(tree);
    });
    const bool per_level = std::string_view(shape.name) != "step predicates";
    EXPECT_EQ(references, per_level ? kLevels + 1 : 1) << shape.name;
  }
}

}  // namespace
}  // namespace vindle
