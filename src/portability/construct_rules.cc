#include "portability/construct_rules.h"

#include <array>
#include <cstdint>
#include <optional>

#include "parser/walk_stack.h"
#include "text/number.h"
#include "text/quote.h"
#include "text/unicode.h"

namespace vindle {
namespace {

// A rule that a call triggers by its name alone, with fixed texts.
struct NamedRule {
  std::string_view rule;  // the rule's own name, for the reader
  std::string_view name;
  std::string_view construct;
  std::string_view effect;
  Breaks breaks;
  std::string_view suggestion;
};

// The floor and ceiling suggestions avoid -int(-x): int() truncates toward
// zero, so -int(-x) is int(x) for every x, and Enketo cannot parse a minus
// sign before a call anyway. A comparison counts as 0 or 1 in arithmetic on
// both engines.
constexpr std::array<NamedRule, 7> kNamedRules = {{
    {"AreaFormula", "area", "area()",
     "JavaRosa projects the shape onto a plane and Enketo uses a spherical formula, and Enketo "
     "also rounds to two decimals. Over a city block the two agree within a square metre; over a "
     "degree they differ by a tenth of a percent",
     Breaks::BothDifferently, "round() the result, or compare with a margin"},
    {"NoLast", "last", "last()", "JavaRosa has no last(), so the rule fails", Breaks::Tablet,
     "count() of the repeat"},
    {"NoFloor", "floor", "floor()", "JavaRosa has no floor()", Breaks::Tablet,
     "int(x) - (x < int(x))"},
    {"NoCeiling", "ceiling", "ceiling()", "JavaRosa has no ceiling()", Breaks::Tablet,
     "int(x) + (x > int(x))"},
    {"NoSubstring", "substring", "substring()", "JavaRosa has substr() but not substring()",
     Breaks::Tablet,
     "substr(), remembering it counts from 0 and its end is exclusive: substring(s, 2, 3) is "
     "substr(s, 1, 4)"},
    {"PulldataOnly", "pulldata", "pulldata()",
     "pulldata() is ODK Collect's own function, not an XForms one. Enketo does not have it, so "
     "every rule that calls it fails there",
     Breaks::Browser,
     "instance('file')/root/item[key = \u2026]/column, which both engines evaluate"},
    {"DistanceRounding", "distance", "distance()",
     "Enketo rounds the answer to two decimals and JavaRosa does not, so a rule comparing a "
     "distance against a threshold can fall either side of it",
     Breaks::BothDifferently, "round(distance(\u2026)) or a comparison with room to spare"},
}};

constexpr std::array<std::string_view, 5> kMissingInEnketo = {
    "geofence", "is-selected", "enclosed-area", "base64-decode", "extract-signed"};

bool is_comparison(BinaryOp op) {
  switch (op) {
    case BinaryOp::Eq:
    case BinaryOp::Ne:
    case BinaryOp::Lt:
    case BinaryOp::Le:
    case BinaryOp::Gt:
    case BinaryOp::Ge:
      return true;
    default:
      return false;
  }
}

// "/" and the step names joined by "/", for an absolute path of plain named
// child steps without predicates; none for any other operand.
std::optional<std::string> plain_absolute_path(const Expr& operand) {
  const auto* path = operand.as<Expr::Path>();
  if (!path || !path->absolute || path->steps.empty()) return std::nullopt;
  std::string plain;
  for (const Step& step : path->steps) {
    if (step.axis != Axis::Child || step.test.any || !step.predicates.empty()) return std::nullopt;
    plain += '/';
    plain += step.test.name;
  }
  return plain;
}

// RepeatComparison, for one operand of a comparison.
void check_repeat_comparison(const Expr& operand, const RepeatPaths& repeat_paths,
                             std::vector<ConstructFinding>& hits) {
  const auto plain = plain_absolute_path(operand);
  if (!plain || !repeat_paths.holds(*plain)) return;
  hits.push_back({"comparing " + *plain + ", which repeats",
                  "JavaRosa refuses to compare a field that repeats against a value, so the whole "
                  "rule fails",
                  Breaks::Tablet,
                  "count(" + *plain + "[. = \u2026]) > 0, or indexed-repeat() to name one instance"});
}

// RegexDynamic, RegexUnanchored and RegexAlternation, in that order of
// precedence; the value matched is never looked at.
void check_regex(const std::vector<Expr>& args, std::vector<ConstructFinding>& hits) {
  const auto* literal = args.size() >= 2 ? args[1].as<Expr::Literal>() : nullptr;
  if (!literal) {
    hits.push_back({"regex() with a pattern that is not written out",
                    "the pattern is built at runtime, so whether it anchors cannot be checked "
                    "here \u2014 the two engines still differ on unanchored ones",
                    Breaks::BothDifferently, std::nullopt});
    return;
  }
  const std::string& pattern = literal->value;
  // Both suggestions wrap the pattern as written, its own anchors included.
  std::string wrapped = "'^(?:" + pattern + ")$'";
  if (pattern.empty() || pattern.front() != '^' || pattern.back() != '$') {
    hits.push_back({"regex() with the unanchored pattern " + debug_quote(pattern),
                    "JavaRosa requires the whole value to match while Enketo accepts a match "
                    "anywhere in it, so the same answer passes in one and fails in the other",
                    Breaks::BothDifferently, std::move(wrapped)});
  } else if (has_top_level_alternation(pattern)) {
    hits.push_back({"regex() with alternation outside the anchors: " + debug_quote(pattern),
                    "the ^ and $ bind only to the first and last alternatives, so this is "
                    "anchored in JavaRosa and loose in Enketo despite looking anchored",
                    Breaks::BothDifferently, std::move(wrapped)});
  }
}

// Four bytes that spell "true" in some other casing of the ASCII letters.
bool is_recased_true(std::string_view text) {
  if (text.size() != 4 || text == "true") return false;
  for (std::size_t k = 0; k < 4; ++k) {
    char c = text[k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != "true"[k]) return false;
  }
  return true;
}

}  // namespace

std::string_view breaks_text(Breaks breaks) {
  switch (breaks) {
    case Breaks::Tablet: return "Collect / KoboCollect";
    case Breaks::Browser: return "Enketo web forms";
    case Breaks::BothDifferently: return "both, differently";
    case Breaks::BothSilently: return "both, identically and silently";
  }
  return {};
}

std::string breaks_clause(Breaks breaks) {
  switch (breaks) {
    case Breaks::Tablet:
    case Breaks::Browser: return "on " + std::string(breaks_text(breaks));
    case Breaks::BothDifferently: return "and the two engines differ";
    case Breaks::BothSilently: return "identically on both engines";
  }
  return {};
}

RepeatPaths::RepeatPaths(const std::vector<std::string>& repeat_paths) {
  for (std::string_view path : repeat_paths) {
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    if (path.empty()) {
      holds_every_path_ = true;
    } else if (path.front() == '/') {
      paths_.insert(InstancePaths::kNone, path.substr(1));
    }
  }
}

namespace {

// One piece of the walk still to do: an expression, a step (its own rule,
// then its predicates), or a step's predicate (the rule on the predicate,
// then the predicate as an expression).
struct Visit {
  enum class Kind : std::uint8_t { Expression, Step, StepPredicate };
  Kind kind;
  const void* item;
};

using Pending = WalkStack<Visit>;

void push_expression(const Expr& expr, Pending& pending) {
  pending.push({Visit::Kind::Expression, &expr});
}

void push_steps_reversed(const std::vector<Step>& steps, Pending& pending) {
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    pending.push({Visit::Kind::Step, &*step});
  }
}

void push_reversed(const std::vector<Expr>& exprs, Pending& pending) {
  for (auto expr = exprs.rbegin(); expr != exprs.rend(); ++expr) push_expression(*expr, pending);
}

std::optional<Visit> take_next(Pending& pending) {
  if (pending.empty()) return std::nullopt;
  return pending.pop();
}

// DescendantShorthand
void check_step(const Step& step, std::vector<ConstructFinding>& hits) {
  if (step.axis == Axis::DescendantOrSelf && step.test.any) {
    hits.push_back({"the // shorthand",
                    "JavaRosa supports only child steps, so the path matches nothing",
                    Breaks::Tablet, "the full path from the instance root"});
  }
}

// BarePosition
void check_step_predicate(const Expr& predicate, std::vector<ConstructFinding>& hits) {
  if (const auto* number = predicate.as<Expr::Number>()) {
    const std::string n = format_number(number->value);
    hits.push_back({"the positional predicate [" + n + "]",
                    "JavaRosa matches nothing for a bare [n], so this silently reads as empty",
                    Breaks::Tablet, "[position() = " + n + "]"});
  }
}

// The walk, with a stack of its own so that no nesting can exhaust the
// machine's. What a node itself triggers is reported before anything found
// inside it, and its parts are pushed in reverse, so that they come off in
// the order of a left-to-right descent.
void walk(Visit first, Pending& pending, const RepeatPaths& repeat_paths,
          std::vector<ConstructFinding>& hits) {
  for (std::optional<Visit> next = first; next; next = take_next(pending)) {
    const Visit visit = *next;
    if (visit.kind == Visit::Kind::Step) {
      const Step& step = *static_cast<const Step*>(visit.item);
      check_step(step, hits);
      for (auto predicate = step.predicates.rbegin(); predicate != step.predicates.rend(); ++predicate) {
        pending.push({Visit::Kind::StepPredicate, &*predicate});
      }
      continue;
    }
    const Expr& expression = *static_cast<const Expr*>(visit.item);
    if (visit.kind == Visit::Kind::StepPredicate) check_step_predicate(expression, hits);
    if (const auto* path = expression.as<Expr::Path>()) {
      // The steps before the first one with predicates have nothing inside
      // them to wait for: they need no room on the stack.
      const auto& steps = path->steps;
      std::size_t k = 0;
      for (; k < steps.size() && steps[k].predicates.empty(); ++k) check_step(steps[k], hits);
      for (std::size_t i = steps.size(); i > k; --i) pending.push({Visit::Kind::Step, &steps[i - 1]});
    } else if (const auto* filter = expression.as<Expr::Filter>()) {
      // A filter's own predicates filter a computed node-set, so a bare
      // number there is not the step predicate JavaRosa mishandles.
      push_steps_reversed(filter->steps, pending);
      push_reversed(filter->predicates, pending);
      push_expression(*filter->primary, pending);
    } else if (const auto* call = expression.as<Expr::FunctionCall>()) {
      check_function_call(call->name, call->args, hits);
      push_reversed(call->args, pending);
    } else if (const auto* binary = expression.as<Expr::Binary>()) {
      if (is_comparison(binary->op)) {
        check_repeat_comparison(*binary->lhs, repeat_paths, hits);
        check_repeat_comparison(*binary->rhs, repeat_paths, hits);
      }
      push_expression(*binary->rhs, pending);
      push_expression(*binary->lhs, pending);
    } else if (const auto* negate = expression.as<Expr::Negate>()) {
      push_expression(*negate->operand, pending);
    } else if (const auto* union_ = expression.as<Expr::Union>()) {
      push_expression(*union_->rhs, pending);
      push_expression(*union_->lhs, pending);
    }
  }
}

}  // namespace

void check_expression(const Expr& expression, const RepeatPaths& repeat_paths,
                      std::vector<ConstructFinding>& hits) {
  Pending pending;
  walk({Visit::Kind::Expression, &expression}, pending, repeat_paths, hits);
}

void check_steps(const std::vector<Step>& steps, const RepeatPaths& repeat_paths,
                 std::vector<ConstructFinding>& hits) {
  if (steps.empty()) return;
  Pending pending;
  push_steps_reversed(steps, pending);
  const Visit first = pending.pop();
  walk(first, pending, repeat_paths, hits);
}

void check_function_call(std::string_view name, const std::vector<Expr>& args,
                         std::vector<ConstructFinding>& hits) {
  for (const NamedRule& rule : kNamedRules) {
    if (name == rule.name) {
      hits.push_back({std::string(rule.construct), std::string(rule.effect), rule.breaks,
                      std::string(rule.suggestion)});
      return;
    }
  }
  if (name == "regex") {
    check_regex(args, hits);
    return;
  }
  // BooleanCase
  if (name == "boolean-from-string") {
    const auto* literal = args.empty() ? nullptr : args[0].as<Expr::Literal>();
    if (literal && is_recased_true(literal->value)) {
      hits.push_back({"boolean-from-string(" + debug_quote(literal->value) + ")",
                      "JavaRosa accepts any casing, Enketo only lowercase 'true'",
                      Breaks::BothDifferently, "'true' in lowercase"});
    }
    return;
  }
  // EnketoMissing
  for (std::string_view missing : kMissingInEnketo) {
    if (name == missing) {
      hits.push_back({std::string(name) + "()",
                      "Enketo does not implement it, so a web form cannot open this",
                      Breaks::Browser, std::nullopt});
      return;
    }
  }
}

bool has_top_level_alternation(std::string_view pattern) {
  bool escaped = false;
  bool in_class = false;
  std::size_t depth = 0;
  for (std::size_t i = 0; i < pattern.size();) {
    const char32_t c = next_code_point(pattern, i);
    if (escaped) {
      escaped = false;
      continue;
    }
    switch (c) {
      case '\\': escaped = true; break;
      // Classes do not nest: a "[" inside one changes nothing.
      case '[': in_class = true; break;
      case ']': in_class = false; break;
      case '(':
        if (!in_class) ++depth;
        break;
      case ')':
        if (!in_class && depth > 0) --depth;
        break;
      case '|':
        if (!in_class && depth == 0) return true;
        break;
      default: break;
    }
  }
  return false;
}

}  // namespace vindle
