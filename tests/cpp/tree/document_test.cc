#include "tree/document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <tuple>

namespace vindle {
namespace {

Document read(std::string_view xml) {
  auto document = Document::parse(xml);
  EXPECT_TRUE(document.has_value()) << xml << ": " << document.error();
  return document ? std::move(*document) : Document();
}

std::vector<std::string> names(const Document& document, std::span<const NodeId> ids) {
  std::vector<std::string> result;
  for (const NodeId id : ids) result.emplace_back(document.node(id).name);
  return result;
}

NodeId child(const Document& document, NodeId parent, std::size_t k) {
  const std::span<const NodeId> children = document.children(parent);
  return std::vector<NodeId>(children.begin(), children.end()).at(k);
}

using Names = std::vector<std::string>;

TEST(DocumentOrder, ElementThenItsAttributesThenChildren) {
  Document document;
  const NodeId data = document.new_element("data", "");
  document.set_root(data);
  document.add_attribute(data, "id", "f");
  const NodeId b = document.new_element("b", "");  // created before "a"
  const NodeId a = document.new_element("a", "");
  document.add_attribute(a, "x", "1");
  document.append_child(data, a);
  document.append_child(data, b);
  document.renumber();

  std::vector<std::pair<std::uint64_t, std::string>> numbered;
  for (NodeId id = 0; id < document.size(); ++id) {
    numbered.emplace_back(document.order_of(id).value(), std::string(document.node(id).name));
  }
  std::sort(numbered.begin(), numbered.end());
  EXPECT_EQ(numbered, (std::vector<std::pair<std::uint64_t, std::string>>{
                          {0, "data"}, {1, "id"}, {2, "a"}, {3, "x"}, {4, "b"}}));
  EXPECT_TRUE(document.precedes(a, b));
  EXPECT_FALSE(document.precedes(b, a));

  // A detached node loses its number at the next renumber.
  document.detach(a);
  document.renumber();
  EXPECT_EQ(document.order_of(a), std::nullopt);
  EXPECT_EQ(document.order_of(b), 2u);
}

TEST(DocumentOrder, NoRootMeansNothingIsNumbered) {
  Document document;
  const NodeId lone = document.new_element("today", "2024-01-01");
  document.renumber();
  EXPECT_EQ(document.order_of(lone), std::nullopt);
  EXPECT_EQ(document.find_text("today"), std::nullopt);
  EXPECT_EQ(document.to_xml(), "<?xml version='1.0' ?>");
}

TEST(DocumentOrder, ReaderIdsAreDocumentOrder) {
  const Document document = read("<a x='1' y='2'><b z='3'><c/></b><d/></a>");
  for (NodeId id = 0; id < document.size(); ++id) EXPECT_EQ(document.order_of(id), id);
}

TEST(DocumentNavigation, AncestorsAndDescendants) {
  const Document document = read("<data id='1'><g><q a='x'/><r/></g><s/></data>");
  const NodeId data = *document.root();
  const NodeId g = child(document, data, 0);
  const NodeId q = child(document, g, 0);
  const NodeId id_attribute = document.attributes(data)[0];
  const NodeId a_attribute = document.attributes(q)[0];

  EXPECT_TRUE(document.ancestors(data).empty());
  EXPECT_EQ(document.ancestors(id_attribute), std::vector<NodeId>{data});
  EXPECT_EQ(names(document, document.ancestors(a_attribute)), (Names{"q", "g", "data"}));
  EXPECT_EQ(names(document, document.descendants(data)), (Names{"g", "q", "r", "s"}));
  EXPECT_TRUE(document.descendants(q).empty());
  EXPECT_TRUE(document.descendants(a_attribute).empty());
}

TEST(DocumentNavigation, NodesWithoutNumberComeLastUntilRenumber) {
  Document document = read("<data><a><a1/></a><b/></data>");
  const NodeId data = *document.root();
  const NodeId a = child(document, data, 0);
  const NodeId b = child(document, data, 1);
  const NodeId fresh = document.new_element("fresh", "");
  document.insert_after(a, fresh);  // placed before b, but has no number
  const NodeId a2 = document.new_element("a2", "");
  document.append_child(a, a2);
  EXPECT_EQ(names(document, document.children(data)), (Names{"a", "fresh", "b"}));
  EXPECT_EQ(names(document, document.descendants(data)), (Names{"a", "a1", "b", "a2", "fresh"}));

  // A moved node keeps its old number until the next renumber.
  document.detach(b);
  document.insert_after(fresh, b);
  document.detach(a);
  document.append_child(data, a);
  EXPECT_EQ(names(document, document.descendants(data)), (Names{"a", "a1", "b", "fresh", "a2"}));

  document.renumber();
  EXPECT_EQ(names(document, document.descendants(data)), (Names{"fresh", "b", "a", "a1", "a2"}));
}

TEST(DocumentText, StringValueJoinsElementValuesOnly) {
  const Document document = read("<a k='attr'>1<b>2<c>3</c></b><d k='no'>4</d></a>");
  const NodeId a = *document.root();
  EXPECT_EQ(document.string_value(a), "1234");
  EXPECT_EQ(document.string_value(document.attributes(a)[0]), "attr");
  EXPECT_EQ(document.string_value(child(document, a, 1)), "4");
}

TEST(DocumentText, FindTextTakesTheFirstInDocumentOrder) {
  const std::tuple<std::string, std::string, std::optional<std::string>> cases[] = {
      {"<data><meta><today>2024-05-01</today></meta><today>1999-01-01</today></data>",
       "today", "2024-05-01"},
      {"<data><end> </end><end>2024-05-01</end></data>", "end", std::nullopt},
      {"<data><end><x>a</x><y> b </y></end></data>", "end", "a b "},
      {"<today>2024-05-01</today>", "today", std::nullopt},  // the root is no candidate
      {"<data><Today>x</Today></data>", "today", std::nullopt},
  };
  for (const auto& [xml, name, expected] : cases) {
    EXPECT_EQ(read(xml).find_text(name), expected) << xml;
  }
}

TEST(DocumentText, AttributeLookups) {
  const Document document = read("<a ref=' ' ref='/data/q' x:key='' other='\u00a0v '/>");
  const NodeId a = *document.root();
  EXPECT_EQ(document.attribute(a, "ref"), " ");
  EXPECT_EQ(document.nonblank_attribute(a, "ref"), std::nullopt);
  EXPECT_EQ(document.attribute(a, "key"), "");
  EXPECT_EQ(document.nonblank_attribute(a, "key"), std::nullopt);
  EXPECT_EQ(document.nonblank_attribute(a, "other"), "\u00a0v ");
  EXPECT_EQ(document.attribute(a, "REF"), std::nullopt);
  EXPECT_EQ(document.attribute(a, "x:key"), std::nullopt);
}

TEST(DocumentText, FindNamedConsumesUpToTheMatch) {
  const Document document = read("<r><a/><b/><a/><c/></r>");
  const std::span<const NodeId> children = document.children(*document.root());
  const std::vector<NodeId> ids(children.begin(), children.end());
  std::span<const NodeId> rest(ids);
  EXPECT_EQ(find_named(rest, document, "a"), ids[0]);
  EXPECT_EQ(rest.size(), 3u);
  EXPECT_EQ(find_named(rest, document, "a"), ids[2]);
  EXPECT_EQ(rest.size(), 1u);
  EXPECT_EQ(find_named(rest, document, "a"), std::nullopt);
  EXPECT_TRUE(rest.empty());
}

// Paths under a parent with few children and under one with many (where
// same-name positions come from a cached index) must agree, edits included.
class SlashPath : public testing::TestWithParam<int> {
 protected:
  // <data id=".."><q/><rep/>...fillers...</data>
  void SetUp() override {
    data_ = document_.new_element("data", "");
    document_.set_root(data_);
    document_.add_attribute(data_, "rep", "attr");
    q_ = add("q");
    rep_ = add("rep");
    for (int k = 0; k < GetParam(); ++k) add("filler" + std::to_string(k));
    document_.renumber();
  }
  NodeId add(const std::string& name) {
    const NodeId id = document_.new_element(name, "");
    document_.append_child(data_, id);
    return id;
  }
  Document document_;
  NodeId data_ = 0, q_ = 0, rep_ = 0;
};

TEST_P(SlashPath, PositionsAppearOnlyWhereNamesRepeat) {
  const NodeId rep_attribute = document_.attributes(data_)[0];
  EXPECT_EQ(document_.path_of(data_), "/data");
  EXPECT_EQ(document_.path_of(rep_), "/data/rep");
  EXPECT_EQ(document_.path_of(rep_attribute), "/data/rep");

  const NodeId second = add("rep");
  const NodeId inner = document_.new_element("q", "");
  document_.append_child(second, inner);
  EXPECT_EQ(document_.path_of(rep_), "/data/rep[1]");
  EXPECT_EQ(document_.path_of(second), "/data/rep[2]");
  EXPECT_EQ(document_.path_of(inner), "/data/rep[2]/q");
  // An attribute is never among the children it is counted with.
  EXPECT_EQ(document_.path_of(rep_attribute), "/data/rep[1]");

  const NodeId third = document_.new_element("rep", "");
  document_.insert_after(rep_, third);
  EXPECT_EQ(document_.path_of(third), "/data/rep[2]");
  EXPECT_EQ(document_.path_of(inner), "/data/rep[3]/q");

  document_.detach(rep_);
  EXPECT_EQ(document_.path_of(third), "/data/rep[1]");
  EXPECT_EQ(document_.path_of(rep_), "/rep");
  document_.detach(third);
  EXPECT_EQ(document_.path_of(inner), "/data/rep/q");
  EXPECT_EQ(document_.path_of(rep_attribute), "/data/rep");
}

TEST_P(SlashPath, CopiesKeepTheirOwnPaths) {
  EXPECT_EQ(document_.path_of(rep_), "/data/rep");
  Document copy = document_;
  const NodeId added = copy.new_element("rep", "");
  copy.append_child(data_, added);
  EXPECT_EQ(copy.path_of(rep_), "/data/rep[1]");
  EXPECT_EQ(document_.path_of(rep_), "/data/rep");
}

INSTANTIATE_TEST_SUITE_P(FewAndManyChildren, SlashPath, testing::Values(0, 40));

// Under a wide parent the children of each name come from an index that
// the edits keep current; every lookup must agree with a scan of the
// children after every kind of edit.
TEST(DocumentEditing, NameLookupsUnderAWideParentFollowEveryEdit) {
  std::string xml = "<data>";
  for (int k = 0; k < 20; ++k) xml += "<a/><b/>";
  Document document = read(xml + "</data>");
  const NodeId data = *document.root();
  for (int k = 0; k < 3; ++k) document.children_named(data, "a");  // asked often: indexed
  const auto agree = [&](const char* after) {
    for (const std::string name : {"a", "b", "c"}) {
      std::vector<NodeId> expected;
      for (const NodeId id : document.children(data)) {
        if (document.node(id).name == name) expected.push_back(id);
      }
      EXPECT_EQ(document.children_named(data, name), expected) << after;
      EXPECT_EQ(document.count_children_named(data, name), expected.size()) << after;
      for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(document.child_named(data, name, k + 1), expected[k]) << after;
        const std::string step = expected.size() > 1 ? "[" + std::to_string(k + 1) + "]" : "";
        EXPECT_EQ(document.path_of(expected[k]), "/data/" + name + step) << after;
      }
      EXPECT_EQ(document.child_named(data, name, expected.size() + 1), std::nullopt) << after;
    }
  };
  agree("reading");
  const auto add = [&](const char* name) { return document.new_element(name, ""); };
  document.append_child(data, add("a"));
  agree("an append");
  const NodeId middle_a = add("a");
  document.insert_after(child(document, data, 2), middle_a);
  agree("an insertion in the middle");
  const NodeId c = add("c");
  document.insert_after(child(document, data, 11), c);
  agree("a new name in the middle");
  document.insert_after(child(document, data, document.children(data).size() - 1), add("b"));
  agree("an insertion at the end");
  document.detach(middle_a);
  agree("a removal in the middle");
  document.detach(child(document, data, document.children(data).size() - 1));
  agree("a removal at the end");
  document.detach(c);
  agree("the last of a name removed");
  document.insert_after(child(document, data, 0), middle_a);
  agree("a removed node placed again");
}

TEST(DocumentEditing, DetachAndInsertAfter) {
  Document document = read("<data><a/><q><x/></q><b/></data>");
  const NodeId data = *document.root();
  const NodeId q = child(document, data, 1);
  document.detach(q);
  document.detach(q);  // already detached: nothing happens
  EXPECT_EQ(names(document, document.children(data)), (Names{"a", "b"}));
  EXPECT_EQ(names(document, document.descendants(data)), (Names{"a", "b"}));
  EXPECT_EQ(document.parent(q), std::nullopt);
  EXPECT_EQ(names(document, document.children(q)), (Names{"x"}));
  EXPECT_EQ(document.path_of(q), "/q");
  EXPECT_EQ(document.path_of(child(document, q, 0)), "/q/x");

  // An anchor without parent leaves the node where it is.
  const NodeId lone = document.new_element("lone", "");
  document.insert_after(data, lone);
  document.insert_after(lone, q);
  EXPECT_EQ(document.parent(lone), std::nullopt);
  EXPECT_EQ(document.parent(q), std::nullopt);

  document.insert_after(child(document, data, 0), q);
  EXPECT_EQ(names(document, document.children(data)), (Names{"a", "q", "b"}));
  document.insert_after(child(document, data, 2), lone);
  EXPECT_EQ(names(document, document.children(data)), (Names{"a", "q", "b", "lone"}));
  EXPECT_EQ(document.parent(lone), data);
}

TEST(DocumentEditing, PlacingAnAttachedNodeOrALoopIsRefused) {
  Document document = read("<data k='v'><a><b/></a><c/></data>");
  const NodeId data = *document.root();
  const NodeId a = child(document, data, 0);
  const NodeId b = child(document, a, 0);
  const NodeId c = child(document, data, 1);
  const std::string before = document.to_xml();
  EXPECT_THROW(document.append_child(a, c), InvalidEdit);
  EXPECT_THROW(document.append_child(b, data), InvalidEdit);  // the root below its own child
  EXPECT_THROW(document.insert_after(b, a), InvalidEdit);
  EXPECT_THROW(document.append_child(c, document.attributes(data)[0]), InvalidEdit);
  const NodeId top = document.new_element("top", "");
  const NodeId below = document.new_element("below", "");
  document.append_child(top, below);
  EXPECT_THROW(document.append_child(below, top), InvalidEdit);
  EXPECT_THROW(document.append_child(top, top), InvalidEdit);
  const NodeId fresh = document.new_element("fresh", "");
  EXPECT_THROW(document.append_child(fresh, fresh), InvalidEdit);
  EXPECT_EQ(document.to_xml(), before);
  EXPECT_EQ(document.path_of(below), "/top/below");
}

TEST(DocumentEditing, DeepCopyKeepsEverythingAndAllocatesInDocumentOrder) {
  const Document source = read("<form><i a='1' b='2'>v<x>1</x><y><z c='3'/></y></i></form>");
  const NodeId instance = child(source, *source.root(), 0);
  Document target = read("<t/>");
  const NodeId copy = target.import_subtree(source, instance);
  EXPECT_EQ(copy, 1u);
  EXPECT_EQ(target.parent(copy), std::nullopt);
  std::vector<std::string> created;
  for (NodeId id = copy; id < target.size(); ++id) created.emplace_back(target.node(id).name);
  EXPECT_EQ(created, (Names{"i", "a", "b", "x", "y", "z", "c"}));
  EXPECT_EQ(target.order_of(copy), std::nullopt);
  EXPECT_EQ(target.to_xml(), "<?xml version='1.0' ?><t/>");

  Document alone;
  alone.set_root(source.copy_subtree_to(instance, alone));
  alone.renumber();
  EXPECT_EQ(alone.to_xml(),
            "<?xml version='1.0' ?><i a=\"1\" b=\"2\"><x>1</x><y><z c=\"3\"/></y></i>");
  EXPECT_EQ(alone.node(0).value, "v");
  EXPECT_TRUE(alone.node(1).is_attribute);

  // Copying within one document, whose store grows under the copy.
  Document same = read("<r><row n='1'><q>a</q></row></r>");
  for (int k = 0; k < 200; ++k) {
    const NodeId row = child(same, *same.root(), 0);
    same.append_child(*same.root(), same.import_subtree(same, row));
  }
  same.renumber();
  EXPECT_EQ(same.children(*same.root()).size(), 201u);
  EXPECT_EQ(same.string_value(*same.root()), std::string(201, 'a'));
  EXPECT_EQ(same.path_of(same.size() - 1), "/r/row[201]/q");
}

// The store keeps values, names and lists in arrays of the document's own;
// edits that move or replace them must leave every other node as it was.
TEST(DocumentStore, EditsMoveNothingElse) {
  Document document = read("<data a='1'><q>5</q><r b='2'/></data>");
  const NodeId data = *document.root();
  const NodeId q = child(document, data, 0);
  // An attribute added after the children goes before them in the list.
  document.add_attribute(data, "c", "3");
  document.add_attribute(q, "d", "4");
  const NodeId s = document.new_element("s", "6");
  document.append_child(data, s);
  document.remove_attribute(data, "a");
  document.remove_attribute(data, "absent");
  EXPECT_EQ(document.to_xml(),
            "<?xml version='1.0' ?><data c=\"3\"><q d=\"4\">5</q><r b=\"2\"/><s>6</s></data>");
  EXPECT_EQ(names(document, document.attributes(data)), (Names{"c"}));
  EXPECT_EQ(document.parent(1), std::nullopt);  // the removed attribute is an orphan

  // Values replaced by shorter and longer ones, often enough that the text
  // is rewritten without its garbage several times over.
  for (int k = 0; k < 3000; ++k) {
    document.set_value(q, std::string(k % 2 == 0 ? 700 + k : 3, 'a' + k % 26));
    document.set_value(s, document.node(q).value);  // a value of the same document
  }
  EXPECT_EQ(document.node(q).value, "jjj");
  EXPECT_EQ(document.node(s).value, document.node(q).value);
  EXPECT_EQ(document.attribute(child(document, data, 1), "b"), "2");
  EXPECT_EQ(document.attribute(q, "d"), "4");

  // A copy holds names and values of its own.
  Document copy = document;
  document = Document();
  copy.renumber();
  EXPECT_EQ(copy.path_of(copy.attributes(q)[0]), "/data/q/d");
  EXPECT_EQ(copy.to_xml(), "<?xml version='1.0' ?><data c=\"3\"><q d=\"4\">jjj</q><r b=\"2\"/>"
                           "<s>jjj</s></data>");
}

// A document that holds no text at all has no text array yet: emptying a
// value there, or writing one, must not touch memory it does not have.
TEST(DocumentStore, EmptyValuesInADocumentWithoutText) {
  for (Document document : {read("<data><q/><r/></data>"), Document()}) {
    if (!document.root()) {
      const NodeId data = document.new_element("data", "");
      document.set_root(data);
      document.append_child(data, document.new_element("q", ""));
      document.append_child(data, document.new_element("r", ""));
    }
    Document copy;
    copy.set_root(copy.import_subtree(document, *document.root()));
    for (Document* each : {&document, &copy}) {
      const NodeId q = child(*each, *each->root(), 0);
      each->set_value(q, "");
      each->set_value(q, "x");
      each->set_value(q, "");
      EXPECT_EQ(each->to_xml(), "<?xml version='1.0' ?><data><q/><r/></data>");
    }
  }
}

TEST(DocumentIds, UnknownIdsThrowAndChangeNothing) {
  Document document = read("<data a='1'><q>5</q></data>");
  const NodeId bad = document.size();
  const NodeId huge = ~NodeId{0};
  const NodeId q = 2;
  Document other;
  const std::vector<std::function<void()>> operations = {
      [&] { document.add_attribute(bad, "x", "y"); },
      [&] { document.append_child(bad, q); },
      [&] { document.append_child(q, bad); },
      [&] { document.insert_after(bad, q); },
      [&] { document.insert_after(q, huge); },
      [&] { document.detach(huge); },
      [&] {
        const std::vector<NodeId> ids{q, bad};  // q stays: ids are checked first
        document.detach_all(ids);
      },
      [&] { document.import_subtree(other, 0); },
      [&] { document.copy_subtree_to(bad, other); },
      [&] { document.remove_attribute(bad, "a"); },
      [&] { document.set_root(bad); },
      [&] { document.node(bad); },
      [&] { document.parent(huge); },
      [&] { document.children(bad); },
      [&] { document.attributes(bad); },
      [&] { document.ancestors(bad); },
      [&] { document.descendants(bad); },
      [&] { document.string_value(bad); },
      [&] { document.attribute(bad, "a"); },
      [&] { document.nonblank_attribute(bad, "a"); },
      [&] { document.path_of(bad); },
      [&] { document.order_of(bad); },
      [&] { document.precedes(q, bad); },
      [&] { std::string out; document.write_element(bad, out); },
      [&] {
        const std::vector<NodeId> ids{q, bad};
        std::span<const NodeId> rest(ids);
        find_named(rest, document, "x");
      },
  };
  for (std::size_t k = 0; k < operations.size(); ++k) {
    EXPECT_THROW(operations[k](), InvalidNodeId) << "operation " << k;
  }
  EXPECT_EQ(document.size(), bad);
  EXPECT_EQ(other.size(), 0u);
  EXPECT_EQ(document.to_xml(), "<?xml version='1.0' ?><data a=\"1\"><q>5</q></data>");
  try {
    document.node(12345);
  } catch (const InvalidNodeId& error) {
    EXPECT_EQ(error.id(), 12345u);
    EXPECT_NE(std::string(error.what()).find("12345"), std::string::npos);
  }
}

}  // namespace
}  // namespace vindle

namespace vindle {
namespace {

std::vector<std::string> names_of_values(const Document& document,
                                         const std::vector<NodeId>& ids) {
  std::vector<std::string> values;
  for (const NodeId id : ids) values.emplace_back(document.node(id).value);
  return values;
}

TEST(ElementsNamed, DocumentOrderAndEveryKindOfChange) {
  Document document = *Document::parse("<x>0<x>1<y><x>2</x></y></x><x>3</x></x>");
  using Values = std::vector<std::string>;
  EXPECT_EQ(names_of_values(document, document.elements_named("x")),
            (Values{"0", "1", "2", "3"}));
  EXPECT_TRUE(document.elements_named("z").empty());

  // A new element in the tree is found at once, before and after numbering.
  const NodeId root = *document.root();
  const NodeId added = document.new_element("x", "4");
  document.insert_after(document.children(root).front(), added);
  EXPECT_EQ(names_of_values(document, document.elements_named("x")),
            (Values{"0", "1", "2", "3", "4"}));  // unnumbered: last
  document.renumber();
  EXPECT_EQ(names_of_values(document, document.elements_named("x")),
            (Values{"0", "1", "2", "4", "3"}));

  // A new value is just a value.
  document.set_value(added, "five");
  EXPECT_EQ(names_of_values(document, document.elements_named("x")),
            (Values{"0", "1", "2", "five", "3"}));

  // A detached subtree is out of reach.
  document.detach(document.children(root).front());
  EXPECT_EQ(names_of_values(document, document.elements_named("x")),
            (Values{"0", "five", "3"}));
  EXPECT_THROW(document.set_value(1000, "x"), InvalidNodeId);
}

}  // namespace
}  // namespace vindle

namespace vindle {
namespace {

// What the lookups by name must give, by scanning the parent's children.
std::vector<NodeId> scanned_named(const Document& document, NodeId parent, std::string_view name) {
  std::vector<NodeId> found;
  for (const NodeId id : document.children(parent)) {
    if (document.node(id).name == name) found.push_back(id);
  }
  return found;
}

// A slash path built step by step from the children lists alone.
std::string scanned_path(const Document& document, NodeId id) {
  std::string path;
  for (NodeId at = id;;) {
    const Node node = document.node(at);
    std::string step = "/" + std::string(node.name);
    if (node.parent) {
      const std::vector<NodeId> namesakes = scanned_named(document, *node.parent, node.name);
      const auto place = std::find(namesakes.begin(), namesakes.end(), at);
      const std::size_t position = place == namesakes.end() ? 1 : place - namesakes.begin() + 1;
      if (namesakes.size() > 1) step += "[" + std::to_string(position) + "]";
    }
    path = step + path;
    if (!node.parent) return path;
    at = *node.parent;
  }
}

// Every lookup by name under the parent, and the path of every child and
// attribute, against the scans above.
void expect_lookups_agree(const Document& document, NodeId parent, const std::string& after) {
  for (const std::string name : {"a", "b", "c", "d", "e"}) {
    const std::vector<NodeId> expected = scanned_named(document, parent, name);
    ASSERT_EQ(document.children_named(parent, name), expected) << name << " after " << after;
    ASSERT_EQ(document.count_children_named(parent, name), expected.size()) << after;
    std::vector<NodeId> appended;
    if (const auto id = document.find_name(name)) {
      document.append_children_named(parent, *id, appended);
    }
    ASSERT_EQ(appended, expected) << name << " after " << after;
    for (std::size_t k = 0; k <= expected.size(); ++k) {
      const std::optional<NodeId> wanted =
          k < expected.size() ? std::optional<NodeId>(expected[k]) : std::nullopt;
      ASSERT_EQ(document.child_named(parent, name, k + 1), wanted) << name << " after " << after;
    }
  }
  for (const auto ids : {document.children(parent), document.attributes(parent)}) {
    for (const NodeId id : ids) {
      ASSERT_EQ(document.path_of(id), scanned_path(document, id)) << "after " << after;
    }
  }
}

// Two wide parents and a narrow one under edits of every kind, in an order
// drawn from a fixed seed; the lookups are asked after every edit, so that
// indexes and places are built, kept and dropped along the way.
TEST(DocumentEditing, LookupsUnderWideParentsMatchAScanThroughRandomEdits) {
  Document document;
  const NodeId data = document.new_element("data", "");
  document.set_root(data);
  document.add_attribute(data, "a", "");
  std::vector<NodeId> parents{data};
  for (const char* name : {"g", "h"}) {
    parents.push_back(document.new_element(name, ""));
    document.append_child(data, parents.back());
    document.add_attribute(parents.back(), "b", "");
  }
  std::mt19937 random(24);
  const auto pick = [&random](std::size_t count) {
    return static_cast<std::size_t>(random() % count);
  };
  const char* const names[] = {"a", "b", "c", "d"};
  const auto fresh = [&] { return document.new_element(names[pick(4)], ""); };
  for (const NodeId parent : {parents[0], parents[1]}) {
    for (int k = 0; k < 90; ++k) document.append_child(parent, fresh());
  }
  std::vector<NodeId> detached;
  for (int edit = 0; edit < 300; ++edit) {
    const NodeId parent = parents[pick(parents.size())];
    const std::span<const NodeId> children = document.children(parent);
    const std::size_t kind = children.empty() ? 0 : pick(6);
    const std::string what = std::to_string(edit) + ", kind " + std::to_string(kind);
    if (kind == 0) {
      document.append_child(parent, fresh());
    } else if (kind == 1) {
      // A node placed again, or a new one, in the middle.
      NodeId placed = fresh();
      if (!detached.empty()) {
        placed = detached.back();
        detached.pop_back();
      }
      document.insert_after(children[pick(children.size())], placed);
    } else if (kind == 2 || kind == 3) {
      // A removal at the end, or anywhere.
      const NodeId leaving = kind == 2 ? children.back() : children[pick(children.size())];
      document.detach(leaving);
      detached.push_back(leaving);
    } else if (kind == 4) {
      std::vector<NodeId> leaving{children.front()};
      for (const NodeId each : children.subspan(1)) {
        if (pick(8) == 0) leaving.push_back(each);
      }
      detached.insert(detached.end(), leaving.begin(), leaving.end());
      leaving.push_back(children.front());  // twice
      document.detach_all(leaving);
    } else {
      document.renumber();
    }
    for (const NodeId each : parents) expect_lookups_agree(document, each, what);
    if (testing::Test::HasFatalFailure()) return;
  }
}

// Detaching many nodes at once leaves the document as detaching them one
// after another does: lists, parents, paths and lookups alike, whatever the
// nodes (attributes, nested nodes, the root, repeats, detached ones).
TEST(DocumentEditing, DetachAllIsDetachOfEachInTurn) {
  std::string xml = "<data k='1'>";
  for (int k = 0; k < 80; ++k) {
    const char* const rows[] = {"<a n='1'><a/><b/></a>", "<b/>", "<c><d/></c>", "<a/>"};
    xml += rows[k % 4];
  }
  const Document original = read(xml + "</data>");
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    Document one_by_one = original;
    Document together = original;
    // Half of the rounds ask first, so that the wide parent is indexed.
    if (round % 2 == 0) {
      for (Document* each : {&one_by_one, &together}) {
        for (int k = 0; k < 3; ++k) each->children_named(*each->root(), "a");
        each->path_of(child(*each, *each->root(), 0));
      }
    }
    std::vector<NodeId> leaving;
    for (NodeId id = 0; id < original.size(); ++id) {
      if (random() % 5 == 0) leaving.push_back(id);
    }
    if (!leaving.empty()) leaving.push_back(leaving[random() % leaving.size()]);
    std::shuffle(leaving.begin(), leaving.end(), random);
    for (const NodeId id : leaving) one_by_one.detach(id);
    together.detach_all(leaving);
    EXPECT_EQ(together.to_xml(), one_by_one.to_xml()) << "round " << round;
    for (NodeId id = 0; id < original.size(); ++id) {
      ASSERT_EQ(together.parent(id), one_by_one.parent(id)) << id;
      ASSERT_EQ(names(together, together.children(id)), names(one_by_one, one_by_one.children(id)));
      ASSERT_EQ(together.path_of(id), one_by_one.path_of(id)) << id;
    }
    expect_lookups_agree(together, *together.root(), "round " + std::to_string(round));
  }
}

}  // namespace
}  // namespace vindle
