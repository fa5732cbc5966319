#include "rules/finding.h"

#include "text/quote.h"

namespace vindle {

const char* FindingKind::text() const {
  switch (data.index()) {
    case 0: return "constraint";
    case 1: return "required";
    case 2: return "calculation";
    default: return "not-evaluated";
  }
}

std::string SubmissionFinding::fmt() const {
  std::string line = path;
  line += ": ";
  if (kind.is<FindingKind::Constraint>()) {
    line += message ? *message : "the answer does not satisfy the form's constraint";
  } else if (kind.is<FindingKind::Required>()) {
    line += message ? *message : "required, and unanswered";
  } else if (const auto* calculation = kind.as<FindingKind::Calculation>()) {
    // Quoted, so that a difference in white space or an invisible
    // character shows.
    line += "holds ";
    append_debug_quoted(line, calculation->held);
    line += ", but the form calculates ";
    append_debug_quoted(line, calculation->calculated);
  } else {
    line += "rule could not be evaluated — ";
    line += kind.as<FindingKind::NotEvaluated>()->reason;
  }
  return line;
}

}  // namespace vindle
