#include "parser/references.h"

#include <algorithm>
#include <optional>

#include "parser/parser.h"
#include "parser/walk_stack.h"
#include "text/unicode.h"

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

// Expressions still to walk, the next one last.
using Pending = WalkStack<const Expr*>;

void push_reversed(const std::vector<Expr>& exprs, Pending& pending) {
  for (auto expr = exprs.rbegin(); expr != exprs.rend(); ++expr) pending.push(&*expr);
}

void push_step_predicates_reversed(const std::vector<Step>& steps, Pending& pending) {
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) push_reversed(step->predicates, pending);
}

const Expr* take_next(Pending& pending) { return pending.empty() ? nullptr : pending.pop(); }

}  // namespace

std::vector<std::string> collect_references(const Expr& expr, std::string_view context) {
  std::vector<std::string> out;
  collect_references_into(expr, context, out);
  return out;
}

// A walk with a stack of its own, so that no nesting can exhaust the
// machine's: each expression's own path first, then its parts left to
// right, pushed in reverse so that they come off in order.
void collect_references_into(const Expr& expr, std::string_view context,
                             std::vector<std::string>& out) {
  Pending pending;
  for (const Expr* walked = &expr; walked; walked = take_next(pending)) {
    const Expr& next = *walked;
    if (const auto* path = next.as<Expr::Path>()) {
      if (auto text = plain_path(*path, context)) out.push_back(std::move(*text));
      push_step_predicates_reversed(path->steps, pending);
    } else if (const auto* filter = next.as<Expr::Filter>()) {
      // The steps after a primary start from whatever it yields, which
      // cannot be written as a path; only what its parts read is collected.
      push_step_predicates_reversed(filter->steps, pending);
      push_reversed(filter->predicates, pending);
      pending.push(&*filter->primary);
    } else if (const auto* call = next.as<Expr::FunctionCall>()) {
      push_reversed(call->args, pending);
    } else if (const auto* binary = next.as<Expr::Binary>()) {
      pending.push(&*binary->rhs);
      pending.push(&*binary->lhs);
    } else if (const auto* union_ = next.as<Expr::Union>()) {
      pending.push(&*union_->rhs);
      pending.push(&*union_->lhs);
    } else if (const auto* negate = next.as<Expr::Negate>()) {
      pending.push(&*negate->operand);
    }
  }
}

std::string absolute_bind_path(std::string_view path, std::string_view instance_root) {
  // No relative path starts with "/": most binds need no parse here.
  if (trim(path).starts_with('/')) return std::string(path);
  const auto parsed = parse_expression(path);
  const Expr::Path* relative = parsed ? parsed->as<Expr::Path>() : nullptr;
  if (!relative || relative->absolute) return std::string(path);
  std::string root = "/";
  root += instance_root;
  // The rendering leaves predicates out, so a filtered path keeps its text.
  const bool filtered = std::ranges::any_of(
      relative->steps, [](const Step& step) { return !step.predicates.empty(); });
  if (!filtered) {
    if (auto rendered = plain_path(*relative, root)) return std::move(*rendered);
  }
  root += '/';
  root += trim(path);
  return root;
}

}  // namespace vindle
