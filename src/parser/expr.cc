#include "parser/expr.h"

#include <utility>

#include "parser/walk_stack.h"

namespace vindle {
namespace {

// The sub-expression through which a tree is taken apart: the left operand,
// a negation's operand, a filter's primary, a call's first argument, or the
// first predicate of a path's steps. Steps without predicates before it are
// dropped on the way, so that finding it again costs nothing.
Expr* first_subexpression(Expr& expr) {
  if (auto* path = expr.as<Expr::Path>()) {
    auto& steps = path->steps;
    auto first = steps.begin();
    while (first != steps.end() && first->predicates.empty()) ++first;
    steps.erase(steps.begin(), first);
    return steps.empty() ? nullptr : &steps.front().predicates.front();
  }
  if (auto* filter = expr.as<Expr::Filter>()) return filter->primary ? &*filter->primary : nullptr;
  if (auto* call = expr.as<Expr::FunctionCall>()) return call->args.empty() ? nullptr : &call->args.front();
  if (auto* binary = expr.as<Expr::Binary>()) return binary->lhs ? &*binary->lhs : nullptr;
  if (auto* negate = expr.as<Expr::Negate>()) return negate->operand ? &*negate->operand : nullptr;
  if (auto* union_ = expr.as<Expr::Union>()) return union_->lhs ? &*union_->lhs : nullptr;
  return nullptr;
}

// Drops, from the back, the predicates of `steps` that hold no
// sub-expressions, and the steps left without predicates, but never the
// first `keep` predicates of the first step; then the last predicate left
// beyond those, which holds sub-expressions, or null.
Expr* last_nested_predicate(std::vector<Step>& steps, std::size_t keep) {
  while (!steps.empty()) {
    auto& predicates = steps.back().predicates;
    const std::size_t kept = steps.size() == 1 ? keep : 0;
    while (predicates.size() > kept && !predicates.back().has_subexpressions()) predicates.pop_back();
    if (predicates.size() > kept) return &predicates.back();
    if (steps.size() == 1) return nullptr;
    steps.pop_back();
  }
  return nullptr;
}

// A sub-expression other than the first one that holds sub-expressions of
// its own; null when there is none. Those without any are dropped from the
// back of their lists on the way (freeing one never recurses), so that
// looking again costs nothing.
Expr* other_nested_subexpression(Expr& expr) {
  if (auto* path = expr.as<Expr::Path>()) {
    // After first_subexpression, the first step holds the first predicate,
    // which stays.
    return last_nested_predicate(path->steps, 1);
  }
  if (auto* filter = expr.as<Expr::Filter>()) {
    if (Expr* nested = last_nested_predicate(filter->steps, 0)) return nested;
    auto& predicates = filter->predicates;
    while (!predicates.empty() && !predicates.back().has_subexpressions()) predicates.pop_back();
    return predicates.empty() ? nullptr : &predicates.back();
  }
  if (auto* call = expr.as<Expr::FunctionCall>()) {
    auto& args = call->args;
    while (args.size() > 1 && !args.back().has_subexpressions()) args.pop_back();
    return args.size() > 1 ? &args.back() : nullptr;
  }
  if (auto* binary = expr.as<Expr::Binary>()) {
    return binary->rhs && binary->rhs->has_subexpressions() ? &*binary->rhs : nullptr;
  }
  if (auto* union_ = expr.as<Expr::Union>()) {
    return union_->rhs && union_->rhs->has_subexpressions() ? &*union_->rhs : nullptr;
  }
  return nullptr;
}

// Steps with the same tests and axes, and as many predicates, each a
// placeholder for the copy of the original.
std::vector<Step> copy_steps(const std::vector<Step>& steps) {
  std::vector<Step> copies;
  copies.reserve(steps.size());
  for (const Step& step : steps) {
    copies.push_back(Step{std::vector<Expr>(step.predicates.size()), step.test, step.axis});
  }
  return copies;
}

// The node's own contents, with a placeholder for each sub-expression.
Expr::Node copy_node(const Expr& from) {
  if (const auto* path = from.as<Expr::Path>()) return Expr::Path{copy_steps(path->steps), path->absolute};
  if (const auto* filter = from.as<Expr::Filter>()) {
    return Expr::Filter{std::vector<Expr>(filter->predicates.size()), copy_steps(filter->steps), Expr{}};
  }
  if (const auto* call = from.as<Expr::FunctionCall>()) {
    return Expr::FunctionCall{call->name, std::vector<Expr>(call->args.size())};
  }
  if (const auto* binary = from.as<Expr::Binary>()) return Expr::Binary{Expr{}, Expr{}, binary->op};
  if (from.is<Expr::Negate>()) return Expr::Negate{Expr{}};
  if (from.is<Expr::Union>()) return Expr::Union{Expr{}, Expr{}};
  return from.node;
}

struct CopyPair {
  const Expr* from;
  Expr* to;
};
using CopyPairs = WalkStack<CopyPair>;

void pair_predicates(const std::vector<Expr>& from, std::vector<Expr>& to, CopyPairs& pending) {
  for (std::size_t i = 0; i < from.size(); ++i) pending.push({&from[i], &to[i]});
}

void pair_steps(const std::vector<Step>& from, std::vector<Step>& to, CopyPairs& pending) {
  for (std::size_t i = 0; i < from.size(); ++i) pair_predicates(from[i].predicates, to[i].predicates, pending);
}

// Each sub-expression of `from` with its placeholder in `to`, a copy of its node.
void pair_subexpressions(const Expr& from, Expr& to, CopyPairs& pending) {
  if (const auto* path = from.as<Expr::Path>()) {
    pair_steps(path->steps, to.as<Expr::Path>()->steps, pending);
  } else if (const auto* filter = from.as<Expr::Filter>()) {
    auto* copy = to.as<Expr::Filter>();
    pending.push({&*filter->primary, &*copy->primary});
    pair_predicates(filter->predicates, copy->predicates, pending);
    pair_steps(filter->steps, copy->steps, pending);
  } else if (const auto* call = from.as<Expr::FunctionCall>()) {
    pair_predicates(call->args, to.as<Expr::FunctionCall>()->args, pending);
  } else if (const auto* binary = from.as<Expr::Binary>()) {
    auto* copy = to.as<Expr::Binary>();
    pending.push({&*binary->lhs, &*copy->lhs});
    pending.push({&*binary->rhs, &*copy->rhs});
  } else if (const auto* negate = from.as<Expr::Negate>()) {
    pending.push({&*negate->operand, &*to.as<Expr::Negate>()->operand});
  } else if (const auto* union_ = from.as<Expr::Union>()) {
    auto* copy = to.as<Expr::Union>();
    pending.push({&*union_->lhs, &*copy->lhs});
    pending.push({&*union_->rhs, &*copy->rhs});
  }
}

}  // namespace

Expr::Expr(const Expr& other) : node(Number{0}) {
  if (!other.has_subexpressions()) {
    node = other.node;
    return;
  }
  CopyPairs pending;
  pending.push({&other, this});
  while (!pending.empty()) {
    const auto [from, to] = pending.pop();
    to->node = copy_node(*from);
    pair_subexpressions(*from, *to, pending);
  }
}

Expr& Expr::operator=(const Expr& other) {
  if (this != &other) {
    Expr copy(other);
    *this = std::move(copy);
  }
  return *this;
}

namespace {

// How many nodes, one inside the other, this thread is freeing by recursion.
// A shallow tree is freed faster by recursion than by rotations, and a few
// levels of it fit on any stack.
thread_local int freeing_depth = 0;
constexpr int kMaxFreeingDepth = 16;

}  // namespace

void Expr::dismantle() {
  if (freeing_depth < kMaxFreeingDepth) {
    ++freeing_depth;
    node.emplace<Number>(Number{0});
    --freeing_depth;
  } else {
    rotate_apart();
  }
}

// The tree is rotated until its root holds nothing nested but its first
// sub-expression; then the root goes and the first sub-expression takes its
// place. A rotation lifts another nested sub-expression above the root,
// which takes the lifted node's first place, and the lifted node's former
// first sub-expression takes the place the lifted node left. Each rotation
// puts one more node on the chain of first sub-expressions from the root,
// from which nodes leave only when they are freed, so the work is linear.
// Once the root holds only sub-expressions without any of their own, its
// own destruction frees them a single level down.
void Expr::rotate_apart() {
  const Expr* head = first_subexpression(*this);
  if (!other_nested_subexpression(*this) && !head->has_subexpressions()) return;
  Expr root(std::move(*this));
  while (Expr* first = first_subexpression(root)) {
    if (Expr* nested = other_nested_subexpression(root)) {
      Expr lifted(std::move(*nested));
      Expr* below = first_subexpression(lifted);
      *nested = std::move(*below);
      *below = std::move(root);
      root = std::move(lifted);
    } else if (first->has_subexpressions()) {
      root = std::move(*first);
    } else {
      break;
    }
  }
}

const char* axis_name(Axis axis) {
  switch (axis) {
    case Axis::Child: return "child";
    case Axis::Parent: return "parent";
    case Axis::Self: return "self";
    case Axis::Descendant: return "descendant";
    case Axis::DescendantOrSelf: return "descendant-or-self";
    case Axis::Ancestor: return "ancestor";
    case Axis::AncestorOrSelf: return "ancestor-or-self";
    case Axis::Attribute: return "attribute";
    case Axis::Following: return "following";
    case Axis::FollowingSibling: return "following-sibling";
    case Axis::Preceding: return "preceding";
    case Axis::PrecedingSibling: return "preceding-sibling";
  }
  return "?";
}

}  // namespace vindle
