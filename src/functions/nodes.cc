// Functions that read nodes, selection lists, choice labels, lookup tables
// and the caller's clock.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "functions/bodies.h"
#include "functions/words.h"
#include "text/quote.h"
#include "text/result.h"
#include "text/unicode.h"

namespace vindle::functions {

namespace {

// The first child of `row` with exactly that name.
std::optional<NodeId> child_named(const Document& table, NodeId row, std::string_view name) {
  std::span<const NodeId> children = table.children(row);
  return find_named(children, table, name);
}

}  // namespace

EvalResult fn_name(const CallContext& call) {
  if (call.arguments.empty()) {
    return Value::String(std::string(call.document.node(call.focus.node).name));
  }
  auto value = arg_value(call, 0);
  if (!value) return value;
  if (!value->is_node_set()) {
    return std::unexpected(std::string(call.name) + "() names a node, and was given " +
                           value_type_name(*value));
  }
  if (value->nodes().empty()) return Value::String("");
  return Value::String(std::string(call.document.node(value->nodes().front()).name));
}

EvalResult fn_selected(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& list, arg_string(call, 0));
  VINDLE_ASSIGN_OR_RETURN(auto&& wanted, arg_string(call, 1));
  const std::string_view item = trim(wanted);
  if (item.empty()) return Value::Boolean(false);
  for (const std::string_view word : split_words(list)) {
    if (word == item) return Value::Boolean(true);
  }
  return Value::Boolean(false);
}

EvalResult fn_selected_at(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& list, arg_string(call, 0));
  VINDLE_ASSIGN_OR_RETURN(auto&& index, arg_number(call, 1));
  if (index < 0) return Value::String("");
  const std::vector<std::string_view> words = split_words(list);
  const std::uint64_t at = saturating_count(index);
  if (at >= words.size()) return Value::String("");
  return Value::String(std::string(words[at]));
}

EvalResult fn_count_selected(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& list, arg_string(call, 0));
  return Value::Number(static_cast<double>(split_words(list).size()));
}

EvalResult fn_choice_name(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_string(call, 0));
  if (trim(value).empty()) return Value::String("");
  VINDLE_ASSIGN_OR_RETURN(auto&& question, arg_string(call, 1));
  const std::string_view path = trim(question);
  if (auto label = call.env.choice_label(value, path)) return Value::String(std::move(*label));
  return std::unexpected(std::string(call.name) + "(): no choice " + debug_quote(value) +
                         " for " + std::string(path) +
                         " — the evaluator was given no choice list for that question");
}

EvalResult fn_once(const CallContext& call) {
  // A value the node already holds stands, and the argument is not even
  // evaluated; an empty node gets its value computed, this once.
  std::string held = call.document.string_value(call.focus.node);
  if (!held.empty()) return Value::String(std::move(held));
  VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_string(call, 0));
  return Value::String(std::move(value));
}

EvalResult fn_pulldata(const CallContext& call) {
  std::string texts[4];
  for (std::size_t i = 0; i < 4; ++i) {
    VINDLE_ASSIGN_OR_RETURN(texts[i], arg_string(call, i));
  }
  const auto& [table_id, wanted, key, key_value] = texts;

  const Document* table = call.env.instance(table_id);
  if (!table) {
    return std::unexpected("pulldata() cannot find the table '" + table_id +
                           "' — the form declares it as an external file, and nothing has "
                           "loaded it");
  }
  const std::optional<NodeId> root = table->root();
  if (!root) return Value::String("");

  // A table is either a root holding the rows, or a root holding one
  // container that holds them. A root with a single row looks like the
  // second shape, and is read as one.
  std::span<const NodeId> rows = table->children(*root);
  if (rows.size() == 1 && !table->children(rows.front()).empty()) {
    rows = table->children(rows.front());
  }
  const std::string_view wanted_key = trim(key_value);
  for (const NodeId row : rows) {
    const std::optional<NodeId> cell = child_named(*table, row, key);
    const std::string cell_text = cell ? table->string_value(*cell) : std::string();
    if (trim(cell_text) != wanted_key) continue;
    const std::optional<NodeId> result = child_named(*table, row, wanted);
    return Value::String(result ? table->string_value(*result) : std::string());
  }
  return Value::String("");
}

EvalResult fn_today(const CallContext& call) { return Value::String(call.env.today()); }
EvalResult fn_now(const CallContext& call) { return Value::String(call.env.now()); }

}  // namespace vindle::functions
