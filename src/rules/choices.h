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
// The first child element of exactly that name.
std::optional<NodeId> first_child_named(const Document& document, NodeId parent,
                                        std::string_view name);

// What a control's itemset says of the nodes it lists: the nodeset, the
// name of each node's child that holds the choice's value ("name" unless
// the itemset's value child has a ref), and the label reference, if any.
struct ItemsetRefs {
  std::string nodeset;
  std::string value_ref;
  std::optional<std::string> label_ref;
};
// The control's first "itemset" child read so; none without one, or when
// it has no "nodeset" attribute.
std::optional<ItemsetRefs> itemset_refs(const Document& body, NodeId control);

std::optional<NodeId> find_control(const Document& form_document, std::string_view path);

// The next of `children` named "label"; the ones passed over, and the one
// returned, are consumed.
std::optional<NodeId> next_label_child(std::span<const NodeId>& children,
                                       const Document& document);

// The text of a label reference, evaluated in `document` at `item`.
std::string resolve_label_ref(const Form& form, std::string_view ref, const Document& document,
                              NodeId item);

}  // namespace vindle
