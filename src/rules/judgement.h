// The judgement of an instance against its form's rules: calculations in
// calculation order, then each bind's required rule and constraint, on the
// relevant nodes each bind selects. The same judgement serves a received
// submission and a session's working instance, so a form cannot behave one
// way while it is filled in and another way afterwards.
#pragma once

#include <string>
#include <vector>

#include "rules/finding.h"
#include "rules/form.h"
#include "rules/model.h"
#include "rules/relevance.h"
#include "tree/document.h"

namespace vindle {

// What a judgement works in, built once and read by each of its passes:
// the model document of the form and the instance, the form-aware
// environment over it, the nodes each bind selects there, and the
// relevance of those nodes with the relevant expressions that failed.
// Recompute reads the relevance from it and then judges in it, so one call
// builds the model and computes relevance once. The form must outlive it.
class JudgingState {
 public:
  JudgingState(const Form& form, const Document& instance, std::string today, std::string now);
  // Over a model document the caller has built: it must hold what
  // `build_model_document` would build from the form and the instance.
  JudgingState(const Form& form, Document&& model, std::string today, std::string now);
  // The environment and the selections refer to the model held here.
  JudgingState(const JudgingState&) = delete;
  JudgingState& operator=(const JudgingState&) = delete;

  const Document& model() const { return model_; }
  const RelevanceMap& relevance() const { return relevance_; }
  // The relevant expressions that failed, in bind order and node order,
  // with instance paths.
  const std::vector<SubmissionFinding>& relevance_failures() const { return relevance_failures_; }

  // The findings, in this order: relevant expressions that failed; the
  // calculation check, in calculation order; then per bind (declaration
  // order) and per node, its required finding followed by its constraint
  // finding. Paths are the instance's (no "/model"), and messages written
  // as jr:itext references are resolved. An empty list means the instance
  // satisfies the form.
  std::vector<SubmissionFinding> findings();

 private:
  const Form& form_;
  Document model_;
  FormEnv env_;
  BindSelections selections_;
  std::vector<SubmissionFinding> relevance_failures_;
  RelevanceMap relevance_;
};

// The findings of a JudgingState built over the instance. Never fails.
std::vector<SubmissionFinding> judge_submission(const Form& form, const Document& instance,
                                                std::string today, std::string now);
// The same findings from an instance the judgement may take: the model is
// built around it instead of around a copy, which on a large submission
// saves writing the whole store again.
std::vector<SubmissionFinding> judge_submission(const Form& form, Document&& instance,
                                                std::string today, std::string now);

}  // namespace vindle
