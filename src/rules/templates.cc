#include "rules/templates.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vindle {

namespace {

bool is_template(const Document& document, NodeId element) {
  for (const NodeId attribute : document.attributes(element)) {
    if (document.node(attribute).name == "template") return true;
  }
  return false;
}

// Names from the root down to the element, without positions.
std::string names_path(const Document& document, NodeId element) {
  std::vector<NodeId> chain = document.ancestors(element);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += '/';
    path += document.node(*it).name;
  }
  path += '/';
  path += document.node(element).name;
  return path;
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

}  // namespace

TemplateMap collect_repeat_templates(Document& instance) {
  const NodeId root = *instance.root();
  std::vector<NodeId> templates;
  for (const NodeId element : instance.descendants(root)) {
    if (is_template(instance, element)) templates.push_back(element);
  }
  // A nested template's key is read before any template leaves the
  // instance: once its outer template is detached, its own slash path would
  // start at the outer element instead of the root.
  const std::unordered_set<NodeId> listed(templates.begin(), templates.end());
  std::unordered_map<NodeId, std::string> nested_keys;
  for (const NodeId element : templates) {
    for (const NodeId up : instance.ancestors(element)) {
      if (!listed.contains(up)) continue;
      nested_keys.emplace(element, names_path(instance, element));
      break;
    }
  }

  TemplateMap map;
  for (const NodeId element : templates) {
    std::string key;
    if (const auto found = nested_keys.find(element); found != nested_keys.end()) {
      key = found->second;
    } else {
      // Taken now, after the templates before it have left the instance.
      key = instance.path_of(element);
      if (key.ends_with(']')) key.resize(key.rfind('['));
    }
    map.insert_or_assign(std::move(key), clean_copy(instance, element));
    instance.detach(element);
  }
  instance.renumber();
  return map;
}

}  // namespace vindle
