#include "functions/library.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "functions/bodies.h"
#include "text/result.h"
#include "text/unicode.h"

namespace vindle {

namespace {

using functions::Body;

constexpr std::size_t kNone[] = {0};
constexpr std::size_t kOne[] = {1};
constexpr std::size_t kTwo[] = {2};
constexpr std::size_t kThree[] = {3};
constexpr std::size_t kOneTwo[] = {1, 2};
constexpr std::size_t kZeroOne[] = {0, 1};
constexpr std::size_t kTwoThree[] = {2, 3};

struct Entry {
  std::string_view name;
  Arity arity;  // empty: unchecked
  Body body;    // null: refused by name
};

constexpr Arity kAny{};

// Every name the library knows. The refused names have no body: the engine
// will not guess at a value that the form acts on.
constexpr Entry kEntries[] = {
    {"if", kThree, functions::fn_if},
    {"not", kOne, functions::fn_not},
    {"boolean", kOne, functions::fn_boolean},
    {"true", kNone, functions::fn_true},
    {"false", kNone, functions::fn_false},
    {"boolean-from-string", kOne, functions::fn_boolean_from_string},
    {"number", kZeroOne, functions::fn_number},
    {"int", kOne, functions::fn_int},
    {"abs", kOne, functions::fn_abs},
    {"sqrt", kOne, functions::fn_sqrt},
    {"floor", kOne, functions::fn_floor},
    {"ceiling", kOne, functions::fn_ceiling},
    {"log", kOne, functions::fn_log},
    {"log10", kOne, functions::fn_log10},
    {"exp", kOne, functions::fn_exp},
    {"round", kOneTwo, functions::fn_round},
    {"pow", kTwo, functions::fn_pow},
    {"min", kAny, functions::fn_min},
    {"max", kAny, functions::fn_max},
    {"sum", kOne, functions::fn_sum},
    {"count", kOne, functions::fn_count},
    {"position", kNone, functions::fn_position},
    {"last", kNone, functions::fn_last},
    {"string", kZeroOne, functions::fn_string},
    {"string-length", kZeroOne, functions::fn_string_length},
    {"normalize-space", kZeroOne, functions::fn_normalize_space},
    {"concat", kAny, functions::fn_concat},
    {"substring", kTwoThree, functions::fn_substring},
    {"substr", kTwoThree, functions::fn_substr},
    {"substring-before", kTwo, functions::fn_substring_before},
    {"substring-after", kTwo, functions::fn_substring_after},
    {"contains", kTwo, functions::fn_contains},
    {"starts-with", kTwo, functions::fn_starts_with},
    {"ends-with", kTwo, functions::fn_ends_with},
    {"translate", kThree, functions::fn_translate},
    {"join", kTwo, functions::fn_join},
    {"coalesce", kTwo, functions::fn_coalesce},
    {"regex", kTwo, functions::fn_regex},
    {"name", kZeroOne, functions::fn_name},
    {"local-name", kZeroOne, functions::fn_name},
    {"selected", kTwo, functions::fn_selected},
    {"selected-at", kTwo, functions::fn_selected_at},
    {"count-selected", kOne, functions::fn_count_selected},
    {"choice-name", kTwo, functions::fn_choice_name},
    {"jr:choice-name", kTwo, functions::fn_choice_name},
    {"once", kOne, functions::fn_once},
    {"pulldata", kAny, functions::fn_pulldata},
    {"today", kNone, functions::fn_today},
    {"now", kNone, functions::fn_now},
    {"format-date", kTwo, functions::fn_format_date},
    {"format-date-time", kTwo, functions::fn_format_date},
    {"distance", kAny, functions::fn_distance},
    {"area", kAny, functions::fn_area},
    {"current", kAny, nullptr},
    {"randomize", kAny, nullptr},
    {"date-time", kAny, nullptr},
    {"checklist", kAny, nullptr},
    {"uuid", kAny, nullptr},
    {"date", kAny, nullptr},
    {"digest", kAny, nullptr},
    {"indexed-repeat", kAny, nullptr},
    {"decimal-time", kAny, nullptr},
    {"decimal-date-time", kAny, nullptr},
    {"weighted-checklist", kAny, nullptr},
    {"position-in-repeat", kAny, nullptr},
};

constexpr std::size_t kEntryCount = std::size(kEntries);
constexpr std::size_t kLongestName = [] {
  std::size_t longest = 0;
  for (const Entry& entry : kEntries) longest = std::max(longest, entry.name.size());
  return longest;
}();

// The entries grouped by the length of their names: a call compares its
// name with the few names of its length only, where every call in a
// predicate would otherwise walk the whole table.
struct EntriesByLength {
  std::array<std::size_t, kEntryCount> entries{};       // indexes, by name length
  std::array<std::size_t, kLongestName + 2> first{};    // where each length starts
};

constexpr EntriesByLength kByLength = [] {
  EntriesByLength index;
  for (const Entry& entry : kEntries) ++index.first[entry.name.size() + 1];
  for (std::size_t length = 1; length < index.first.size(); ++length) {
    index.first[length] += index.first[length - 1];
  }
  std::array<std::size_t, kLongestName + 2> next = index.first;
  for (std::size_t k = 0; k < kEntryCount; ++k) {
    index.entries[next[kEntries[k].name.size()]++] = k;
  }
  return index;
}();

const Entry* find_entry(std::string_view name) {
  if (name.size() > kLongestName) return nullptr;
  for (std::size_t k = kByLength.first[name.size()]; k < kByLength.first[name.size() + 1]; ++k) {
    const Entry& entry = kEntries[kByLength.entries[k]];
    if (same_bytes(entry.name, name)) return &entry;
  }
  return nullptr;
}

}  // namespace

EvalResult call_function(std::string_view name, const std::vector<Expr>& arguments,
                         const Document& document, const Focus& focus, const EvalEnv& env) {
  const Entry* entry = find_entry(name);
  if (!entry) return std::unexpected("unknown function " + std::string(name) + "()");
  if (!entry->body) {
    return std::unexpected(std::string(name) +
                           "() is not implemented yet — vindle refuses to guess at a value the "
                           "form will act on");
  }
  if (!entry->arity.empty()) VINDLE_TRY(check_arity(name, arguments.size(), entry->arity));
  return entry->body(CallContext{arguments, name, document, focus, env});
}

std::expected<void, std::string> check_arity(std::string_view name, std::size_t count,
                                             Arity allowed) {
  for (const std::size_t n : allowed) {
    if (n == count) return {};
  }
  std::string message(name);
  message += "() takes ";
  for (std::size_t i = 0; i < allowed.size(); ++i) {
    if (i > 0) message += " or ";
    message += std::to_string(allowed[i]);
  }
  message += " argument(s), got " + std::to_string(count);
  return std::unexpected(std::move(message));
}

EvalResult arg_value(const CallContext& call, std::size_t position) {
  if (position >= call.arguments.size()) {
    return std::unexpected(std::string(call.name) + "() needs an argument in position " +
                           std::to_string(position + 1));
  }
  return evaluate(call.arguments[position], call.document, call.focus, call.env);
}

std::expected<std::string, std::string> arg_string(const CallContext& call,
                                                   std::size_t position) {
  VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_value(call, position));
  // A string is handed over rather than copied: a pattern or a long text
  // read once per row would otherwise be copied twice per row.
  if (value.is_string()) return std::move(std::get<std::string>(value.data));
  return value_to_string(value, call.document);
}

std::expected<std::string_view, std::string> arg_text(const CallContext& call,
                                                      std::size_t position,
                                                      std::string& scratch) {
  if (position < call.arguments.size()) {
    // A literal evaluates to a copy of its text, and can fail in no way.
    if (const auto* literal = call.arguments[position].as<Expr::Literal>()) {
      return std::string_view(literal->value);
    }
  }
  VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_value(call, position));
  if (value.is_string()) {
    scratch = std::move(std::get<std::string>(value.data));
    return std::string_view(scratch);
  }
  if (value.is_node_set()) {
    if (value.nodes().empty()) return std::string_view();
    return call.document.string_value_view(value.nodes().front(), scratch);
  }
  scratch = value_to_string(value, call.document);
  return std::string_view(scratch);
}

std::expected<double, std::string> arg_number(const CallContext& call, std::size_t position) {
  VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_value(call, position));
  return value_to_number(value, call.document);
}

std::expected<bool, std::string> arg_boolean(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_value(call, 0));
  return value_to_boolean(value);
}

double round_half_away(double x) {
  // Adding the largest double below one half, then truncating, rounds
  // halves away from zero without pushing 0.49999999999999994 up to 1.
  constexpr double kJustBelowHalf = 0.49999999999999994;
  return std::trunc(x + std::copysign(kJustBelowHalf, x));
}

}  // namespace vindle
