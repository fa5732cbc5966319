// Where an evaluation stands (Focus) and what it may ask of its caller
// (EvalEnv): secondary instances, choice labels, today and now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tree/document.h"

namespace vindle {

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

}  // namespace vindle
