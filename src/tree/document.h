// The document tree: every XML document the system reads, builds or edits
// is a `Document`, a store of element and attribute `Node`s that refer to
// each other by `NodeId`, the node's index in the store. There are no text
// nodes: an element's first run of text is its `value`.
//
// Nodes are only ever appended, so an id stays valid for the life of its
// document; a detached node stays in the store as an orphan. Document order
// (an element, then its attributes, then its children's subtrees) is a
// derived index that only `renumber` rebuilds, so queries that depend on it
// see the numbering of the last renumber.
//
// The store is a handful of arrays owned by the document: one record of 48
// bytes per node (links to other nodes as 32-bit indexes, the name as an
// index into the document's name table, the value as a place in the
// document's text), the lists of attributes and children, and the text of
// the values. Nodes are never allocated one by one, and a dropped document
// gives its memory back whole. A document holds fewer than 2^32 nodes; a
// store that would grow past that, or past the machine's memory, throws
// std::bad_alloc.
//
// Nothing here recurses on the depth of a tree: every walk keeps its own
// stack, so a document nested a million levels deep is as safe as a flat one.
//
// An id that does not index the store is a caller's error, as is an edit
// that would list a node under two parents or make it its own ancestor:
// those throw (`InvalidNodeId`, `InvalidEdit`) before anything changes.
// Everything else is total: absent things come back as none or empty.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <expected>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "text/bounded_map.h"
#include "tree/names.h"
#include "tree/store_allocator.h"

namespace vindle {

using NodeId = std::uint64_t;

// One element or attribute as the queries hand it out: a view into the
// document's store, valid until the next edit or node creation.
struct Node {
  // For an attribute, the element that owns it; none for a root or a
  // detached node.
  std::optional<NodeId> parent;
  std::string_view name;   // local name, without prefix
  std::string_view value;  // an element's own text, or an attribute's value
  std::span<const NodeId> children;    // child elements in order, never attributes
  std::span<const NodeId> attributes;  // in source order; names may repeat
  // Kept and copied, but no decision reads it: an attribute is an attribute
  // because its owner lists it in `attributes`.
  bool is_attribute = false;
};

// An id that is not one of the document's nodes.
class InvalidNodeId : public std::logic_error {
 public:
  InvalidNodeId(NodeId id, std::size_t size);
  NodeId id() const noexcept { return id_; }

 private:
  NodeId id_;
};

// An edit that would break the tree: placing a node that is still attached
// somewhere, or placing a node below itself.
class InvalidEdit : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class Document {
 public:
  // Copied and moved whole. Out of line, so that the reader and the
  // builders that hand a document back stay small enough for the compiler
  // to inline what they call.
  Document() = default;
  Document(const Document&);
  Document(Document&&);
  Document& operator=(const Document&);
  Document& operator=(Document&&) noexcept;
  ~Document();

  // Reads XML text. The reader is a single forward scan with fixed
  // acceptance rules, not a general XML parser: it keeps elements,
  // attributes and the first run of text after each start tag (CDATA
  // sections included), and passes over everything else, comments,
  // processing instructions and DOCTYPEs whole. The result is numbered.
  static std::expected<Document, std::string> parse(std::string_view text);

  std::optional<NodeId> root() const { return root_; }
  // For builders that make a root of their own; renumber afterwards.
  void set_root(std::optional<NodeId> id);
  // Number of nodes in the store, orphans included; ids run below it.
  std::size_t size() const { return records_.size(); }

  // Building and editing. None of them renumbers: call `renumber` after a
  // batch of edits.
  NodeId new_element(std::string_view name, std::string_view value);
  void add_attribute(NodeId owner, std::string_view name, std::string_view value);
  // `child` must be detached (no parent) and must not be `parent` or one of
  // its ancestors.
  void append_child(NodeId parent, NodeId child);
  // Places `node` right after `anchor` among the anchor's parent's children;
  // does nothing when the anchor has no parent. `node` must be detached and
  // must not be the anchor's parent or one of its ancestors.
  void insert_after(NodeId anchor, NodeId node);
  // Removes the node from its parent's children; it keeps its subtree.
  void detach(NodeId node);
  // Detaches each of the nodes, as `detach` of one after another would, in
  // one pass over each parent's list however many of its children leave.
  void detach_all(std::span<const NodeId> nodes);
  void renumber();
  // Deep copies of a subtree (attributes, values and children), detached,
  // with ids allocated in document order of the copied subtree. The document
  // receiving the copy is not renumbered. The source may be this document.
  NodeId import_subtree(const Document& source, NodeId source_node);
  NodeId copy_subtree_to(NodeId node, Document& target) const;
  // Replaces the node's own text; nothing else about the tree changes.
  void set_value(NodeId id, std::string_view value);
  // Takes every attribute of exactly that name off the element's list; the
  // attribute nodes stay in the store as orphans.
  void remove_attribute(NodeId owner, std::string_view name);

  // Queries. Views into the store are valid until the next edit or node
  // creation.
  Node node(NodeId id) const {
    check(id);
    const Record& record = records_[id];
    const NodeId* links = links_.data() + record.links_at;
    Node node;
    if (record.parent != kNone) node.parent = record.parent;
    node.name = names_[record.name & kNameMask];
    node.value = std::string_view(text_.data() + record.value_at, record.value_size);
    node.children = {links + record.attribute_count, record.child_count};
    node.attributes = {links, record.attribute_count};
    node.is_attribute = (record.name & kAttributeBit) != 0;
    return node;
  }
  std::optional<NodeId> parent(NodeId id) const {
    check(id);
    const std::uint32_t up = records_[id].parent;
    if (up == kNone) return std::nullopt;
    return up;
  }
  std::span<const NodeId> children(NodeId id) const {
    check(id);
    return children_of(records_[id]);
  }
  std::span<const NodeId> attributes(NodeId id) const {
    check(id);
    const Record& record = records_[id];
    return {links_.data() + record.links_at, record.attribute_count};
  }
  // Names as numbers: every name the document holds has an index in its
  // name table, so comparing a node's name with a name looked up once is
  // comparing two numbers. A name without an index belongs to no node.
  using NameId = NameTable::Index;
  std::optional<NameId> find_name(std::string_view name) const;
  NameId name_id(NodeId id) const {
    check(id);
    return name_index(id);
  }
  // The child elements of that name appended to `out`, in child order: what
  // children_named gives, without a list of its own.
  void append_children_named(NodeId parent, NameId name, std::vector<NodeId>& out) const;
  // The node's string-value, as a view of its own value when it has no
  // children (valid until the next edit), or built in `scratch`.
  std::string_view string_value_view(NodeId id, std::string& scratch) const;

  // The child elements of exactly that name, in child order; a lookup
  // rather than a scan under a parent with many children that is asked
  // about again and again, and the index behind it is kept current by the
  // edits.
  std::vector<NodeId> children_named(NodeId parent, std::string_view name) const;
  // The child element of exactly that name at that place among them
  // (counted from 1), and how many there are: the same lookups, without
  // gathering the children.
  std::optional<NodeId> child_named(NodeId parent, std::string_view name,
                                    std::uint64_t place) const;
  std::uint64_t count_children_named(NodeId parent, std::string_view name) const;
  // Parent, grandparent, ... to the top; for an attribute the owner first.
  std::vector<NodeId> ancestors(NodeId id) const;
  // Every element below the node in document order; nodes without a number
  // (added since the last renumber) come last, in tree order.
  std::vector<NodeId> descendants(NodeId id) const;
  // The node's value followed by its descendants' values; attribute values
  // never contribute.
  std::string string_value(NodeId id) const;
  // Value of the first attribute of exactly that name.
  std::optional<std::string> attribute(NodeId id, std::string_view name) const;
  // As `attribute`, but none when that first attribute's value is blank.
  std::optional<std::string> nonblank_attribute(NodeId id, std::string_view name) const;
  // String value of the first element of that name below the root, or none
  // when there is none or it is blank (a later one is never tried).
  std::optional<std::string> find_text(std::string_view name) const;
  // find_text of each name, in one walk.
  std::vector<std::optional<std::string>> find_texts(
      std::initializer_list<std::string_view> names) const;
  // Slash path: "/" and the names from the top down joined by "/", with
  // "[n]" after a name whose parent has more than one child element of that
  // name. An attribute is a last step under its owner, with no mark.
  std::string path_of(NodeId id) const;
  // Every element of exactly that name reachable from the root, the root
  // included, in document order. Indexed once per numbering, so repeated
  // lookups cost the number of matches.
  std::vector<NodeId> elements_named(std::string_view name) const;

  // Document order as of the last renumber: the node's number, none for a
  // node that was not reachable from the root then (or created since).
  std::optional<std::uint64_t> order_of(NodeId id) const {
    check(id);
    const std::uint32_t order = records_[id].order;
    if (order == kUnnumbered32) return std::nullopt;
    return order;
  }
  // The same as a sort key: UINT64_MAX for a node without a number.
  std::uint64_t order_key(NodeId id) const {
    check(id);
    return unchecked_order_key(id);
  }
  // Whether `a` comes before `b` in document order, in constant time; nodes
  // without a number come after every numbered node and are unordered among
  // themselves.
  bool precedes(NodeId a, NodeId b) const;
  // Whether no link has changed since the last renumber (or the read), so
  // that document order is the tree's pre-order: every reachable node has a
  // number, and a subtree is numbered in one run from its top.
  bool numbered_in_tree_order() const { return tree_order_numbered_; }

  // The instance XML: the header "<?xml version='1.0' ?>" followed by the
  // root element, compact, with no indentation. An element with children
  // is written without its own text; a value made only of white space is
  // written as character references, so that it reads back.
  std::string to_xml() const;
  void write_element(NodeId id, std::string& out) const;

 private:
  // One node. The links are 32-bit: a document holds fewer than 2^32 nodes.
  struct Record {
    std::uint64_t value_at;    // the value's place in text_
    std::uint64_t links_at;    // the attributes, then the children, in links_
    std::uint64_t value_size;
    std::uint32_t parent;      // kNone when there is none
    std::uint32_t name;        // index in names_, with kAttributeBit
    std::uint32_t attribute_count;
    std::uint32_t child_count;
    std::uint32_t link_capacity;  // room at links_at
    std::uint32_t order;          // document order, kUnnumbered32 when none
  };
  static_assert(sizeof(Record) == 48);

  static constexpr std::uint32_t kNone = UINT32_MAX;
  static constexpr std::uint32_t kAttributeBit = std::uint32_t{1} << 31;
  static constexpr std::uint32_t kNameMask = kAttributeBit - 1;
  static constexpr std::uint32_t kUnnumbered32 = UINT32_MAX;
  static constexpr std::uint64_t kUnnumbered = UINT64_MAX;

  // The children of one wide parent by name, so that finding a row of a
  // long repeat or the slash path of a node under it costs a lookup instead
  // of a scan. Built when first needed and kept current by every edit of
  // the parent's list.
  struct SiblingIndex {
    using NodeList = std::vector<NodeId>;
    // Name indexes are handed out in order, so a document can choose them;
    // their hash mixes every bit, and a bounded table keeps each lookup
    // bounded whichever it chooses.
    struct NameHash {
      std::uint64_t operator()(NameTable::Index name) const { return mix_bits(name); }
    };
    // The children of each name (an index in names_), in child order.
    BoundedMap<NameTable::Index, NodeList, NameHash> by_name;
    // Whether sibling_places_ holds every child's place: set by path_of
    // when first asked, kept by additions at the end, and cleared by any
    // other edit.
    mutable bool places_known = false;
  };

  void check(NodeId id) const {
    if (id >= records_.size()) throw_invalid(id);
  }
  [[noreturn]] void throw_invalid(NodeId id) const;
  void check_placeable(NodeId new_parent, NodeId node) const;
  std::span<const NodeId> children_of(const Record& record) const {
    return {links_.data() + record.links_at + record.attribute_count, record.child_count};
  }
  std::string_view name_of(NodeId id) const { return names_[records_[id].name & kNameMask]; }
  std::string_view value_of(NodeId id) const {
    const Record& record = records_[id];
    return std::string_view(text_.data() + record.value_at, record.value_size);
  }
  NameTable::Index name_index(NodeId id) const { return records_[id].name & kNameMask; }
  // A new record, detached and without links or number; its value goes
  // into the text.
  NodeId push_node(NameTable::Index name, std::string_view value, bool is_attribute);
  // Stores a value at the end of the text; the value may lie in the text
  // itself.
  std::uint64_t store_text(std::string_view value);
  // Room for `needed` links at the node's place in links_, moving its list
  // to the end when it has too little; with room to grow unless `exact`.
  void reserve_links(NodeId id, std::uint64_t needed, bool exact = false);
  std::uint64_t unchecked_order_key(NodeId id) const {
    const std::uint32_t order = records_[id].order;
    return order == kUnnumbered32 ? kUnnumbered : order;
  }
  // Keeps the parent's sibling index, when it has one, in step with its
  // list: a child now at `position`, or a child no longer there.
  void index_added(NodeId parent, std::size_t position);
  void index_removed(NodeId parent, NodeId child);
  // The parent's sibling index when it has one, or when it is wide and has
  // been asked about often enough that one pays for itself; none when a
  // scan is as cheap.
  const SiblingIndex* named_index(NodeId parent) const;
  // The parent's sibling index, none when it has none.
  SiblingIndex* existing_index(NodeId parent) const {
    if (parent >= wide_parents_.size() || (wide_parents_[parent] & kIndexed) == 0) return nullptr;
    return &sibling_indexes_[wide_parents_[parent] & ~kIndexed];
  }
  void drop_index(NodeId parent);
  // Records a child's place among the children of its name.
  void set_place(NodeId child, std::uint64_t place) const {
    if (child >= sibling_places_.size()) sibling_places_.resize(records_.size());
    sibling_places_[child] = static_cast<std::uint32_t>(place);
  }
  // A link changed: document order is no longer the tree's pre-order.
  void forget_order();
  const SiblingIndex& sibling_index(NodeId parent) const;
  // The "[n]" of a step, 0 when the step carries none.
  std::uint64_t step_position(NodeId id) const;
  static NodeId copy_subtree(const Document& source, NodeId node, Document& target);

  std::optional<NodeId> root_;
  StoreArray<Record> records_;
  // Every node's attribute and child ids: one run per node, its attributes
  // first. A list that outgrows its room moves to the end; the room it
  // leaves is not reused.
  StoreArray<NodeId> links_;
  // The values, one after the other. A value replaced by a longer one is
  // stored anew and its old bytes become garbage, which is collected once
  // it outweighs the rest.
  StoreArray<char> text_;
  std::uint64_t text_garbage_ = 0;
  NameTable names_;
  // Whether no link has changed since the last numbering, so that document
  // order is simply the pre-order of the tree.
  bool tree_order_numbered_ = false;
  // Elements by name (an index in names_) in document order, built lazily
  // while the tree is numbered in its own order and dropped by any change
  // to links or names.
  mutable std::optional<std::vector<std::vector<NodeId>>> elements_by_name_;
  // The tables below are keyed by node ids, which the document hands out
  // in order, so a document can space them as it likes: they are arrays
  // indexed by id, which no spacing slows down, grown on demand (an id past
  // the end reads as 0) and sized by the document at most.
  //
  // Per parent: how often a wide parent without a sibling index has been
  // scanned for a name, or kIndexed and the place of its index in
  // sibling_indexes_.
  static constexpr std::uint32_t kIndexed = std::uint32_t{1} << 31;
  mutable std::vector<std::uint32_t> wide_parents_;
  mutable std::vector<SiblingIndex> sibling_indexes_;
  // Per child of an indexed parent whose places are known: its 1-based
  // place among the children of its name. A node that has left such a
  // parent may keep a stale place, so a place is taken only when the list
  // of the name holds the node there.
  mutable std::vector<std::uint32_t> sibling_places_;
};

// The first id of `ids` whose node has exactly that name. The ids up to and
// including it are consumed from `ids`, so a further call goes on after it;
// when none matches, all are consumed.
std::optional<NodeId> find_named(std::span<const NodeId>& ids, const Document& document,
                                 std::string_view name);

// The text after the last ":" of a name; the whole name when it has no ":"
// or nothing after its last one.
std::string_view local_name(std::string_view name);
// Replaces the five predefined entities, and each character reference
// ("&#233;", "&#xE9;") that names a character XML allows, in one pass: any
// other entity or reference stays as written, and "&amp;lt;" gives "&lt;",
// not "<".
std::string decode_entities(std::string_view text);
// Appends the text with '"', '&', '<' and '>' escaped; the same for element
// text and attribute values.
void escape_xml(std::string_view text, std::string& out);

}  // namespace vindle
