#include <gtest/gtest.h>

#include <string>

#include "rules/session.h"

namespace vindle {
namespace {

// Relevance and the judgement run over the instance as the calculations
// left it: values written back are seen, and a value calculated into the
// model but not written back (a secondary instance's node, the attribute
// that loses its path to an element, a group whose text already matched)
// is not.
TEST(Recompute, JudgesTheInstanceAsTheWriteBackLeftIt) {
  auto session = Session::from_form(
      "<h:html xmlns:h='h'><h:head><model>"
      "<instance><data b=''><q>x</q><b/><g2><h>5</h></g2><t/><flag/>"
      "<row><v/></row><row><v/></row><g><k/></g></data></instance>"
      "<instance id='s'><item/></instance>"
      "<bind nodeset=\"instance('s')/item\" calculate=\"'z'\"/>"
      "<bind nodeset='/data/@b' calculate=\"'A'\"/>"
      "<bind nodeset='/data/b' calculate=\"'E'\"/>"
      "<bind nodeset='/data/g2' calculate=\"'5'\"/>"
      "<bind nodeset='/data/t' calculate=\"'1'\"/>"
      "<bind nodeset=\"/data/row[../flag = '1']/v\" calculate=\"'early'\"/>"
      "<bind nodeset='/data/flag' calculate=\"'1'\"/>"
      "<bind nodeset=\"/data/row[../flag = '1']/v\" calculate=\"'on'\"/>"
      "<bind nodeset='/data/g' relevant='/data/t = 1'/>"
      "<bind nodeset='/data/g/k' required='true()'/>"
      "<bind nodeset='/data/q' constraint=\"instance('s')/item = '' and /data/@b = '' and "
      "string(/data/g2) = '5'\"/>"
      "</model></h:head></h:html>",
      "", "");
  ASSERT_TRUE(session) << session.error();
  const RecomputeResult result = session->recompute();
  // The rows are selected again once the flag their path tests has been
  // calculated.
  EXPECT_EQ(result.calculated, (TextMap<std::string>{{"/data/b", "E"},
                                                     {"/data/flag", "1"},
                                                     {"/data/row[1]/v", "on"},
                                                     {"/data/row[2]/v", "on"},
                                                     {"/data/t", "1"},
                                                     {"/instance/item", "z"}}));
  EXPECT_EQ(result.relevant.at("/data/g"), true);
  EXPECT_EQ(result.missing, std::vector<std::string>{"/data/g/k"});
  EXPECT_TRUE(result.invalid.empty());
  EXPECT_TRUE(result.failed.empty());
}

}  // namespace
}  // namespace vindle
