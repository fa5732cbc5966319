#include "portability/instance_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace vindle {
namespace {

InstancePaths paths_of(const std::string& xml) {
  auto document = Document::parse(xml);
  EXPECT_TRUE(document) << document.error();
  InstancePaths paths;
  if (document) collect_instance_paths(*document, *document->root(), paths);
  return paths;
}

TEST(InstancePaths, HoldEveryElementPathWithoutPositions) {
  const InstancePaths paths = paths_of("<data k='1'><q/><a/><g><a/><a><b/></a></g><q/></data>");
  EXPECT_EQ(paths.size(), 6u);
  for (const char* path : {"/data", "/data/q", "/data/a", "/data/g", "/data/g/a", "/data/g/a/b"}) {
    EXPECT_TRUE(paths.contains(path)) << path;
  }
  for (const char* path : {"", "/", "data", "/data/", "/data/k", "/data/q[1]", "/data/g/b",
                           "/data//q", "/g/a", "/data/g/a/b/c"}) {
    EXPECT_FALSE(paths.contains(path)) << path;
  }
}

TEST(InstancePaths, OffersAPathOnlyWhenOneEndsThatWay) {
  const InstancePaths paths = paths_of("<data><q/><a/><g><a/><a/><q2/></g></data>");
  EXPECT_EQ(paths.only_path_ending_with("q"), "/data/q");
  EXPECT_EQ(paths.only_path_ending_with("q2"), "/data/g/q2");
  EXPECT_EQ(paths.only_path_ending_with("data"), "/data");
  EXPECT_EQ(paths.only_path_ending_with("a"), std::nullopt);  // /data/a and /data/g/a
  EXPECT_EQ(paths.only_path_ending_with("zz"), std::nullopt);
  EXPECT_EQ(paths.only_path_ending_with(""), std::nullopt);
}

// The reader lets a "/" into a name; the path text then reads as more
// segments, and lookups must answer as for the written-out texts.
TEST(InstancePaths, NamesHoldingASlashAnswerAsTheirTexts) {
  InstancePaths paths;
  const auto root = paths.insert(InstancePaths::kNone, "data");
  paths.insert(root, "x/q");
  EXPECT_TRUE(paths.contains("/data/x/q"));
  EXPECT_FALSE(paths.contains("/data/x"));
  EXPECT_EQ(paths.only_path_ending_with("q"), "/data/x/q");
  EXPECT_EQ(paths.size(), 2u);
  paths.insert(paths.insert(root, "x"), "q");  // the same text again
  EXPECT_EQ(paths.size(), 3u);
  EXPECT_TRUE(paths.contains("/data/x"));
  EXPECT_EQ(paths.only_path_ending_with("q"), "/data/x/q");
}

}  // namespace
}  // namespace vindle
