#include "rules/relevance.h"

#include "eval/evaluator.h"
#include "eval/value.h"
#include "rules/sweep.h"

namespace vindle {

RelevanceMap::RelevanceMap(std::size_t nodes) : state_(nodes, kNone) {}

void RelevanceMap::set(NodeId id, bool relevant) {
  if (id >= state_.size()) state_.resize(id + 1, kNone);
  state_[id] = relevant ? 1 : 0;
}

std::optional<bool> RelevanceMap::find(NodeId id) const {
  if (id >= state_.size() || state_[id] == kNone) return std::nullopt;
  return state_[id] == 1;
}

std::vector<std::pair<NodeId, bool>> RelevanceMap::entries() const {
  std::vector<std::pair<NodeId, bool>> entries;
  for (NodeId id = 0; id < state_.size(); ++id) {
    if (state_[id] != kNone) entries.emplace_back(id, state_[id] == 1);
  }
  return entries;
}

RelevanceMap compute_relevance(BindSelections& selections, const Document& model,
                               const EvalEnv& env, std::vector<SubmissionFinding>& findings) {
  const std::vector<Bind>& binds = selections.binds();
  std::vector<NodeId> nodes;
  std::vector<const Bind*> owners;
  for (std::size_t index = 0; index < binds.size(); ++index) {
    if (!binds[index].relevant) continue;
    for (const NodeId node : selections.of(index)) {
      nodes.push_back(node);
      owners.push_back(&binds[index]);
    }
  }

  // What each relevant expression gave at its node; a failure counts as
  // relevant, and is reported.
  std::vector<bool> values(nodes.size());
  FindingsByRule failures;
  for (const std::size_t k : node_order(nodes, model.size())) {
    const Bind& bind = *owners[k];
    EvalResult value = evaluate(*bind.relevant, model, Focus{nodes[k], 1, 1}, env);
    values[k] = !value || value_to_boolean(*value);
    if (!value) {
      failures.add(k, {bind.nodeset, model.path_of(nodes[k]), std::nullopt,
                       FindingKind{FindingKind::NotEvaluated{std::move(value.error())}}});
    }
  }
  failures.move_to(findings);
  // Own relevance, by node: the last relevant expression on a node decides.
  RelevanceMap own(model.size());
  for (std::size_t k = 0; k < nodes.size(); ++k) own.set(nodes[k], values[k]);

  // A node is hidden when it or one of its ancestors has an own value of
  // false: the subtrees below such nodes (attributes included) are marked,
  // which reads no node outside them, where walking up from every bound
  // node would read each of them from memory once more.
  std::vector<bool> hidden(model.size(), false);
  std::vector<NodeId> stack;
  for (NodeId top = 0; top < model.size(); ++top) {
    if (own.is_relevant(top) || hidden[top]) continue;
    stack.push_back(top);
    while (!stack.empty()) {
      const NodeId node = stack.back();
      stack.pop_back();
      if (hidden[node]) continue;
      hidden[node] = true;
      for (const NodeId attribute : model.attributes(node)) stack.push_back(attribute);
      for (const NodeId child : model.children(node)) stack.push_back(child);
    }
  }

  RelevanceMap effective(model.size());
  for (std::size_t index = 0; index < binds.size(); ++index) {
    for (const NodeId node : selections.of(index)) {
      if (node < hidden.size()) effective.set(node, !hidden[node]);
    }
  }
  return effective;
}

}  // namespace vindle
