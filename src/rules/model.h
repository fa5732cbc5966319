// The setting in which every rule of a form is evaluated: the model
// document, whose root "model" holds a copy of the instance being judged or
// filled in followed by a copy of each secondary instance (in id order), and
// FormEnv, the environment that knows the form.
//
// The form's absolute paths work unchanged in the model document because an
// absolute path whose first step names the root element starts at the root
// itself: /data/q and /model/data/q reach the same node. instance('id')
// finds its copy inside the model, so every node an evaluation returns
// belongs to the one document. Paths taken in the model begin with "/model";
// `strip_model_prefix` turns them back into instance paths for reports.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "rules/form.h"
#include "tree/document.h"

namespace vindle {

// "model" holding copies of the instance's root (when it has one) and of
// every secondary instance's root, numbered.
Document build_model_document(const Form& form, const Document& instance);
// The same model built around the instance itself, which it takes instead
// of copying: "model" becomes its root, above the instance's root, and the
// secondary instances are copied in after it. The nodes of the instance
// keep their ids; the tree, its names, values and document order are
// those of the copy, so every evaluation reads the same in both.
Document build_model_document_in_place(const Form& form, Document&& instance);

// The nodes a bind's path selects, evaluated at the model's root element.
// Anything that goes wrong (a parse error, an evaluation error, a value that
// is not a node-set, a document without root) selects nothing, silently:
// a bind that selects nothing has no rules to judge.
NodeSet select_nodes(std::string_view expression, const Document& document,
                     const EvalEnv& env);
// The same for an expression already parsed.
NodeSet select_nodes(const Expr& expr, const Document& document, const EvalEnv& env);
// The nodes a bind's path selects: its nodeset, parsed once when the form
// was loaded.
NodeSet select_bind(const Bind& bind, const Document& document, const EvalEnv& env);

// The nodes each bind selects in one model document, as `select_nodes`
// gives them, each distinct path evaluated once: a judgement reads the same
// selections in several passes. The binds, the document and the
// environment must outlive it.
//
// Paths made only of named child steps from the root (/data/row/q), as
// nearly every bind's path is, are selected together with the other such
// paths that differ from them only in their last step: one pass over the
// children of the rows gives them all, where evaluating each would pass
// over every row once per bind. The nodes come out the same, in the same
// order: the rows lie at one depth, so their children follow each other in
// document order. Such a selection depends on the names in the tree alone,
// never on a value.
class BindSelections {
 public:
  // Whether values may change between two calls of `of`. While they do
  // (the calculations of a recompute write them), only the selections that
  // depend on names alone are kept; any other path is evaluated again on
  // every call, since a value just written may change what it selects.
  enum class Values { Fixed, Changing };

  BindSelections(const std::vector<Bind>& binds, const Document& model, const EvalEnv& env,
                 Values values = Values::Fixed);

  const std::vector<Bind>& binds() const { return binds_; }
  // `select_nodes` of the path of binds()[index]. With changing values, a
  // selection that is not kept is valid only until the next call.
  const NodeSet& of(std::size_t index);

 private:
  struct SiblingGroup {
    Expr parents;  // the path without its last step
    std::vector<std::pair<std::string, std::string_view>> members;  // last name, path text
    bool selected = false;
  };

  void select_group(SiblingGroup& group);

  const std::vector<Bind>& binds_;
  const Document& model_;
  const EvalEnv& env_;
  Values values_;
  std::map<std::string_view, NodeSet, std::less<>> by_path_;
  std::map<std::string_view, std::size_t, std::less<>> group_of_path_;
  std::vector<SiblingGroup> groups_;
  NodeSet fresh_;  // the last selection not kept
};

// The instance paths (`strip_model_prefix` of `Document::path_of`) of
// nodes of a model document, in ascending byte order, each path once, with
// the place in `nodes` of the node it belongs to. Where several places
// share a path (one node asked for twice, or an attribute and a child
// element of one name), the last of them is given.
//
// Paths are built while walking down from the root, each from its
// parent's, and the steps under each parent are put in order there: no
// path is built from the root up for each node, and only the steps of one
// parent are ever sorted together.
std::vector<std::pair<std::string, std::size_t>> instance_paths_in_order(
    const Document& model, std::span<const NodeId> nodes);

// Removes one leading "/model".
std::string strip_model_prefix(std::string_view path);

// The form-aware environment. It owns only today and now; the form and the
// document under evaluation (normally the model document) must outlive it.
class FormEnv final : public EvalEnv {
 public:
  FormEnv(std::string today, std::string now, const Form& form, const Document& document)
      : today_(std::move(today)),
        now_(std::move(now)),
        instances_(form.instances),
        form_(form),
        document_(document) {}

  const Document* instance(std::string_view id) const override;
  // The label of a choice, read from the form's body (see rules/choices.h).
  std::optional<std::string> choice_label(std::string_view value,
                                          std::string_view question_path) const override;
  std::string today() const override { return today_; }
  std::string now() const override { return now_; }

  const Form& form() const { return form_; }
  const Document& document() const { return document_; }

 private:
  std::string today_;
  std::string now_;
  const TextMap<Document>& instances_;
  const Form& form_;
  const Document& document_;
};

}  // namespace vindle
