#include "rules/judgement.h"

#include "eval/evaluator.h"
#include "eval/value.h"
#include "rules/choices.h"
#include "rules/sweep.h"
#include "text/unicode.h"

namespace vindle {

namespace {

// One node judged by one bind: its calculation is checked, or its
// required rule and constraint.
SubmissionFinding not_evaluated(const Bind& bind, std::string path, std::string reason) {
  return {bind.nodeset, std::move(path), std::nullopt,
          FindingKind{FindingKind::NotEvaluated{std::move(reason)}}};
}

// The calculation is compared with what the instance holds; nothing is
// written, so no calculation sees another's result.
void check_calculation(const Bind& bind, NodeId node, const Document& model, const FormEnv& env,
                       std::size_t place, FindingsByRule& findings) {
  EvalResult value = evaluate(*bind.calculate, model, Focus{node, 1, 1}, env);
  if (!value) {
    findings.add(place, not_evaluated(bind, strip_model_prefix(model.path_of(node)),
                                      std::move(value.error())));
    return;
  }
  std::string calculated = value_to_string(*value, model);
  std::string held = model.string_value(node);
  if (held == calculated) return;
  findings.add(place, {bind.nodeset, strip_model_prefix(model.path_of(node)), std::nullopt,
                       FindingKind{FindingKind::Calculation{std::move(held),
                                                           std::move(calculated)}}});
}

void check_answer(const Bind& bind, NodeId node, const Document& model, const FormEnv& env,
                  std::size_t place, FindingsByRule& findings) {
  std::string scratch;
  const bool blank = trim(model.string_value_view(node, scratch)).empty();
  // The required rule is evaluated whatever the answer.
  if (bind.required) {
    EvalResult value = evaluate(*bind.required, model, Focus{node, 1, 1}, env);
    if (!value) {
      findings.add(place, not_evaluated(bind, strip_model_prefix(model.path_of(node)),
                                        std::move(value.error())));
    } else if (blank && value_to_boolean(*value)) {
      findings.add(place, {bind.nodeset, strip_model_prefix(model.path_of(node)),
                           bind.required_msg, FindingKind{FindingKind::Required{}}});
      return;
    }
  }
  // A blank answer never fails a constraint, so its constraint is not
  // evaluated; a missing answer is blank.
  if (blank || !bind.constraint) return;
  EvalResult value = evaluate(*bind.constraint, model, Focus{node, 1, 1}, env);
  if (!value) {
    findings.add(place, not_evaluated(bind, strip_model_prefix(model.path_of(node)),
                                      std::move(value.error())));
  } else if (!value_to_boolean(*value)) {
    findings.add(place, {bind.nodeset, strip_model_prefix(model.path_of(node)),
                         bind.constraint_msg, FindingKind{FindingKind::Constraint{}}});
  }
}

}  // namespace

JudgingState::JudgingState(const Form& form, const Document& instance, std::string today,
                           std::string now)
    : JudgingState(form, build_model_document(form, instance), std::move(today),
                   std::move(now)) {}

JudgingState::JudgingState(const Form& form, Document&& model, std::string today,
                           std::string now)
    : form_(form),
      model_(std::move(model)),
      env_(std::move(today), std::move(now), form, model_),
      selections_(form.binds, model_, env_) {
  relevance_ = compute_relevance(selections_, model_, env_, relevance_failures_);
  for (SubmissionFinding& failure : relevance_failures_) {
    failure.path = strip_model_prefix(failure.path);
  }
}

std::vector<SubmissionFinding> JudgingState::findings() {
  // Every check in the order its findings are reported: the calculations
  // in calculation order, then the required rules and constraints in bind
  // order, each bind's nodes in the order selected. A check on a node that
  // is not relevant is passed over when its turn comes, in node order,
  // where the relevance of the nodes is read one after another.
  std::vector<std::span<const NodeId>> runs;
  std::vector<const Bind*> run_binds;
  std::vector<std::size_t> first_places;  // each run's first place
  std::size_t places = 0;
  const auto add_run = [&](const Bind& bind, const NodeSet& nodes) {
    runs.emplace_back(nodes);
    run_binds.push_back(&bind);
    first_places.push_back(places);
    places += nodes.size();
  };
  for (const std::size_t index : form_.calculation_order) {
    const Bind& bind = form_.binds[index];
    if (bind.calculate) add_run(bind, selections_.of(index));
  }
  const std::size_t calculation_runs = runs.size();
  for (std::size_t index = 0; index < form_.binds.size(); ++index) {
    const Bind& bind = form_.binds[index];
    if (bind.required || bind.constraint) add_run(bind, selections_.of(index));
  }

  FindingsByRule made;
  visit_in_node_order(runs, model_.size(), [&](std::size_t run, std::size_t index, NodeId node) {
    if (!relevance_.is_relevant(node)) return;
    const std::size_t place = first_places[run] + index;
    if (run < calculation_runs) {
      check_calculation(*run_binds[run], node, model_, env_, place, made);
    } else {
      check_answer(*run_binds[run], node, model_, env_, place, made);
    }
  });

  std::vector<SubmissionFinding> findings = relevance_failures_;
  made.move_to(findings);
  const NodeId model_root = *model_.root();
  for (SubmissionFinding& finding : findings) {
    if (finding.message && trim_start(*finding.message).starts_with("jr:itext(")) {
      finding.message = resolve_label_ref(form_, *finding.message, model_, model_root);
    }
  }
  return findings;
}

std::vector<SubmissionFinding> judge_submission(const Form& form, const Document& instance,
                                                std::string today, std::string now) {
  JudgingState state(form, instance, std::move(today), std::move(now));
  return state.findings();
}

std::vector<SubmissionFinding> judge_submission(const Form& form, Document&& instance,
                                                std::string today, std::string now) {
  JudgingState state(form, build_model_document_in_place(form, std::move(instance)),
                     std::move(today), std::move(now));
  return state.findings();
}

}  // namespace vindle
