// Where an evaluation stands (Focus) and what it may ask of its caller
// (EvalEnv): secondary instances, choice labels, today and now; and where
// today and now come from when there is no form.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tree/document.h"

namespace re2 {
class RE2;
}

namespace vindle {

// The patterns regex() has compiled, kept as long as the environment that
// holds them: a rule tested on every row of a repeat compiles its pattern
// once per call of the module, not once per row, and nothing outlives the
// call. A copy starts empty.
class PatternCache {
 public:
  PatternCache();
  PatternCache(const PatternCache&);
  PatternCache& operator=(const PatternCache&);
  ~PatternCache();

  // `pattern` compiled to match whole values: "^(?:pattern)$" with the
  // library's default options, errors kept in the result (ok(), error())
  // rather than logged, so a pattern that does not compile says so at each
  // use. The result stays valid until the next call.
  const re2::RE2& compile(std::string_view pattern);

 private:
  std::map<std::string, std::unique_ptr<re2::RE2>, std::less<>> compiled_;
  // The entry found last: rows tested against one pattern find it again
  // with one comparison.
  const std::string* last_pattern_ = nullptr;
  const re2::RE2* last_compiled_ = nullptr;
};

// The context node, the context position (from 1) and the context size.
struct Focus {
  NodeId node;
  std::uint64_t position = 1;
  std::uint64_t size = 1;
};

// The evaluator's questions to its caller. Answers may be absent; none fails.
class EvalEnv {
 public:
  virtual ~EvalEnv() = default;
  // The secondary instance with that id, valid as long as the environment.
  virtual const Document* instance(std::string_view id) const = 0;
  // The label of the choice `value` in the question whose control has the
  // path `question_path`.
  virtual std::optional<std::string> choice_label(std::string_view value,
                                                  std::string_view question_path) const = 0;
  virtual std::string today() const = 0;
  virtual std::string now() const = 0;

  // The compiled patterns of regex() during this environment's life. An
  // environment serves one evaluation at a time, on one thread.
  PatternCache& patterns() const { return patterns_; }

 private:
  mutable PatternCache patterns_;
};

// The environment without a form: it knows today and now, nothing else.
class ClockEnv final : public EvalEnv {
 public:
  ClockEnv(std::string today, std::string now) : today_(std::move(today)), now_(std::move(now)) {}

  const Document* instance(std::string_view) const override { return nullptr; }
  std::optional<std::string> choice_label(std::string_view, std::string_view) const override {
    return std::nullopt;
  }
  std::string today() const override { return today_; }
  std::string now() const override { return now_; }

 private:
  std::string today_;
  std::string now_;
};

// The system reads no clock: when nothing gives today or now, these do.
inline constexpr const char* kDefaultToday = "1970-01-01";
inline constexpr const char* kDefaultNow = "1970-01-01T00:00:00.000Z";

// Today and now, as (today, now), for a call that judges or reads a
// submission. A text the caller gives is used as it stands. Otherwise today
// is the text of the submission's "today" element, else the date part (the
// first ten bytes) of its "end"; now is the text of "end", else of "start";
// else the defaults. Of each name only the first element below the root, in
// document order, is read, and a blank one gives nothing.
std::pair<std::string, std::string> resolve_clock(const Document& submission,
                                                  std::optional<std::string> today,
                                                  std::optional<std::string> now);

}  // namespace vindle
