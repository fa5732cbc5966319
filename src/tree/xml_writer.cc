// The instance writer: compact XML with names as stored, no indentation,
// and only four characters escaped. Only the tree under the root is
// written; detached nodes and orphans are not part of the instance.
//
// One exception to writing values as they are: an element value made only
// of white space. The reader takes no run of text that is blank as written,
// so such a value would come back empty; its characters are written as
// character references instead, which are not blank as written and which
// the reader decodes back to the same characters.
#include <charconv>
#include <cstring>

#include "text/unicode.h"
#include "tree/document.h"

namespace vindle {

namespace {

constexpr std::string_view kHeader = "<?xml version='1.0' ?>";

constexpr bool needs_escape(unsigned char c) {
  return c == '"' || c == '&' || c == '<' || c == '>';
}

// Whether the text is not empty and every character of it is White_Space.
bool is_blank_value(std::string_view text) { return !text.empty() && trim_start(text).empty(); }

// Writes a blank value as decimal character references ("&#32;&#10;"),
// except vertical tab and form feed: XML allows them in no form, not even
// as a reference, and the reader leaves "&#11;" as it is written, so they go
// out as the characters themselves. A value made of them alone therefore
// still reads back empty; in any other blank value the references around
// them make the text not blank as written, and they are kept.
void write_blank_value(std::string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = next_code_point(text, i);
    if (c == 0x0B || c == 0x0C) {
      out += static_cast<char>(c);
      continue;
    }
    char digits[8];
    const auto written = std::to_chars(digits, digits + sizeof digits, std::uint32_t{c});
    out += "&#";
    out.append(digits, written.ptr);
    out += ';';
  }
}

}  // namespace

void escape_xml(std::string_view text, std::string& out) {
  std::size_t done = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!needs_escape(c)) continue;
    out.append(text.substr(done, i - done));
    switch (c) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      default: out += "&gt;"; break;
    }
    done = i + 1;
  }
  out.append(text.substr(done));
}

std::string Document::to_xml() const {
  std::string out(kHeader);
  if (root_) write_element(*root_, out);
  return out;
}

void Document::write_element(NodeId id, std::string& out) const {
  // Writes a start tag; the element is complete unless it has children.
  const auto open = [&](NodeId element) {
    const std::string_view name = name_of(element);
    out += '<';
    out += name;
    for (const NodeId attribute : attributes(element)) {
      check(attribute);
      out += ' ';
      out += name_of(attribute);
      out += "=\"";
      escape_xml(value_of(attribute), out);
      out += '"';
    }
    if (records_[element].child_count > 0) {
      out += '>';
      return true;
    }
    const std::string_view value = value_of(element);
    if (value.empty()) {
      out += "/>";
    } else {
      out += '>';
      if (is_blank_value(value)) {
        write_blank_value(value, out);
      } else {
        escape_xml(value, out);
      }
      out += "</";
      out += name;
      out += '>';
    }
    return false;
  };

  check(id);
  struct Open {
    NodeId element;
    std::size_t next_child;
  };
  std::vector<Open> stack;
  if (open(id)) stack.push_back({id, 0});
  while (!stack.empty()) {
    Open& top = stack.back();
    const std::span<const NodeId> children = children_of(records_[top.element]);
    if (top.next_child < children.size()) {
      const NodeId child = children[top.next_child++];
      check(child);
      if (open(child)) stack.push_back({child, 0});
    } else {
      out += "</";
      out += name_of(top.element);
      out += '>';
      stack.pop_back();
    }
  }
}

}  // namespace vindle
