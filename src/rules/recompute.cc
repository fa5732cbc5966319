// Session::recompute: the calculations in calculation order, each written
// into a model document at once so that later ones read it; the values that
// changed written back into the working instance; then relevance and the
// judgement over the updated instance, and the row count of every repeat.
#include <unordered_set>

#include "eval/evaluator.h"
#include "eval/value.h"
#include "rules/judgement.h"
#include "rules/model.h"
#include "rules/relevance.h"
#include "rules/session.h"

namespace vindle {

namespace {

constexpr NodeId kOutside = UINT64_MAX;

// For each node of the model document, its original in the instance the
// model was built from, or kOutside (the model's root, the secondary
// instances). The model's first child is a copy of the instance's root, so
// the two trees are walked side by side.
std::vector<NodeId> originals_in(const Document& model, const Document& instance) {
  std::vector<NodeId> original(model.size(), kOutside);
  const std::span<const NodeId> top = model.children(*model.root());
  if (top.empty() || !instance.root()) return original;
  std::vector<std::pair<NodeId, NodeId>> stack{{top.front(), *instance.root()}};
  while (!stack.empty()) {
    const auto [copy, source] = stack.back();
    stack.pop_back();
    original[copy] = source;
    const std::span<const NodeId> copy_attributes = model.attributes(copy);
    const std::span<const NodeId> source_attributes = instance.attributes(source);
    for (std::size_t k = 0; k < copy_attributes.size() && k < source_attributes.size(); ++k) {
      original[copy_attributes[k]] = source_attributes[k];
    }
    const std::span<const NodeId> copy_children = model.children(copy);
    const std::span<const NodeId> source_children = instance.children(source);
    for (std::size_t k = 0; k < copy_children.size() && k < source_children.size(); ++k) {
      stack.emplace_back(copy_children[k], source_children[k]);
    }
  }
  return original;
}

}  // namespace

RecomputeResult Session::recompute() {
  RecomputeResult result;
  const Document& instance = numbered();

  // Calculations. Each bind's nodes are selected afresh: a value written by
  // an earlier calculation may change what a later bind's path selects.
  struct Computed {
    std::string value;
    NodeId node;  // in the model
  };
  TextMap<Computed> computed;
  std::vector<NodeId> original;
  {
    Document model = build_model_document(form_, instance);
    const FormEnv env(today_, now_, form_, model);
    std::vector<std::pair<NodeId, std::string>> values;
    for (const std::size_t index : form_.calculation_order) {
      const Bind& bind = form_.binds[index];
      if (!bind.calculate) continue;
      for (const NodeId node : select_bind(bind, model, env)) {
        auto value = evaluate(*bind.calculate, model, Focus{node, 1, 1}, env);
        if (!value) {
          result.failed.emplace_back(bind.nodeset, std::move(value.error()));
          continue;
        }
        std::string text = value_to_string(*value, model);
        model.set_value(node, text);
        values.emplace_back(node, std::move(text));
      }
    }
    // Paths are taken once every value is in: writing a value drops the
    // path cache of its parent, and values change no path.
    for (auto& [node, text] : values) {
      computed.insert_or_assign(strip_model_prefix(model.path_of(node)),
                                Computed{std::move(text), node});
    }
    original = originals_in(model, instance);
  }

  // Write-back. A value goes to the node it was calculated for: the path
  // would lead back to the same element, but an attribute's path reads as
  // an element's, and a node of a secondary instance has no place in the
  // working instance at all; such a value is listed but not written.
  for (auto& [path, entry] : computed) {
    const NodeId target = original[entry.node];
    if (target == kOutside) {
      if (get(path) != entry.value) result.calculated.emplace(path, std::move(entry.value));
      continue;
    }
    if (instance_.string_value(target) == entry.value) continue;
    instance_.set_value(target, entry.value);
    result.calculated.emplace(path, std::move(entry.value));
  }

  // Relevance, over the updated instance.
  {
    const Document model = build_model_document(form_, numbered());
    const FormEnv env(today_, now_, form_, model);
    std::vector<SubmissionFinding> findings;
    const RelevanceMap relevance = compute_relevance(form_.binds, model, env, findings);
    for (const auto& [node, relevant] : relevance.entries()) {
      result.relevant.insert_or_assign(strip_model_prefix(model.path_of(node)), relevant);
    }
    for (SubmissionFinding& finding : findings) {
      finding.path = strip_model_prefix(finding.path);
      result.failed.emplace_back(finding.path, finding.fmt());
    }
  }

  std::unordered_set<std::string_view> hidden;
  for (const auto& [path, relevant] : result.relevant) {
    if (!relevant) hidden.insert(path);
  }
  for (SubmissionFinding& finding : judge_submission(form_, numbered(), today_, now_)) {
    if (hidden.contains(finding.path)) continue;
    if (finding.kind.is<FindingKind::Constraint>()) {
      result.invalid.emplace_back(std::move(finding.path),
                                  finding.message.value_or("this answer is not allowed"));
    } else if (finding.kind.is<FindingKind::Required>()) {
      result.missing.push_back(std::move(finding.path));
    } else if (const auto* failure = finding.kind.as<FindingKind::NotEvaluated>()) {
      result.failed.emplace_back(std::move(finding.path), failure->reason);
    }
  }

  for (const auto& [path, pattern] : templates_) {
    result.repeats.emplace(path, nodes_at(path).size());
  }
  return result;
}

}  // namespace vindle
