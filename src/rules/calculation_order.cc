#include "rules/calculation_order.h"

#include <algorithm>

#include "parser/references.h"

namespace vindle {

std::vector<std::vector<std::size_t>> dependency_sets(const std::vector<Bind>& binds,
                                                      const TextMap<std::size_t>& bind_index) {
  std::vector<std::vector<std::size_t>> sets(binds.size());
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < binds.size(); ++i) {
    if (!binds[i].calculate) continue;
    paths.clear();
    // A union bind calculates each of its operands' nodes, so what it reads
    // is read from each of them.
    for (const std::string_view context : bind_path_operands(binds[i].nodeset)) {
      collect_references_into(*binds[i].calculate, context, paths);
    }
    std::vector<std::size_t>& set = sets[i];
    for (const std::string& path : paths) {
      const auto found = bind_index.find(path);
      // Reading its own node (a running total) is no dependency.
      if (found != bind_index.end() && found->second != i) set.push_back(found->second);
    }
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
  }
  return sets;
}

std::expected<std::vector<std::size_t>, std::string> order_calculations(
    const std::vector<Bind>& binds, const std::vector<std::vector<std::size_t>>& dependencies) {
  enum class Mark : std::uint8_t { Unvisited, OnPath, Done };
  std::vector<Mark> marks(binds.size(), Mark::Unvisited);
  std::vector<std::size_t> order;
  // The path of the depth-first visit, each bind with the place in its
  // dependency set where the visit goes on once the current child is done.
  struct Frame {
    std::size_t bind;
    std::size_t next = 0;
  };
  std::vector<Frame> path;

  const auto circle = [&](std::size_t bind) {
    auto first = std::find_if(path.begin(), path.end(),
                              [bind](const Frame& frame) { return frame.bind == bind; });
    std::string message =
        "these calculations depend on each other, so none of them has a defined value: ";
    for (auto frame = first; frame != path.end(); ++frame) {
      message += binds[frame->bind].nodeset;
      message += " → ";
    }
    message += binds[bind].nodeset;
    return message;
  };

  for (std::size_t start = 0; start < binds.size(); ++start) {
    if (!binds[start].calculate || marks[start] != Mark::Unvisited) continue;
    marks[start] = Mark::OnPath;
    path.push_back({start});
    while (!path.empty()) {
      Frame& frame = path.back();
      const std::vector<std::size_t>& set = dependencies[frame.bind];
      if (frame.next == set.size()) {
        marks[frame.bind] = Mark::Done;
        order.push_back(frame.bind);
        path.pop_back();
        continue;
      }
      const std::size_t j = set[frame.next++];
      // A bind without a calculation has a value of its own; it holds
      // nothing back.
      if (!binds[j].calculate || marks[j] == Mark::Done) continue;
      if (marks[j] == Mark::OnPath) return std::unexpected(circle(j));
      marks[j] = Mark::OnPath;
      path.push_back({j});  // invalidates `frame`
    }
  }
  return order;
}

}  // namespace vindle
