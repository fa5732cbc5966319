// Reading the form's body for choice labels: the control of a question,
// its static items and its itemset, and label references, which are either
// "jr:itext(...)" lookups into the first translation or expressions.
//
// Nothing here reports an error. A control, itemset or attribute that is
// missing, a nodeset that does not parse or does not give nodes: no answer.
// A label reference that fails gives the empty text. Expressions evaluated
// here see today() and now() as empty texts.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rules/form.h"
#include "tree/document.h"

namespace vindle {

// The first "rank", "input", "range", "select", "upload" or "select1"
// element, root included, whose first "ref" attribute, trimmed, equals the
// trimmed path. Refs are compared as text, never resolved.
std::optional<NodeId> find_control(const Document& form_document, std::string_view path);

// The next of `children` named "label"; the ones passed over, and the one
// returned, are consumed.
std::optional<NodeId> next_label_child(std::span<const NodeId>& children,
                                       const Document& document);

// The text of a label reference, evaluated in `document` at `item`.
std::string resolve_label_ref(const Form& form, std::string_view ref, const Document& document,
                              NodeId item);

}  // namespace vindle
