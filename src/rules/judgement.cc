#include "rules/judgement.h"

#include <cstdint>

#include "eval/evaluator.h"
#include "eval/value.h"
#include "rules/choices.h"
#include "rules/model.h"
#include "rules/relevance.h"
#include "tree/text.h"

namespace vindle {

namespace {

constexpr std::size_t kNone = SIZE_MAX;

SubmissionFinding not_evaluated(const Bind& bind, std::string path, std::string reason) {
  return {bind.nodeset, std::move(path), std::nullopt,
          FindingKind{FindingKind::NotEvaluated{std::move(reason)}}};
}

void check_calculations(const Form& form, BindSelections& selections, const Document& model,
                        const FormEnv& env, const RelevanceMap& relevance,
                        std::vector<SubmissionFinding>& findings) {
  std::vector<NodeRule> rules;
  std::vector<const Bind*> owners;
  for (const std::size_t index : form.calculation_order) {
    const Bind& bind = form.binds[index];
    if (!bind.calculate) continue;
    for (const NodeId node : selections.of(index)) {
      if (!relevance.is_relevant(node)) continue;
      rules.push_back({node, &*bind.calculate});
      owners.push_back(&bind);
    }
  }
  // Each calculation is compared with what the instance holds; nothing is
  // written, so no calculation sees another's result.
  std::vector<EvalResult> results = evaluate_at_nodes(rules, model, env);
  for (std::size_t k = 0; k < rules.size(); ++k) {
    const Bind& bind = *owners[k];
    const NodeId node = rules[k].node;
    if (!results[k]) {
      findings.push_back(not_evaluated(bind, model.path_of(node), std::move(results[k].error())));
      continue;
    }
    std::string calculated = value_to_string(*results[k], model);
    std::string held = model.string_value(node);
    if (held == calculated) continue;
    findings.push_back({bind.nodeset, model.path_of(node), std::nullopt,
                        FindingKind{FindingKind::Calculation{std::move(held),
                                                             std::move(calculated)}}});
  }
}

void check_answers(const Form& form, BindSelections& selections, const Document& model,
                   const FormEnv& env, const RelevanceMap& relevance,
                   std::vector<SubmissionFinding>& findings) {
  // One answer judged by one bind, with the places of its two results.
  struct Judged {
    const Bind* bind;
    NodeId node;
    bool blank;
    std::size_t required = kNone;
    std::size_t constraint = kNone;
  };
  std::vector<Judged> judged;
  std::vector<NodeRule> required_rules;
  for (std::size_t index = 0; index < form.binds.size(); ++index) {
    const Bind& bind = form.binds[index];
    if (!bind.required && !bind.constraint) continue;
    for (const NodeId node : selections.of(index)) {
      if (!relevance.is_relevant(node)) continue;
      Judged& entry =
          judged.emplace_back(&bind, node, trim(model.string_value(node)).empty());
      // The required rule is evaluated whatever the answer.
      if (bind.required) {
        entry.required = required_rules.size();
        required_rules.push_back({node, &*bind.required});
      }
    }
  }
  std::vector<EvalResult> required = evaluate_at_nodes(required_rules, model, env);

  // A blank answer never fails a constraint, so its constraint is not
  // evaluated; a missing answer is blank.
  std::vector<NodeRule> constraint_rules;
  for (Judged& entry : judged) {
    if (entry.blank || !entry.bind->constraint) continue;
    entry.constraint = constraint_rules.size();
    constraint_rules.push_back({entry.node, &*entry.bind->constraint});
  }
  std::vector<EvalResult> constraint = evaluate_at_nodes(constraint_rules, model, env);

  for (const Judged& entry : judged) {
    const Bind& bind = *entry.bind;
    if (entry.required != kNone) {
      EvalResult& value = required[entry.required];
      if (!value) {
        findings.push_back(not_evaluated(bind, model.path_of(entry.node), std::move(value.error())));
      } else if (entry.blank && value_to_boolean(*value)) {
        findings.push_back({bind.nodeset, model.path_of(entry.node), bind.required_msg,
                            FindingKind{FindingKind::Required{}}});
      }
    }
    if (entry.constraint == kNone) continue;
    EvalResult& value = constraint[entry.constraint];
    if (!value) {
      findings.push_back(not_evaluated(bind, model.path_of(entry.node), std::move(value.error())));
    } else if (!value_to_boolean(*value)) {
      findings.push_back({bind.nodeset, model.path_of(entry.node), bind.constraint_msg,
                          FindingKind{FindingKind::Constraint{}}});
    }
  }
}

}  // namespace

std::vector<SubmissionFinding> judge_submission(const Form& form, const Document& instance,
                                                std::string today, std::string now) {
  const Document model = build_model_document(form, instance);
  const FormEnv env(std::move(today), std::move(now), form, model);
  std::vector<SubmissionFinding> findings;
  BindSelections selections(form.binds, model, env);
  const RelevanceMap relevance = compute_relevance(selections, model, env, findings);
  check_calculations(form, selections, model, env, relevance, findings);
  check_answers(form, selections, model, env, relevance, findings);

  const NodeId model_root = *model.root();
  for (SubmissionFinding& finding : findings) {
    finding.path = strip_model_prefix(finding.path);
    if (finding.message && trim_start(*finding.message).starts_with("jr:itext(")) {
      finding.message = resolve_label_ref(form, *finding.message, model, model_root);
    }
  }
  return findings;
}

}  // namespace vindle
