#include <gtest/gtest.h>

#include <algorithm>

#include "text/quote.h"
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

// Element values as written between the tags, and as read back. A value of
// white space alone would read back empty if written as it is.
TEST(XmlWriter, ValuesOfWhiteSpaceAloneAreWrittenAsReferencesAndReadBack) {
  struct Case {
    std::string value;
    std::string written;
    std::string read_back;
  };
  const Case cases[] = {
      {" ", "&#32;", " "},
      {"\t", "&#9;", "\t"},
      {"\n", "&#10;", "\n"},
      {"\r", "&#13;", "\r"},
      {" \r\n\t  ", "&#32;&#13;&#10;&#9;&#32;&#32;", " \r\n\t  "},
      {"\u00a0", "&#160;", "\u00a0"},
      {"\u2028\u3000\u0085\u1680\u205f", "&#8232;&#12288;&#133;&#5760;&#8287;",
       "\u2028\u3000\u0085\u1680\u205f"},
      // Vertical tab and form feed have no form XML allows: written as they
      // are, kept beside a reference, and lost alone.
      {"\v \f", "\v&#32;\f", "\v \f"},
      {"\v\f", "\v\f", ""},
      // Any other value is written as it is.
      {" 5 ", " 5 ", " 5 "},
      {"\n<\n", "\n&lt;\n", "\n<\n"},
      {"\u200b", "\u200b", "\u200b"},               // not White_Space
      {" \xe3\x80", " \xe3\x80", " \xe3\x80"},    // a broken character is not blank
      {"&#32;", "&amp;#32;", "&#32;"},
  };
  for (const auto& [value, written, read_back] : cases) {
    Document document;
    const NodeId a = document.new_element("a", value);
    document.set_root(a);
    const std::string xml = document.to_xml();
    EXPECT_EQ(xml.substr(kHeader.size()), "<a>" + written + "</a>") << debug_quote(value);
    const auto again = Document::parse(xml);
    ASSERT_TRUE(again.has_value()) << debug_quote(value);
    EXPECT_EQ(again->node(*again->root()).value, read_back) << debug_quote(value);
  }
}

// Attribute values are read untrimmed, so a blank one is written as it is.
TEST(XmlWriter, BlankAttributeValuesAreWrittenAsTheyAre) {
  Document document;
  const NodeId a = document.new_element("a", "");
  document.set_root(a);
  const std::string values[] = {" ", "\n\t", "\u00a0\u3000", "\v"};
  for (const std::string& value : values) document.add_attribute(a, "v", value);
  const std::string xml = document.to_xml();
  EXPECT_EQ(xml.substr(kHeader.size()),
            "<a v=\" \" v=\"\n\t\" v=\"\u00a0\u3000\" v=\"\v\"/>");
  const auto again = Document::parse(xml);
  ASSERT_TRUE(again.has_value());
  const std::span<const NodeId> attributes = again->attributes(*again->root());
  ASSERT_EQ(attributes.size(), std::size(values));
  for (std::size_t k = 0; k < attributes.size(); ++k) {
    EXPECT_EQ(again->node(attributes[k]).value, values[k]);
  }
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
