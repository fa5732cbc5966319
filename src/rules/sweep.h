// Many rules evaluated in the order of their nodes. A judgement reports
// bind by bind, but a pass per bind over a large instance fetches every row
// from memory again for each bind; going node by node runs all the rules on
// a row while it is at hand. Evaluations change nothing, so their order
// makes no difference to what they give: what each rule finds is kept
// under the rule's place and handed back in the order of the rules.
#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "rules/finding.h"
#include "tree/document.h"

namespace vindle {

// The places 0 .. nodes.size() - 1, ordered by the node at each place
// (places of one node keep their order). The ids of a freshly built
// document follow document order, so the rows come one after another.
std::vector<std::size_t> node_order(std::span<const NodeId> nodes, std::size_t document_size);

// Findings made while rules are evaluated in node order, handed back in
// the order of the rules that made them.
// Findings are few beside the rules of a large instance, so they are put
// in the order of their rules when handed back, and nothing is kept per
// rule.
class FindingsByRule {
 public:
  FindingsByRule() = default;

  // A rule's findings are added together, with no other rule's between
  // them.
  void add(std::size_t rule, SubmissionFinding finding);
  // Appends every finding to `out`, rule by rule, and forgets them.
  void move_to(std::vector<SubmissionFinding>& out);

 private:
  std::vector<std::pair<std::size_t, SubmissionFinding>> made_;  // (rule, finding)
};

}  // namespace vindle
