#include "rules/templates.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vindle {
namespace {

bool has_template_attribute(const Document& document, NodeId element) {
  for (const NodeId attribute : document.attributes(element)) {
    if (document.node(attribute).name == "template") return true;
  }
  return false;
}

// The templates taken out one at a time in document order, each keyed by
// its slash path once the ones before it have left (a nested one by its
// names from the root, read before any leaves), each copy made at its turn.
TemplateMap one_at_a_time(Document& instance) {
  std::vector<NodeId> templates;
  for (const NodeId element : instance.descendants(*instance.root())) {
    if (has_template_attribute(instance, element)) templates.push_back(element);
  }
  std::vector<std::string> nested(instance.size());
  for (const NodeId element : templates) {
    bool inside = false;
    std::string names;
    for (const NodeId up : instance.ancestors(element)) {
      inside = inside || has_template_attribute(instance, up);
      names = "/" + std::string(instance.node(up).name) + names;
    }
    if (inside) nested[element] = names + "/" + std::string(instance.node(element).name);
  }
  TemplateMap map;
  for (const NodeId element : templates) {
    std::string key = nested[element];
    if (key.empty()) {
      // Its path without its own "[n]".
      key = instance.path_of(*instance.parent(element)) + "/" +
            std::string(instance.node(element).name);
    }
    Document copy;
    copy.set_root(copy.import_subtree(instance, element));
    copy.remove_attribute(*copy.root(), "template");
    for (const NodeId below : copy.descendants(*copy.root())) {
      if (has_template_attribute(copy, below)) copy.detach(below);
    }
    copy.renumber();
    map.insert_or_assign(std::move(key), std::move(copy));
    instance.detach(element);
  }
  instance.renumber();
  return map;
}

std::vector<std::string> listed(const TemplateMap& map) {
  std::vector<std::string> out;
  for (const auto& [key, pattern] : map) out.push_back(key + " " + pattern.to_xml().substr(22));
  return out;
}

// Collects the templates of the instance both ways: the same keys, the same
// copies, the same instance left, with the same paths for every node.
void expect_as_one_at_a_time(const std::string& xml) {
  Document expected_instance = *Document::parse(xml);
  Document instance = expected_instance;
  const TemplateMap expected = one_at_a_time(expected_instance);
  const TemplateMap collected = collect_repeat_templates(instance);
  ASSERT_EQ(listed(collected), listed(expected)) << xml;
  ASSERT_EQ(instance.to_xml(), expected_instance.to_xml()) << xml;
  for (NodeId id = 0; id < instance.size(); ++id) {
    ASSERT_EQ(instance.path_of(id), expected_instance.path_of(id)) << xml;
    ASSERT_EQ(instance.order_of(id), expected_instance.order_of(id)) << xml;
  }
}

TEST(RepeatTemplates, AreKeyedAsIfTakenOutOneAtATime) {
  std::string wide = "<data>";
  for (int k = 0; k < 70; ++k) wide += k % 10 == 3 ? "<r template=''/>" : k % 2 ? "<r/>" : "<s/>";
  wide += "</data>";
  const std::string cases[] = {
      // namesakes before, between and after
      "<data><r t='1' template=''/><r/><r template=''><q/></r><r/></data>",
      "<data><r/><r template=''/></data>",
      "<data><r template=''/><r template=''/><r template=''/></data>",
      // templates among the rows of an outer step, and a key that the
      // outer step's position sets apart or does not
      "<data><g template=''/><g><r template=''/></g><g template=''/><g><r template=''/></g></data>",
      "<data><g><r template=''/></g><g><r/><r template=''/></g><g template=''/></data>",
      // nested templates, and a nested one whose outer one has namesakes
      "<data><o template=''><i template=''><d template=''/></i><i/></o><o><i/></o></data>",
      "<data><o/><o template=''><i/><i template=''/></o><o template=''/></data>",
      // a name ending in "]" or holding "[" is kept whole, nested or not
      "<data><o template=''><i] template=''/></o></data>",
      "<data><r] template=''/><a[b] template=''/><g><s] template=''/></g><g/></data>",
      // keys that collide: the later one wins
      "<data><r template=''><a/></r><x/><r template=''><b/></r><r><r template=''/></r></data>",
      "<data><g><r template=''><a/></r></g><g template=''/><g><r template=''><b/></r></g></data>",
      // prefixes and look-alikes; no templates at all
      "<data><r jr:template='x'/><r templated=''/><r x:template=''/></data>",
      "<data><q/></data>",
      // a parent wide enough to be indexed
      wide,
  };
  for (const std::string& xml : cases) expect_as_one_at_a_time(xml);
}

// Instances drawn from a fixed seed: few names, so that namesakes and
// colliding keys abound, templates at every depth, nested ones included.
TEST(RepeatTemplates, DrawnInstancesAreKeyedAsIfTakenOutOneAtATime) {
  std::mt19937 random(103);
  const char* const names[] = {"r", "s", "g"};
  for (int round = 0; round < 300; ++round) {
    std::string xml = "<data>";
    struct Open {
      std::string name;
      int children_left;
    };
    std::vector<Open> open{{"data", static_cast<int>(random() % 8)}};
    while (!open.empty()) {
      if (open.back().children_left == 0) {
        xml += "</" + open.back().name + ">";
        open.pop_back();
        continue;
      }
      --open.back().children_left;
      const std::string name = names[random() % 3];
      xml += "<" + name + (random() % 3 == 0 ? " jr:template=''" : "") + ">";
      open.push_back({name, open.size() < 4 ? static_cast<int>(random() % 4) : 0});
    }
    expect_as_one_at_a_time(xml);
    if (testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace vindle
