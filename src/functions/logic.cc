// Logical and numeric functions.
#include <cmath>
#include <limits>

#include "functions/bodies.h"
#include "text/number.h"
#include "text/result.h"

namespace vindle::functions {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <double (*F)(double)>
EvalResult unary_math(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& x, arg_number(call, 0));
  return Value::Number(F(x));
}

double trunc_of(double x) { return std::trunc(x); }
double abs_of(double x) { return std::fabs(x); }
double sqrt_of(double x) { return std::sqrt(x); }
double floor_of(double x) { return std::floor(x); }
double ceil_of(double x) { return std::ceil(x); }
double log_of(double x) { return std::log(x); }
double log10_of(double x) { return std::log10(x); }
double exp_of(double x) { return std::exp(x); }

// The numbers that min() and max() choose from: a node-set gives one number
// per node, anything else its own number.
std::expected<std::vector<double>, std::string> collect_numbers(const CallContext& call) {
  std::vector<double> numbers;
  std::string scratch;
  for (std::size_t i = 0; i < call.arguments.size(); ++i) {
    VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_value(call, i));
    if (value.is_node_set()) {
      for (const NodeId id : value.nodes()) {
        numbers.push_back(parse_number(call.document.string_value_view(id, scratch)));
      }
    } else {
      numbers.push_back(value_to_number(value, call.document));
    }
  }
  return numbers;
}

template <bool kMax>
EvalResult extreme(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& numbers, collect_numbers(call));
  if (numbers.empty()) return Value::Number(kNaN);
  double best = numbers.front();
  for (const double n : numbers) {
    if (std::isnan(n)) return Value::Number(kNaN);
    if (kMax ? n > best : n < best) best = n;
  }
  return Value::Number(best);
}

}  // namespace

EvalResult fn_if(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& condition, arg_boolean(call));
  return arg_value(call, condition ? 1 : 2);
}

EvalResult fn_not(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& b, arg_boolean(call));
  return Value::Boolean(!b);
}

EvalResult fn_boolean(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& b, arg_boolean(call));
  return Value::Boolean(b);
}

EvalResult fn_true(const CallContext&) { return Value::Boolean(true); }
EvalResult fn_false(const CallContext&) { return Value::Boolean(false); }

EvalResult fn_boolean_from_string(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(const std::string& s, arg_string(call, 0));
  bool result = s == "1";
  if (s.size() == 4) {
    result = true;
    for (std::size_t i = 0; i < 4; ++i) {
      const char c = s[i];
      const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
      if (lower != "true"[i]) result = false;
    }
  }
  return Value::Boolean(result);
}

EvalResult fn_number(const CallContext& call) {
  if (call.arguments.empty()) {
    std::string scratch;
    return Value::Number(
        parse_number(call.document.string_value_view(call.focus.node, scratch)));
  }
  VINDLE_ASSIGN_OR_RETURN(auto&& x, arg_number(call, 0));
  return Value::Number(x);
}

EvalResult fn_int(const CallContext& call) { return unary_math<trunc_of>(call); }
EvalResult fn_abs(const CallContext& call) { return unary_math<abs_of>(call); }
EvalResult fn_sqrt(const CallContext& call) { return unary_math<sqrt_of>(call); }
EvalResult fn_floor(const CallContext& call) { return unary_math<floor_of>(call); }
EvalResult fn_ceiling(const CallContext& call) { return unary_math<ceil_of>(call); }
EvalResult fn_log(const CallContext& call) { return unary_math<log_of>(call); }
EvalResult fn_log10(const CallContext& call) { return unary_math<log10_of>(call); }
EvalResult fn_exp(const CallContext& call) { return unary_math<exp_of>(call); }

EvalResult fn_round(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& x, arg_number(call, 0));
  if (call.arguments.size() < 2) return Value::Number(round_half_away(x));
  VINDLE_ASSIGN_OR_RETURN(auto&& digits, arg_number(call, 1));
  const double scale = std::pow(10.0, std::trunc(digits));
  return Value::Number(round_half_away(x * scale) / scale);
}

EvalResult fn_pow(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& base, arg_number(call, 0));
  VINDLE_ASSIGN_OR_RETURN(auto&& exponent, arg_number(call, 1));
  return Value::Number(std::pow(base, exponent));
}

EvalResult fn_min(const CallContext& call) { return extreme<false>(call); }
EvalResult fn_max(const CallContext& call) { return extreme<true>(call); }

EvalResult fn_sum(const CallContext& call) {
  auto value = arg_value(call, 0);
  if (!value) return value;
  if (!value->is_node_set()) {
    return std::unexpected(std::string("sum() adds up a node-set, and was given ") +
                           value_type_name(*value));
  }
  // Starting from negative zero makes the empty sum -0, as IEEE addition
  // of no terms should be.
  double total = -0.0;
  std::string scratch;
  for (const NodeId id : value->nodes()) {
    total += parse_number(call.document.string_value_view(id, scratch));
  }
  return Value::Number(total);
}

EvalResult fn_count(const CallContext& call) {
  auto value = arg_value(call, 0);
  if (!value) return value;
  if (!value->is_node_set()) {
    return std::unexpected(std::string("count() counts nodes, and was given ") +
                           value_type_name(*value));
  }
  return Value::Number(static_cast<double>(value->nodes().size()));
}

EvalResult fn_position(const CallContext& call) {
  return Value::Number(static_cast<double>(call.focus.position));
}

EvalResult fn_last(const CallContext& call) {
  return Value::Number(static_cast<double>(call.focus.size));
}

}  // namespace vindle::functions
