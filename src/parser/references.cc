#include "parser/references.h"

#include <optional>

namespace vindle {
namespace {

// The pieces a relative path starts from: the context split at every "/",
// less the first piece (the empty one before a leading "/").
std::vector<std::string_view> context_pieces(std::string_view context) {
  std::vector<std::string_view> pieces;
  std::size_t start = context.find('/');
  while (start != std::string_view::npos) {
    const std::size_t end = context.find('/', start + 1);
    pieces.push_back(context.substr(start + 1, end == std::string_view::npos ? end : end - start - 1));
    start = end;
  }
  return pieces;
}

// The path written plainly, or nothing when a step cannot be.
std::optional<std::string> plain_path(const Expr::Path& path, std::string_view context) {
  std::vector<std::string_view> parts;
  if (!path.absolute) parts = context_pieces(context);
  for (const Step& step : path.steps) {
    switch (step.axis) {
      case Axis::Child:
        if (step.test.any) return std::nullopt;
        parts.push_back(step.test.name);
        break;
      case Axis::Parent:
        if (parts.empty()) return std::nullopt;
        parts.pop_back();
        break;
      case Axis::Self:
        break;
      default:
        return std::nullopt;
    }
  }
  if (parts.empty()) return std::nullopt;
  std::string text;
  for (std::string_view part : parts) {
    text += '/';
    text += part;
  }
  return text;
}

void walk_step_predicates(const std::vector<Step>& steps, std::string_view context,
                          std::vector<std::string>& out) {
  for (const Step& step : steps) {
    for (const Expr& predicate : step.predicates) collect_references_into(predicate, context, out);
  }
}

}  // namespace

std::vector<std::string> collect_references(const Expr& expr, std::string_view context) {
  std::vector<std::string> out;
  collect_references_into(expr, context, out);
  return out;
}

void collect_references_into(const Expr& expr, std::string_view context,
                             std::vector<std::string>& out) {
  if (const auto* path = expr.as<Expr::Path>()) {
    if (auto text = plain_path(*path, context)) out.push_back(std::move(*text));
    walk_step_predicates(path->steps, context, out);
  } else if (const auto* filter = expr.as<Expr::Filter>()) {
    // The steps after a primary start from whatever it yields, which cannot
    // be written as a path; only what its parts read is collected.
    collect_references_into(*filter->primary, context, out);
    for (const Expr& predicate : filter->predicates) collect_references_into(predicate, context, out);
    walk_step_predicates(filter->steps, context, out);
  } else if (const auto* call = expr.as<Expr::FunctionCall>()) {
    for (const Expr& arg : call->args) collect_references_into(arg, context, out);
  } else if (const auto* binary = expr.as<Expr::Binary>()) {
    collect_references_into(*binary->lhs, context, out);
    collect_references_into(*binary->rhs, context, out);
  } else if (const auto* union_ = expr.as<Expr::Union>()) {
    collect_references_into(*union_->lhs, context, out);
    collect_references_into(*union_->rhs, context, out);
  } else if (const auto* negate = expr.as<Expr::Negate>()) {
    collect_references_into(*negate->operand, context, out);
  }
}

}  // namespace vindle
