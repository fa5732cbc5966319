// Tags made of a name alone (<a>, </a>, <a/>) are read without looking for
// white space, quotes or attributes, and a name is first compared with the
// name that followed the previous one: both read what the general reading
// reads, whatever the names and however they alternate.
#include <gtest/gtest.h>

#include <string>

#include "tree/document.h"

namespace vindle {
namespace {

std::string read(const std::string& xml) {
  auto document = Document::parse(xml);
  return document ? document->to_xml().substr(22) : "error: " + document.error();
}

TEST(PlainTags, ReadAsTheGeneralReadingReadsThem) {
  const std::pair<const char*, const char*> cases[] = {
      // Prefixes go, in start, end and empty-element tags alike.
      {"<x:r><x:a>1</y:a><p:q:b/></x:r>", "<r><a>1</a><b/></r>"},
      // A name with nothing after its colon keeps its whole text, both ways.
      {"<a:>t</a:>", "<a:>t</a:>"},
      {"<a: >t</a: >", "<a:>t</a:>"},
      {"<r><p:a:/><p:a: /></r>", "<r><p:a:/><p:a:/></r>"},
      // Names that follow each other in changing orders, and names that
      // begin like the name expected next.
      {"<r><a>1</a><ab>2</ab><a>3</a><b>4</b><a>5</a><ab>6</ab></r>",
       "<r><a>1</a><ab>2</ab><a>3</a><b>4</b><a>5</a><ab>6</ab></r>"},
      {"<r><ab></a></r>", "error: closing </a> does not match open <ab>"},
      {"<r><a></ab></r>", "error: closing </ab> does not match open <a>"},
      // The same tags with white space or an attribute take the general way.
      {"<r ><a >1</a ><b /><c x='1'/></r>", "<r><a>1</a><b/><c x=\"1\"/></r>"},
      {"<r></ r>", "<r/>"},
      {"<r></r/>", "error: closing </r/> does not match open <r>"},
      // A run of text that meets a comment, an instruction or "<!" alone.
      {"<r><a>x<!-- c -->y</a><b>x<?p?>z</b><c>x<!y</c></r>",
       "<r><a>xy</a><b>xz</b><c>x</c></r>"},
      {"<r><a> <!-- c --> </a><b><![CDATA[]]></b></r>", "<r><a/><b/></r>"},
      {"<r><a>1<!-- c", "error: unterminated comment"},
  };
  for (const auto& [xml, expected] : cases) EXPECT_EQ(read(xml), expected) << xml;
}

}  // namespace
}  // namespace vindle
