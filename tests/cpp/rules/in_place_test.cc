// A judgement that takes its submission builds the model around it; it
// finds what the judgement of a copy finds, in the same order, whatever
// order the ids of the selected nodes come in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/judgement.h"

namespace vindle {
namespace {

std::vector<std::string> texts(const std::vector<SubmissionFinding>& findings) {
  std::vector<std::string> out;
  for (const SubmissionFinding& finding : findings) out.push_back(finding.fmt());
  return out;
}

TEST(JudgementInPlace, FindsWhatTheJudgementOfACopyFinds) {
  const char* const binds[] = {
      // Rows of a repeat, a group's relevance, calculations reading the row.
      "<bind nodeset='/data/r/q' required='true()' constraint='. &lt; 10'/>"
      "<bind nodeset='/data/r/g' relevant='../q != 3'/>"
      "<bind nodeset='/data/r/g/h' required='true()'/>"
      "<bind nodeset='/data/r/c' calculate='../q * 2'/>",
      // Paths that select the model's root with the rest, and nodes of a
      // secondary instance.
      "<bind nodeset='/descendant-or-self::*' relevant='name() != \"g\"' constraint='true()'/>"
      "<bind nodeset='//h | /model' required='true()'/>"
      "<bind nodeset='instance(\"s\")/root/item' constraint='. = \"a\"'/>"
      "<bind nodeset='/data/r[2]/c' calculate='1 div 0' constraint='false()'/>",
  };
  const std::string submission =
      "<data><r><q>1</q><g><h/></g><c>2</c></r><r><q>3</q><g><h/></g><c>5</c></r>"
      "<r><q>12</q><g><h>x</h></g><c/></r><r/></data>";
  for (const char* bind : binds) {
    auto form = Form::load(std::string("<h:html xmlns:h='h'><h:head><model>"
                                       "<instance><data><r><q/><g><h/></g><c/></r></data>"
                                       "</instance><instance id='s'><root><item>a</item>"
                                       "<item>b</item></root></instance>") +
                           bind + "</model></h:head></h:html>");
    ASSERT_TRUE(form) << form.error();
    const Document read = *Document::parse(submission);
    const auto copied = texts(judge_submission(*form, read, "", ""));
    const auto taken = texts(judge_submission(*form, Document(read), "", ""));
    EXPECT_FALSE(copied.empty());
    EXPECT_EQ(taken, copied) << bind;
  }
}

}  // namespace
}  // namespace vindle
