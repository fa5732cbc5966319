// Session::recompute, in its steps: the calculations in calculation order,
// each written into a model document at once so that later ones read it;
// the values that changed written back into the working instance; then
// relevance and the judgement over the updated instance, in one judging
// state; and the row count of every repeat.
#include <unordered_set>

#include "eval/evaluator.h"
#include "eval/value.h"
#include "rules/judgement.h"
#include "rules/model.h"
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
  Document model = build_model_document(form_, instance);
  const std::vector<NodeId> original = originals_in(model, instance);

  // Calculations, in calculation order, each value written into the model
  // at once so that later ones read it. Non-relevant nodes are calculated
  // too.
  struct Computed {
    NodeId node;  // in the model
    std::string value;
  };
  std::vector<Computed> computed;
  // The nodes written, once each; for those outside the instance, their
  // value before.
  std::vector<NodeId> written;
  std::vector<std::pair<NodeId, std::string>> outside_before;
  {
    const FormEnv env(today_, now_, form_, model);
    // Each bind's nodes are selected after the calculations before it: a
    // value just written may change what a path with a predicate selects.
    BindSelections selections(form_.binds, model, env, BindSelections::Values::Changing);
    std::vector<bool> touched(model.size(), false);
    for (const std::size_t index : form_.calculation_order) {
      const Bind& bind = form_.binds[index];
      if (!bind.calculate) continue;
      for (const NodeId node : selections.of(index)) {
        auto value = evaluate(*bind.calculate, model, Focus{node, 1, 1}, env);
        if (!value) {
          result.failed.emplace_back(bind.nodeset, std::move(value.error()));
          continue;
        }
        std::string text = value_to_string(*value, model);
        if (!touched[node]) {
          touched[node] = true;
          written.push_back(node);
          if (original[node] == kOutside) outside_before.emplace_back(node, model.node(node).value);
        }
        model.set_value(node, text);
        computed.push_back({node, std::move(text)});
      }
    }
  }

  // Write-back, in ascending path order; for a path calculated more than
  // once, the last value counts. A value goes to the node it was calculated
  // for: the path would lead back to the same element, but an attribute's
  // path reads as an element's, and a node of a secondary instance has no
  // place in the working instance at all; such a value is listed but not
  // written.
  std::vector<NodeId> computed_nodes;
  computed_nodes.reserve(computed.size());
  for (const Computed& entry : computed) computed_nodes.push_back(entry.node);
  for (auto& [path, place] : instance_paths_in_order(model, computed_nodes)) {
    Computed& entry = computed[place];
    const NodeId target = original[entry.node];
    if (target == kOutside) {
      if (get(path) != entry.value) {
        result.calculated.emplace_hint(result.calculated.end(), std::move(path),
                                       std::move(entry.value));
      }
      continue;
    }
    if (instance_.string_value(target) == entry.value) continue;
    instance_.set_value(target, entry.value);
    result.calculated.emplace_hint(result.calculated.end(), std::move(path),
                                   std::move(entry.value));
  }

  // The model brought up to date with the instance: only values have
  // changed since it was built, and only those of the nodes written, so
  // each of them takes its value from the instance again, or its own from
  // before for a node outside the instance. It is then what a model built
  // afresh from the updated instance would be.
  for (const NodeId node : written) {
    if (original[node] != kOutside) model.set_value(node, instance_.node(original[node]).value);
  }
  for (const auto& [node, value] : outside_before) model.set_value(node, value);

  // Relevance and the judgement, over the updated instance.
  JudgingState state(form_, std::move(model), today_, now_);
  const std::vector<std::pair<NodeId, bool>> relevance = state.relevance().entries();
  std::vector<NodeId> relevance_nodes;
  relevance_nodes.reserve(relevance.size());
  for (const auto& [node, relevant] : relevance) relevance_nodes.push_back(node);
  for (auto& [path, place] : instance_paths_in_order(state.model(), relevance_nodes)) {
    result.relevant.emplace_hint(result.relevant.end(), std::move(path),
                                 relevance[place].second);
  }
  for (const SubmissionFinding& failure : state.relevance_failures()) {
    result.failed.emplace_back(failure.path, failure.fmt());
  }

  std::unordered_set<std::string_view> hidden;
  for (const auto& [path, relevant] : result.relevant) {
    if (!relevant) hidden.insert(path);
  }
  for (SubmissionFinding& finding : state.findings()) {
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
