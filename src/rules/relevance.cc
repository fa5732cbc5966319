#include "rules/relevance.h"

#include "eval/evaluator.h"
#include "eval/value.h"

namespace vindle {

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

RelevanceMap compute_relevance(const std::vector<Bind>& binds, const Document& model,
                               const EvalEnv& env, std::vector<SubmissionFinding>& findings) {
  BindSelections selections(binds, model, env);
  return compute_relevance(selections, model, env, findings);
}

RelevanceMap compute_relevance(BindSelections& selections, const Document& model,
                               const EvalEnv& env, std::vector<SubmissionFinding>& findings) {
  const std::vector<Bind>& binds = selections.binds();
  std::vector<NodeRule> rules;
  for (std::size_t index = 0; index < binds.size(); ++index) {
    if (!binds[index].relevant) continue;
    for (const NodeId node : selections.of(index)) {
      rules.push_back({node, &*binds[index].relevant});
    }
  }
  std::vector<EvalResult> results = evaluate_at_nodes(rules, model, env);

  // Own relevance, by node: what the last relevant expression on the node
  // gave. A failure counts as relevant.
  RelevanceMap own;
  std::size_t k = 0;
  for (std::size_t index = 0; index < binds.size(); ++index) {
    const Bind& bind = binds[index];
    if (!bind.relevant) continue;
    for (const NodeId node : selections.of(index)) {
      EvalResult& value = results[k++];
      if (value) {
        own.set(node, value_to_boolean(*value));
        continue;
      }
      own.set(node, true);
      findings.push_back({bind.nodeset, model.path_of(node), std::nullopt,
                          FindingKind{FindingKind::NotEvaluated{std::move(value.error())}}});
    }
  }

  // Whether a node or one of its ancestors has an own value of false,
  // remembered per node, so that rows sharing ancestors walk them once and
  // the whole pass stays linear in the size of the model.
  enum : std::int8_t { kUnknown = -1, kShown = 0, kHidden = 1 };
  std::vector<std::int8_t> hidden(model.size(), kUnknown);
  std::vector<NodeId> chain;
  const auto is_hidden = [&](NodeId node) {
    chain.clear();
    std::optional<NodeId> up = node;
    while (up && hidden[*up] == kUnknown) {
      chain.push_back(*up);
      up = model.parent(*up);
    }
    bool above = up && hidden[*up] == kHidden;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      above = above || !own.is_relevant(*it);
      hidden[*it] = above ? kHidden : kShown;
    }
    return hidden[node] == kHidden;
  };

  RelevanceMap effective;
  for (std::size_t index = 0; index < binds.size(); ++index) {
    for (const NodeId node : selections.of(index)) {
      effective.set(node, !is_hidden(node));
    }
  }
  return effective;
}

}  // namespace vindle
