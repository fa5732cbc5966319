#include "rules/form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/calculation_order.h"

namespace vindle {
namespace {

std::string form_with(const std::string& model) {
  return "<h:html xmlns:h='h'><h:head><model><instance><data><a/><b/><c/></data></instance>" +
         model + "</model></h:head><h:body/></h:html>";
}

TEST(FormLoad, TakesInstancesAndTextsAsDeclared) {
  auto form = Form::load(form_with(
      "<instance id='zeta'><root><item/></root></instance>"
      "<instance id=''><e/></instance>"
      "<instance id='zeta'><later/></instance>"
      "<itext><translation lang='a'><text id='t'><value form='short'> x </value></text>"
      "<text><value>no id</value></text><text id='u'/></translation>"
      "<translation lang='b'><text id='v'><value>other</value></text></translation></itext>"
      "<bind nodeset='/data/a'/>"));
  ASSERT_TRUE(form) << form.error();
  ASSERT_EQ(form->instances.size(), 2u);
  const Document& zeta = form->instances.at("zeta");
  EXPECT_EQ(zeta.node(*zeta.root()).name, "instance");
  EXPECT_EQ(zeta.attribute(*zeta.root(), "id"), "zeta");
  EXPECT_EQ(zeta.path_of(zeta.children(*zeta.root()).front()), "/instance/later");
  EXPECT_TRUE(form->instances.contains(""));
  EXPECT_EQ(form->itext, (TextMap<std::string>{{"t", " x "}}));
}

// An instance that names a file and holds no element is data we do not
// have: it is not collected, and as the later declaration of an id it
// leaves that id without data. Inline data is read, file or not.
TEST(FormLoad, AnInstanceThatOnlyNamesAFileIsNotCollected) {
  struct Case {
    std::string instances;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"<instance id='t' src='jr://file-csv/trees.csv'/>", {}},
      {"<instance id='t' jr:src='jr://file/t.xml'/>", {}},
      {"<instance id='t' src='jr://file/t.xml'> \n text only </instance>", {}},
      {"<instance id='t' src='jr://file/t.xml'><root><item/></root></instance>", {"t"}},
      {"<instance id='t' src=' '/>", {"t"}},
      {"<instance id='t'/>", {"t"}},
      {"<instance id='t' src=''/><instance id='u' src='jr://instance/last-saved'/>", {"t"}},
      {"<instance id='t'><root/></instance><instance id='t' src='t.csv'/>", {}},
      {"<instance id='t' src='t.csv'/><instance id='t'><root/></instance>", {"t"}},
  };
  for (const Case& c : cases) {
    auto form = Form::load(form_with(c.instances + "<bind nodeset='/data/a'/>"));
    ASSERT_TRUE(form) << form.error();
    std::vector<std::string> ids;
    for (const auto& [id, instance] : form->instances) ids.push_back(id);
    EXPECT_EQ(ids, c.ids) << c.instances;
  }
  // A primary instance that names a file and holds its data is collected
  // too, whole.
  auto form = Form::load(
      "<html><model><instance id='main' src='jr://file/main.xml'><data><a/></data></instance>"
      "<bind nodeset='/data/a'/></model></html>");
  ASSERT_TRUE(form) << form.error();
  ASSERT_TRUE(form->instances.contains("main"));
  const Document& main = form->instances.at("main");
  EXPECT_EQ(main.path_of(main.children(*main.root()).front()), "/instance/data");
}

TEST(CalculationOrder, ChainAsLongAsTheFormNeedsNoDeepStack) {
  // Bind i reads bind i+1, so the visit from bind 0 goes 5,000 deep.
  constexpr std::size_t kLength = 5000;
  std::string binds;
  for (std::size_t i = 0; i < kLength; ++i) {
    binds += "<bind nodeset='/data/n" + std::to_string(i) + "' calculate='/data/n" +
             std::to_string(i + 1) + " + 1'/>";
  }
  auto form = Form::load(form_with(binds));
  ASSERT_TRUE(form) << form.error();
  ASSERT_EQ(form->calculation_order.size(), kLength);
  EXPECT_EQ(form->calculation_order.front(), kLength - 1);
  EXPECT_EQ(form->calculation_order.back(), 0u);

  // Closing the chain into a ring names all of it.
  binds += "<bind nodeset='/data/n" + std::to_string(kLength) + "' calculate='/data/n0'/>";
  auto ring = Form::load(form_with(binds));
  ASSERT_FALSE(ring);
  EXPECT_TRUE(ring.error().ends_with("/data/n4999 → /data/n5000 → /data/n0")) << ring.error();
}

TEST(CalculationOrder, DependencySetsAreAscendingAndWithoutSelf) {
  auto form = Form::load(form_with(
      "<bind nodeset='/data/a' calculate='/data/c + /data/b + /data/c + /data/a'/>"
      "<bind nodeset='/data/b'/><bind nodeset='/data/c' calculate='1'/>"));
  ASSERT_TRUE(form) << form.error();
  TextMap<std::size_t> index{{"/data/a", 0}, {"/data/b", 1}, {"/data/c", 2}};
  const auto sets = dependency_sets(form->binds, bind_operands(form->binds), index);
  EXPECT_EQ(sets, (std::vector<std::vector<std::size_t>>{{1, 2}, {}, {}}));
}

// Relative paths are read from the root of the first instance, whatever its
// attributes; with no such root they stay as written.
TEST(FormLoad, RelativeBindPathsAreReadFromThePrimaryInstanceRoot) {
  struct Case {
    std::string form;
    std::vector<std::string> nodesets;
  };
  const std::string binds =
      "<bind nodeset='a'/><bind nodeset=' ./b'/><bind nodeset='/data/c '/>"
      "<bind nodeset='' ref='g/q'/><bind nodeset='rep[2]/q'/>";
  const Case cases[] = {
      {form_with(binds), {"/data/a", "/data/b", "/data/c ", "/data/g/q", "/data/rep[2]/q"}},
      {"<html><model><instance id='s'><survey/></instance><instance><data/></instance>" + binds +
           "</model></html>",
       {"/survey/a", "/survey/b", "/data/c ", "/survey/g/q", "/survey/rep[2]/q"}},
      {"<html><model><instance> </instance>" + binds + "</model></html>",
       {"a", " ./b", "/data/c ", "g/q", "rep[2]/q"}},
      {"<instance><model>" + binds + "</model></instance>",
       {"a", " ./b", "/data/c ", "g/q", "rep[2]/q"}},
  };
  for (const auto& [text, nodesets] : cases) {
    auto form = Form::load(text);
    ASSERT_TRUE(form) << form.error();
    std::vector<std::string> got;
    for (const Bind& bind : form->binds) got.push_back(bind.nodeset);
    EXPECT_EQ(got, nodesets) << text;
  }
}

TEST(FormLoad, RelativeBindsAreNamedByTheirAbsolutePath) {
  auto form = Form::load(form_with("<bind nodeset='a' relevant='1 +'/>"));
  ASSERT_FALSE(form);
  EXPECT_TRUE(form.error().starts_with("relevant of /data/a: ")) << form.error();

  auto ring = Form::load(form_with("<bind nodeset='a' calculate='../b'/>"
                                   "<bind nodeset='b' calculate='/data/a'/>"));
  ASSERT_FALSE(ring);
  EXPECT_TRUE(ring.error().ends_with(": /data/a → /data/b → /data/a")) << ring.error();
}

TEST(CalculationOrder, RelativeBindsAreOrderedByWhatTheyRead) {
  auto form = Form::load(form_with("<bind nodeset='c' calculate='/data/b * 2'/>"
                                   "<bind nodeset='a' calculate='1'/>"
                                   "<bind nodeset='./b' calculate='../a + 1'/>"));
  ASSERT_TRUE(form) << form.error();
  EXPECT_EQ(form->calculation_order, (std::vector<std::size_t>{1, 2, 0}));
}

// A union bind calculates the nodes of each of its operands: it reads from
// each, and a rule reading any of them waits for that operand.
TEST(CalculationOrder, AUnionBindCountsUnderEachOfItsOperands) {
  const auto load = [](const std::string& binds) {
    return Form::load("<h:html xmlns:h='h'><h:head><model><instance><data><t/><a/><c/>"
                      "<g><a/><c/></g></data></instance>" +
                      binds + "</model></h:head><h:body/></h:html>");
  };
  struct Case {
    std::string binds;
    std::vector<std::size_t> order;
  };
  const Case cases[] = {
      // 0 reads the second operand of 1; 1 reads g/a, the second operand of 2.
      {"<bind nodeset='/data/t' calculate='/data/g/c + 1'/>"
       "<bind nodeset='c | g/c' calculate='../a * 2'/>"
       "<bind nodeset='/data/a|g/a' calculate='1'/>",
       {2, 1, 0}},
      // An operand reading its own node is no dependency; reading another
      // operand of its union orders the two.
      {"<bind nodeset='a | c' calculate='/data/a + .'/>", {0}},
  };
  for (const auto& [binds, order] : cases) {
    auto form = load(binds);
    ASSERT_TRUE(form) << form.error();
    EXPECT_EQ(form->calculation_order, order) << binds;
  }

  auto ring = load("<bind nodeset='a | g/a' calculate='/data/t'/>"
                   "<bind nodeset='t' calculate='../g/a'/>");
  ASSERT_FALSE(ring);
  EXPECT_TRUE(ring.error().ends_with(": /data/t → /data/g/a → /data/t"))
      << ring.error();
}

}  // namespace
}  // namespace vindle
