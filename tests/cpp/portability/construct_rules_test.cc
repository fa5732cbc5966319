#include "portability/construct_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../parser/deep_trees.h"
#include "portability/read_paths.h"

namespace vindle {
namespace {

TEST(TopLevelAlternation, SeesOnlyBarsOutsideClassesAndGroups) {
  const struct {
    const char* pattern;
    bool expected;
  } cases[] = {
      {"^a|b$", true},
      {"a|b", true},
      {"|", true},
      {"^(a|b)$", false},
      {"^[a|b]$", false},
      {"^a\\|b$", false},
      {"^\\\\|b$", true},       // an escaped backslash leaves the bar bare
      {"^\\(a|b$", true},       // an escaped parenthesis opens no group
      {"^[(]a|b$", true},       // nor does one inside a class
      {"^(a[)]|b)$", false},    // and one inside a class closes none
      {"^[[]|b$", true},        // classes do not nest: the first "]" ends it
      {"^[a[b]|c]$", true},
      {"^a)|b$", true},         // a stray ")" leaves the depth at 0
      {"^((a)|b)$", false},
      {"^(a)|(b)$", true},
      {"^é|ü$", true},
      {"^\\é|b$", true},        // an escape takes a whole character
      {"", false},
      {"^abc$", false},
  };
  for (const auto& [pattern, expected] : cases) {
    EXPECT_EQ(has_top_level_alternation(pattern), expected) << pattern;
  }
}

TEST(RepeatPaths, HoldPathsAtOrUnderARepeatComparedAsText) {
  const struct {
    std::vector<std::string> repeats;
    const char* plain;
    bool expected;
  } cases[] = {
      {{"/data/rep"}, "/data/rep", true},
      {{"/data/rep"}, "/data/rep/v", true},
      {{"/data/rep"}, "/data/rep/g/v", true},
      {{"/data/rep"}, "/data/repeat/v", false},
      {{"/data/rep"}, "/data", false},
      {{"/data/rep/"}, "/data/rep/v", true},
      {{"/data/rep//"}, "/data/rep", true},
      {{"data/rep"}, "/data/rep/v", false},
      {{""}, "/x", true},
      {{"/"}, "/x", true},
      {{"/data//rep"}, "/data/rep", false},
      {{"/other", "/data/rep"}, "/data/rep/v", true},
      {{"/data/rep", "/data"}, "/data/x", true},
      {{"/data/rep/g"}, "/data/rep", false},
      {{"/data/re"}, "/data/rep", false},
      {{"/data/rep", "/data/rep/"}, "/data/rep/v", true},
      {{}, "/data/rep", false},
  };
  for (const auto& [repeats, plain, expected] : cases) {
    EXPECT_EQ(RepeatPaths(repeats).holds(plain), expected) << plain;
  }
}

// The walks keep stacks of their own: trees nested far deeper than the
// parser allows, built by hand, are walked on a small stack.
TEST(ConstructRules, WalksNeverRecurse) {
  constexpr std::size_t kLevels = 20'000;
  for (const testing::Shape& shape : testing::kDeepShapes) {
    const Expr tree = testing::deep_tree(shape, kLevels);
    std::vector<ConstructFinding> hits;
    std::vector<std::string> paths;
    testing::on_small_stack(std::size_t{64} << 10, [&] {
      check_expression(tree, RepeatPaths({}), hits);
      collect_read_paths(tree, "/d/q", true, paths);
    });
    const std::string_view name = shape.name;
    // Each step of that shape holds a "//" and a bare [1].
    EXPECT_EQ(hits.size(), name == "step predicates" ? 2 * kLevels : 0) << name;
    // A relative path counts outside predicates and filters only.
    const bool top = name != "step predicates" && !name.starts_with("filter");
    EXPECT_EQ(paths.size(), top ? kLevels + 1 : 0) << name;
  }
}

}  // namespace
}  // namespace vindle
