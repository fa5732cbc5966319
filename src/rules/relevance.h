// Relevance: a node is relevant unless a relevant expression of its own or
// of one of its ancestors evaluates to false. A relevant expression that
// cannot be evaluated never hides a node: the node stays relevant, and the
// failure is reported.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "eval/env.h"
#include "rules/finding.h"
#include "rules/form.h"
#include "rules/model.h"
#include "tree/document.h"

namespace vindle {

// The effective relevance of every node some bind selects, by node id of the
// model document. Nodes no bind selects have no entry and count as relevant.
class RelevanceMap {
 public:
  // Room for the ids below `nodes`; `set` makes more as needed.
  explicit RelevanceMap(std::size_t nodes = 0);
  void set(NodeId id, bool relevant);
  std::optional<bool> find(NodeId id) const;
  // False only for a node with an entry that is false.
  bool is_relevant(NodeId id) const { return find(id).value_or(true); }
  // Every entry, ascending by id.
  std::vector<std::pair<NodeId, bool>> entries() const;

 private:
  static constexpr std::int8_t kNone = -1;
  std::vector<std::int8_t> state_;
};

// Evaluates every bind's relevant expression on the nodes it selects in the
// model document (the last bind on a node decides its own value), then
// combines each bound node's own value with its ancestors'. Each failed
// evaluation appends a "not-evaluated" finding whose path still begins with
// "/model". The selections and `env` must be made in `model`.
RelevanceMap compute_relevance(BindSelections& selections, const Document& model,
                               const EvalEnv& env, std::vector<SubmissionFinding>& findings);

}  // namespace vindle
