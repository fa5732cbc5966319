// A form being filled in: the loaded form, the working instance that the
// answers go into, the repeat templates new rows are made from, and the
// today and now its expressions see. Answers are read and written by path,
// rows added from the templates and removed by position; recompute applies
// what the form derives and reports what it finds; choices lists what a
// filtered question offers given the answers so far.
//
// Paths are XPath expressions evaluated on the working instance at its root
// element, so the slash paths the system reports are valid paths here.
#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/form.h"
#include "rules/templates.h"
#include "tree/document.h"

namespace vindle {

// A text that many entries of a result may name, held once: a calculation
// that fails is listed at each of its nodes under its bind's path, and the
// path of a union bind is as long as all of its operands.
using SharedText = std::shared_ptr<const std::string>;

// What a recompute found, paths being the instance's.
struct RecomputeResult {
  std::vector<std::string> missing;  // required and blank, judgement order
  // (path, message): constraintMsg, or "this answer is not allowed".
  std::vector<std::pair<std::string, std::string>> invalid;
  // (path, reason): failed calculations keyed by the bind's nodeset, then
  // failed relevant expressions with the finding's whole line, then the
  // judgement's failures with the bare reason. Nothing is deduplicated; the
  // entries of one bind's calculation share its path.
  std::vector<std::pair<SharedText, std::string>> failed;
  TextMap<std::string> calculated;  // values that differed from the instance
  TextMap<bool> relevant;           // every node some bind selects
  TextMap<std::uint64_t> repeats;   // rows of every repeat of the form
};

// One choice a filtered question offers.
struct Choice {
  std::string value;  // untrimmed
  std::string label;
};

class Session {
 public:
  // The session over the form's primary instance, or the message of the
  // form loader or of the primary instance.
  static std::expected<Session, std::string> from_form(std::string_view form_text,
                                                       std::string today, std::string now);
  // The session over a saved instance, stripped of its template elements;
  // the templates still come from the form. Nothing compares the two.
  static std::expected<Session, std::string> with_saved_instance(std::string_view form_text,
                                                                 std::string_view saved_text,
                                                                 std::string today,
                                                                 std::string now);

  // The first node the path selects in the working instance; none for a
  // path that does not parse, fails, or gives no node.
  std::optional<NodeId> resolve(std::string_view path) const;
  // The rows at a path: the children named like its last step (taken
  // literally) of the element the text before its last "/" resolves to.
  std::vector<NodeId> nodes_at(std::string_view path) const;
  // The string-value of the node the path resolves to, or "".
  std::string get(std::string_view path) const;
  // Replaces the value of the node the path resolves to; when it resolves
  // to nothing, makes the path's elements (never a missing repeat row). A
  // value holding a character XML cannot carry is refused before anything
  // changes.
  std::expected<void, std::string> set(std::string_view path, std::string_view value);
  // A new row from the repeat's template after the last row, or at the end
  // of the parent when there is none; the number of rows now there.
  std::expected<std::uint64_t, std::string> add_row(std::string_view path);
  // Removes the row at that position (from 1); the number of rows left.
  std::expected<std::uint64_t, std::string> remove_row(std::string_view path,
                                                       std::uint64_t position);

  // Runs every calculation in order and writes the values that changed
  // into the working instance, then reports relevance, the judgement of
  // the relevant nodes and the row counts. Never fails.
  RecomputeResult recompute();

  // The choices of the question's itemset in the current answers; none
  // when it has no control, no itemset, or a nodeset that does not parse.
  std::optional<std::vector<Choice>> choices(std::string_view path) const;

  // The working instance as instance XML.
  std::string instance_xml() const;

  const Document& instance() const { return numbered(); }
  const Form& form() const { return form_; }
  const TemplateMap& templates() const { return templates_; }

 private:
  Session(Document instance, Form form, std::string today, std::string now,
          TemplateMap templates)
      : instance_(std::move(instance)),
        form_(std::move(form)),
        today_(std::move(today)),
        now_(std::move(now)),
        templates_(std::move(templates)) {}

  // The element whose children are the rows at a path: the root element
  // when nothing comes before the path's last "/", else what that text
  // resolves to; none for a path without "/".
  std::optional<NodeId> rows_parent(std::string_view path) const;

  // The working instance with its document order up to date. Edits leave
  // the numbering to the next reader that needs it, so that a run of added
  // rows does not renumber the whole instance once per row; the numbering
  // is a derived index, like the document's own path cache.
  const Document& numbered() const;

  mutable Document instance_;
  Form form_;
  std::string today_;
  std::string now_;
  TemplateMap templates_;
};

}  // namespace vindle
