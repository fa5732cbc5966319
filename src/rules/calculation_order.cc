#include "rules/calculation_order.h"

#include <algorithm>

#include "parser/parser.h"
#include "parser/references.h"

namespace vindle {

std::vector<BindOperand> bind_operands(const std::vector<Bind>& binds) {
  std::vector<BindOperand> operands;
  operands.reserve(binds.size());
  for (std::size_t i = 0; i < binds.size(); ++i) {
    // The whole text of a union is no path that a rule could read.
    const std::vector<std::string_view> paths = bind_path_operands(binds[i].nodeset);
    for (const std::string_view path : paths) operands.push_back({i, path, paths.size() > 1});
  }
  return operands;
}

std::vector<std::vector<std::size_t>> dependency_sets(const std::vector<Bind>& binds,
                                                      const std::vector<BindOperand>& operands,
                                                      const TextMap<std::size_t>& bind_index) {
  std::vector<std::vector<std::size_t>> sets(operands.size());
  std::vector<std::string> paths;
  for (std::size_t k = 0; k < operands.size(); ++k) {
    const Bind& bind = binds[operands[k].bind];
    if (!bind.calculate) continue;
    paths.clear();
    collect_references_into(*bind.calculate, operands[k].path, paths);
    std::vector<std::size_t>& set = sets[k];
    for (const std::string& path : paths) {
      const auto found = bind_index.find(path);
      // Reading its own node (a running total) is no dependency; reading
      // another operand of its own union is, as it would be between two
      // binds.
      if (found != bind_index.end() && found->second != k) set.push_back(found->second);
    }
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
  }
  return sets;
}

std::expected<std::vector<std::size_t>, std::string> order_calculations(
    const std::vector<Bind>& binds, const std::vector<BindOperand>& operands,
    const std::vector<std::vector<std::size_t>>& dependencies) {
  enum class Mark : std::uint8_t { Unvisited, OnPath, Done };
  std::vector<Mark> marks(operands.size(), Mark::Unvisited);
  std::vector<std::size_t> order;
  const auto calculates = [&](std::size_t k) {
    return binds[operands[k].bind].calculate.has_value();
  };
  // The path of the depth-first visit, each operand with the place in its
  // dependency set where the visit goes on once the current child is done.
  struct Frame {
    std::size_t operand;
    std::size_t next = 0;
  };
  std::vector<Frame> path;

  const auto circle = [&](std::size_t operand) {
    auto first = std::find_if(path.begin(), path.end(),
                              [operand](const Frame& frame) { return frame.operand == operand; });
    std::string message =
        "these calculations depend on each other, so none of them has a defined value: ";
    for (auto frame = first; frame != path.end(); ++frame) {
      message += operands[frame->operand].path;
      message += " → ";
    }
    message += operands[operand].path;
    return message;
  };

  for (std::size_t start = 0; start < operands.size(); ++start) {
    if (!calculates(start) || marks[start] != Mark::Unvisited) continue;
    marks[start] = Mark::OnPath;
    path.push_back({start});
    while (!path.empty()) {
      Frame& frame = path.back();
      const std::vector<std::size_t>& set = dependencies[frame.operand];
      if (frame.next == set.size()) {
        marks[frame.operand] = Mark::Done;
        order.push_back(frame.operand);
        path.pop_back();
        continue;
      }
      const std::size_t j = set[frame.next++];
      // A bind without a calculation has a value of its own; it holds
      // nothing back.
      if (!calculates(j) || marks[j] == Mark::Done) continue;
      if (marks[j] == Mark::OnPath) return std::unexpected(circle(j));
      marks[j] = Mark::OnPath;
      path.push_back({j});  // invalidates `frame`
    }
  }
  return order;
}

std::vector<Calculation> calculations_in_order(const std::vector<BindOperand>& operands,
                                               const std::vector<std::size_t>& order) {
  std::vector<Calculation> calculations;
  calculations.reserve(order.size());
  for (const std::size_t k : order) {
    Calculation& calculation = calculations.emplace_back(Calculation{operands[k].bind, {}, {}});
    if (!operands[k].of_union) continue;
    calculation.operand = operands[k].path;
    // An operand cut from a union that parsed parses alone.
    if (auto parsed = parse_expression(operands[k].path)) calculation.path = std::move(*parsed);
  }
  return calculations;
}

std::vector<std::size_t> binds_in_order(const std::vector<Calculation>& calculations,
                                        std::size_t bind_count) {
  std::vector<bool> placed(bind_count, false);
  std::vector<std::size_t> binds;
  for (const Calculation& calculation : calculations) {
    if (placed[calculation.bind]) continue;
    placed[calculation.bind] = true;
    binds.push_back(calculation.bind);
  }
  return binds;
}

}  // namespace vindle
