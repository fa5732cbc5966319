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
#include "tree/document.h"

namespace vindle {

// The findings, in this order: relevant expressions that failed; the
// calculation check, in calculation order; then per bind (declaration
// order) and per node, its required finding followed by its constraint
// finding. Paths are the instance's (no "/model"), and messages written as
// jr:itext references are resolved. Never fails: an empty list means the
// instance satisfies the form.
std::vector<SubmissionFinding> judge_submission(const Form& form, const Document& instance,
                                                std::string today, std::string now);

}  // namespace vindle
