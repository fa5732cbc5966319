#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/references.h"

namespace vindle {
namespace {

struct Case {
  std::string path;
  std::string root;
  std::string expected;
};

TEST(AbsoluteBindPath, RelativePathsAreReadFromTheInstanceRoot) {
  const Case cases[] = {
      {"age", "data", "/data/age"},
      {"./age", "data", "/data/age"},
      {"group/q", "data", "/data/group/q"},
      {"q", "survey", "/survey/q"},
      {".", "data", "/data"},
      {"group/../q/.", "data", "/data/q"},
      {"child::age", "data", "/data/age"},
      {"jr:age", "data", "/data/age"},
      {" \tvitals/age\n", "data", "/data/vitals/age"},
      // ".." leaves the root for the document, whose only child is the root.
      {"../data/age", "data", "/data/age"},
  };
  for (const auto& [path, root, expected] : cases) {
    EXPECT_EQ(absolute_bind_path(path, root), expected) << path;
  }
}

TEST(AbsoluteBindPath, RelativePathsWithoutAPlainRenderingKeepTheirText) {
  const Case cases[] = {
      {"rep[1]/q", "data", "/data/rep[1]/q"},
      {" rep[../flag = 'y'] ", "data", "/data/rep[../flag = 'y']"},
      {"@id", "data", "/data/@id"},
      {"q/@id", "data", "/data/q/@id"},
      {"*", "data", "/data/*"},
      {"group/node()", "data", "/data/group/node()"},
      {"descendant::q", "data", "/data/descendant::q"},
      {"group//q", "data", "/data/group//q"},
      {"..", "data", "/data/.."},
      {"../../x", "data", "/data/../../x"},
  };
  for (const auto& [path, root, expected] : cases) {
    EXPECT_EQ(absolute_bind_path(path, root), expected) << path;
  }
}

TEST(AbsoluteBindPath, EverythingElseIsLeftAsWritten) {
  const char* paths[] = {
      "/data/age", " /data/age ", "/data/rep[1]/q", "//age", "/", "/data/..",
      "count(age)", "instance('x')/root/a", "(age)/q", "$v/a",
      "'age'", "1", "age +", "age[", "",
  };
  for (const char* path : paths) {
    EXPECT_EQ(absolute_bind_path(path, "data"), path) << path;
  }
}

TEST(AbsoluteBindPath, UnionsAreMadeAbsoluteOperandByOperand) {
  const Case cases[] = {
      {"age | name", "data", "/data/age | /data/name"},
      {"/data/x|g/x", "data", "/data/x | /data/g/x"},
      {" x | /data/g/x |./y ", "survey", "/survey/x | /data/g/x | /survey/y"},
      // Operands with no plain rendering, or that are no path, each as alone.
      {"rep[1]/q | @id | *", "data", "/data/rep[1]/q | /data/@id | /data/*"},
      {"instance('s')/a | count(a | b) | (a | b)/c | d", "data",
       "instance('s')/a | count(a | b) | (a | b)/c | /data/d"},
      // A "|" inside a literal or a predicate does not cut.
      {"x[. = '|' or a | b] | \"|\"", "data", "/data/x[. = '|' or a | b] | \"|\""},
      // A nested union's operands join the outer ones.
      {"((a | b))", "data", "/data/a | /data/b"},
      {"(a | (/data/b | (c[. = ')']))) | d", "data",
       "/data/a | /data/b | /data/c[. = ')'] | /data/d"},
  };
  for (const auto& [path, root, expected] : cases) {
    EXPECT_EQ(absolute_bind_path(path, root), expected) << path;
  }
}

TEST(AbsoluteBindPath, UnionsWithoutARelativeOperandAndOtherPipesStayAsWritten) {
  const char* paths[] = {
      " /data/x|/data/g/x ", "(/data/a | /data/b) | /data/c", "instance('s')/a | count(b)",
      // Not a union at the top.
      "a | b = c", "-a | b", "count(a | b)", "(a | b)[1]", "a |", "/data/a[. = '|']",
  };
  for (const char* path : paths) {
    EXPECT_EQ(absolute_bind_path(path, "data"), path) << path;
  }
}

TEST(AbsoluteBindPath, AUnionOfAHundredThousandOperands) {
  constexpr std::size_t kOperands = 100'000;
  std::string path = "a";
  std::string expected = "/data/a";
  for (std::size_t k = 1; k < kOperands; ++k) {
    path += "|a";
    expected += " | /data/a";
  }
  EXPECT_EQ(absolute_bind_path(path, "data"), expected);
  EXPECT_EQ(bind_path_operands(expected).size(), kOperands);
}

TEST(BindPathOperands, AUnionStandsForEachOperand) {
  const std::pair<std::string, std::vector<std::string_view>> cases[] = {
      {" /data/a|((/data/b) | ((/data/c))) ", {"/data/a", "/data/b", "/data/c"}},
      {"/data/x[a | b] | (instance('s')/y)", {"/data/x[a | b]", "(instance('s')/y)"}},
      // Anything else is one path, as written.
      {" (/data/a) ", {" (/data/a) "}},
      {"a | b = c", {"a | b = c"}},
  };
  for (const auto& [path, operands] : cases) {
    EXPECT_EQ(bind_path_operands(path), operands) << path;
  }
}

}  // namespace
}  // namespace vindle
