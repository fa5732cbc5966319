// String functions. Positions and lengths count characters (code points);
// searching compares bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include <re2/re2.h>

#include "functions/bodies.h"
#include "functions/words.h"
#include "text/bounded_map.h"
#include "text/quote.h"
#include "text/result.h"
#include "text/unicode.h"

namespace vindle::functions {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The text a no-argument call works on: the focus node's string-value.
std::expected<std::string, std::string> text_or_focus(const CallContext& call) {
  if (call.arguments.empty()) return call.document.string_value(call.focus.node);
  return arg_string(call, 0);
}

// Characters `begin` (included) to `end` (excluded), counted from 0; both
// may lie past the end of the text.
std::string slice_characters(std::string_view text, std::uint64_t begin, std::uint64_t end) {
  if (begin >= end) return {};
  std::size_t i = 0;
  std::size_t from = text.size();
  for (std::uint64_t index = 0; i < text.size(); ++index) {
    if (index == begin) from = i;
    if (index == end) break;
    next_code_point(text, i);
  }
  if (from >= i) return {};
  return std::string(text.substr(from, i - from));
}

// The first and second text arguments, for the searching functions, as
// views (see arg_text) into the call, the document or the two scratches.
struct TwoTexts {
  std::string first_scratch;
  std::string second_scratch;
  std::string_view first;
  std::string_view second;
};

std::expected<void, std::string> two_texts(const CallContext& call, TwoTexts& texts) {
  VINDLE_ASSIGN_OR_RETURN(texts.first, arg_text(call, 0, texts.first_scratch));
  VINDLE_ASSIGN_OR_RETURN(texts.second, arg_text(call, 1, texts.second_scratch));
  return {};
}

}  // namespace

EvalResult fn_string(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& text, text_or_focus(call));
  return Value::String(std::move(text));
}

EvalResult fn_string_length(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& text, text_or_focus(call));
  return Value::Number(static_cast<double>(count_code_points(text)));
}

EvalResult fn_normalize_space(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& text, text_or_focus(call));
  std::string out;
  for (const std::string_view word : split_words(text)) {
    if (!out.empty()) out += ' ';
    out += word;
  }
  return Value::String(std::move(out));
}

EvalResult fn_concat(const CallContext& call) {
  std::string out;
  if (call.arguments.size() == 1) {
    auto value = arg_value(call, 0);
    if (!value) return value;
    // A lone node-set argument joins all its nodes, the way a repeat's
    // values are usually meant to be concatenated.
    if (value->is_node_set()) {
      std::string scratch;
      for (const NodeId id : value->nodes()) {
        out += call.document.string_value_view(id, scratch);
      }
      return Value::String(std::move(out));
    }
    return Value::String(value_to_string(*value, call.document));
  }
  for (std::size_t i = 0; i < call.arguments.size(); ++i) {
    VINDLE_ASSIGN_OR_RETURN(auto&& text, arg_string(call, i));
    out += text;
  }
  return Value::String(std::move(out));
}

EvalResult fn_substring(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& text, arg_string(call, 0));
  VINDLE_ASSIGN_OR_RETURN(auto&& start, arg_number(call, 1));
  const std::uint64_t n = count_code_points(text);

  const double a = round_half_away(start) - 1;
  const std::uint64_t begin = saturating_count(a > 0 ? a : 0);
  std::uint64_t end = n;
  if (call.arguments.size() == 3) {
    VINDLE_ASSIGN_OR_RETURN(auto&& length, arg_number(call, 2));
    // An infinite length reaches the end of the text, but the end of a
    // length of -Infinity, and of -Infinity plus Infinity, lies before
    // every character.
    if (length == -kInfinity || (length == kInfinity && start == -kInfinity)) {
      return Value::String("");
    }
    if (length != kInfinity) {
      const double e = a + round_half_away(length);
      end = std::min(saturating_count(e > 0 ? e : 0), n);
    }
  }
  return Value::String(slice_characters(text, begin, end));
}

EvalResult fn_substr(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& text, arg_string(call, 0));
  VINDLE_ASSIGN_OR_RETURN(auto&& start, arg_number(call, 1));
  const double n = static_cast<double>(count_code_points(text));

  // Negative positions count from the end; NaN reads as "past the end".
  const auto index = [n](double x) {
    if (x < 0) return std::max(x + n, 0.0);
    return std::isnan(x) ? n : std::min(x, n);
  };
  const double begin = index(start);
  double end = n;
  if (call.arguments.size() == 3) {
    VINDLE_ASSIGN_OR_RETURN(auto&& stop, arg_number(call, 2));
    end = index(stop);
  }
  return Value::String(slice_characters(text, saturating_count(begin), saturating_count(end)));
}

EvalResult fn_substring_before(const CallContext& call) {
  TwoTexts texts;
  VINDLE_TRY(two_texts(call, texts));
  const std::string_view s = texts.first;
  const std::string_view t = texts.second;
  const std::size_t at = s.find(t);
  if (t.empty() || at == std::string_view::npos) return Value::String("");
  return Value::String(std::string(s.substr(0, at)));
}

EvalResult fn_substring_after(const CallContext& call) {
  TwoTexts texts;
  VINDLE_TRY(two_texts(call, texts));
  const std::string_view s = texts.first;
  const std::string_view t = texts.second;
  const std::size_t at = s.find(t);
  if (at == std::string_view::npos) return Value::String("");
  return Value::String(std::string(s.substr(at + t.size())));
}

EvalResult fn_contains(const CallContext& call) {
  TwoTexts texts;
  VINDLE_TRY(two_texts(call, texts));
  return Value::Boolean(texts.first.find(texts.second) != std::string_view::npos);
}

EvalResult fn_starts_with(const CallContext& call) {
  TwoTexts texts;
  VINDLE_TRY(two_texts(call, texts));
  return Value::Boolean(texts.first.starts_with(texts.second));
}

EvalResult fn_ends_with(const CallContext& call) {
  TwoTexts texts;
  VINDLE_TRY(two_texts(call, texts));
  return Value::Boolean(texts.first.ends_with(texts.second));
}

EvalResult fn_translate(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& text, arg_string(call, 0));
  VINDLE_ASSIGN_OR_RETURN(auto&& from, arg_string(call, 1));
  VINDLE_ASSIGN_OR_RETURN(auto&& to, arg_string(call, 2));

  // Characters are compared as their bytes, so a stray invalid byte only
  // ever matches the same byte. emplace keeps a repeated character's first
  // position.
  const std::vector<std::string_view> from_chars = split_characters(from);
  const std::vector<std::string_view> to_chars = split_characters(to);
  BoundedTextMap<std::string_view, std::size_t> position;
  for (std::size_t i = 0; i < from_chars.size(); ++i) position.try_emplace(from_chars[i], i);

  std::string out;
  out.reserve(text.size());
  for (const std::string_view c : split_characters(text)) {
    const std::size_t* found = position.find(c);
    if (!found) {
      out += c;
    } else if (*found < to_chars.size()) {
      out += to_chars[*found];
    }
  }
  return Value::String(std::move(out));
}

EvalResult fn_join(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& separator, arg_string(call, 0));
  auto value = arg_value(call, 1);
  if (!value) return value;
  if (!value->is_node_set()) return Value::String(value_to_string(*value, call.document));
  std::string out;
  std::string scratch;
  bool first = true;
  for (const NodeId id : value->nodes()) {
    if (!first) out += separator;
    first = false;
    out += call.document.string_value_view(id, scratch);
  }
  return Value::String(std::move(out));
}

EvalResult fn_coalesce(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& first, arg_string(call, 0));
  if (!first.empty()) return Value::String(std::move(first));
  VINDLE_ASSIGN_OR_RETURN(auto&& second, arg_string(call, 1));
  return Value::String(std::move(second));
}

EvalResult fn_regex(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_string(call, 0));
  VINDLE_ASSIGN_OR_RETURN(auto&& pattern, arg_string(call, 1));

  // Compiled once per environment, so once per call of the module: the
  // library keeps nothing between its caller's calls, and writes nothing to
  // its caller's stderr.
  const RE2& re = call.env.patterns().compile(pattern);
  if (!re.ok()) {
    return std::unexpected("regex(): " + debug_quote(pattern) +
                           " is not a pattern this engine can build — " + re.error());
  }
  // FullMatch, not a search: a pattern that closes the group early, such
  // as a)|(b, would otherwise leave one alternative unanchored.
  return Value::Boolean(RE2::FullMatch(value, re));
}

}  // namespace vindle::functions
