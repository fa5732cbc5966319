#include "parser/references.h"

#include <algorithm>
#include <cstddef>
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

// The parts of an expression, pushed in reverse so that they come off left
// to right: a path's predicates, a filter's primary, predicates and steps'
// predicates, a call's arguments, an operator's operands.
void push_parts(const Expr& next, Pending& pending) {
  if (const auto* path = next.as<Expr::Path>()) {
    push_step_predicates_reversed(path->steps, pending);
  } else if (const auto* filter = next.as<Expr::Filter>()) {
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
    // The steps after a filter's primary start from whatever it yields,
    // which cannot be written as a path; only what its parts read is
    // collected.
    if (const auto* path = walked->as<Expr::Path>()) {
      if (auto text = plain_path(*path, context)) out.push_back(std::move(*text));
    }
    push_parts(*walked, pending);
  }
}

namespace {

// A bind path that is not a union, made absolute as absolute_bind_path
// promises.
std::string absolute_lone_path(std::string_view path, std::string_view instance_root) {
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

bool opens_literal(char c) { return c == '\'' || c == '"'; }

// How many unions a tree holds, each of which stands for one "|" of its
// text.
std::size_t count_unions(const Expr& expr) {
  std::size_t count = 0;
  Pending pending;
  for (const Expr* walked = &expr; walked; walked = take_next(pending)) {
    count += walked->is<Expr::Union>();
    push_parts(*walked, pending);
  }
  return count;
}

// An operand's text as cut from between the "|" of its union, trimmed and
// without the parentheses of a nested union that fall at its edges: in
// "(a | b) | c" the cut gives "(a" and "b)". The operand's own parentheses
// balance, and a group can open before it or close after it but not both,
// so the unbalanced ones are all at one end. Parentheses around a path
// (never part of a path, which cannot start with one) go too: they select
// nothing else, and a context would take them for part of its names.
std::string_view operand_text(std::string_view cut, const Expr& operand) {
  std::ptrdiff_t depth = 0;
  std::ptrdiff_t lowest = 0;
  for (std::size_t i = 0; i < cut.size(); ++i) {
    if (opens_literal(cut[i])) {
      i = cut.find(cut[i], i + 1);
      if (i == std::string_view::npos) break;
    } else if (cut[i] == '(') {
      ++depth;
    } else if (cut[i] == ')') {
      lowest = std::min(lowest, --depth);
    }
  }
  std::string_view text = trim(cut);
  for (std::ptrdiff_t opened = depth - lowest; opened > 0 && text.starts_with('('); --opened) {
    text = trim(text.substr(1));
  }
  for (std::ptrdiff_t closed = -lowest; closed > 0 && text.ends_with(')'); --closed) {
    text = trim(text.substr(0, text.size() - 1));
  }
  if (operand.is<Expr::Path>()) {
    while (text.size() >= 2 && text.starts_with('(') && text.ends_with(')')) {
      text = trim(text.substr(1, text.size() - 2));
    }
  }
  return text;
}

// The operands of the union `text` parses to, in order, as parts of it,
// through nested unions too: "(a | b) | c" gives a, b and c. None when it is
// not a union at the top (a path whose "|" stand inside predicates,
// arguments or literals, a comparison of unions, text that does not parse).
//
// The tree keeps no place in the text, so the cuts are found by counting:
// every union of the tree stands for one "|" outside the literals, in
// order, so an operand holding k unions of its own spans k of them and
// the next one ends it.
std::optional<std::vector<std::string_view>> union_operands(std::string_view text) {
  if (text.find('|') == std::string_view::npos) return std::nullopt;
  const auto parsed = parse_expression(text);
  if (!parsed || !parsed->is<Expr::Union>()) return std::nullopt;

  std::vector<std::size_t> pipes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (opens_literal(text[i])) {
      i = text.find(text[i], i + 1);
      if (i == std::string_view::npos) break;
    } else if (text[i] == '|') {
      pipes.push_back(i);
    }
  }

  std::vector<std::string_view> operands;
  std::size_t start = 0;
  std::size_t next_pipe = 0;
  Pending pending;
  for (const Expr* walked = &*parsed; walked; walked = take_next(pending)) {
    if (const auto* union_ = walked->as<Expr::Union>()) {
      pending.push(&*union_->rhs);
      pending.push(&*union_->lhs);
      continue;
    }
    next_pipe += count_unions(*walked);
    const bool last = pending.empty();
    // Cannot miss for text that parsed; a guard all the same.
    if (!last && next_pipe >= pipes.size()) return std::nullopt;
    const std::size_t end = last ? text.size() : pipes[next_pipe];
    operands.push_back(operand_text(text.substr(start, end - start), *walked));
    start = end + 1;
    ++next_pipe;
  }
  return operands;
}

}  // namespace

std::string absolute_bind_path(std::string_view path, std::string_view instance_root) {
  const auto operands = union_operands(path);
  if (!operands) return absolute_lone_path(path, instance_root);
  std::string joined;
  bool changed = false;
  for (std::size_t k = 0; k < operands->size(); ++k) {
    const std::string_view operand = (*operands)[k];
    std::string made = absolute_lone_path(operand, instance_root);
    changed = changed || made != operand;
    if (k > 0) joined += " | ";
    joined += made;
  }
  // A union of absolute paths is left as written, as an absolute path is.
  return changed ? joined : std::string(path);
}

std::vector<std::string_view> bind_path_operands(std::string_view path) {
  if (auto operands = union_operands(path)) return std::move(*operands);
  return {path};
}

}  // namespace vindle
