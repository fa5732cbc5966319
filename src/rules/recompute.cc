// Session::recompute, in its steps: the calculations in calculation order,
// each written into a model document at once so that later ones read it;
// the values that changed written back into the working instance; then,
// in one judging state over the updated instance, relevance and the
// judgement; and the row count of every repeat.

#include <set>

#include "eval/evaluator.h"
#include "eval/value.h"
#include "rules/judgement.h"
#include "rules/model.h"
#include "rules/session.h"
#include "text/bounded_map.h"

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

// What the calculations wrote into the model.
struct Calculations {
  struct Value {
    NodeId node;  // in the model
    std::string text;
  };
  std::vector<Value> values;  // in the order calculated
  std::vector<NodeId> written;  // each node written, once
  // The value before of each node written outside the instance.
  std::vector<std::pair<NodeId, std::string>> outside_before;
};

// The calculations that failed, listed by their bind's path, one entry per
// node: the entries of a bind share one copy of the path, however many nodes
// it selects.
class CalculationFailures {
 public:
  CalculationFailures(const std::vector<Bind>& binds,
                      std::vector<std::pair<SharedText, std::string>>& failed)
      : binds_(binds), paths_(binds.size()), failed_(failed) {}

  void add(std::size_t bind, std::string reason) {
    SharedText& path = paths_[bind];
    if (!path) path = std::make_shared<const std::string>(binds_[bind].nodeset);
    failed_.emplace_back(path, std::move(reason));
  }

 private:
  const std::vector<Bind>& binds_;
  std::vector<SharedText> paths_;  // by bind, made at its first failure
  std::vector<std::pair<SharedText, std::string>>& failed_;
};

// Every calculation in calculation order, each value written into the
// model at once so that later ones read it; non-relevant nodes are
// calculated too. A calculation that fails is listed by the bind's path,
// once per node.
Calculations calculate(const Form& form, Document& model, const std::vector<NodeId>& original,
                       const std::string& today, const std::string& now,
                       CalculationFailures& failed) {
  Calculations done;
  const FormEnv env(today, now, form, model);
  // Each calculation's nodes are selected after the calculations before it:
  // a value just written may change what a path with a predicate selects.
  BindSelections selections(form.binds, model, env, BindSelections::Values::Changing);
  std::vector<bool> touched(model.size(), false);
  // A union bind calculates each of its nodes once, as it judges each once:
  // a node that two of its operands select is calculated where the first
  // of them runs.
  std::set<std::pair<std::size_t, NodeId>> calculated_by_union;
  NodeSet operand_nodes;
  for (const Calculation& calculation : form.calculations) {
    const Bind& bind = form.binds[calculation.bind];
    if (!bind.calculate) continue;
    const bool of_union = !calculation.operand.empty();
    if (of_union) {
      operand_nodes = calculation.path ? select_nodes(*calculation.path, model, env) : NodeSet();
    }
    const NodeSet& nodes = of_union ? operand_nodes : selections.of(calculation.bind);
    for (const NodeId node : nodes) {
      if (of_union && !calculated_by_union.emplace(calculation.bind, node).second) continue;
      auto value = evaluate(*bind.calculate, model, Focus{node, 1, 1}, env);
      if (!value) {
        failed.add(calculation.bind, std::move(value.error()));
        continue;
      }
      std::string text = value_to_string(*value, model);
      if (!touched[node]) {
        touched[node] = true;
        done.written.push_back(node);
        if (original[node] == kOutside) done.outside_before.emplace_back(node, model.node(node).value);
      }
      model.set_value(node, text);
      done.values.push_back({node, std::move(text)});
    }
  }
  return done;
}

// The model brought back to what a model built afresh from the updated
// instance would be: since it was built only values have changed, and only
// those of the nodes written, so each of them takes its value from the
// instance again, or its own from before for a node outside the instance.
void bring_up_to_date(Document& model, const Calculations& calculations,
                      const std::vector<NodeId>& original, const Document& instance) {
  for (const NodeId node : calculations.written) {
    if (original[node] != kOutside) model.set_value(node, instance.node(original[node]).value);
  }
  for (const auto& [node, value] : calculations.outside_before) model.set_value(node, value);
}

// The values that differ from what the instance holds, written back in
// ascending path order and listed; for a path calculated more than once,
// the last value counts. A value goes to the node it was calculated for:
// the path would lead back to the same element, but an attribute's path
// reads as an element's, and a node of a secondary instance has no place
// in the working instance at all; such a value is compared with what the
// path reads there, and listed but not written.
void write_back(Calculations& calculations, const Document& model,
                const std::vector<NodeId>& original, Document& instance, const Session& session,
                TextMap<std::string>& calculated) {
  std::vector<NodeId> nodes;
  nodes.reserve(calculations.values.size());
  for (const Calculations::Value& value : calculations.values) nodes.push_back(value.node);
  for (auto& [path, place] : instance_paths_in_order(model, nodes)) {
    Calculations::Value& value = calculations.values[place];
    const NodeId target = original[value.node];
    if (target == kOutside) {
      if (session.get(path) != value.text) {
        calculated.emplace_hint(calculated.end(), std::move(path), std::move(value.text));
      }
      continue;
    }
    if (instance.string_value(target) == value.text) continue;
    instance.set_value(target, value.text);
    calculated.emplace_hint(calculated.end(), std::move(path), std::move(value.text));
  }
}

// The relevance of every node some bind selects, by path, and the relevant
// expressions that failed, each with its whole line.
void report_relevance(const JudgingState& state, RecomputeResult& result) {
  const std::vector<std::pair<NodeId, bool>> relevance = state.relevance().entries();
  std::vector<NodeId> nodes;
  nodes.reserve(relevance.size());
  for (const auto& [node, relevant] : relevance) nodes.push_back(node);
  for (auto& [path, place] : instance_paths_in_order(state.model(), nodes)) {
    result.relevant.emplace_hint(result.relevant.end(), std::move(path), relevance[place].second);
  }
  for (const SubmissionFinding& failure : state.relevance_failures()) {
    result.failed.emplace_back(std::make_shared<const std::string>(failure.path), failure.fmt());
  }
}

// The judgement's findings on relevant paths, sorted into missing, invalid
// and failed; the calculation check is not reported.
void report_findings(JudgingState& state, RecomputeResult& result) {
  BoundedTextSet<std::string_view> hidden;
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
      result.failed.emplace_back(std::make_shared<const std::string>(std::move(finding.path)),
                                 failure->reason);
    }
  }
}

}  // namespace

RecomputeResult Session::recompute() {
  RecomputeResult result;
  Document model = build_model_document(form_, numbered());
  const std::vector<NodeId> original = originals_in(model, instance_);
  CalculationFailures failures(form_.binds, result.failed);
  Calculations calculations = calculate(form_, model, original, today_, now_, failures);
  write_back(calculations, model, original, instance_, *this, result.calculated);
  bring_up_to_date(model, calculations, original, instance_);

  JudgingState state(form_, std::move(model), today_, now_);
  report_relevance(state, result);
  report_findings(state, result);
  for (const auto& [path, pattern] : templates_) {
    result.repeats.emplace(path, nodes_at(path).size());
  }
  return result;
}

}  // namespace vindle
