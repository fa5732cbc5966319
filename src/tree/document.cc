#include "tree/document.h"

#include <algorithm>
#include <charconv>

#include "tree/text.h"

namespace vindle {

namespace {

// Up to this many children, a same-name count is a scan of the parent's
// children; above it, path_of builds a SiblingIndex for the parent.
constexpr std::size_t kScanLimit = 16;

std::string describe_invalid(NodeId id, std::size_t size) {
  return "node id " + std::to_string(id) + " is not in the document (it has " +
         std::to_string(size) + " nodes)";
}

}  // namespace

InvalidNodeId::InvalidNodeId(NodeId id, std::size_t size)
    : std::logic_error(describe_invalid(id, size)), id_(id) {}

void Document::check(NodeId id) const {
  if (id >= nodes_.size()) throw InvalidNodeId(id, nodes_.size());
}

void Document::check_placeable(NodeId new_parent, NodeId node) const {
  if (const auto& parent = nodes_[node].parent) {
    throw InvalidEdit("node " + std::to_string(node) + " is already placed under node " +
                      std::to_string(*parent) + " — detach it before placing it again");
  }
  // A node without parent can still be the top of the subtree that holds
  // new_parent; placing it there would close a loop. Only a node with
  // children can be an ancestor, so a fresh node (the common case: paths
  // and rows are built from new elements) needs no walk up the tree.
  if (nodes_[node].children.empty()) {
    if (node == new_parent) {
      throw InvalidEdit("node " + std::to_string(node) + " cannot be placed under node " +
                        std::to_string(new_parent) + ", which is itself or below it");
    }
    return;
  }
  for (NodeId current = new_parent;;) {
    if (current == node) {
      throw InvalidEdit("node " + std::to_string(node) + " cannot be placed under node " +
                        std::to_string(new_parent) + ", which is itself or below it");
    }
    const auto& up = nodes_[current].parent;
    if (!up) break;
    check(*up);
    current = *up;
  }
}

NodeId Document::push_node(std::string name, std::string value, bool is_attribute) {
  const NodeId id = nodes_.size();
  Node& node = nodes_.emplace_back();
  node.name = std::move(name);
  node.value = std::move(value);
  node.is_attribute = is_attribute;
  return id;
}

void Document::forget_siblings(std::optional<NodeId> parent) {
  if (parent && !sibling_indexes_.empty()) sibling_indexes_.erase(*parent);
  if (parent && !name_scans_.empty()) name_scans_.erase(*parent);
}

void Document::set_root(std::optional<NodeId> id) {
  if (id) check(*id);
  root_ = id;
  forget_order();
}

NodeId Document::new_element(std::string_view name, std::string_view value) {
  return push_node(std::string(name), std::string(value), false);
}

void Document::add_attribute(NodeId owner, std::string_view name, std::string_view value) {
  check(owner);
  const NodeId id = push_node(std::string(name), std::string(value), true);
  nodes_[id].parent = owner;
  nodes_[owner].attributes.push_back(id);
}

void Document::append_child(NodeId parent, NodeId child) {
  check(parent);
  check(child);
  check_placeable(parent, child);
  nodes_[child].parent = parent;
  nodes_[parent].children.push_back(child);
  forget_siblings(parent);
  forget_order();
}

void Document::insert_after(NodeId anchor, NodeId node) {
  check(anchor);
  check(node);
  const auto parent = nodes_[anchor].parent;
  if (!parent) return;
  check(*parent);
  check_placeable(*parent, node);
  nodes_[node].parent = *parent;
  auto& siblings = nodes_[*parent].children;
  const auto at = std::find(siblings.begin(), siblings.end(), anchor);
  siblings.insert(at == siblings.end() ? at : at + 1, node);
  forget_siblings(parent);
  forget_order();
}

void Document::detach(NodeId node) {
  check(node);
  const auto parent = nodes_[node].parent;
  if (!parent) return;
  check(*parent);
  std::erase(nodes_[*parent].children, node);
  nodes_[node].parent.reset();
  forget_siblings(parent);
  forget_order();
}

void Document::forget_order() {
  tree_order_numbered_ = false;
  elements_by_name_.reset();
}

void Document::renumber() {
  elements_by_name_.reset();
  tree_order_numbered_ = true;
  if (!root_) {
    order_.clear();
    return;
  }
  order_.assign(nodes_.size(), kUnnumbered);
  std::uint64_t counter = 0;
  std::vector<NodeId> stack{*root_};
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    check(id);
    order_[id] = counter++;
    const Node& node = nodes_[id];
    for (const NodeId attribute : node.attributes) {
      check(attribute);
      order_[attribute] = counter++;
    }
    stack.insert(stack.end(), node.children.rbegin(), node.children.rend());
  }
}

NodeId Document::copy_subtree(const Document& source, NodeId node, Document& target) {
  source.check(node);
  struct Pending {
    NodeId source;
    std::optional<NodeId> parent_copy;
  };
  std::vector<Pending> stack{{node, std::nullopt}};
  NodeId top = 0;
  // Source and target may be the same document, whose store moves as the
  // copy grows: nodes are looked up by index afresh after every creation.
  while (!stack.empty()) {
    const Pending pending = stack.back();
    stack.pop_back();
    source.check(pending.source);
    const NodeId copy = target.push_node(source.nodes_[pending.source].name,
                                         source.nodes_[pending.source].value, false);
    for (std::size_t k = 0; k < source.nodes_[pending.source].attributes.size(); ++k) {
      const NodeId attribute = source.nodes_[pending.source].attributes[k];
      source.check(attribute);
      const NodeId attribute_copy = target.push_node(
          source.nodes_[attribute].name, source.nodes_[attribute].value, true);
      target.nodes_[attribute_copy].parent = copy;
      target.nodes_[copy].attributes.push_back(attribute_copy);
    }
    if (pending.parent_copy) {
      target.nodes_[copy].parent = *pending.parent_copy;
      target.nodes_[*pending.parent_copy].children.push_back(copy);
    } else {
      top = copy;
    }
    const auto& children = source.nodes_[pending.source].children;
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
      stack.push_back({*child, copy});
    }
  }
  return top;
}

NodeId Document::import_subtree(const Document& source, NodeId source_node) {
  return copy_subtree(source, source_node, *this);
}

NodeId Document::copy_subtree_to(NodeId node, Document& target) const {
  return copy_subtree(*this, node, target);
}

Node& Document::node_mut(NodeId id) {
  check(id);
  // The caller may rename the node or reorder its children, either of which
  // changes same-name counts.
  forget_siblings(id);
  forget_siblings(nodes_[id].parent);
  elements_by_name_.reset();
  return nodes_[id];
}

void Document::set_value(NodeId id, std::string_view value) {
  check(id);
  nodes_[id].value.assign(value);
}

std::vector<NodeId> Document::elements_named(std::string_view name) const {
  if (!root_) return {};
  if (!tree_order_numbered_) {
    std::vector<NodeId> found;
    if (nodes_[*root_].name == name) found.push_back(*root_);
    for (const NodeId id : descendants(*root_)) {
      if (nodes_[id].name == name) found.push_back(id);
    }
    return found;
  }
  if (!elements_by_name_) {
    // One pre-order walk indexes every element by name; in a tree numbered
    // in its own order that is document order.
    auto& index = elements_by_name_.emplace();
    std::vector<NodeId> stack{*root_};
    while (!stack.empty()) {
      const NodeId id = stack.back();
      stack.pop_back();
      check(id);
      const Node& node = nodes_[id];
      auto entry = index.find(node.name);
      if (entry == index.end()) entry = index.emplace(node.name, std::vector<NodeId>()).first;
      entry->second.push_back(id);
      stack.insert(stack.end(), node.children.rbegin(), node.children.rend());
    }
  }
  const auto found = elements_by_name_->find(name);
  return found == elements_by_name_->end() ? std::vector<NodeId>() : found->second;
}

const Node& Document::node(NodeId id) const {
  check(id);
  return nodes_[id];
}

std::optional<NodeId> Document::parent(NodeId id) const { return node(id).parent; }

const std::vector<NodeId>& Document::children(NodeId id) const { return node(id).children; }

const std::vector<NodeId>& Document::attributes(NodeId id) const {
  return node(id).attributes;
}

std::vector<NodeId> Document::ancestors(NodeId id) const {
  std::vector<NodeId> result;
  for (auto up = node(id).parent; up; up = nodes_[*up].parent) {
    check(*up);
    result.push_back(*up);
  }
  return result;
}

std::vector<NodeId> Document::descendants(NodeId id) const {
  const Node& start = node(id);
  std::vector<NodeId> result;
  std::vector<NodeId> stack(start.children.rbegin(), start.children.rend());
  while (!stack.empty()) {
    const NodeId next = stack.back();
    stack.pop_back();
    check(next);
    result.push_back(next);
    const auto& children = nodes_[next].children;
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  // Right after a renumber the walk is already in document order; only
  // after edits does it need sorting.
  const auto by_order = [this](NodeId a, NodeId b) { return order_key(a) < order_key(b); };
  if (!std::is_sorted(result.begin(), result.end(), by_order)) {
    std::stable_sort(result.begin(), result.end(), by_order);
  }
  return result;
}

std::string Document::string_value(NodeId id) const {
  const Node& start = node(id);
  if (start.children.empty()) return start.value;
  const std::vector<NodeId> below = descendants(id);
  std::size_t length = start.value.size();
  for (const NodeId d : below) length += nodes_[d].value.size();
  std::string result;
  result.reserve(length);
  result += start.value;
  for (const NodeId d : below) result += nodes_[d].value;
  return result;
}

std::optional<std::string> Document::attribute(NodeId id, std::string_view name) const {
  for (const NodeId attribute : node(id).attributes) {
    check(attribute);
    if (nodes_[attribute].name == name) return nodes_[attribute].value;
  }
  return std::nullopt;
}

std::optional<std::string> Document::nonblank_attribute(NodeId id,
                                                        std::string_view name) const {
  auto value = attribute(id, name);
  if (value && trim(*value).empty()) return std::nullopt;
  return value;
}

std::optional<std::string> Document::find_text(std::string_view name) const {
  return find_texts({name}).front();
}

std::vector<std::optional<std::string>> Document::find_texts(
    std::initializer_list<std::string_view> names) const {
  const std::vector<std::string_view> wanted(names);
  std::vector<std::optional<NodeId>> found(wanted.size());
  std::size_t missing = wanted.size();
  const auto consider = [&](NodeId id) {
    for (std::size_t k = 0; k < wanted.size(); ++k) {
      if (!found[k] && same_bytes(nodes_[id].name, wanted[k])) {
        found[k] = id;
        --missing;
      }
    }
  };
  if (root_) {
    if (tree_order_numbered_) {
      // The tree has not changed since it was numbered, so a pre-order walk
      // meets nodes in document order and may stop once all are found.
      std::vector<NodeId> stack(nodes_[*root_].children.rbegin(),
                                nodes_[*root_].children.rend());
      while (!stack.empty() && missing > 0) {
        const NodeId next = stack.back();
        stack.pop_back();
        check(next);
        consider(next);
        const auto& children = nodes_[next].children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
      }
    } else {
      for (const NodeId d : descendants(*root_)) {
        if (missing == 0) break;
        consider(d);
      }
    }
  }
  std::vector<std::optional<std::string>> texts;
  texts.reserve(found.size());
  for (const std::optional<NodeId>& id : found) {
    std::optional<std::string> text;
    if (id) {
      text = string_value(*id);
      if (trim(*text).empty()) text.reset();
    }
    texts.push_back(std::move(text));
  }
  return texts;
}

const Document::SiblingIndex& Document::sibling_index(NodeId parent) const {
  if (const auto found = sibling_indexes_.find(parent); found != sibling_indexes_.end()) {
    return found->second;
  }
  SiblingIndex& index = sibling_indexes_[parent];
  const auto& children = nodes_[parent].children;
  index.place.reserve(children.size());
  for (const NodeId child : children) {
    check(child);
    const std::string& name = nodes_[child].name;
    auto named = index.by_name.find(name);
    if (named == index.by_name.end()) named = index.by_name.emplace(name, SiblingIndex::NodeList()).first;
    named->second.push_back(child);
    index.place.try_emplace(child, named->second.size());
  }
  return index;
}

std::vector<NodeId> Document::children_named(NodeId parent, std::string_view name) const {
  const auto& children = node(parent).children;
  // An index pays for itself only when the same wide parent is asked again
  // and again (every bind of a large form under one group); a parent asked
  // once or twice is scanned.
  constexpr std::uint32_t kScansBeforeIndex = 2;
  bool scan = children.size() <= kScanLimit;
  if (!scan && !sibling_indexes_.contains(parent)) scan = ++name_scans_[parent] <= kScansBeforeIndex;
  if (scan) {
    std::vector<NodeId> found;
    for (const NodeId child : children) {
      check(child);
      if (same_bytes(nodes_[child].name, name)) found.push_back(child);
    }
    return found;
  }
  const SiblingIndex& index = sibling_index(parent);
  const auto named = index.by_name.find(name);
  return named == index.by_name.end() ? std::vector<NodeId>() : named->second;
}

std::uint64_t Document::step_position(NodeId id) const {
  const Node& node = nodes_[id];
  const NodeId parent = *node.parent;
  check(parent);
  const auto& siblings = nodes_[parent].children;
  std::uint64_t count = 0;
  std::uint64_t place = 0;
  if (siblings.size() <= kScanLimit) {
    for (const NodeId sibling : siblings) {
      check(sibling);
      if (!same_bytes(nodes_[sibling].name, node.name)) continue;
      ++count;
      if (sibling == id && place == 0) place = count;
    }
  } else {
    const SiblingIndex& index = sibling_index(parent);
    if (const auto found = index.by_name.find(node.name); found != index.by_name.end()) {
      count = found->second.size();
    }
    if (const auto found = index.place.find(id); found != index.place.end()) {
      place = found->second;
    }
  }
  if (count <= 1) return 0;
  // An attribute, or a node whose parent does not list it, is counted as
  // the first of its name.
  return place == 0 ? 1 : place;
}

std::string Document::path_of(NodeId id) const {
  check(id);
  struct Step {
    NodeId node;
    std::uint64_t position;
  };
  std::vector<Step> steps;
  for (NodeId current = id;;) {
    const auto& up = nodes_[current].parent;
    if (!up) {
      steps.push_back({current, 0});
      break;
    }
    steps.push_back({current, step_position(current)});
    current = *up;
  }
  std::size_t length = 0;
  for (const Step& step : steps) {
    length += 1 + nodes_[step.node].name.size();
    if (step.position != 0) length += 2 + std::to_string(step.position).size();
  }
  std::string path;
  path.reserve(length);
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    path += '/';
    path += nodes_[step->node].name;
    if (step->position != 0) {
      char digits[24];
      const auto end = std::to_chars(digits, digits + sizeof digits, step->position).ptr;
      path += '[';
      path.append(digits, end);
      path += ']';
    }
  }
  return path;
}

std::optional<std::uint64_t> Document::order_of(NodeId id) const {
  check(id);
  const std::uint64_t key = order_key(id);
  if (key == kUnnumbered) return std::nullopt;
  return key;
}

bool Document::precedes(NodeId a, NodeId b) const {
  check(a);
  check(b);
  return order_key(a) < order_key(b);
}

std::optional<NodeId> find_named(std::span<const NodeId>& ids, const Document& document,
                                 std::string_view name) {
  while (!ids.empty()) {
    const NodeId id = ids.front();
    const bool matches = document.node(id).name == name;
    ids = ids.subspan(1);
    if (matches) return id;
  }
  return std::nullopt;
}

}  // namespace vindle
