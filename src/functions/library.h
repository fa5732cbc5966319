// The XForms function library: one entry, `call_function`, that finds a
// function by its name as written, checks its argument count, and runs its
// body. Bodies evaluate their arguments lazily, through the helpers below,
// only as they need them.
#pragma once

#include <cstddef>
#include <expected>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "tree/document.h"

namespace vindle {

EvalResult call_function(std::string_view name, const std::vector<Expr>& arguments,
                         const Document& document, const Focus& focus, const EvalEnv& env);

// What every argument helper receives: the call as the evaluator made it.
struct CallContext {
  const std::vector<Expr>& arguments;
  std::string_view name;
  const Document& document;
  const Focus& focus;
  const EvalEnv& env;
};

// Allowed argument counts, ascending; empty means any count.
using Arity = std::span<const std::size_t>;

std::expected<void, std::string> check_arity(std::string_view name, std::size_t count,
                                             Arity allowed);

// The argument at `position` (from 0), evaluated now.
EvalResult arg_value(const CallContext& call, std::size_t position);
std::expected<std::string, std::string> arg_string(const CallContext& call,
                                                   std::size_t position);
// The argument's string value as a view, copied only where it must be: a
// literal's own text, the value of a node without children as the document
// holds it, or anything else converted into `scratch`. Valid while the
// call's expression, its document and `scratch` are.
std::expected<std::string_view, std::string> arg_text(const CallContext& call,
                                                      std::size_t position,
                                                      std::string& scratch);
std::expected<double, std::string> arg_number(const CallContext& call, std::size_t position);
// The first argument as a boolean.
std::expected<bool, std::string> arg_boolean(const CallContext& call);

// XPath round(): half away from zero.
double round_half_away(double x);

}  // namespace vindle
