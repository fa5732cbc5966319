#include "rules/session.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "parser/parser.h"
#include "rules/templates.h"

namespace vindle {
namespace {

std::string form_with(const std::string& instance, const std::string& binds = "") {
  return "<h:html xmlns:h='h' xmlns:jr='jr'><h:head><model><instance>" + instance +
         "</instance><bind nodeset='/data/q'/>" + binds + "</model></h:head><h:body/></h:html>";
}

std::vector<std::string> keys(const TemplateMap& map) {
  std::vector<std::string> out;
  for (const auto& [key, pattern] : map) out.push_back(key + " " + pattern.to_xml().substr(22));
  return out;
}

TEST(PrimaryInstance, IsTheFirstChildOfTheFirstInstanceWhateverItsId) {
  struct Case {
    const char* model;
    const char* expected;  // XML without header, or the message
  };
  const Case cases[] = {
      {"<instance id='x'><a><q/></a><b/></instance><instance><data/></instance>", "<a><q/></a>"},
      {"<instance>text only</instance>", "the XForm's primary instance is empty"},
      {"<instance/>", "the XForm's primary instance is empty"},
      {"<other/>", "the XForm has no primary instance"},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("<html><model>") + c.model + "</model></html>";
    auto instance = Form::primary_instance(text);
    EXPECT_EQ(instance ? instance->to_xml().substr(22) : instance.error(), c.expected) << c.model;
  }
  // The root itself is never the primary instance.
  EXPECT_FALSE(Form::primary_instance("<instance><a/></instance>"));
}

TEST(RepeatTemplates, AreKeyedByTheirPathAndLeaveTheInstance) {
  struct Case {
    const char* instance;
    std::vector<std::string> templates;  // key and stored XML
    const char* left;                    // the instance afterwards
  };
  const Case cases[] = {
      {"<data><rep jr:template=''><q>d</q></rep><rep><q>1</q></rep></data>",
       {"/data/rep <rep><q>d</q></rep>"},
       "<data><rep><q>1</q></rep></data>"},
      // any prefix, any value; other attributes stay; a look-alike name does not count
      {"<data><g><rep x:template='no' id='r'/></g><templates/><r templated=''/></data>",
       {"/data/g/rep <rep id=\"r\"/>"},
       "<data><g/><templates/><r templated=\"\"/></data>"},
      // the later of two templates with one key wins
      {"<data><rep template=''><a/></rep><rep template=''><b/></rep></data>",
       {"/data/rep <rep><b/></rep>"},
       "<data/>"},
      // positions of earlier steps are read after earlier templates left
      {"<data><grp template=''/><grp><rep template=''/></grp></data>",
       {"/data/grp <grp/>", "/data/grp/rep <rep/>"},
       "<data><grp/></data>"},
      {"<data><q/></data>", {}, "<data><q/></data>"},
  };
  for (const Case& c : cases) {
    Document instance = *Document::parse(c.instance);
    EXPECT_EQ(keys(collect_repeat_templates(instance)), c.templates) << c.instance;
    EXPECT_EQ(instance.to_xml().substr(22), c.left) << c.instance;
  }
}

TEST(RepeatTemplates, NestedOnesAreKeyedFromTheRootAndNotCopiedIntoTheOuter) {
  Document instance = *Document::parse(
      "<data><outer template=''><a/><inner template=''><b/><deep template=''/></inner></outer>"
      "<outer><a/></outer></data>");
  const TemplateMap map = collect_repeat_templates(instance);
  EXPECT_EQ(keys(map), (std::vector<std::string>{
                           "/data/outer <outer><a/></outer>",
                           "/data/outer/inner <inner><b/></inner>",
                           "/data/outer/inner/deep <deep/>",
                       }));
  EXPECT_EQ(instance.to_xml().substr(22), "<data><outer><a/></outer></data>");
}

TEST(Session, RowsOfANestedRepeatComeFromItsOwnTemplate) {
  auto session = Session::from_form(form_with(
      "<data><outer template=''><inner template=''><b/></inner></outer><q/></data>"), "", "");
  ASSERT_TRUE(session) << session.error();
  EXPECT_EQ(session->add_row("/data/outer"), 1u);
  EXPECT_EQ(session->add_row("/data/outer/inner"), 1u);
  EXPECT_EQ(session->add_row("/data/outer"), 2u);
  EXPECT_EQ(session->instance_xml().substr(22),
            "<data><q/><outer><inner><b/></inner></outer><outer/></data>");
  EXPECT_EQ(session->recompute().repeats,
            (TextMap<std::uint64_t>{{"/data/outer", 2}, {"/data/outer/inner", 1}}));
}

// The session walks slash paths itself; it must find what the evaluator
// finds, in every shape of path it takes that way.
TEST(Session, ResolvesSlashPathsAsTheEvaluatorDoes) {
  auto session = Session::from_form(
      form_with("<data><g><q>1</q></g><g><q>2</q><q>3</q></g><rep><x>a</x></rep>"
                "<rep><x>b</x></rep><data><q>4</q></data></data>"),
      "", "");
  ASSERT_TRUE(session) << session.error();
  // Edits the fast walk must see without a renumber.
  ASSERT_TRUE(session->add_row("/data/rep").error().size());
  ASSERT_TRUE(session->set("/data/rep[3]/x", "c").error().size());
  ASSERT_EQ(session->remove_row("/data/g", 1), 1u);
  ASSERT_TRUE(session->set("/data/h/q", "5"));
  const char* paths[] = {
      "/data/g/q",  "/data/g/q[2]", "/data/g[1]/q[1]", "/data/rep[2]/x", "/data/rep[3]",
      "/data/rep[0]", "/data/rep[1.5]", "/data[1]/rep/x", "/data[2]/rep", "rep/x", "g/q[2]",
      "/data/data/q", "/data/h/q", "/", "/rep[2]/x", "/nothing", "data/q",
  };
  const ClockEnv env("", "");
  for (const char* path : paths) {
    const Document& instance = session->instance();
    auto value = evaluate(*parse_expression(path), instance, Focus{*instance.root(), 1, 1}, env);
    ASSERT_TRUE(value && value->is_node_set()) << path;
    std::optional<NodeId> expected;
    if (!value->nodes().empty()) expected = value->nodes().front();
    EXPECT_EQ(session->resolve(path), expected) << path;
  }
}

// On a long repeat the rows are found through the parent's name index,
// which every edit keeps current; reads, edits and the written instance
// must come out as a scan of the rows would make them.
TEST(Session, EditsOnALongRepeatFindTheRightRows) {
  std::string saved = "<data><q/>";
  std::vector<std::string> expected;
  for (int k = 1; k <= 30; ++k) {
    saved += "<rep><n>" + std::to_string(k) + "</n></rep>";
    expected.push_back(std::to_string(k));
  }
  saved += "<after>z</after></data>";
  auto session = Session::with_saved_instance(
      form_with("<data><q/><rep template=''><n>d</n></rep><after/></data>"), saved, "", "");
  ASSERT_TRUE(session) << session.error();
  for (int turn = 0; turn < 3; ++turn) {
    EXPECT_EQ(session->add_row("/data/rep"), expected.size() + 1);
    expected.push_back("d");
    ASSERT_TRUE(session->set("/data/rep[" + std::to_string(expected.size()) + "]/n", "new"));
    expected.back() = "new";
    EXPECT_EQ(session->remove_row("/data/rep", 10 + turn), expected.size() - 1);
    expected.erase(expected.begin() + 9 + turn);
    EXPECT_EQ(session->remove_row("/data/rep", expected.size()), expected.size() - 1);
    expected.pop_back();
    ASSERT_TRUE(session->set("/data/rep[5]/n", "five" + std::to_string(turn)));
    expected[4] = "five" + std::to_string(turn);
  }
  std::string all = "";
  std::string xml = "<data><q/>";
  for (std::size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(session->get("/data/rep[" + std::to_string(k + 1) + "]/n"), expected[k]) << k;
    all += expected[k];
    xml += "<rep><n>" + expected[k] + "</n></rep>";
  }
  EXPECT_EQ(session->get("/data"), all + "z");  // read before any renumbering
  EXPECT_EQ(session->instance_xml().substr(22), xml + "<after>z</after></data>");
  EXPECT_EQ(session->remove_row("/data/rep", expected.size() + 1).error(),
            "'/data/rep' has 27 row(s); there is no row 28");
}

// Building a path element by element must cost the path's length, not its
// square: at this depth a walk up the new path on every step takes minutes.
TEST(Session, SetMakesAVeryDeepPathInOnePass) {
  auto session = Session::from_form(form_with("<data><q/></data>"), "", "");
  ASSERT_TRUE(session) << session.error();
  constexpr std::size_t kSteps = 300'000;
  std::string path = "/data";
  for (std::size_t k = 0; k < kSteps; ++k) path += "/z";
  ASSERT_TRUE(session->set(path, "v"));
  EXPECT_EQ(session->get(path), "v");
  // The header, <data><q/>...</data> and "v", with <z></z> around it at every step.
  EXPECT_EQ(session->instance_xml().size(), 22 + 17 + 1 + kSteps * 7);
}

// The value is scanned as bytes: the two noncharacters are found only as
// whole sequences, a sequence cut short at the end is read past safely, and
// stray bytes that are not UTF-8 are no concern of this check.
TEST(Session, SetRefusesTheBytesOfCharactersXmlCannotCarry) {
  const std::pair<std::string_view, const char*> cases[] = {
      {std::string_view("a\0b", 3), "U+0000"},
      {"\x1f", "U+001F"},
      {"ok\r\n\t\x7f", nullptr},
      {"\xEF\xBF\xBE", "U+FFFE"},
      {"x\xEF\xBF\xBF", "U+FFFF"},
      {"\xEF\xBF\xBD", nullptr},   // U+FFFD
      {"\xEF\xBF", nullptr},       // cut short
      {"\xEF\xBE\xBF", nullptr},   // U+FFBF
      {"\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80", nullptr},  // U+D7FF U+E000 U+10000
      {"\xBF\xBE\xEF", nullptr},
  };
  for (const auto& [value, refused] : cases) {
    auto session = Session::from_form(form_with("<data><q>old</q></data>"), "", "");
    ASSERT_TRUE(session) << session.error();
    const std::string before = session->instance_xml();
    for (const char* path : {"/data/q", "/data/new/q"}) {
      const auto done = session->set(path, value);
      if (refused) {
        ASSERT_FALSE(done) << path;
        EXPECT_EQ(done.error(), "'" + std::string(path) + "' cannot hold " + refused +
                                    ", a character XML does not allow — the instance would no "
                                    "longer read as XML");
        EXPECT_EQ(session->instance_xml(), before);
      } else {
        ASSERT_TRUE(done) << path << " " << done.error();
        EXPECT_EQ(session->get(path), value);
      }
    }
  }
}

TEST(Session, CalculationsWriteBackToTheNodeTheyWereCalculatedFor) {
  auto session = Session::from_form(
      form_with("<data><q id='x'/><r/></data>",
                "<bind nodeset='/data/q/@id' calculate=\"'y'\"/>"
                "<instance id='s'><item/></instance>"
                "<bind nodeset=\"instance('s')/item\" calculate=\"'z'\"/>"),
      "", "");
  ASSERT_TRUE(session) << session.error();
  // The attribute takes its value (its path reads as an element's, which
  // would be made anew on every recompute); the secondary instance's node
  // is listed but has no place in the instance.
  EXPECT_EQ(session->recompute().calculated,
            (TextMap<std::string>{{"/data/q/id", "y"}, {"/instance/item", "z"}}));
  EXPECT_EQ(session->instance_xml().substr(22), "<data><q id=\"y\"/><r/></data>");
  EXPECT_EQ(session->recompute().calculated, (TextMap<std::string>{{"/instance/item", "z"}}));
}

}  // namespace
}  // namespace vindle
