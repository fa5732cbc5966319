// A compact, unambiguous rendering of an Expr for comparing tree shapes in
// tests: "(Add (Path child::a) (Number 1.0))".
#pragma once

#include <string>
#include <string_view>

#include "parser/expr.h"
#include "parser/parser.h"
#include "text/quote.h"

namespace vindle::testing {

inline const char* op_name(BinaryOp op) {
  constexpr const char* names[] = {"Or", "And", "Eq", "Ne", "Lt", "Le", "Gt",
                                   "Ge", "Add", "Sub", "Mul", "Div", "Mod"};
  return names[static_cast<int>(op)];
}

inline std::string print(const Expr& expr);

inline std::string print(const Step& step) {
  std::string out = std::string(axis_name(step.axis)) + "::";
  if (step.test.any) out += "*";
  else out += step.test.name.empty() ? "\"\"" : step.test.name;
  for (const Expr& predicate : step.predicates) out += "[" + print(predicate) + "]";
  return out;
}

inline std::string print(const Expr& expr) {
  if (const auto* number = expr.as<Expr::Number>()) return "(Number " + debug_number(number->value) + ")";
  if (const auto* literal = expr.as<Expr::Literal>()) return "(Literal " + debug_quote(literal->value) + ")";
  if (const auto* variable = expr.as<Expr::Variable>()) return "(Variable " + debug_quote(variable->name) + ")";
  std::string out;
  if (const auto* path = expr.as<Expr::Path>()) {
    out = path->absolute ? "(Path /" : "(Path";
    for (const Step& step : path->steps) out += " " + print(step);
  } else if (const auto* filter = expr.as<Expr::Filter>()) {
    out = "(Filter " + print(*filter->primary);
    for (const Expr& predicate : filter->predicates) out += " [" + print(predicate) + "]";
    for (const Step& step : filter->steps) out += " " + print(step);
  } else if (const auto* call = expr.as<Expr::FunctionCall>()) {
    out = "(Call " + call->name;
    for (const Expr& arg : call->args) out += " " + print(arg);
  } else if (const auto* binary = expr.as<Expr::Binary>()) {
    out = std::string("(") + op_name(binary->op) + " " + print(*binary->lhs) + " " + print(*binary->rhs);
  } else if (const auto* negate = expr.as<Expr::Negate>()) {
    out = "(Negate " + print(*negate->operand);
  } else if (const auto* union_ = expr.as<Expr::Union>()) {
    out = "(Union " + print(*union_->lhs) + " " + print(*union_->rhs);
  }
  return out + ")";
}

// The tree of `text`, or "error: " and the message.
inline std::string shape(std::string_view text) {
  auto expr = parse_expression(text);
  return expr ? print(*expr) : "error: " + expr.error();
}

}  // namespace vindle::testing
