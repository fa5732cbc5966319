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
  // The nodes of each bind with a relevant expression, a run per bind.
  std::vector<std::span<const NodeId>> runs;
  std::vector<const Bind*> run_binds;
  std::vector<std::size_t> first_places;  // each run's first place
  std::size_t places = 0;
  for (std::size_t index = 0; index < binds.size(); ++index) {
    if (!binds[index].relevant) continue;
    const NodeSet& nodes = selections.of(index);
    runs.emplace_back(nodes);
    run_binds.push_back(&binds[index]);
    first_places.push_back(places);
    places += nodes.size();
  }

  // What each relevant expression gave at its node, by place; a failure
  // counts as relevant, and is reported.
  std::vector<bool> values(places);
  FindingsByRule failures;
  visit_in_node_order(runs, model.size(), [&](std::size_t run, std::size_t index, NodeId node) {
    const Bind& bind = *run_binds[run];
    const std::size_t place = first_places[run] + index;
    EvalResult value = evaluate(*bind.relevant, model, Focus{node, 1, 1}, env);
    values[place] = !value || value_to_boolean(*value);
    if (!value) {
      failures.add(place, {bind.nodeset, model.path_of(node), std::nullopt,
                           FindingKind{FindingKind::NotEvaluated{std::move(value.error())}}});
    }
  });
  failures.move_to(findings);
  // Own relevance, by node: the last relevant expression on a node decides.
  RelevanceMap own(model.size());
  for (std::size_t run = 0; run < runs.size(); ++run) {
    for (std::size_t index = 0; index < runs[run].size(); ++index) {
      own.set(runs[run][index], values[first_places[run] + index]);
    }
  }

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

  // Every node some bind selects gets its entry: marked first, bind by
  // bind, then entered in one pass in id order.
  std::vector<bool> selected_nodes(model.size(), false);
  for (std::size_t index = 0; index < binds.size(); ++index) {
    for (const NodeId node : selections.of(index)) {
      if (node < selected_nodes.size()) selected_nodes[node] = true;
    }
  }
  RelevanceMap effective(model.size());
  for (NodeId node = 0; node < selected_nodes.size(); ++node) {
    if (selected_nodes[node]) effective.set(node, !hidden[node]);
  }
  return effective;
}

}  // namespace vindle
