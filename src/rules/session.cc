#include "rules/session.h"

#include <algorithm>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "parser/parser.h"
#include "rules/choices.h"
#include "rules/model.h"
#include "tree/text.h"

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

// Whether the step keeps the candidate at that place among its siblings of
// the step's name; a number predicate keeps the one place equal to it.
bool keeps(const Step& step, std::uint64_t place) {
  return step.predicates.empty() ||
         step.predicates.front().as<Expr::Number>()->value == static_cast<double>(place);
}

// The first node a slash path selects, walking the children directly: what
// the evaluator gives for such a path, without numbering the document and
// without gathering a repeat's rows to pick one of them. Every step starts
// from nodes at one depth, so the children taken in turn come out in
// document order.
std::optional<NodeId> first_on_slash_path(const Expr::Path& path, const Document& document) {
  const NodeId root = *document.root();
  std::vector<NodeId> nodes{root};
  std::size_t first = 0;
  // As in the evaluator, an absolute first step naming the root is the root.
  if (path.absolute && !path.steps.empty() &&
      path.steps.front().test.name == document.node(root).name) {
    if (!keeps(path.steps.front(), 1)) return std::nullopt;
    first = 1;
  }
  std::vector<NodeId> next;
  for (std::size_t k = first; k < path.steps.size(); ++k) {
    const Step& step = path.steps[k];
    next.clear();
    for (const NodeId node : nodes) {
      std::uint64_t place = 0;
      for (const NodeId child : document.children(node)) {
        if (document.node(child).name != step.test.name) continue;
        ++place;
        if (!keeps(step, place)) continue;
        next.push_back(child);
        if (!step.predicates.empty()) break;
      }
    }
    if (next.empty()) return std::nullopt;
    std::swap(nodes, next);
  }
  return nodes.front();
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
  auto form = Form::load(form_text);
  if (!form) return std::unexpected(std::move(form.error()));
  auto instance = Form::primary_instance(form_text);
  if (!instance) return std::unexpected(std::move(instance.error()));
  TemplateMap templates = collect_repeat_templates(*instance);
  return Session(std::move(*instance), std::move(*form), std::move(today), std::move(now),
                 std::move(templates));
}

std::expected<Session, std::string> Session::with_saved_instance(std::string_view form_text,
                                                                 std::string_view saved_text,
                                                                 std::string today,
                                                                 std::string now) {
  auto form = Form::load(form_text);
  if (!form) return std::unexpected(std::move(form.error()));
  auto saved = Document::parse(saved_text);
  if (!saved) return std::unexpected("saved instance: " + saved.error());
  auto primary = Form::primary_instance(form_text);
  if (!primary) return std::unexpected(std::move(primary.error()));
  TemplateMap templates = collect_repeat_templates(*primary);
  // Only to strip the saved instance of its template elements; the
  // templates are the form's.
  collect_repeat_templates(*saved);
  return Session(std::move(*saved), std::move(*form), std::move(today), std::move(now),
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

std::vector<NodeId> Session::nodes_at(std::string_view path) const {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  const std::string_view before = path.substr(0, slash);
  const std::string_view name = path.substr(slash + 1);
  const std::optional<NodeId> parent = before.empty() ? instance_.root() : resolve(before);
  if (!parent) return {};
  std::vector<NodeId> rows;
  for (const NodeId child : instance_.children(*parent)) {
    if (instance_.node(child).name == name) rows.push_back(child);
  }
  return rows;
}

std::string Session::get(std::string_view path) const {
  const std::optional<NodeId> node = resolve(path);
  return node ? numbered().string_value(*node) : std::string();
}

std::expected<void, std::string> Session::set(std::string_view path, std::string_view value) {
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
    const std::optional<NodeId> child = first_child_named(instance_, current, pieces[made_from]);
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
  const std::vector<NodeId> rows = nodes_at(path);
  if (!rows.empty()) {
    const NodeId row = instance_.import_subtree(pattern, *pattern.root());
    instance_.insert_after(rows.back(), row);
    const bool counted = pattern.node(*pattern.root()).name == path.substr(path.rfind('/') + 1);
    return rows.size() + (counted ? 1 : 0);
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
  const std::vector<NodeId> rows = nodes_at(path);
  if (position == 0 || position > rows.size()) {
    return std::unexpected("'" + std::string(path) + "' has " + std::to_string(rows.size()) +
                           " row(s); there is no row " + std::to_string(position));
  }
  instance_.detach(rows[position - 1]);
  return rows.size() - 1;
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
