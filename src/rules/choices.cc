#include "rules/choices.h"

#include <array>

#include "eval/evaluator.h"
#include "eval/value.h"
#include "parser/parser.h"
#include "rules/model.h"
#include "text/unicode.h"

namespace vindle {

namespace {

bool is_control_name(std::string_view name) {
  static constexpr std::array<std::string_view, 6> kControls = {
      "rank", "input", "range", "select", "upload", "select1"};
  for (const std::string_view control : kControls) {
    if (name == control) return true;
  }
  return false;
}

}  // namespace

std::optional<NodeId> first_child_named(const Document& document, NodeId parent,
                                        std::string_view name) {
  std::span<const NodeId> children = document.children(parent);
  return find_named(children, document, name);
}

std::optional<ItemsetRefs> itemset_refs(const Document& body, NodeId control) {
  const std::optional<NodeId> itemset = first_child_named(body, control, "itemset");
  if (!itemset) return std::nullopt;
  std::optional<std::string> nodeset = body.attribute(*itemset, "nodeset");
  if (!nodeset) return std::nullopt;
  ItemsetRefs refs{std::move(*nodeset), "name", std::nullopt};
  if (const std::optional<NodeId> value_child = first_child_named(body, *itemset, "value")) {
    if (std::optional<std::string> ref = body.attribute(*value_child, "ref")) {
      refs.value_ref = std::move(*ref);
    }
  }
  std::span<const NodeId> children = body.children(*itemset);
  if (const std::optional<NodeId> label = next_label_child(children, body)) {
    refs.label_ref = body.attribute(*label, "ref");
  }
  return refs;
}

namespace {

// String-value of the first child element named `name`, empty without one.
std::string child_text(const Document& document, NodeId parent, std::string_view name) {
  const std::optional<NodeId> child = first_child_named(document, parent, name);
  return child ? document.string_value(*child) : std::string();
}

// Label references and item sets are evaluated with today() and now() empty,
// whatever the caller was given.
std::optional<Value> evaluate_quietly(const Form& form, std::string_view text,
                                      const Document& document, NodeId at) {
  auto expr = parse_expression(text);
  if (!expr) return std::nullopt;
  const FormEnv env("", "", form, document);
  auto value = evaluate(*expr, document, Focus{at, 1, 1}, env);
  if (!value) return std::nullopt;
  return std::move(*value);
}

std::string evaluate_to_text(const Form& form, std::string_view text, const Document& document,
                             NodeId at) {
  const std::optional<Value> value = evaluate_quietly(form, text, document, at);
  return value ? value_to_string(*value, document) : std::string();
}

}  // namespace

std::optional<NodeId> find_control(const Document& form_document, std::string_view path) {
  const std::string_view wanted = trim(path);
  const std::optional<NodeId> root = form_document.root();
  if (!root) return std::nullopt;
  const auto matches = [&](NodeId element) {
    if (!is_control_name(form_document.node(element).name)) return false;
    const std::optional<std::string> ref = form_document.attribute(element, "ref");
    return ref && trim(*ref) == wanted;
  };
  if (matches(*root)) return root;
  for (const NodeId element : form_document.descendants(*root)) {
    if (matches(element)) return element;
  }
  return std::nullopt;
}

std::optional<NodeId> next_label_child(std::span<const NodeId>& children,
                                       const Document& document) {
  return find_named(children, document, "label");
}

std::string resolve_label_ref(const Form& form, std::string_view ref, const Document& document,
                              NodeId item) {
  constexpr std::string_view kItext = "jr:itext(";
  const std::string_view reference = trim(ref);
  if (!reference.starts_with(kItext)) return evaluate_to_text(form, reference, document, item);

  std::string_view inner = reference.substr(kItext.size());
  // Every closing parenthesis goes, so an expression inside that ends with
  // one of its own loses it too.
  while (inner.ends_with(')')) inner.remove_suffix(1);
  inner = trim(inner);
  std::string id;
  if (inner.size() >= 2 && inner.front() == '\'' && inner.back() == '\'') {
    id = inner.substr(1, inner.size() - 2);
  } else {
    id = evaluate_to_text(form, inner, document, item);
  }
  const auto found = form.itext.find(id);
  return found == form.itext.end() ? id : found->second;
}

std::optional<std::string> FormEnv::choice_label(std::string_view value,
                                                 std::string_view question_path) const {
  const Document& body = form_.document;
  const std::optional<NodeId> control = find_control(body, question_path);
  if (!control) return std::nullopt;
  const std::string_view asked = trim(value);

  for (const NodeId item : body.children(*control)) {
    if (body.node(item).name != "item") continue;
    if (trim(child_text(body, item, "value")) != asked) continue;
    // The first matching item answers, even without a label: the itemset is
    // not consulted then.
    std::span<const NodeId> children = body.children(item);
    const std::optional<NodeId> label = next_label_child(children, body);
    if (!label) return std::nullopt;
    if (const std::optional<std::string> ref = body.attribute(*label, "ref")) {
      const std::optional<NodeId> root = document_.root();
      if (!root) return std::string();
      return resolve_label_ref(form_, *ref, document_, *root);
    }
    return body.string_value(*label);
  }

  const std::optional<ItemsetRefs> refs = itemset_refs(body, *control);
  if (!refs) return std::nullopt;
  const std::optional<NodeId> root = document_.root();
  if (!root) return std::nullopt;
  const std::optional<Value> nodes = evaluate_quietly(form_, refs->nodeset, document_, *root);
  if (!nodes || !nodes->is_node_set()) return std::nullopt;
  // The value reference names a child; it is never evaluated.
  for (const NodeId node : nodes->nodes()) {
    std::string choice = child_text(document_, node, refs->value_ref);
    if (trim(choice) != asked) continue;
    if (refs->label_ref) return resolve_label_ref(form_, *refs->label_ref, document_, node);
    return choice;
  }
  return std::nullopt;
}

}  // namespace vindle
