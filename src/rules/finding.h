// What the judgement of an instance says about one node: which bind's rule
// spoke, about which node, and what it found. A rule that could not be
// evaluated is a finding of its own kind, never a pass.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vindle {

struct FindingKind {
  struct Constraint {};  // a non-blank answer the constraint rejects
  struct Required {};    // a blank answer where the required rule holds
  struct Calculation {   // the node holds something else than its calculation
    std::string held;
    std::string calculated;
  };
  struct NotEvaluated {  // a rule failed to evaluate at this node
    std::string reason;
  };

  std::variant<Constraint, Required, Calculation, NotEvaluated> data;

  template <class T>
  bool is() const { return std::holds_alternative<T>(data); }
  template <class T>
  const T* as() const { return std::get_if<T>(&data); }

  // "constraint", "required", "calculation" or "not-evaluated".
  const char* text() const;
};

struct SubmissionFinding {
  // The bind's path, as the loaded form holds it, which must outlive the
  // finding: a union bind's path is as long as its operands, and each node
  // it selects may have findings of its own.
  std::string_view nodeset;
  std::string path;  // the node's slash path
  // The bind's constraintMsg or requiredMsg, for those two kinds only.
  std::optional<std::string> message;
  FindingKind kind;

  // The finding as one line: the path, a colon and what is wrong.
  std::string fmt() const;
};

}  // namespace vindle
