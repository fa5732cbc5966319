#include <gtest/gtest.h>

#include <algorithm>

#include "tree/document.h"

namespace vindle {
namespace {

constexpr std::string_view kHeader = "<?xml version='1.0' ?>";

std::string rewrite(std::string_view xml) {
  const auto document = Document::parse(xml);
  if (!document) return "error: " + document.error();
  return document->to_xml().substr(kHeader.size());
}

TEST(XmlWriter, CompactOutputWithFourCharactersEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"<data>\n  <q>5</q>\n  <r/>\n</data>", "<data><q>5</q><r/></data>"},
      {"<a>a&lt;b &amp; 'c'</a>", "<a>a&lt;b &amp; 'c'</a>"},
      {"<a v='say \"hi\" &gt; &apos;x&apos;'/>", "<a v=\"say &quot;hi&quot; &gt; 'x'\"/>"},
      {"<a>x<b/></a>", "<a><b/></a>"},  // an element with children loses its text
      {"<a b='1' b=''>  </a>", "<a b=\"1\" b=\"\"/>"},
      {"<x:a x:b='1'><c:d>\t\x01</c:d></x:a>", "<a b=\"1\"><d>\t\x01</d></a>"},
      {"<a>&#60;</a>", "<a>&lt;</a>"},
      {"<a b='Jos&#xE9;'>&amp;#xE9;</a>", "<a b=\"Jos\u00e9\">&amp;#xE9;</a>"},
  };
  for (const auto& [xml, written] : cases) EXPECT_EQ(rewrite(xml), written) << xml;
}

TEST(XmlWriter, OnlyTheTreeUnderTheRootIsWritten) {
  Document document;
  EXPECT_EQ(document.to_xml(), kHeader);
  const NodeId data = document.new_element("data", "");
  document.set_root(data);
  document.add_attribute(data, "id", "f");
  const NodeId q = document.new_element("q", "1");
  document.append_child(data, q);
  const NodeId orphan = document.new_element("orphan", "x");
  document.add_attribute(orphan, "k", "v");
  EXPECT_EQ(document.to_xml(), std::string(kHeader) + "<data id=\"f\"><q>1</q></data>");
  document.detach(q);
  EXPECT_EQ(document.to_xml(), std::string(kHeader) + "<data id=\"f\"/>");

  std::string out = "prefix:";
  document.write_element(orphan, out);
  EXPECT_EQ(out, "prefix:<orphan k=\"v\">x</orphan>");
  std::string escaped;
  escape_xml("\"&<>'\n", escaped);
  EXPECT_EQ(escaped, "&quot;&amp;&lt;&gt;'\n");
}

TEST(XmlWriter, WrittenInstancesReadBackTheSame) {
  const std::string xml =
      "<?xml version='1.0'?><data id='survey' version='3'><meta><instanceID>uuid:1</instanceID>"
      "</meta><g><q a='&lt;&quot;&amp;'>x &gt; y</q><r/><r b=\"it's\">2</r></g>"
      "<n>\xc3\xa9\xe2\x80\x83</n></data>";
  const std::string once = rewrite(xml);
  EXPECT_EQ(rewrite(once), once);
  const auto first = Document::parse(xml);
  const auto second = Document::parse(once);
  ASSERT_TRUE(first && second);
  ASSERT_EQ(first->size(), second->size());
  for (NodeId id = 0; id < first->size(); ++id) {
    EXPECT_EQ(first->node(id).name, second->node(id).name);
    EXPECT_EQ(first->node(id).value, second->node(id).value);
    EXPECT_TRUE(std::ranges::equal(first->node(id).attributes, second->node(id).attributes));
  }
}

}  // namespace
}  // namespace vindle
