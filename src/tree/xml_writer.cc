// The instance writer: compact XML with names as stored, no indentation,
// and only four characters escaped. Only the tree under the root is
// written; detached nodes and orphans are not part of the instance.
#include <cstring>

#include "tree/document.h"

namespace vindle {

namespace {

constexpr std::string_view kHeader = "<?xml version='1.0' ?>";

constexpr bool needs_escape(unsigned char c) {
  return c == '"' || c == '&' || c == '<' || c == '>';
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
      escape_xml(value, out);
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
