#include "rules/calculation_order.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "rules/form.h"

namespace vindle {
namespace {

struct Rule {
  std::string nodeset;
  std::string calculate;
};

std::string form_of(const std::vector<Rule>& rules) {
  std::string text =
      "<h:html xmlns:h='h'><h:head><model><instance><data><a/><b/><t/><x/>"
      "<g><a/><c/><x/></g></data></instance>";
  for (const auto& [nodeset, calculate] : rules) {
    text += "<bind nodeset='" + nodeset + "'";
    if (!calculate.empty()) text += " calculate='" + calculate + "'";
    text += "/>";
  }
  return text + "</model></h:head><h:body/></h:html>";
}

// The same rules with each union bind written as one bind per operand.
std::vector<Rule> split(const std::vector<Rule>& rules) {
  std::vector<Rule> binds;
  for (const auto& [nodeset, calculate] : rules) {
    std::size_t start = 0;
    for (std::size_t bar = nodeset.find(" | "); bar != std::string::npos;
         start = bar + 3, bar = nodeset.find(" | ", start)) {
      binds.push_back({nodeset.substr(start, bar - start), calculate});
    }
    binds.push_back({nodeset.substr(start), calculate});
  }
  return binds;
}

// Each calculation as the bind it runs for and the path it runs at.
std::vector<std::pair<std::size_t, std::string>> calculations_of(const Form& form) {
  std::vector<std::pair<std::size_t, std::string>> calculations;
  for (const Calculation& calculation : form.calculations) {
    calculations.emplace_back(calculation.bind, calculation.operand.empty()
                                                    ? form.binds[calculation.bind].nodeset
                                                    : calculation.operand);
  }
  return calculations;
}

struct OrderCase {
  const char* what;
  std::vector<Rule> rules;
  std::vector<std::pair<std::size_t, std::string>> calculations;
  std::vector<std::size_t> binds;  // the bind of each first calculation
};

const std::vector<OrderCase>& order_cases() {
  static const std::vector<OrderCase> cases = {
      {"a union on both sides of another calculation",
       {{"/data/a | /data/g/c", "../x"}, {"/data/g/x", "/data/a + 1"}},
       {{0, "/data/a"}, {1, "/data/g/x"}, {0, "/data/g/c"}},
       {0, 1}},
      {"the same, declared the other way round and relative",
       {{"/data/g/x", "/data/a + 1"}, {"a | g/c", "../x"}},
       {{1, "/data/a"}, {0, "/data/g/x"}, {1, "/data/g/c"}},
       {1, 0}},
      {"an operand waits for the operand of its union it reads",
       {{"/data/b | /data/a", "/data/a + 1"}},
       {{0, "/data/a"}, {0, "/data/b"}},
       {0}},
      {"a chain from one operand of a union to the other through two binds",
       {{"/data/g/c | /data/t", "../x"}, {"/data/x", "/data/b"}, {"/data/b", "/data/g/c"}},
       {{0, "/data/g/c"}, {2, "/data/b"}, {1, "/data/x"}, {0, "/data/t"}},
       {0, 2, 1}},
      {"an operand read through a path that a later bind takes is no dependency",
       {{"/data/a | /data/b", "/data/b * 2"}, {"/data/b", ""}},
       {{0, "/data/a"}, {0, "/data/b"}},
       {0}},
  };
  return cases;
}

TEST(CalculationOrder, EachOperandOfAUnionIsPlacedOnItsOwn) {
  for (const auto& [what, rules, calculations, binds] : order_cases()) {
    auto form = Form::load(form_of(rules));
    ASSERT_TRUE(form) << what << ": " << form.error();
    EXPECT_EQ(calculations_of(*form), calculations) << what;
    EXPECT_EQ(form->calculation_order, binds) << what;
  }
}

struct CircleCase {
  const char* what;
  std::vector<Rule> rules;
  std::string circle;
};

const std::vector<CircleCase>& circle_cases() {
  static const std::vector<CircleCase> cases = {
      {"two operands of one union reading each other",
       {{"/data/a | /data/b", "/data/a + /data/b"}},
       "/data/a → /data/b → /data/a"},
      {"a circle through one operand, the union met first",
       {{"/data/a | /data/g/a", "/data/t"}, {"/data/t", "/data/g/a"}},
       "/data/t → /data/g/a → /data/t"},
      {"a circle through one operand, the union met second",
       {{"/data/t", "/data/g/c"}, {"/data/a | /data/g/c", "/data/t"}},
       "/data/t → /data/g/c → /data/t"},
      {"a ring of three through a relative union",
       {{"x | g/x", "/data/b"}, {"/data/b", "/data/t"}, {"/data/t", "/data/g/x"}},
       "/data/b → /data/t → /data/g/x → /data/b"},
  };
  return cases;
}

TEST(CalculationOrder, ACircleThroughAUnionNamesItsOperands) {
  for (const auto& [what, rules, circle] : circle_cases()) {
    auto form = Form::load(form_of(rules));
    ASSERT_FALSE(form) << what;
    EXPECT_EQ(form.error(),
              "these calculations depend on each other, so none of them has a defined value: " +
                  circle)
        << what;
  }
}

// Written as one bind per operand, the same rules load or fail alike, and
// their calculations run at the same paths in the same order.
TEST(CalculationOrder, AUnionOrdersAsItsOperandsWrittenAsBinds) {
  std::vector<std::vector<Rule>> forms;
  for (const OrderCase& order : order_cases()) forms.push_back(order.rules);
  for (const CircleCase& circle : circle_cases()) forms.push_back(circle.rules);
  for (const std::vector<Rule>& rules : forms) {
    auto united = Form::load(form_of(rules));
    auto split_form = Form::load(form_of(split(rules)));
    const std::string text = form_of(rules);
    ASSERT_EQ(united.has_value(), split_form.has_value()) << text;
    if (!united) {
      EXPECT_EQ(united.error(), split_form.error()) << text;
      continue;
    }
    std::vector<std::string> united_paths;
    for (const auto& [bind, path] : calculations_of(*united)) united_paths.push_back(path);
    std::vector<std::string> split_paths;
    for (const auto& [bind, path] : calculations_of(*split_form)) split_paths.push_back(path);
    EXPECT_EQ(united_paths, split_paths) << text;
  }
}

}  // namespace
}  // namespace vindle
