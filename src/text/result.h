// Passing a failed result up unchanged. A result is a
// std::expected<T, std::string>: a value, or the message that says why there
// is none. A function that cannot go on without a result it asked for hands
// that message to its own caller as it came; these forms write that step,
// so that a body reads as what it computes.
//
//   VINDLE_ASSIGN_OR_RETURN(auto&& text, arg_string(call, 0));
//   VINDLE_ASSIGN_OR_RETURN(texts[i], arg_string(call, i));   // into a variable
//   VINDLE_TRY(two_texts(call, texts));   // a std::expected<void, std::string>
//   VINDLE_TRY(markup);                   // a result already in a variable
//   into = take_error(steps);             // handed back through a parameter
//
// VINDLE_ASSIGN_OR_RETURN(lhs, expr) expands to
//   auto r = (expr); if (!r) return std::unexpected(std::move(r.error())); lhs = std::move(*r)
// and VINDLE_TRY(expr) to
//   do { if (auto&& r = (expr); !r) return std::unexpected(std::move(r.error())); } while (false)
// with r named vindle_result_<line>.
//
// What is subtle:
// - The error is moved out of the failed result, never copied: the function
//   returns at once and the result is not looked at again.
// - The enclosing function may return any std::expected<U, std::string>,
//   whatever the failed result's value type: std::unexpected<std::string>
//   converts to each of them.
// - VINDLE_ASSIGN_OR_RETURN declares its temporary in the enclosing scope,
//   under a name made of the line: two on one line clash, and it cannot be
//   the lone statement of an if or a loop. The temporary lives to the end
//   of the scope. Declared `auto&&`, the value is a name for the value
//   inside it, and a frame holds one result, as a hand-written check's
//   would; declared `auto`, the value is moved into a second object beside
//   it, which in a function the evaluation recurses through costs stack on
//   every level of nesting. Write `auto&&`.
// - VINDLE_TRY binds an existing result by reference: it neither copies nor
//   moves it unless it failed.
#pragma once

#include <expected>
#include <string>
#include <utility>

namespace vindle {

// The error of a failed result, moved out, as a std::unexpected that any
// result type takes: for a failure stored rather than returned at once, as
// in a result handed back through a parameter.
template <typename T>
std::unexpected<std::string> take_error(std::expected<T, std::string>& failed) {
  return std::unexpected(std::move(failed.error()));
}

}  // namespace vindle

#define VINDLE_RESULT_JOIN_(a, b) a##b
#define VINDLE_RESULT_JOIN(a, b) VINDLE_RESULT_JOIN_(a, b)
#define VINDLE_RESULT_NAME VINDLE_RESULT_JOIN(vindle_result_, __LINE__)

#define VINDLE_TRY(...)                                                 \
  do {                                                                  \
    if (auto&& VINDLE_RESULT_NAME = (__VA_ARGS__); !VINDLE_RESULT_NAME) \
      return std::unexpected(std::move(VINDLE_RESULT_NAME.error()));    \
  } while (false)

#define VINDLE_ASSIGN_OR_RETURN(lhs, ...)                                                \
  auto VINDLE_RESULT_NAME = (__VA_ARGS__);                                               \
  if (!VINDLE_RESULT_NAME) return std::unexpected(std::move(VINDLE_RESULT_NAME.error())); \
  lhs = std::move(*VINDLE_RESULT_NAME)
