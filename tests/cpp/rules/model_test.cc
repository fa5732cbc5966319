#include "rules/model.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rules/choices.h"

namespace vindle {
namespace {

constexpr const char* kForm =
    "<h:html xmlns:h='h' xmlns:jr='jr'><h:head><model>"
    "<itext><translation lang='en'><text id='yes-label'><value>Yes!</value></text>"
    "</translation></itext>"
    "<instance><data><q1>a</q1><q2/></data></instance>"
    "<instance id='zeta'><root><item><name>z</name></item></root></instance>"
    "<instance id='alpha'><root><item><name>a</name><label>Alpha</label></item></root></instance>"
    "<bind nodeset='/data/q1'/></model></h:head>"
    "<h:body><group ref='/data/q1'/><select1 ref=' /data/q1 '><item><value>y</value>"
    "<label ref=\"jr:itext('yes-label')\"/></item></select1>"
    "<select ref='/data/q2'/><input ref='q3'/></h:body></h:html>";

Form load(const char* text) {
  auto form = Form::load(text);
  EXPECT_TRUE(form) << form.error();
  return std::move(*form);
}

Document parse(const std::string& text) { return std::move(*Document::parse(text)); }

TEST(ModelDocument, HoldsTheInstanceThenSecondaryInstancesInIdOrder) {
  const Form form = load(kForm);
  const Document model = build_model_document(form, parse("<data><q1>b</q1></data>"));
  const NodeId root = *model.root();
  ASSERT_EQ(model.children(root).size(), 3u);
  EXPECT_EQ(model.path_of(model.children(root)[0]), "/model/data");
  EXPECT_EQ(model.attribute(model.children(root)[1], "id"), "alpha");
  EXPECT_EQ(model.attribute(model.children(root)[2], "id"), "zeta");

  const FormEnv env("", "", form, model);
  struct Case {
    const char* expression;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {"/data/q1", {"/model/data/q1"}},
      {"/model/data/q1", {"/model/data/q1"}},
      {"instance('zeta')/root/item/name", {"/model/instance[2]/root/item/name"}},
      {"1 + 1", {}},
      {"/data/nothing", {}},
      {"/data/q1 +", {}},
      {"nosuch()", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> paths;
    for (const NodeId id : select_nodes(c.expression, model, env)) {
      paths.push_back(model.path_of(id));
    }
    EXPECT_EQ(paths, c.paths) << c.expression;
  }
}

TEST(ModelDocument, AnInstanceWithoutRootLeavesOnlySecondaryInstances) {
  const Form form = load(kForm);
  const Document model = build_model_document(form, Document());
  EXPECT_EQ(model.children(*model.root()).size(), 2u);
  const FormEnv env("", "", form, model);
  EXPECT_TRUE(select_nodes("/data/q1", model, env).empty());
}

TEST(BindSelections, SelectWhatEachPathSelectsOnItsOwn) {
  std::string binds;
  const char* const paths[] = {
      "/data/row/q", "/data/row/r", " /data/row/q", "/model/data/row/q", "/data/row/g/q",
      "/data/row/q", "/data/row", "/data/top", "/model/data", "/data", "/model/instance/x",
      "/data/row[2]/q", "/data/*/q", "../data/row/q", "/data/row/q +", "/data/nothing/q",
      "/instance/x/y", "/model",
  };
  for (const char* path : paths) binds += std::string("<bind nodeset='") + path + "'/>";
  const Form form = load(("<h:html xmlns:h='h'><h:head><model><instance><data/></instance>"
                          "<instance id='s'><x><y>1</y><y>2</y></x></instance>" +
                          binds + "</model></h:head></h:html>").c_str());
  const Document model = build_model_document(
      form, parse("<data><top/><row><q>1</q><g><q>a</q></g><r/><q>2</q></row><other/>"
                  "<row><r/><q>3</q></row><row/><row><q>4</q><g><q>b</q></g></row></data>"));
  const FormEnv env("", "", form, model);
  BindSelections selections(form.binds, model, env);
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    EXPECT_EQ(selections.of(i), select_nodes(form.binds[i].nodeset, model, env))
        << form.binds[i].nodeset;
  }
  EXPECT_EQ(selections.of(0).size(), 4u);
}

// What the slash paths of the nodes asked for give, sorted bytewise, the
// last place winning where places share a path.
std::vector<std::pair<std::string, std::size_t>> by_path_of(const Document& model,
                                                            const std::vector<NodeId>& nodes) {
  std::map<std::string, std::size_t> last;
  for (std::size_t place = 0; place < nodes.size(); ++place) {
    last.insert_or_assign(strip_model_prefix(model.path_of(nodes[place])), place);
  }
  return {last.begin(), last.end()};
}

TEST(ModelPaths, ComeInByteOrderOnceEachAsPathOfGivesThem) {
  // Names that sort around "/" and "]" (a-b, a.b, a0), ten and more rows,
  // attributes named like one or several child elements, a repeated
  // attribute, the model's own root and secondary instances.
  const Form form = load(
      "<h:html xmlns:h='h'><h:head><model><instance><data/></instance>"
      "<instance id='s'><root><v/><v/></root></instance><instance id='r'><x/></instance>"
      "<bind nodeset='/data'/></model></h:head></h:html>");
  std::string rows;
  for (int i = 0; i < 12; ++i) rows += "<row n='" + std::to_string(i) + "'><a/><a-b/></row>";
  Document model = build_model_document(
      form, parse("<data a='1' a='2' b='3'><a><a.b/></a><a-b c='x'><c/><c/></a-b><a.b/><a0/>"
                  "<b/>" + rows + "<b0/></data>"));
  std::vector<NodeId> all;
  for (NodeId id = 0; id < model.size(); ++id) all.push_back(id);
  std::vector<NodeId> shuffled;
  for (NodeId id = 0; id < model.size(); ++id) shuffled.push_back((id * 7) % model.size());
  shuffled.push_back(3);
  shuffled.push_back(*model.root());
  std::vector<NodeId> some = {5, 40, 12, 40, 31};

  for (const auto* nodes : {&all, &shuffled, &some}) {
    EXPECT_EQ(instance_paths_in_order(model, *nodes), by_path_of(model, *nodes));
  }
  // A node outside the tree has a path of its own, which the walk from the
  // root cannot place.
  const NodeId loose = model.new_element("loose", "");
  shuffled.push_back(loose);
  EXPECT_EQ(instance_paths_in_order(model, shuffled), by_path_of(model, shuffled));
}

TEST(ModelDocument, StripsOneModelPrefix) {
  const std::pair<const char*, const char*> cases[] = {
      {"/model/data/q1", "/data/q1"},
      {"/model", ""},
      {"/data/q1", "/data/q1"},
      {"/model/model/x", "/model/x"},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(strip_model_prefix(path), expected);
}

TEST(FormEnvironment, FindsInstancesByExactId) {
  const Form form = load(kForm);
  const Document model = build_model_document(form, parse("<data/>"));
  const FormEnv env("d", "t", form, model);
  EXPECT_NE(env.instance("alpha"), nullptr);
  EXPECT_EQ(env.instance("Alpha"), nullptr);
  EXPECT_EQ(env.today(), "d");
  EXPECT_EQ(env.now(), "t");
}

TEST(Controls, AreFoundByTheirRefAsText) {
  const Form form = load(kForm);
  const Document& body = form.document;
  struct Case {
    const char* path;
    const char* control;  // nullptr: none
  };
  const Case cases[] = {
      {"/data/q1", "select1"},  // the group with that ref is no control
      {" /data/q1\t", "select1"},
      {"/data/q2", "select"},
      {"q3", "input"},
      {"/data/q3", nullptr},
      {"/data/./q1", nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<NodeId> found = find_control(body, c.path);
    if (!c.control) {
      EXPECT_FALSE(found) << c.path;
    } else {
      ASSERT_TRUE(found) << c.path;
      EXPECT_EQ(body.node(*found).name, c.control);
    }
  }
}

TEST(Labels, NextLabelChildKeepsItsPlace) {
  const Document document = parse("<i><label>1</label><value/><label>2</label></i>");
  std::span<const NodeId> children = document.children(*document.root());
  EXPECT_EQ(document.node(*next_label_child(children, document)).value, "1");
  EXPECT_EQ(document.node(*next_label_child(children, document)).value, "2");
  EXPECT_FALSE(next_label_child(children, document));
}

TEST(Labels, ReferencesResolveThroughTextsOrExpressions) {
  const Form form = load(kForm);
  const Document model = build_model_document(form, parse("<data><q1>x</q1></data>"));
  const NodeId alpha_item = select_nodes("instance('alpha')/root/item", model,
                                         FormEnv("", "", form, model))
                                .front();
  const std::pair<const char*, const char*> cases[] = {
      {"jr:itext('yes-label')", "Yes!"},
      {"  jr:itext( 'yes-label' ) ", "Yes!"},
      {"jr:itext('missing')", "missing"},
      {"jr:itext(name)", "a"},                         // evaluated at the item: no such text
      {"jr:itext(concat('yes', '-label'))", ""},       // loses its parentheses, fails to parse
      {"label", "Alpha"},
      {"today()", ""},
      {"/data/q1", "x"},
      {"nosuch()", ""},
      {"JR:ITEXT('yes-label')", ""},
  };
  for (const auto& [ref, expected] : cases) {
    EXPECT_EQ(resolve_label_ref(form, ref, model, alpha_item), expected) << ref;
  }
}

}  // namespace
}  // namespace vindle
