#include <gtest/gtest.h>

#include "text/quote.h"
#include "tree/document.h"

namespace vindle {
namespace {

// A compact picture of a read document: name, [attributes], ="value",
// (children). Fine for the small documents here.
void dump(const Document& document, NodeId id, std::string& out) {
  const Node node = document.node(id);
  out += node.name;
  if (!node.attributes.empty()) {
    out += '[';
    for (const NodeId attribute : node.attributes) {
      if (attribute != node.attributes.front()) out += ' ';
      out += std::string(document.node(attribute).name) + "=" +
             debug_quote(document.node(attribute).value);
    }
    out += ']';
  }
  if (!node.value.empty()) out += "=" + debug_quote(node.value);
  if (!node.children.empty()) {
    out += '(';
    for (const NodeId child : node.children) {
      if (child != node.children.front()) out += ' ';
      dump(document, child, out);
    }
    out += ')';
  }
}

std::string read(std::string_view xml) {
  const auto document = Document::parse(xml);
  if (!document) return "error: " + document.error();
  std::string out;
  dump(*document, *document->root(), out);
  return out;
}

using Cases = std::vector<std::pair<std::string, std::string>>;

void expect_reads(const Cases& cases) {
  for (const auto& [xml, expected] : cases) EXPECT_EQ(read(xml), expected) << debug_quote(xml);
}

TEST(XmlReader, TextAroundTheRootAndMarkupOtherThanTagsIsPassedOver) {
  expect_reads({
      {"<?xml version=\"1.0\"?>\n<data><q>5</q></data>\n", R"(data(q="5"))"},
      {"\xEF\xBB\xBFstray text <data/> more text", "data"},
      {"<!DOCTYPE data><!-- note --><data/><?pi x?>", "data"},
      {"<a><!-- c --></a>", "a"},
      {"<!DOCTYPE d SYSTEM \"a>b\" [<!ENTITY e '<x>]>'><!-- ]> ' --><?p ]>?>]><d>&e;</d>",
       R"(d="&e;")"},
      {"<a><!x><b/></a>", "a(b)"},  // any other "<!" is passed over as before
  });
}

TEST(XmlReader, MarkupInsideCommentsInstructionsAndCDataIsNotRead) {
  expect_reads({
      {"<data><!-- <b>2</b> --><a>1</a></data>", R"(data(a="1"))"},
      {"<a><!-- <b> --></a>", "a"},
      {"<a><?pi <b> ?><![CDATA[</a><b>]]></a>", R"(a="</a><b>")"},
      {"<a>x<!-- c -->y<b/>z</a>", R"(a="xy"(b))"},
      {"<a>&lt;<![CDATA[&lt; ]]>&gt;</a>", R"(a="<&lt; >")"},
      {"<a>\n  <!-- c -->\n  <b/></a>", "a(b)"},
      {"<a><![CDATA[ ]]></a>", "a"},                    // blank as written
      {"<a><b/><![CDATA[<c/>]]></a>", "a(b)"},          // after a child: passed over
      {"<a><!---><b/>--></a>", "a"},
  });
}

TEST(XmlReader, UnterminatedMarkupIsAnError) {
  expect_reads({
      {"<a><!-- <b/></a>", "error: unterminated comment"},
      {"<a>x<!-- y", "error: unterminated comment"},
      {"<?xml version='1.0'><a/>", "error: unterminated processing instruction"},
      {"<!DOCTYPE a [<!ENTITY e 'x'><a/>", "error: unterminated DOCTYPE"},
      {"<!DOCTYPE a [<!-- ]> --<a/>", "error: unterminated DOCTYPE"},
      {"<a><![CDATA[x]]</a>", "error: unterminated CDATA section"},
  });
}

TEST(XmlReader, OnlyTheFirstNonBlankRunOfTextIsKept) {
  expect_reads({
      {"<a>x<b/>y</a>", R"(a="x"(b))"},
      {"<a>\n  <b>1</b>tail<c>2</c>\n</a>", R"(a(b="1" c="2"))"},
      {"<a> 5 </a>", R"(a=" 5 ")"},
      {"<a>\u00a0\u3000</a>", "a"},                   // Unicode white space is blank
      {"<a>\u200b</a>", R"(a="\u{200b}")"},            // a zero width space is not
      {"<a>&amp;lt;</a>", R"(a="&lt;")"},
      {"<a>&#60;&nbsp;</a>", R"(a="<&nbsp;")"},
      {"<a>x &lt; y &amp;&amp; &quot;z&apos;</a>", R"(a="x < y && \"z'")"},
  });
}

TEST(XmlReader, ARunIsBlankOnlyAsWrittenSoReferencesToWhiteSpaceAreKept) {
  expect_reads({
      {"<a>&#32;</a>", R"(a=" ")"},
      {"<a>&#10;</a>", R"(a="\n")"},
      {"<a>&#x20;&#9;&#13;</a>", R"(a=" \t\r")"},
      {"<a>&#160;&#x2028;&#12288;&#x85;</a>", R"(a="\u{a0}\u{2028}\u{3000}\u{85}")"},
      {"<a> &#32; </a>", R"(a="   ")"},                   // kept untrimmed
      {"<a>\n  &#10;<b/></a>", R"(a="\n  \n"(b))"},
      {"<a>&#10;<!-- c --><?p?></a>", R"(a="\n")"},
      {"<a><!-- c -->&#32;</a>", R"(a=" ")"},
      {"<a><![CDATA[&#32;]]></a>", R"(a="&#32;")"},          // CDATA is not decoded
      {"<a>&#11;&#12;</a>", R"(a="&#11;&#12;")"},          // no XML character: as written
      {"<a>&amp;#32;</a>", R"(a="&#32;")"},
  });
}

TEST(XmlReader, NamesLoseTheirPrefixes) {
  expect_reads({
      {"<x:a xmlns:x='u' x:id='1'/>", R"(a[x="u" id="1"])"},
      {"<x:a></y:a>", "a"},
      {"<a></ a >", "a"},
      {"<a:></b:>", "error: closing </b:> does not match open <a:>"},
      {"<x:a:></y:a:>", "error: closing </y:a:> does not match open <x:a:>"},
      {"<a:><b a:='1' :='2'/></a:>", R"(a:(b[a:="1" :="2"]))"},
      {"<r><></></r>", "r()"},
      {"< /a></ /a>", "/a"},  // a blank before "/" makes a start tag
      {"<a//>", "a"},
      {"<a\u3000b='1'>x</a>", R"(a[b="1"]="x")"},
  });
}

TEST(XmlReader, AttributesAreReadUntilOneCannotBe) {
  expect_reads({
      {"<a b='1' b='2'/>", R"(a[b="1" b="2"])"},
      {"<a b=1 c='2'/>", "a"},
      {"<a b='1' c=2/>", R"(a[b="1"])"},
      {"<a b='x>y'>t</a>", R"(a[b="x>y"]="t")"},
      {"<a b = '1'/>", R"(a[b="1"])"},
      {"<x flag a='1'/>", R"(x[flag a="1"])"},
      {"<a b=\"it's\"c='say \"hi\"'/>", R"(a[b="it's" c="say \"hi\""])"},
      {"<a =' x' b='2'/>", R"(a[b="2"])"},
      {"<a b='&lt;&amp;amp;' c=' '/>", R"(a[b="<&amp;" c=" "])"},
      {"<a b='1' c='unclosed/>", "error: unterminated tag"},
      {"<a b='1' c=/>", R"(a[b="1"])"},
      {"<a b='1'=/>", R"(a[b="1"])"},
  });
}

TEST(XmlReader, ControlCharactersAndBrokenUtf8ReadWithoutFault) {
  using namespace std::string_literals;
  expect_reads({
      {"<a x='\0\x01'>\x7f\0</a>"s, R"(a[x="\0\u{1}"]="\u{7f}\0")"},
      {"\0<a>\x1b</a>\0"s, R"(a="\u{1b}")"},
  });
  const auto document = Document::parse("<a x='\xff'>\xe3\x80</a>\xe3");
  ASSERT_TRUE(document.has_value());
  EXPECT_EQ(document->node(0).value, "\xe3\x80");
  EXPECT_EQ(document->node(1).value, "\xff");
}

TEST(XmlReader, TheSixErrors) {
  expect_reads({
      {"<a></a></a>", "error: closing tag without opening"},
      {"</a>", "error: closing tag without opening"},
      {"<a/><b/>", "error: more than one root element"},
      {"<a></a><a>", "error: more than one root element"},
      {"<a><b></a>", "error: closing </a> does not match open <b>"},
      {"<a></a b='1'>", "error: closing </a b='1'> does not match open <a>"},
      {"< /a></a>", "error: closing </a> does not match open </a>"},
      {"<a><b/>", "error: unclosed elements"},
      {"", "error: no root element"},
      {"<!-- only a comment -->", "error: no root element"},
      {"just text", "error: no root element"},
      {"<a", "error: unterminated tag"},
      {"<a/><", "error: unterminated tag"},
      {"<a b='>'", "error: unterminated tag"},
  });
}

TEST(XmlReader, LocalNameAndEntities) {
  const Cases names = {{"xmlns:jr", "jr"}, {"jr:template", "template"}, {"a:b:c", "c"},
                       {"xmlns", "xmlns"}, {"a:", "a:"},                {"a:b:", "a:b:"},
                       {":", ":"},         {"", ""}};
  for (const auto& [name, local] : names) EXPECT_EQ(local_name(name), local) << name;
  const Cases entities = {
      {"&lt;&gt;&quot;&apos;&amp;", "<>\"'&"},
      {"&amp;lt;", "&lt;"},
      {"&amp;amp;", "&amp;"},
      {"&&lt;;", "&<;"},
      {"&amp", "&amp"},
      {"&#60;&#x3C;&copy;", "<<&copy;"},
      {"Jos&#xE9; &#233;&#x1F600;&#9;&#x10FFFF;", "Jos\u00e9 \u00e9\U0001F600\t\U0010FFFF"},
      {"&amp;#233; &#38;lt;", "&#233; &lt;"},
      // not a character XML allows, or not a reference: kept as written
      {"&#0;&#xD800;&#xFFFE;&#x110000;", "&#0;&#xD800;&#xFFFE;&#x110000;"},
      {"&#99999999999999999999;", "&#99999999999999999999;"},
      {"&#X41;&#x;&#;&#65&#x4G;&# 65;", "&#X41;&#x;&#;&#65&#x4G;&# 65;"},
      {"AT&T", "AT&T"},
  };
  for (const auto& [text, decoded] : entities) EXPECT_EQ(decode_entities(text), decoded) << text;
}

}  // namespace
}  // namespace vindle
