// Many rules evaluated in the order of their nodes. A judgement reports
// bind by bind, but a pass per bind over a large instance fetches every row
// from memory again for each bind; going node by node runs all the rules on
// a row while it is at hand. Evaluations change nothing, so their order
// makes no difference to what they give: what each rule finds is kept
// under the rule's place and handed back in the order of the rules.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "rules/finding.h"
#include "tree/document.h"

namespace vindle {

// The nodes of several rules, a run of nodes per rule, visited by block of
// 64 ids: every run's nodes in the first block, run by run, then every
// run's nodes in the next block, and so on; within a block a run's nodes
// keep their order. `visit(run, index, node)` is called once for each node
// runs[run][index]. A node's place is its index among all the runs laid
// end to end.
//
// The ids of a freshly built document follow document order, so the rows
// come one after another, and a block (a row or two) is at hand while all
// its rules run. Runs in document order are merged as they stand, reading
// each once from the front; any other runs are put in that order by a
// counting sort by block. Blocks rather than single ids keep the work
// independent of the size of the document, and the counts in the cache.
template <class Visit>
void visit_in_node_order(std::span<const std::span<const NodeId>> runs,
                         std::size_t document_size, Visit visit) {
  constexpr unsigned kBlockBits = 6;
  // An id beyond the document comes last.
  const std::size_t last_block = (document_size >> kBlockBits) + 1;
  const auto block_of = [&](NodeId node) {
    return node < document_size ? static_cast<std::size_t>(node >> kBlockBits) : last_block;
  };
  bool merged = true;
  for (const std::span<const NodeId> run : runs) {
    for (std::size_t k = 1; k < run.size() && merged; ++k) {
      merged = block_of(run[k - 1]) <= block_of(run[k]);
    }
  }
  if (merged) {
    constexpr std::size_t kDone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> cursors(runs.size(), 0);
    std::size_t block = kDone;
    for (const std::span<const NodeId> run : runs) {
      if (!run.empty()) block = std::min(block, block_of(run.front()));
    }
    while (block != kDone) {
      std::size_t next = kDone;
      for (std::size_t r = 0; r < runs.size(); ++r) {
        const std::span<const NodeId> run = runs[r];
        std::size_t& at = cursors[r];
        for (; at < run.size() && block_of(run[at]) == block; ++at) visit(r, at, run[at]);
        if (at < run.size()) next = std::min(next, block_of(run[at]));
      }
      block = next;
    }
    return;
  }
  // Every place as (run, index), sorted by block.
  std::vector<std::pair<std::size_t, std::size_t>> places;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    for (std::size_t k = 0; k < runs[r].size(); ++k) places.emplace_back(r, k);
  }
  std::vector<std::size_t> start(last_block + 2, 0);
  for (const auto& [r, k] : places) ++start[block_of(runs[r][k]) + 1];
  for (std::size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
  std::vector<std::pair<std::size_t, std::size_t>> sorted(places.size());
  for (const auto& place : places) sorted[start[block_of(runs[place.first][place.second])]++] = place;
  for (const auto& [r, k] : sorted) visit(r, k, runs[r][k]);
}

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
