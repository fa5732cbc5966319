// The portability check of a whole form: will its logic mean the same thing
// on the tablet engine (JavaRosa, in Collect / KoboCollect) and in the
// browser engine (Enketo web forms)?
//
// The form is read with the XML reader alone, never with the form loader,
// so a form that the loader refuses (no binds, a calculation cycle, an
// expression that does not parse, a bind without a path) is still checked.
// Nothing is evaluated. Every bind's five logic expressions go through the
// construct rules and the unmatched-path check; each hit becomes a finding.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portability/construct_rules.h"

namespace vindle {

// One finding, owning its texts.
struct PortabilityFinding {
  // The bind's "nodeset", else its "ref", trimmed; a relative one made
  // absolute from the primary instance's root element.
  std::string path;
  std::string rule;        // "relevant", "calculate", "constraint", "required" or "readonly"
  std::string expression;  // that attribute's text, trimmed
  std::string construct;
  std::string effect;
  std::optional<std::string> suggestion;
  Breaks breaks;

  bool operator==(const PortabilityFinding&) const = default;
};

// The findings of a form given as XML text: binds in document order, within
// a bind the five attributes in the order above, within an expression the
// construct findings before the unmatched paths. The only failure is the
// reader's, as "XForm XML: {message}".
std::expected<std::vector<PortabilityFinding>, std::string> check_form_findings(
    std::string_view xml);

// The finding in one line: "{path} ({rule}): {construct} — {effect},
// {clause}." and, when there is a suggestion, " Write {suggestion} instead."
std::string finding_says(const PortabilityFinding& finding);

}  // namespace vindle
