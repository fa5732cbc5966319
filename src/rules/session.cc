#include "rules/session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "parser/parser.h"
#include "rules/choices.h"
#include "rules/model.h"
#include "text/result.h"
#include "text/unicode.h"

namespace vindle {

namespace {

// Whether a path is made only of named child steps, each with at most one
// predicate that is a plain number: the shape of every slash path the
// system reports, and of nearly every path a caller writes.
bool is_slash_path(const Expr::Path& path) {
  for (const Step& step : path.steps) {
    if (step.axis != Axis::Child || step.test.any || step.predicates.size() > 1) return false;
    if (!step.predicates.empty() && !step.predicates.front().is<Expr::Number>()) return false;
  }
  return true;
}

// The first character of a value that XML has no place for. The instance
// XML writes text as it is, so such a character would leave a text no XML
// reader accepts. A byte that is not valid UTF-8 reads as U+FFFD, which XML
// allows.
std::optional<char32_t> first_character_xml_refuses(std::string_view value) {
  for (std::size_t i = 0; i < value.size();) {
    if (const char32_t c = next_code_point(value, i); !is_xml_char(c)) return c;
  }
  return std::nullopt;
}

// The place a step's number predicate keeps among the children of the
// step's name: the number when it is a whole place, 0 (none) otherwise.
std::uint64_t kept_place(const Step& step) {
  const double wanted = step.predicates.front().as<Expr::Number>()->value;
  if (!(wanted >= 1 && wanted <= 0x1p53) || wanted != std::floor(wanted)) return 0;
  return static_cast<std::uint64_t>(wanted);
}

// The first node a slash path selects, found by walking the children
// directly: what the evaluator gives for such a path, without numbering the
// document and without gathering a repeat's rows to pick one of them. The
// steps are followed depth first, each trying the children of its name in
// order, so the first node reached is the first in document order; a step
// with a position goes straight to that child.
std::optional<NodeId> first_on_slash_path(const Expr::Path& path, const Document& document) {
  const NodeId root = *document.root();
  std::size_t first = 0;
  // As in the evaluator, an absolute first step naming the root is the root.
  if (path.absolute && !path.steps.empty() &&
      path.steps.front().test.name == document.node(root).name) {
    if (!path.steps.front().predicates.empty() && kept_place(path.steps.front()) != 1) {
      return std::nullopt;
    }
    first = 1;
  }
  if (first == path.steps.size()) return root;
  // One entry per step taken: the node reached, and where the search for
  // the next step's child stands among that node's children.
  struct Reached {
    NodeId node;
    std::size_t next_child;
  };
  std::vector<Reached> reached{{root, 0}};
  while (!reached.empty()) {
    Reached& top = reached.back();
    const Step& step = path.steps[first + reached.size() - 1];
    std::optional<NodeId> child;
    if (!step.predicates.empty()) {
      // The one child the position names, tried once.
      if (top.next_child == 0) {
        top.next_child = 1;
        if (const std::uint64_t place = kept_place(step)) {
          child = document.child_named(top.node, step.test.name, place);
        }
      }
    } else {
      const std::span<const NodeId> children = document.children(top.node);
      while (top.next_child < children.size()) {
        const NodeId candidate = children[top.next_child++];
        if (document.node(candidate).name == step.test.name) {
          child = candidate;
          break;
        }
      }
    }
    if (!child) {
      reached.pop_back();
      continue;
    }
    if (first + reached.size() == path.steps.size()) return child;
    reached.push_back({*child, 0});
  }
  return std::nullopt;
}

bool is_attribute_node(const Document& document, NodeId id) {
  const std::optional<NodeId> owner = document.parent(id);
  if (!owner) return false;
  const std::span<const NodeId> attributes = document.attributes(*owner);
  return std::find(attributes.begin(), attributes.end(), id) != attributes.end();
}

// XML's Name production without the colon: a name the writer can write and
// every XML reader reads back as the same local name.
bool is_name_start(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

bool is_name_char(char32_t c) {
  return is_name_start(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool is_element_name(std::string_view name) {
  std::size_t i = 0;
  bool first = true;
  while (i < name.size()) {
    const char32_t c = next_code_point(name, i);
    if (first ? !is_name_start(c) : !is_name_char(c)) return false;
    first = false;
  }
  return !first;
}

}  // namespace

std::expected<Session, std::string> Session::from_form(std::string_view form_text,
                                                       std::string today, std::string now) {
  VINDLE_ASSIGN_OR_RETURN(auto&& form, Form::load(form_text));
  VINDLE_ASSIGN_OR_RETURN(auto&& instance, Form::primary_instance(form_text));
  TemplateMap templates = collect_repeat_templates(instance);
  return Session(std::move(instance), std::move(form), std::move(today), std::move(now),
                 std::move(templates));
}

std::expected<Session, std::string> Session::with_saved_instance(std::string_view form_text,
                                                                 std::string_view saved_text,
                                                                 std::string today,
                                                                 std::string now) {
  VINDLE_ASSIGN_OR_RETURN(auto&& form, Form::load(form_text));
  auto saved = Document::parse(saved_text);
  if (!saved) return std::unexpected("saved instance: " + saved.error());
  VINDLE_ASSIGN_OR_RETURN(auto&& primary, Form::primary_instance(form_text));
  TemplateMap templates = collect_repeat_templates(primary);
  // Only to strip the saved instance of its template elements; the
  // templates are the form's.
  collect_repeat_templates(*saved);
  return Session(std::move(*saved), std::move(form), std::move(today), std::move(now),
                 std::move(templates));
}

const Document& Session::numbered() const {
  if (!instance_.numbered_in_tree_order()) instance_.renumber();
  return instance_;
}

std::optional<NodeId> Session::resolve(std::string_view path) const {
  auto expr = parse_expression(path);
  if (!expr) return std::nullopt;
  if (const Expr::Path* steps = expr->as<Expr::Path>(); steps && is_slash_path(*steps)) {
    return first_on_slash_path(*steps, instance_);
  }
  const Document& document = numbered();
  const ClockEnv env(today_, now_);
  auto value = evaluate(*expr, document, Focus{*document.root(), 1, 1}, env);
  if (!value || !value->is_node_set() || value->nodes().empty()) return std::nullopt;
  return value->nodes().front();
}

std::optional<NodeId> Session::rows_parent(std::string_view path) const {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view before = path.substr(0, slash);
  return before.empty() ? instance_.root() : resolve(before);
}

std::vector<NodeId> Session::nodes_at(std::string_view path) const {
  const std::optional<NodeId> parent = rows_parent(path);
  if (!parent) return {};
  return instance_.children_named(*parent, path.substr(path.rfind('/') + 1));
}

std::string Session::get(std::string_view path) const {
  const std::optional<NodeId> node = resolve(path);
  if (!node) return std::string();
  // A leaf's string-value is its own text. Any other node's is its text
  // and its descendants' in document order, which after edits is the tree's
  // order: read that way, no read renumbers the instance.
  if (instance_.numbered_in_tree_order() || instance_.children(*node).empty()) {
    return instance_.string_value(*node);
  }
  std::string text;
  std::vector<NodeId> stack{*node};
  while (!stack.empty()) {
    const Node next = instance_.node(stack.back());
    stack.pop_back();
    text += next.value;
    stack.insert(stack.end(), next.children.rbegin(), next.children.rend());
  }
  return text;
}

std::expected<void, std::string> Session::set(std::string_view path, std::string_view value) {
  if (const std::optional<char32_t> refused = first_character_xml_refuses(value)) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*refused));
    return std::unexpected("'" + std::string(path) + "' cannot hold " + code +
                           ", a character XML does not allow — the instance would no longer "
                           "read as XML");
  }
  if (const std::optional<NodeId> node = resolve(path)) {
    instance_.set_value(*node, value);
    return {};
  }

  std::vector<std::string_view> pieces;
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) pieces.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  const auto quoted = [&](std::string_view text) { return "'" + std::string(text) + "'"; };
  if (pieces.empty()) return std::unexpected(quoted(path) + " names nothing");
  for (const std::string_view piece : pieces) {
    if (piece.find('[') != std::string_view::npos) {
      return std::unexpected(quoted(path) + " points at " + std::string(piece) +
                             ", which does not exist — add the row first with add_row()");
    }
  }
  const NodeId root = *instance_.root();
  if (pieces.size() >= 2 && pieces.front() == instance_.node(root).name) {
    pieces.erase(pieces.begin());
  }

  // Which pieces exist is settled before anything changes, so that a piece
  // that cannot be an element leaves the instance as it was.
  NodeId current = root;
  std::size_t made_from = 0;
  for (; made_from + 1 < pieces.size(); ++made_from) {
    const std::optional<NodeId> child = instance_.child_named(current, pieces[made_from], 1);
    if (!child) break;
    current = *child;
  }
  for (std::size_t k = made_from; k < pieces.size(); ++k) {
    // A piece such as @id or count(x) would give an element the instance
    // XML cannot carry: the text would no longer read as XML.
    if (!is_element_name(pieces[k])) {
      return std::unexpected(quoted(path) + " points at " + std::string(pieces[k]) +
                             ", which is not an element name");
    }
  }
  for (std::size_t k = made_from; k + 1 < pieces.size(); ++k) {
    const NodeId made = instance_.new_element(pieces[k], "");
    instance_.append_child(current, made);
    current = made;
  }
  instance_.append_child(current, instance_.new_element(pieces.back(), value));
  return {};
}

std::expected<std::uint64_t, std::string> Session::add_row(std::string_view path) {
  const auto found = templates_.find(path);
  if (found == templates_.end()) {
    return std::unexpected("'" + std::string(path) + "' is not a repeat in this form");
  }
  const Document& pattern = found->second;
  // The rows are counted and the last one found through the parent's
  // index, without gathering them.
  const std::optional<NodeId> rows_at = rows_parent(path);
  const std::string_view name = path.substr(path.rfind('/') + 1);
  const std::uint64_t rows = rows_at ? instance_.count_children_named(*rows_at, name) : 0;
  if (rows > 0) {
    const NodeId last = *instance_.child_named(*rows_at, name, rows);
    const NodeId row = instance_.import_subtree(pattern, *pattern.root());
    instance_.insert_after(last, row);
    const bool counted = pattern.node(*pattern.root()).name == name;
    return rows + (counted ? 1 : 0);
  }
  const std::size_t slash = path.rfind('/');
  const std::string_view before =
      slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
  const std::optional<NodeId> parent = before.empty() ? instance_.root() : resolve(before);
  // An attribute holds no rows: a row hung there would vanish from the XML.
  if (!parent || is_attribute_node(instance_, *parent)) {
    return std::unexpected("'" + std::string(path) + "' has nowhere to hang");
  }
  instance_.append_child(*parent, instance_.import_subtree(pattern, *pattern.root()));
  return nodes_at(path).size();
}

std::expected<std::uint64_t, std::string> Session::remove_row(std::string_view path,
                                                              std::uint64_t position) {
  const std::optional<NodeId> parent = rows_parent(path);
  const std::string_view name = path.substr(path.rfind('/') + 1);
  const std::uint64_t rows = parent ? instance_.count_children_named(*parent, name) : 0;
  if (position == 0 || position > rows) {
    return std::unexpected("'" + std::string(path) + "' has " + std::to_string(rows) +
                           " row(s); there is no row " + std::to_string(position));
  }
  instance_.detach(*instance_.child_named(*parent, name, position));
  return rows - 1;
}

std::optional<std::vector<Choice>> Session::choices(std::string_view path) const {
  const Document& body = form_.document;
  const std::optional<NodeId> control = find_control(body, path);
  if (!control) return std::nullopt;
  // Static items are never read: a question with a fixed list has no
  // choices that follow the answers.
  const std::optional<ItemsetRefs> refs = itemset_refs(body, *control);
  if (!refs) return std::nullopt;
  auto expr = parse_expression(refs->nodeset);
  if (!expr) return std::nullopt;

  const Document model = build_model_document(form_, numbered());
  const FormEnv env("", "", form_, model);
  auto nodes = evaluate(*expr, model, Focus{*model.root(), 1, 1}, env);
  std::vector<Choice> choices;
  if (!nodes || !nodes->is_node_set()) return choices;
  for (const NodeId node : nodes->nodes()) {
    // The value reference names a child; it is never evaluated.
    const std::optional<NodeId> value_child = first_child_named(model, node, refs->value_ref);
    std::string value = value_child ? model.string_value(*value_child) : std::string();
    if (trim(value).empty()) continue;
    std::string label =
        refs->label_ref ? resolve_label_ref(form_, *refs->label_ref, model, node) : value;
    choices.push_back({std::move(value), std::move(label)});
  }
  return choices;
}

std::string Session::instance_xml() const { return instance_.to_xml(); }

}  // namespace vindle
