#include "rules/templates.h"

#include <charconv>
#include <iterator>
#include <string>
#include <vector>

namespace vindle {

namespace {

bool is_template(const Document& document, NodeId element) {
  for (const NodeId attribute : document.attributes(element)) {
    if (document.node(attribute).name == "template") return true;
  }
  return false;
}

// A copy of the template element without its own "template" attributes and
// without the template elements below it.
Document clean_copy(const Document& instance, NodeId element) {
  Document copy;
  const NodeId root = copy.import_subtree(instance, element);
  copy.set_root(root);
  copy.remove_attribute(root, "template");
  for (const NodeId below : copy.descendants(root)) {
    if (is_template(copy, below)) copy.detach(below);
  }
  copy.renumber();
  return copy;
}

// The keys of the templates as they are taken out in document order, each
// keyed by its slash path once the templates before it have left the
// instance, worked out while all are still in it: taking them out one by
// one, each path would count its parent's children afresh.
//
// A template leaves nothing but its own place, so of the children of a
// parent on a template's way up, the ones gone by its turn are the
// templates among them before it: everything before a node on the way up
// comes before the template in document order, everything after it comes
// after. So a step's "[n]" counts the node's namesakes, less the templates
// among those before it.
class TemplateKeys {
 public:
  TemplateKeys(const Document& instance, const std::vector<bool>& listed)
      : instance_(instance), listed_(listed), step_(instance.size()), counted_(instance.size()) {}

  std::string key(NodeId element) {
    std::vector<NodeId> chain{element};
    bool nested = false;
    for (std::optional<NodeId> up = instance_.parent(element); up; up = instance_.parent(*up)) {
      chain.push_back(*up);
      nested = nested || listed_[*up];
    }
    std::string path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
      path += '/';
      path += instance_.node(*at).name;
      // A nested template is keyed by its names from the root, read before
      // its outer template leaves. The template's own step takes no "[n]":
      // the first of several, /data/rep[1], is keyed /data/rep, and a name
      // that itself ends in "]" is kept whole.
      if (nested || at == chain.rbegin() || at + 1 == chain.rend()) continue;
      const std::uint32_t position = step(*at, *std::prev(at));
      if (position == 0) continue;
      char digits[16];
      const auto end = std::to_chars(digits, digits + sizeof digits, position).ptr;
      path += '[';
      path.append(digits, end);
      path += ']';
    }
    return path;
  }

 private:
  // The "[n]" of the node's step at the template's turn, 0 for none.
  std::uint32_t step(NodeId node, NodeId parent) {
    if (!counted_[parent]) count_children(parent);
    return step_[node];
  }

  // The steps of all the parent's children, in one pass over them with a
  // count per name.
  void count_children(NodeId parent) {
    counted_[parent] = true;
    const std::span<const NodeId> children = instance_.children(parent);
    for (const NodeId child : children) {
      const Document::NameId name = instance_.name_id(child);
      if (name >= names_.size()) names_.resize(name + 1);
      ++names_[name].all;
    }
    for (const NodeId child : children) {
      Counts& counts = names_[instance_.name_id(child)];
      const std::uint32_t left = counts.all - counts.gone;
      ++counts.seen;
      step_[child] = left > 1 ? counts.seen - counts.gone : 0;
      if (listed_[child]) ++counts.gone;
    }
    for (const NodeId child : children) names_[instance_.name_id(child)] = Counts();
  }

  struct Counts {
    std::uint32_t all = 0;   // the parent's children of the name
    std::uint32_t seen = 0;  // of them, up to this child
    std::uint32_t gone = 0;  // templates among them before this child
  };
  const Document& instance_;
  const std::vector<bool>& listed_;
  std::vector<std::uint32_t> step_;  // by node id
  std::vector<bool> counted_;        // by node id
  std::vector<Counts> names_;        // by name index, zero between parents
};

}  // namespace

TemplateMap collect_repeat_templates(Document& instance) {
  const NodeId root = *instance.root();
  std::vector<NodeId> templates;
  std::vector<bool> listed(instance.size());
  for (const NodeId element : instance.descendants(root)) {
    if (!is_template(instance, element)) continue;
    templates.push_back(element);
    listed[element] = true;
  }
  TemplateMap map;
  if (!templates.empty()) {
    // Every key and copy is taken before any template leaves: a template
    // leaves nothing but its place, so each copy is what it would be at its
    // turn, and the keys count what would be left. A later template with
    // the same key replaces an earlier one, so only the last of each key is
    // copied.
    TemplateKeys keys(instance, listed);
    for (auto element = templates.rbegin(); element != templates.rend(); ++element) {
      std::string key = keys.key(*element);
      if (map.contains(key)) continue;
      map.emplace(std::move(key), clean_copy(instance, *element));
    }
    instance.detach_all(templates);
  }
  instance.renumber();
  return map;
}

}  // namespace vindle
