#include "tree/document.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>

#include "text/unicode.h"

namespace vindle {

namespace {

// Up to this many children, finding children by name (and a same-name
// count for path_of) is a scan of the parent's children; above it the
// parent gets a SiblingIndex. A row of a repeat with a few dozen answers,
// asked about by every bind, is cheaper scanned than indexed: an index is
// two hash maps per row, built and freed for every row of the instance.
constexpr std::size_t kScanLimit = 64;

// Where `id` is in a list that holds it at most once, or `last`. Lists
// made by the reader and grown by appending run in ascending id order, so
// a binary search finds the node in the common case; a list that has had
// nodes inserted in its middle may not, and is then searched from the end,
// where edits happen most.
template <typename Iterator>
Iterator find_listed(Iterator first, Iterator last, NodeId id) {
  // A binary search that only narrows the range, whatever order it holds.
  Iterator low = first;
  for (auto count = last - first; count > 0;) {
    const auto half = count / 2;
    if (*(low + half) < id) {
      low += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  if (low != last && *low == id) return low;
  for (Iterator probe = last; probe != first;) {
    if (*--probe == id) return probe;
  }
  return last;
}

std::string describe_invalid(NodeId id, std::size_t size) {
  return "node id " + std::to_string(id) + " is not in the document (it has " +
         std::to_string(size) + " nodes)";
}

}  // namespace

Document::Document(const Document&) = default;
Document::Document(Document&&) = default;
Document& Document::operator=(const Document&) = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

InvalidNodeId::InvalidNodeId(NodeId id, std::size_t size)
    : std::logic_error(describe_invalid(id, size)), id_(id) {}

void Document::throw_invalid(NodeId id) const { throw InvalidNodeId(id, records_.size()); }

void Document::check_placeable(NodeId new_parent, NodeId node) const {
  if (const std::uint32_t parent = records_[node].parent; parent != kNone) {
    throw InvalidEdit("node " + std::to_string(node) + " is already placed under node " +
                      std::to_string(parent) + " — detach it before placing it again");
  }
  // A node without parent can still be the top of the subtree that holds
  // new_parent; placing it there would close a loop. Only a node with
  // children can be an ancestor, so a fresh node (the common case: paths
  // and rows are built from new elements) needs no walk up the tree.
  if (records_[node].child_count == 0) {
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
    const std::uint32_t up = records_[current].parent;
    if (up == kNone) break;
    check(up);
    current = up;
  }
}

std::uint64_t Document::store_text(std::string_view value) {
  const std::uint64_t at = text_.size();
  text_.append(value.data(), value.size());
  return at;
}

NodeId Document::push_node(NameTable::Index name, std::string_view value, bool is_attribute) {
  const NodeId id = records_.size();
  if (id >= kNone) throw std::bad_alloc();
  const std::uint64_t value_at = store_text(value);
  records_.push_back(Record{
      .value_at = value_at,
      .links_at = 0,
      .value_size = value.size(),
      .parent = kNone,
      .name = name | (is_attribute ? kAttributeBit : 0),
      .attribute_count = 0,
      .child_count = 0,
      .link_capacity = 0,
      .order = kUnnumbered32,
  });
  return id;
}

void Document::reserve_links(NodeId id, std::uint64_t needed, bool exact) {
  Record& record = records_[id];
  if (needed <= record.link_capacity) return;
  if (needed >= kNone) throw std::bad_alloc();
  const std::uint64_t count = record.attribute_count + record.child_count;
  // A list that ends the array grows where it is.
  if (!exact && record.link_capacity > 0 &&
      record.links_at + record.link_capacity == links_.size()) {
    const std::uint64_t more = std::max<std::uint64_t>(needed, 2 * record.link_capacity);
    links_.extend(more - record.link_capacity);
    record.link_capacity = static_cast<std::uint32_t>(more);
    return;
  }
  const std::uint64_t capacity =
      exact ? needed
            : std::min<std::uint64_t>(
                  std::max<std::uint64_t>({needed, 2 * record.link_capacity, 4}), kNone - 1);
  const std::uint64_t at = links_.size();
  links_.extend(capacity);
  // The old run stays where it was, unused; the array may have moved.
  std::copy_n(links_.data() + record.links_at, count, links_.data() + at);
  record.links_at = at;
  record.link_capacity = static_cast<std::uint32_t>(capacity);
}

void Document::index_added(NodeId parent, std::size_t position) {
  if (sibling_indexes_.empty()) return;
  SiblingIndex* const index = existing_index(parent);
  if (index == nullptr) return;
  // An index that missed the child would mislead every later lookup under
  // this parent; without one, the parent is scanned or indexed afresh.
  try {
    const std::span<const NodeId> children = children_of(records_[parent]);
    const NodeId child = children[position];
    const NameTable::Index name = name_index(child);
    SiblingIndex::NodeList& named = index->by_name[name];
    // The child comes right after the nearest namesake before it in the
    // parent's list; a child added at the end comes last.
    std::size_t at = named.size();
    if (position + 1 < children.size() && !named.empty()) {
      at = 0;
      for (std::size_t k = position; k > 0; --k) {
        const NodeId before = children[k - 1];
        if (name_index(before) != name) continue;
        const auto listed = find_listed(named.begin(), named.end(), before);
        if (listed != named.end()) at = static_cast<std::size_t>(listed - named.begin()) + 1;
        break;
      }
    }
    if (at == named.size()) {
      named.push_back(child);
      if (index->places_known) set_place(child, named.size());
    } else {
      named.insert(named.begin() + static_cast<std::ptrdiff_t>(at), child);
      index->places_known = false;
    }
  } catch (...) {
    drop_index(parent);
    throw;
  }
}

void Document::index_removed(NodeId parent, NodeId child) {
  if (sibling_indexes_.empty()) return;
  SiblingIndex* const index = existing_index(parent);
  if (index == nullptr) return;
  SiblingIndex::NodeList* const named = index->by_name.find(name_index(child));
  if (named == nullptr) return;
  SiblingIndex::NodeList& list = *named;
  // The child's stale place is harmless: places are checked against the
  // lists.
  if (!list.empty() && list.back() == child) {
    list.pop_back();
    return;
  }
  const auto at = find_listed(list.begin(), list.end(), child);
  if (at == list.end()) return;
  list.erase(at);
  index->places_known = false;
}

void Document::drop_index(NodeId parent) {
  // The index's slot stays unused; it is empty, and this happens only when
  // memory ran out.
  if (SiblingIndex* const index = existing_index(parent)) {
    *index = SiblingIndex();
    wide_parents_[parent] = 0;
  }
}

std::optional<Document::NameId> Document::find_name(std::string_view name) const {
  return names_.find(name);
}

void Document::set_root(std::optional<NodeId> id) {
  if (id) check(*id);
  root_ = id;
  forget_order();
}

NodeId Document::new_element(std::string_view name, std::string_view value) {
  return push_node(names_.intern(name), value, false);
}

void Document::add_attribute(NodeId owner, std::string_view name, std::string_view value) {
  check(owner);
  const NodeId id = push_node(names_.intern(name), value, true);
  Record& record = records_[owner];
  reserve_links(owner, std::uint64_t{record.attribute_count} + record.child_count + 1);
  records_[id].parent = static_cast<std::uint32_t>(owner);
  // The new attribute goes after the others, before the children.
  NodeId* links = links_.data() + record.links_at;
  std::copy_backward(links + record.attribute_count,
                     links + record.attribute_count + record.child_count,
                     links + record.attribute_count + record.child_count + 1);
  links[record.attribute_count] = id;
  ++record.attribute_count;
}

void Document::remove_attribute(NodeId owner, std::string_view name) {
  check(owner);
  const std::optional<NameTable::Index> wanted = names_.find(name);
  if (!wanted) return;
  Record& record = records_[owner];
  NodeId* links = links_.data() + record.links_at;
  NodeId* const end = links + record.attribute_count + record.child_count;
  NodeId* kept = links;
  for (NodeId* at = links; at != links + record.attribute_count; ++at) {
    check(*at);
    if (name_index(*at) == *wanted) {
      records_[*at].parent = kNone;
    } else {
      *kept++ = *at;
    }
  }
  const auto removed = static_cast<std::uint32_t>(links + record.attribute_count - kept);
  if (removed == 0) return;
  std::copy(links + record.attribute_count, end, kept);
  record.attribute_count -= removed;
}

void Document::append_child(NodeId parent, NodeId child) {
  check(parent);
  check(child);
  check_placeable(parent, child);
  Record& record = records_[parent];
  reserve_links(parent, std::uint64_t{record.attribute_count} + record.child_count + 1);
  links_[record.links_at + record.attribute_count + record.child_count] = child;
  ++record.child_count;
  records_[child].parent = static_cast<std::uint32_t>(parent);
  index_added(parent, record.child_count - 1);
  forget_order();
}

void Document::insert_after(NodeId anchor, NodeId node) {
  check(anchor);
  check(node);
  const std::uint32_t parent = records_[anchor].parent;
  if (parent == kNone) return;
  check(parent);
  check_placeable(parent, node);
  Record& record = records_[parent];
  reserve_links(parent, std::uint64_t{record.attribute_count} + record.child_count + 1);
  NodeId* const first = links_.data() + record.links_at + record.attribute_count;
  NodeId* const last = first + record.child_count;
  // A node is listed once, and rows are added near the end: the anchor is
  // looked for from the end.
  NodeId* at = last;
  for (NodeId* probe = last; probe != first;) {
    if (*--probe == anchor) {
      at = probe + 1;
      break;
    }
  }
  std::copy_backward(at, last, last + 1);
  *at = node;
  ++record.child_count;
  records_[node].parent = parent;
  index_added(parent, static_cast<std::size_t>(at - first));
  forget_order();
}

void Document::detach(NodeId node) {
  check(node);
  const std::uint32_t parent = records_[node].parent;
  if (parent == kNone) return;
  check(parent);
  Record& record = records_[parent];
  NodeId* const first = links_.data() + record.links_at + record.attribute_count;
  NodeId* const last = first + record.child_count;
  // A node is listed once (an attribute is not listed at all); the
  // children after it move down by one.
  if (NodeId* const at = find_listed(first, last, node); at != last) {
    std::copy(at + 1, last, at);
    --record.child_count;
    index_removed(parent, node);
  }
  records_[node].parent = kNone;
  forget_order();
}

void Document::detach_all(std::span<const NodeId> nodes) {
  for (const NodeId node : nodes) check(node);
  std::vector<std::uint32_t> parents;
  parents.reserve(nodes.size());
  for (const NodeId node : nodes) {
    const std::uint32_t parent = records_[node].parent;
    if (parent != kNone) check(parent);
    parents.push_back(parent);
  }
  // A child listed by a parent names it as its parent, until it leaves: so
  // once the leaving nodes name none, each list keeps the children that
  // still name their parent, in one pass. An attribute is in no list, and
  // leaves its owner as detach would have it.
  for (const NodeId node : nodes) records_[node].parent = kNone;
  std::sort(parents.begin(), parents.end());
  parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
  for (const std::uint32_t parent : parents) {
    if (parent == kNone) continue;
    const auto leaves = [&](NodeId child) { return records_[child].parent != parent; };
    Record& record = records_[parent];
    NodeId* const first = links_.data() + record.links_at + record.attribute_count;
    NodeId* const kept = std::remove_if(first, first + record.child_count, leaves);
    record.child_count = static_cast<std::uint32_t>(kept - first);
    if (SiblingIndex* const index = existing_index(parent)) {
      for (SiblingIndex::NodeList& list : index->by_name.values()) std::erase_if(list, leaves);
      index->places_known = false;
    }
  }
  forget_order();
}

void Document::forget_order() {
  tree_order_numbered_ = false;
  elements_by_name_.reset();
}

void Document::renumber() {
  elements_by_name_.reset();
  // Marked numbered only once the numbering is whole: a walk that runs out
  // of memory half-way leaves the document marked as edited, not as
  // numbered with the old numbers.
  tree_order_numbered_ = false;
  for (std::size_t id = 0; id < records_.size(); ++id) records_[id].order = kUnnumbered32;
  if (!root_) {
    tree_order_numbered_ = true;
    return;
  }
  std::uint32_t counter = 0;
  std::vector<NodeId> stack{*root_};
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    check(id);
    records_[id].order = counter++;
    for (const NodeId attribute : attributes(id)) {
      check(attribute);
      records_[attribute].order = counter++;
    }
    const std::span<const NodeId> below = children(id);
    stack.insert(stack.end(), below.rbegin(), below.rend());
  }
  tree_order_numbered_ = true;
}

NodeId Document::copy_subtree(const Document& source, NodeId node, Document& target) {
  source.check(node);
  struct Pending {
    NodeId source;
    NodeId parent_copy;
  };
  constexpr NodeId kTop = ~NodeId{0};
  const bool same = &source == &target;
  std::vector<Pending> stack{{node, kTop}};
  NodeId top = 0;
  // Source and target may be the same document, whose arrays move as the
  // copy grows: everything is looked up by index afresh after every
  // creation.
  while (!stack.empty()) {
    const Pending pending = stack.back();
    stack.pop_back();
    source.check(pending.source);
    const NameTable::Index name =
        same ? source.name_index(pending.source) : target.names_.intern(source.name_of(pending.source));
    const NodeId copy = target.push_node(name, source.value_of(pending.source), false);
    const std::uint32_t attribute_count = source.records_[pending.source].attribute_count;
    const std::uint32_t child_count = source.records_[pending.source].child_count;
    // The copy's list gets its exact room now; its children fill it as they
    // are made.
    target.reserve_links(copy, std::uint64_t{attribute_count} + child_count, true);
    for (std::uint32_t k = 0; k < attribute_count; ++k) {
      const NodeId attribute = source.links_[source.records_[pending.source].links_at + k];
      source.check(attribute);
      const NameTable::Index attribute_name =
          same ? source.name_index(attribute) : target.names_.intern(source.name_of(attribute));
      const NodeId attribute_copy =
          target.push_node(attribute_name, source.value_of(attribute), true);
      target.records_[attribute_copy].parent = static_cast<std::uint32_t>(copy);
      Record& record = target.records_[copy];
      target.links_[record.links_at + record.attribute_count++] = attribute_copy;
    }
    if (pending.parent_copy != kTop) {
      target.records_[copy].parent = static_cast<std::uint32_t>(pending.parent_copy);
      Record& parent = target.records_[pending.parent_copy];
      target.links_[parent.links_at + parent.attribute_count + parent.child_count++] = copy;
    } else {
      top = copy;
    }
    const std::span<const NodeId> children = source.children(pending.source);
    for (std::size_t k = children.size(); k > 0; --k) stack.push_back({children[k - 1], copy});
  }
  return top;
}

NodeId Document::import_subtree(const Document& source, NodeId source_node) {
  return copy_subtree(source, source_node, *this);
}

NodeId Document::copy_subtree_to(NodeId node, Document& target) const {
  return copy_subtree(*this, node, target);
}

void Document::set_value(NodeId id, std::string_view value) {
  check(id);
  Record& record = records_[id];
  if (value.size() <= record.value_size) {
    // Values are never shared, so a shorter one is written in place. A
    // document without any text yet has no text array to write into, and
    // an empty value has nothing to write.
    if (!value.empty()) std::memmove(text_.data() + record.value_at, value.data(), value.size());
    text_garbage_ += record.value_size - value.size();
    record.value_size = value.size();
  } else {
    const std::uint64_t old_size = record.value_size;
    const std::uint64_t at = store_text(value);
    Record& moved = records_[id];
    moved.value_at = at;
    moved.value_size = value.size();
    text_garbage_ += old_size;
  }
  // Once the garbage outweighs the rest (and every node's share of a
  // rewrite), the values are written anew without it.
  const std::uint64_t live = text_.size() - text_garbage_;
  if (text_garbage_ > std::max<std::uint64_t>({live, 8 * records_.size(), 1 << 20})) {
    StoreArray<char> compact;
    compact.reserve(live);
    for (std::size_t k = 0; k < records_.size(); ++k) {
      Record& each = records_[k];
      const std::uint64_t at = compact.size();
      compact.append(text_.data() + each.value_at, each.value_size);
      each.value_at = at;
    }
    text_ = std::move(compact);
    text_garbage_ = 0;
  }
}

std::vector<NodeId> Document::elements_named(std::string_view name) const {
  if (!root_) return {};
  const std::optional<NameTable::Index> wanted = names_.find(name);
  if (!wanted) return {};
  if (!tree_order_numbered_) {
    std::vector<NodeId> found;
    if (name_index(*root_) == *wanted) found.push_back(*root_);
    for (const NodeId id : descendants(*root_)) {
      if (name_index(id) == *wanted) found.push_back(id);
    }
    return found;
  }
  if (!elements_by_name_) {
    // One pre-order walk indexes every element by name; in a tree numbered
    // in its own order that is document order.
    auto& index = elements_by_name_.emplace(names_.size());
    std::vector<NodeId> stack{*root_};
    while (!stack.empty()) {
      const NodeId id = stack.back();
      stack.pop_back();
      check(id);
      index[name_index(id)].push_back(id);
      const std::span<const NodeId> below = children_of(records_[id]);
      stack.insert(stack.end(), below.rbegin(), below.rend());
    }
  }
  return *wanted < elements_by_name_->size() ? (*elements_by_name_)[*wanted]
                                             : std::vector<NodeId>();
}

std::vector<NodeId> Document::ancestors(NodeId id) const {
  check(id);
  std::vector<NodeId> result;
  for (std::uint32_t up = records_[id].parent; up != kNone; up = records_[up].parent) {
    check(up);
    result.push_back(up);
  }
  return result;
}

std::vector<NodeId> Document::descendants(NodeId id) const {
  const std::span<const NodeId> start = children(id);
  std::vector<NodeId> result;
  if (start.empty()) return result;
  if (tree_order_numbered_ && records_[id].order != kUnnumbered32) {
    // The subtree is numbered in one run, which ends at the last node on
    // the way down through last children (or that node's last attribute):
    // room for all of it, attributes included, is room enough.
    NodeId last = id;
    while (records_[last].child_count > 0) {
      last = children_of(records_[last]).back();
      check(last);
    }
    const std::span<const NodeId> last_attributes = attributes(last);
    if (!last_attributes.empty()) last = last_attributes.back();
    check(last);
    if (records_[last].order != kUnnumbered32 && records_[last].order > records_[id].order) {
      result.reserve(records_[last].order - records_[id].order);
    }
  }
  std::vector<NodeId> stack(start.rbegin(), start.rend());
  while (!stack.empty()) {
    const NodeId next = stack.back();
    stack.pop_back();
    check(next);
    result.push_back(next);
    const std::span<const NodeId> below = children_of(records_[next]);
    stack.insert(stack.end(), below.rbegin(), below.rend());
  }
  // Right after a renumber the walk is already in document order; only
  // after edits does it need sorting.
  const auto by_order = [this](NodeId a, NodeId b) {
    return unchecked_order_key(a) < unchecked_order_key(b);
  };
  if (!std::is_sorted(result.begin(), result.end(), by_order)) {
    std::stable_sort(result.begin(), result.end(), by_order);
  }
  return result;
}

std::string Document::string_value(NodeId id) const {
  check(id);
  if (records_[id].child_count == 0) return std::string(value_of(id));
  const std::vector<NodeId> below = descendants(id);
  std::size_t length = records_[id].value_size;
  for (const NodeId d : below) length += records_[d].value_size;
  std::string result;
  result.reserve(length);
  result += value_of(id);
  for (const NodeId d : below) result += value_of(d);
  return result;
}

std::optional<std::string> Document::attribute(NodeId id, std::string_view name) const {
  for (const NodeId attribute : attributes(id)) {
    check(attribute);
    if (name_of(attribute) == name) return std::string(value_of(attribute));
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
  // A name the table does not hold belongs to no node, so a document
  // without any of the names is not walked at all; the walk compares the
  // names' indexes.
  std::vector<NameTable::Index> wanted;
  wanted.reserve(names.size());
  std::size_t missing = 0;
  for (const std::string_view name : names) {
    const std::optional<NameTable::Index> index = names_.find(name);
    wanted.push_back(index.value_or(kNone));
    missing += index.has_value();
  }
  std::vector<std::optional<NodeId>> found(wanted.size());
  const auto consider = [&](NodeId id) {
    const NameTable::Index name = name_index(id);
    for (std::size_t k = 0; k < wanted.size(); ++k) {
      if (!found[k] && wanted[k] == name) {
        found[k] = id;
        --missing;
      }
    }
  };
  if (root_ && missing > 0) {
    if (tree_order_numbered_) {
      // The tree has not changed since it was numbered, so a pre-order walk
      // meets nodes in document order and may stop once all are found.
      const std::span<const NodeId> top = children_of(records_[*root_]);
      std::vector<NodeId> stack(top.rbegin(), top.rend());
      while (!stack.empty() && missing > 0) {
        const NodeId next = stack.back();
        stack.pop_back();
        check(next);
        consider(next);
        const std::span<const NodeId> below = children_of(records_[next]);
        stack.insert(stack.end(), below.rbegin(), below.rend());
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
  if (const SiblingIndex* found = existing_index(parent)) return *found;
  // Built aside and placed last, so that running out of memory half way
  // leaves the parent without an index rather than with half of one.
  SiblingIndex index;
  SiblingIndex::NodeList* named = nullptr;
  NameTable::Index last_name = kNone;  // no name's index
  for (const NodeId child : children_of(records_[parent])) {
    check(child);
    // Rows of a repeat follow one another: their name is looked up once.
    const NameTable::Index name = name_index(child);
    if (name != last_name) {
      named = &index.by_name[name];
      last_name = name;
    }
    named->push_back(child);
  }
  if (parent >= wide_parents_.size()) wide_parents_.resize(parent + 1);
  sibling_indexes_.push_back(std::move(index));
  wide_parents_[parent] = kIndexed | static_cast<std::uint32_t>(sibling_indexes_.size() - 1);
  return sibling_indexes_.back();
}

const Document::SiblingIndex* Document::named_index(NodeId parent) const {
  // A narrow parent is scanned even when it kept an index from wider days:
  // the index is current, so both give the same answer.
  if (records_[parent].child_count <= kScanLimit) return nullptr;
  if (const SiblingIndex* found = existing_index(parent)) return found;
  // An index pays for itself only when the same wide parent is asked again
  // and again (every bind of a large form under one group, every edit of a
  // long repeat); a parent asked once or twice is scanned.
  constexpr std::uint32_t kScansBeforeIndex = 2;
  if (parent >= wide_parents_.size()) wide_parents_.resize(parent + 1);
  if (++wide_parents_[parent] <= kScansBeforeIndex) return nullptr;
  return &sibling_index(parent);
}

std::optional<NodeId> Document::child_named(NodeId parent, std::string_view name,
                                            std::uint64_t place) const {
  check(parent);
  const std::optional<NameTable::Index> wanted = names_.find(name);
  if (!wanted || place == 0) return std::nullopt;
  if (const SiblingIndex* index = named_index(parent)) {
    const SiblingIndex::NodeList* named = index->by_name.find(*wanted);
    if (named == nullptr || place > named->size()) return std::nullopt;
    return (*named)[place - 1];
  }
  for (const NodeId child : children_of(records_[parent])) {
    check(child);
    if (name_index(child) == *wanted && --place == 0) return child;
  }
  return std::nullopt;
}

std::uint64_t Document::count_children_named(NodeId parent, std::string_view name) const {
  check(parent);
  const std::optional<NameTable::Index> wanted = names_.find(name);
  if (!wanted) return 0;
  if (const SiblingIndex* index = named_index(parent)) {
    const SiblingIndex::NodeList* named = index->by_name.find(*wanted);
    return named == nullptr ? 0 : named->size();
  }
  std::uint64_t count = 0;
  for (const NodeId child : children_of(records_[parent])) {
    check(child);
    count += name_index(child) == *wanted;
  }
  return count;
}

std::vector<NodeId> Document::children_named(NodeId parent, std::string_view name) const {
  const std::span<const NodeId> children = this->children(parent);
  const std::optional<NameTable::Index> wanted = names_.find(name);
  if (!wanted) return {};
  if (const SiblingIndex* index = named_index(parent)) {
    const SiblingIndex::NodeList* named = index->by_name.find(*wanted);
    return named == nullptr ? std::vector<NodeId>() : *named;
  }
  std::vector<NodeId> found;
  for (const NodeId child : children) {
    check(child);
    if (name_index(child) == *wanted) found.push_back(child);
  }
  return found;
}

void Document::append_children_named(NodeId parent, NameId name,
                                     std::vector<NodeId>& out) const {
  check(parent);
  if (const SiblingIndex* index = named_index(parent)) {
    if (const SiblingIndex::NodeList* named = index->by_name.find(name)) {
      out.insert(out.end(), named->begin(), named->end());
    }
    return;
  }
  for (const NodeId child : children_of(records_[parent])) {
    check(child);
    if (name_index(child) == name) out.push_back(child);
  }
}

std::string_view Document::string_value_view(NodeId id, std::string& scratch) const {
  check(id);
  if (records_[id].child_count == 0) return value_of(id);
  scratch = string_value(id);
  return scratch;
}

std::uint64_t Document::step_position(NodeId id) const {
  const NodeId parent = records_[id].parent;
  check(parent);
  const NameTable::Index name = name_index(id);
  const std::span<const NodeId> siblings = children_of(records_[parent]);
  std::uint64_t count = 0;
  std::uint64_t place = 0;
  if (siblings.size() <= kScanLimit) {
    for (const NodeId sibling : siblings) {
      check(sibling);
      if (name_index(sibling) != name) continue;
      ++count;
      if (sibling == id && place == 0) place = count;
    }
  } else {
    const SiblingIndex& index = sibling_index(parent);
    if (const SiblingIndex::NodeList* named = index.by_name.find(name)) {
      count = named->size();
      if (count > 1 && named->back() == id) {
        place = count;
      } else if (count > 1) {
        // Places are kept once asked for, until an edit in the middle of
        // the parent's list.
        if (!index.places_known) {
          for (const SiblingIndex::NodeList& list : index.by_name.values()) {
            for (std::size_t k = 0; k < list.size(); ++k) set_place(list[k], k + 1);
          }
          index.places_known = true;
        }
        if (id < sibling_places_.size()) {
          const std::uint32_t known = sibling_places_[id];
          if (known != 0 && known <= count && (*named)[known - 1] == id) place = known;
        }
      }
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
    const std::uint32_t up = records_[current].parent;
    if (up == kNone) {
      steps.push_back({current, 0});
      break;
    }
    steps.push_back({current, step_position(current)});
    current = up;
  }
  std::size_t length = 0;
  for (const Step& step : steps) {
    length += 1 + name_of(step.node).size();
    if (step.position != 0) length += 2 + std::to_string(step.position).size();
  }
  std::string path;
  path.reserve(length);
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    path += '/';
    path += name_of(step->node);
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

bool Document::precedes(NodeId a, NodeId b) const {
  check(a);
  check(b);
  return unchecked_order_key(a) < unchecked_order_key(b);
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
