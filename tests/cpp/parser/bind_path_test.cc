#include <gtest/gtest.h>

#include <string>

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
      "age | name", "count(age)", "instance('x')/root/a", "(age)/q", "$v/a",
      "'age'", "1", "age +", "age[", "",
  };
  for (const char* path : paths) {
    EXPECT_EQ(absolute_bind_path(path, "data"), path) << path;
  }
}

}  // namespace
}  // namespace vindle
