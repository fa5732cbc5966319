// A loaded XForm: what the engine needs of a form to judge an instance or to
// fill one in. `Form::load` reads the form's own tree once and keeps it; the
// binds with their expressions parsed, the order of the calculations, the
// secondary instances and the first translation's texts are derived from it.
//
// A Form is never changed after loading and refers to nothing outside
// itself, so any number of readers may share it.
#pragma once

#include <cstddef>
#include <expected>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parser/expr.h"
#include "tree/document.h"

namespace vindle {

struct Bind {
  // From "nodeset", else "ref", as written (untrimmed, never blank); a
  // relative path is made absolute from the primary instance's root element
  // ("age" under a root named data is "/data/age").
  std::string nodeset;
  // The nodeset parsed once, at load; none when it does not parse, and the
  // bind then selects nothing.
  std::optional<Expr> path;
  std::optional<std::string> constraint_msg;
  std::optional<std::string> required_msg;
  std::optional<Expr> relevant;
  std::optional<Expr> calculate;
  std::optional<Expr> constraint;
  std::optional<Expr> required;
  // Parsed so that a form with a broken one is refused, but never evaluated.
  std::optional<Expr> readonly;
};

// One calculation as the form runs it: a bind's calculate expression at
// the nodes its path selects or, for a union bind, at the nodes one operand
// of its path selects, placed in the order as a bind on that operand alone
// would be.
struct Calculation {
  std::size_t bind;  // into Form::binds
  // The operand (as bind_path_operands gives it), empty for a bind whose
  // path is no union: that bind runs at its whole path.
  std::string operand;
  // The operand parsed; none for a whole path, or for an operand that does
  // not parse alone, which then selects nothing.
  std::optional<Expr> path;
};

// Maps keyed by ids or paths compare bytewise and accept string_view keys.
template <class T>
using TextMap = std::map<std::string, T, std::less<>>;

struct Form {
  Document document;
  std::vector<Bind> binds;  // document order of the bind elements; never empty
  // Every calculation in the order recompute runs them, each after the
  // calculations whose nodes it reads: one per bind with a calculate
  // expression, one per operand for a union bind.
  std::vector<Calculation> calculations;
  // Indices into `binds` of every bind with a calculate expression, each
  // where its first calculation stands: the order in which the judgement,
  // which writes nothing, checks each bind at all its nodes. Without union
  // binds it is the order of `calculations`.
  std::vector<std::size_t> calculation_order;
  // Each root is a copy of the whole "instance" element, id attribute kept.
  // An instance that names a file ("src") and holds no element is not here:
  // its data lies in that file, which is never loaded.
  TextMap<Document> instances;
  TextMap<std::string> itext;  // text id to label, first translation only

  // The form, or the first message of: the XML reader, a bind without a
  // path, a bind expression that does not parse, a form without binds,
  // calculations that read each other in a circle.
  static std::expected<Form, std::string> load(std::string_view text);

  // A copy of the first child element of the first "instance" element below
  // the form's root, whatever that instance's attributes, as a Document of
  // its own; or "the XForm has no primary instance" / "the XForm's primary
  // instance is empty".
  static std::expected<Document, std::string> primary_instance(std::string_view text);
};

// The expression of one bind attribute; none when `text` is absent. A
// syntax error gives "{attribute} of {nodeset}: {error} — in expression
// {quoted text}".
std::expected<std::optional<Expr>, std::string> parse_bind_expression(
    std::string_view nodeset, const std::optional<std::string>& text,
    std::string_view attribute);

}  // namespace vindle
