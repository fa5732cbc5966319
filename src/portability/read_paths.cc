#include "portability/read_paths.h"

#include <optional>

#include "parser/references.h"
#include "parser/walk_stack.h"
#include "text/bounded_map.h"

namespace vindle {
namespace {

// The path's own rendering, without what its predicates read: the reference
// collector run on the same steps stripped of their predicates, so that both
// resolve a path against a bind alike.
std::optional<std::string> own_rendering(const Expr::Path& path, std::string_view context) {
  Expr::Path bare{{}, path.absolute};
  bare.steps.reserve(path.steps.size());
  for (const Step& step : path.steps) bare.steps.push_back(Step{{}, step.test, step.axis});
  std::vector<std::string> rendered;
  collect_references_into(Expr{std::move(bare)}, context, rendered);
  if (rendered.empty()) return std::nullopt;
  return std::move(rendered.front());
}

// An expression still to walk, and whether a relative path there counts.
struct Visit {
  const Expr* expr;
  bool top;
};

using Pending = WalkStack<Visit>;

void push_reversed(const std::vector<Expr>& exprs, bool top, Pending& pending) {
  for (auto expr = exprs.rbegin(); expr != exprs.rend(); ++expr) pending.push({&*expr, top});
}

void push_step_predicates_reversed(const std::vector<Step>& steps, Pending& pending) {
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    push_reversed(step->predicates, false, pending);
  }
}

Visit take_next(Pending& pending) { return pending.empty() ? Visit{nullptr, false} : pending.pop(); }

// MissingPath: the finding for a read path the instance has no element for.
ConstructFinding missing_path(const std::string& path, std::optional<std::string> suggestion) {
  return {path + ", which this form's instance has no node for",
          "the path matches nothing, so the rule reads an empty node-set: a calculation comes out "
          "0, a comparison comes out false, and a relevant hides its question for the whole of "
          "fieldwork",
          Breaks::BothSilently, std::move(suggestion)};
}

}  // namespace

// A walk with a stack of its own, so that no nesting can exhaust the
// machine's: an expression's own path first, then its parts left to right,
// pushed in reverse so that they come off in order.
void collect_read_paths(const Expr& expression, std::string_view context, bool top,
                        std::vector<std::string>& out) {
  Pending pending;
  for (Visit visit{&expression, top}; visit.expr; visit = take_next(pending)) {
    const auto [next, counts] = visit;
    if (const auto* path = next->as<Expr::Path>()) {
      if (counts || path->absolute) {
        if (auto rendered = own_rendering(*path, context)) out.push_back(std::move(*rendered));
      }
      push_step_predicates_reversed(path->steps, pending);
    } else if (const auto* filter = next->as<Expr::Filter>()) {
      push_step_predicates_reversed(filter->steps, pending);
      push_reversed(filter->predicates, false, pending);
      pending.push({&*filter->primary, false});
    } else if (const auto* call = next->as<Expr::FunctionCall>()) {
      push_reversed(call->args, counts, pending);
    } else if (const auto* binary = next->as<Expr::Binary>()) {
      pending.push({&*binary->rhs, counts});
      pending.push({&*binary->lhs, counts});
    } else if (const auto* union_ = next->as<Expr::Union>()) {
      pending.push({&*union_->rhs, counts});
      pending.push({&*union_->lhs, counts});
    } else if (const auto* negate = next->as<Expr::Negate>()) {
      pending.push({&*negate->operand, counts});
    }
  }
}

void check_read_paths(const Expr& expression, std::span<const std::string_view> contexts,
                      const InstancePaths& instance_paths, const InstanceIds& instance_ids,
                      std::string_view instance_root, std::vector<ConstructFinding>& hits) {
  std::vector<std::string> paths;
  for (const std::string_view context : contexts) {
    collect_read_paths(expression, context, true, paths);
  }
  BoundedTextSet<std::string_view> seen;
  for (const std::string& path : paths) {
    if (!seen.insert(path).second) continue;

    // A bind on an attribute makes "." read the bind path itself, which
    // counts as the path of the attribute's owner.
    std::string_view key = std::string_view(path).substr(0, path.find('@'));
    while (!key.empty() && key.back() == '/') key.remove_suffix(1);
    if (instance_paths.contains(key)) continue;

    std::string_view first;
    if (const std::size_t slash = path.find('/'); slash != std::string::npos) {
      const std::size_t next = path.find('/', slash + 1);
      first = std::string_view(path).substr(
          slash + 1, next == std::string::npos ? std::string::npos : next - slash - 1);
    }
    if (instance_ids.contains(first)) continue;

    const std::size_t last_slash = path.rfind('/');
    const std::string_view last = last_slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(last_slash + 1);
    std::optional<std::string> suggestion = instance_paths.only_path_ending_with(last);
    if (!suggestion && first != instance_root) {
      suggestion = "a path under /" + std::string(instance_root) +
                   " \u2014 that is this form's instance root, not /" + std::string(first);
    }
    hits.push_back(missing_path(path, std::move(suggestion)));
  }
}

}  // namespace vindle
