// A document nested a million levels deep goes through every operation that
// walks a whole tree or a whole path; none of them may use the machine stack
// in proportion to the depth.
#include <gtest/gtest.h>

#include "tree/document.h"

namespace vindle {
namespace {

constexpr std::size_t kDepth = 1'000'000;

TEST(DeepDocument, ReadsNumbersCopiesAndWritesAMillionLevels) {
  std::string xml;
  xml.reserve(kDepth * 7 + 16);
  for (std::size_t k = 0; k < kDepth; ++k) xml += k == 0 ? "<a k='v'>" : "<a>";
  xml += "x";
  for (std::size_t k = 0; k < kDepth; ++k) xml += "</a>";

  auto read = Document::parse(xml);
  ASSERT_TRUE(read.has_value()) << read.error();
  Document& document = *read;
  ASSERT_EQ(document.size(), kDepth + 1);
  const NodeId deepest = document.size() - 1;
  EXPECT_EQ(document.node(deepest).value, "x");

  document.renumber();
  EXPECT_EQ(document.order_of(deepest), kDepth);
  std::string expected_path;
  for (std::size_t k = 0; k < kDepth; ++k) expected_path += "/a";
  EXPECT_TRUE(document.path_of(deepest) == expected_path);
  EXPECT_EQ(document.ancestors(deepest).size(), kDepth - 1);
  EXPECT_EQ(document.descendants(0).size(), kDepth - 1);
  EXPECT_EQ(document.string_value(0), "x");
  EXPECT_EQ(document.find_text("a"), "x");

  Document copy;
  copy.set_root(copy.import_subtree(document, 0));
  copy.renumber();
  // Compared as a whole: a failure should not print megabytes.
  const std::string written = "<?xml version='1.0' ?><a k=\"v\">" + xml.substr(9);
  EXPECT_TRUE(copy.to_xml() == written);
  Document whole = document;  // copying and dropping are flat too
  EXPECT_EQ(whole.path_of(deepest).size(), 2 * kDepth);
}

}  // namespace
}  // namespace vindle
