#include "rules/sweep.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace vindle {

std::vector<std::size_t> node_order(std::span<const NodeId> nodes, std::size_t document_size) {
  std::vector<std::size_t> order(nodes.size());
  if (nodes.size() >= UINT32_MAX) {
    // Any order gives the same results; this one only costs more time.
    std::iota(order.begin(), order.end(), std::size_t{0});
    return order;
  }
  // A counting sort by node; an id beyond the document sorts last.
  const auto slot = [document_size](NodeId node) {
    return node < document_size ? static_cast<std::size_t>(node) : document_size;
  };
  std::vector<std::uint32_t> start(document_size + 2, 0);
  for (const NodeId node : nodes) ++start[slot(node) + 1];
  for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  for (std::size_t place = 0; place < nodes.size(); ++place) {
    order[start[slot(nodes[place])]++] = place;
  }
  return order;
}

void FindingsByRule::add(std::size_t rule, SubmissionFinding finding) {
  made_.emplace_back(rule, std::move(finding));
}

void FindingsByRule::move_to(std::vector<SubmissionFinding>& out) {
  if (made_.empty()) return;
  // A stable sort by rule keeps each rule's findings in the order made.
  std::vector<std::size_t> order(made_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return made_[a].first < made_[b].first;
  });
  out.reserve(out.size() + made_.size());
  for (const std::size_t k : order) out.push_back(std::move(made_[k].second));
  made_.clear();
}

}  // namespace vindle
