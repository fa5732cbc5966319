#include "rules/form.h"

#include "parser/parser.h"
#include "parser/references.h"
#include "rules/calculation_order.h"
#include "text/quote.h"
#include "text/result.h"

namespace vindle {

namespace {

// The root element followed by every element below it, in document order.
std::vector<NodeId> all_elements(const Document& document) {
  std::vector<NodeId> elements;
  if (const std::optional<NodeId> root = document.root()) {
    elements = document.descendants(*root);
    elements.insert(elements.begin(), *root);
  }
  return elements;
}

// The primary instance: the first "instance" among the elements below the
// form's root, in document order. An "id" does not disqualify it: the engine
// and the portability checker may take different instances of such a form.
std::optional<NodeId> first_instance(const Document& document,
                                     std::span<const NodeId> below_root) {
  for (const NodeId element : below_root) {
    if (document.node(element).name == "instance") return element;
  }
  return std::nullopt;
}

// The name of the primary instance's root element, its first child.
std::optional<std::string_view> primary_instance_root(const Document& document,
                                                      std::span<const NodeId> elements) {
  if (elements.empty()) return std::nullopt;
  const std::optional<NodeId> instance = first_instance(document, elements.subspan(1));
  if (!instance) return std::nullopt;
  const std::span<const NodeId> children = document.children(*instance);
  if (children.empty()) return std::nullopt;
  return document.node(children.front()).name;
}

std::expected<std::vector<Bind>, std::string> collect_binds(
    const Document& document, const std::vector<NodeId>& elements) {
  const std::optional<std::string_view> instance_root = primary_instance_root(document, elements);
  std::vector<Bind> binds;
  for (const NodeId element : elements) {
    if (document.node(element).name != "bind") continue;
    Bind bind;
    std::optional<std::string> nodeset = document.nonblank_attribute(element, "nodeset");
    if (!nodeset) nodeset = document.nonblank_attribute(element, "ref");
    if (!nodeset) return std::unexpected("a <bind> has no nodeset");
    // A relative path is read from the instance's root element; made
    // absolute here (each operand of a union alike), it selects, orders,
    // keys and names the bind as an absolute path written by hand would.
    bind.nodeset = instance_root ? absolute_bind_path(*nodeset, *instance_root)
                                 : std::move(*nodeset);
    if (auto path = parse_expression(bind.nodeset)) bind.path = std::move(*path);
    // The attributes are parsed in this order, so that the first faulty one
    // named in the message is always the same.
    const std::pair<const char*, std::optional<Expr> Bind::*> expressions[] = {
        {"relevant", &Bind::relevant},     {"calculate", &Bind::calculate},
        {"constraint", &Bind::constraint}, {"readonly", &Bind::readonly},
        {"required", &Bind::required},
    };
    for (const auto& [attribute, field] : expressions) {
      VINDLE_ASSIGN_OR_RETURN(
          bind.*field,
          parse_bind_expression(bind.nodeset, document.nonblank_attribute(element, attribute),
                                attribute));
    }
    bind.constraint_msg = document.nonblank_attribute(element, "constraintMsg");
    bind.required_msg = document.nonblank_attribute(element, "requiredMsg");
    binds.push_back(std::move(bind));
  }
  return binds;
}

// Whether an instance element names a file (a non-blank "src") and holds no
// element of its own: its data would be loaded from that file, and we do
// not have it. Data written inline is read, whether or not a file is named.
bool names_data_we_do_not_have(const Document& document, NodeId element) {
  return document.children(element).empty() &&
         document.nonblank_attribute(element, "src").has_value();
}

TextMap<Document> collect_secondary_instances(const Document& document,
                                              const std::vector<NodeId>& elements) {
  TextMap<Document> instances;
  for (const NodeId element : elements) {
    if (document.node(element).name != "instance") continue;
    std::optional<std::string> id = document.attribute(element, "id");
    if (!id) continue;
    // Not collected, so instance() and pulldata() report it unloaded rather
    // than reading nothing as its data. As a later declaration of its id it
    // still replaces an earlier one.
    if (names_data_we_do_not_have(document, element)) {
      instances.erase(*id);
      continue;
    }
    Document copy;
    copy.set_root(copy.import_subtree(document, element));
    copy.renumber();
    instances.insert_or_assign(std::move(*id), std::move(copy));
  }
  return instances;
}

TextMap<std::string> collect_itext(const Document& document,
                                   const std::vector<NodeId>& elements) {
  TextMap<std::string> itext;
  for (const NodeId element : elements) {
    if (document.node(element).name != "translation") continue;
    // Only the first translation counts, whatever its language.
    for (const NodeId text : document.children(element)) {
      if (document.node(text).name != "text") continue;
      std::optional<std::string> id = document.attribute(text, "id");
      if (!id) continue;
      std::span<const NodeId> children = document.children(text);
      const std::optional<NodeId> value = find_named(children, document, "value");
      if (!value) continue;
      itext.insert_or_assign(std::move(*id), document.string_value(*value));
    }
    break;
  }
  return itext;
}

}  // namespace

std::expected<std::optional<Expr>, std::string> parse_bind_expression(
    std::string_view nodeset, const std::optional<std::string>& text,
    std::string_view attribute) {
  if (!text) return std::optional<Expr>();
  auto expr = parse_expression(*text);
  if (!expr) {
    std::string message(attribute);
    message += " of ";
    message += nodeset;
    message += ": ";
    message += expr.error();
    message += " — in expression ";
    append_debug_quoted(message, *text);
    return std::unexpected(std::move(message));
  }
  return std::optional<Expr>(std::move(*expr));
}

std::expected<Form, std::string> Form::load(std::string_view text) {
  auto document = Document::parse(text);
  if (!document) return std::unexpected("XForm XML: " + document.error());
  // One read serves every phase: the later phases only read the tree, and
  // the secondary instances are copied out of it.
  const std::vector<NodeId> elements = all_elements(*document);

  VINDLE_ASSIGN_OR_RETURN(auto&& binds, collect_binds(*document, elements));
  if (binds.empty()) return std::unexpected("the XForm declares no binds, so it carries no rules");

  // A union bind is ordered at each of its operands, each path leading to
  // the last bind declared on it.
  const std::vector<BindOperand> operands = bind_operands(binds);
  TextMap<std::size_t> bind_index;
  for (std::size_t k = 0; k < operands.size(); ++k) {
    bind_index.insert_or_assign(std::string(operands[k].path), k);
  }
  VINDLE_ASSIGN_OR_RETURN(
      auto&& order,
      order_calculations(binds, operands, dependency_sets(binds, operands, bind_index)));
  std::vector<Calculation> calculations = calculations_in_order(operands, order);

  Form form;
  form.instances = collect_secondary_instances(*document, elements);
  form.itext = collect_itext(*document, elements);
  form.document = std::move(*document);
  form.binds = std::move(binds);
  form.calculation_order = binds_in_order(calculations, form.binds.size());
  form.calculations = std::move(calculations);
  return form;
}

std::expected<Document, std::string> Form::primary_instance(std::string_view text) {
  auto document = Document::parse(text);
  if (!document) return std::unexpected("XForm XML: " + document.error());
  const std::vector<NodeId> below_root = document->descendants(*document->root());
  const std::optional<NodeId> element = first_instance(*document, below_root);
  if (!element) return std::unexpected("the XForm has no primary instance");
  const std::span<const NodeId> children = document->children(*element);
  if (children.empty()) return std::unexpected("the XForm's primary instance is empty");
  Document instance;
  instance.set_root(instance.import_subtree(*document, children.front()));
  instance.renumber();
  return instance;
}

}  // namespace vindle
