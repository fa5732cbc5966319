#include "rules/sweep.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace vindle {

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
