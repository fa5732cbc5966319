// Reads arbitrary bytes as XML; whatever reads must survive a write and a
// second read unchanged, as far as the writer promises: names, attribute
// order and values, and the values of childless elements, blank ones
// included. An element with children is written without its text, so it
// comes back with none; so would a value of vertical tabs and form feeds
// alone, which XML cannot hold, though the reader never makes one.
//
// The reader takes for a name whatever stands where a name should, and the
// writer writes names as they are: a name that is empty (from "<>", "<a:>"
// or an attribute "x:") or holds markup ("< ?x/>", "<a\"x y\"/>") does not
// read back as itself. Documents with such names are written and read, but
// not compared.
//
// dev/fuzz: seeds=xml max_len=32768
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/unicode.h"
#include "tree/document.h"

namespace {

using vindle::Document;
using vindle::NodeId;

[[noreturn]] void fail(const char* what, NodeId a, NodeId b) {
  std::fprintf(stderr, "xml_roundtrip: %s (node %llu against node %llu)\n", what,
               static_cast<unsigned long long>(a), static_cast<unsigned long long>(b));
  std::abort();
}

bool is_plain_name(std::string_view name) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size();) {
    const char32_t c = vindle::next_code_point(name, i);
    if (vindle::is_white_space(c) || std::u32string_view(U"<>/\"'=&?!").contains(c)) return false;
  }
  return true;
}

bool has_plain_names(const Document& document) {
  std::vector<NodeId> stack{*document.root()};
  while (!stack.empty()) {
    const vindle::Node& node = document.node(stack.back());
    stack.pop_back();
    if (!is_plain_name(node.name)) return false;
    for (const NodeId attribute : node.attributes) {
      if (!is_plain_name(document.node(attribute).name)) return false;
    }
    stack.insert(stack.end(), node.children.begin(), node.children.end());
  }
  return true;
}

// Compares the trees under the roots of `a` and `b`. With `exact`, values
// must match everywhere (a copy); otherwise as after a write and a read.
void require_same_tree(const Document& a, const Document& b, bool exact) {
  if (!a.root() || !b.root()) {
    if (a.root() || b.root()) fail("one root is missing", 0, 0);
    return;
  }
  std::vector<std::pair<NodeId, NodeId>> stack{{*a.root(), *b.root()}};
  while (!stack.empty()) {
    const auto [x, y] = stack.back();
    stack.pop_back();
    const vindle::Node& p = a.node(x);
    const vindle::Node& q = b.node(y);
    if (p.name != q.name) fail("element names differ", x, y);
    const bool written_empty =
        !exact && (!p.children.empty() ||
                   p.value.find_first_not_of("\v\f") == std::string_view::npos);
    if (q.value != (written_empty ? std::string() : p.value)) {
      fail("element values differ", x, y);
    }
    const std::span<const NodeId> expected = p.attributes;
    if (expected.size() != q.attributes.size()) fail("attribute counts differ", x, y);
    for (std::size_t k = 0; k < expected.size(); ++k) {
      const vindle::Node& r = a.node(expected[k]);
      const vindle::Node& s = b.node(q.attributes[k]);
      if (r.name != s.name) fail("attribute names differ", expected[k], q.attributes[k]);
      if (r.value != s.value) fail("attribute values differ", expected[k], q.attributes[k]);
      if (s.parent != y) fail("attribute owner is wrong", expected[k], q.attributes[k]);
    }
    if (p.children.size() != q.children.size()) fail("child counts differ", x, y);
    for (std::size_t k = 0; k < p.children.size(); ++k) {
      if (b.node(q.children[k]).parent != y) fail("child parent is wrong", x, q.children[k]);
      stack.emplace_back(p.children[k], q.children[k]);
    }
  }
}

// Slash paths of every node; a deep chain makes the paths' total length
// quadratic in the input, so the walk stops after a fixed amount of text.
void walk_paths(const Document& document) {
  std::size_t total = 0;
  for (NodeId id = 0; id < document.size() && total < (std::size_t{1} << 22); ++id) {
    const std::string path = document.path_of(id);
    if (path.empty() || path.front() != '/') fail("path does not start with /", id, id);
    total += path.size();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto first = Document::parse(text);
  if (!first) return 0;

  const std::string xml = first->to_xml();
  auto second = Document::parse(xml);
  if (has_plain_names(*first)) {
    if (!second) {
      std::fprintf(stderr, "xml_roundtrip: written XML does not read back: %s\n",
                   second.error().c_str());
      std::abort();
    }
    require_same_tree(*first, *second, false);
    if (second->to_xml() != xml) fail("second write differs from the first", 0, 0);
  }

  walk_paths(*first);

  // A deep copy into a fresh document, and one into the document itself.
  Document copy;
  copy.set_root(first->copy_subtree_to(*first->root(), copy));
  copy.renumber();
  require_same_tree(*first, copy, true);
  if (copy.to_xml() != xml) fail("copy writes differently", 0, 0);

  Document& self = *first;
  const NodeId again = self.import_subtree(self, *self.root());
  Document view;
  view.set_root(self.copy_subtree_to(again, view));
  view.renumber();
  require_same_tree(copy, view, true);
  walk_paths(self);
  return 0;
}
