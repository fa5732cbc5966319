#include "eval/value.h"

#include <cmath>

#include "text/number.h"

namespace vindle {

std::string value_to_string(const Value& value, const Document& document) {
  switch (value.data.index()) {
    case 0: return value.boolean() ? "true" : "false";
    case 1: return format_number(value.number());
    case 2: return value.string();
    default: {
      const NodeSet& ids = value.nodes();
      return ids.empty() ? std::string() : document.string_value(ids.front());
    }
  }
}

double value_to_number(const Value& value, const Document& document) {
  switch (value.data.index()) {
    case 0: return value.boolean() ? 1 : 0;
    case 1: return value.number();
    case 2: return parse_number(value.string());
    default: {
      const NodeSet& ids = value.nodes();
      if (ids.empty()) return parse_number({});
      std::string scratch;
      return parse_number(document.string_value_view(ids.front(), scratch));
    }
  }
}

bool value_to_boolean(const Value& value) {
  switch (value.data.index()) {
    case 0: return value.boolean();
    case 1: return value.number() != 0 && !std::isnan(value.number());
    case 2: return !value.string().empty();
    default: return !value.nodes().empty();
  }
}

const char* value_type_name(const Value& value) {
  switch (value.data.index()) {
    case 0: return "a boolean";
    case 1: return "a number";
    default: return "a string";
  }
}

namespace {

template <class T>
bool holds(BinaryOp op, const T& a, const T& b) {
  return op == BinaryOp::Eq ? a == b : a != b;
}

// A node-set against a value that is not a node-set: true when some node
// satisfies the comparison.
bool compare_node_set(BinaryOp op, const NodeSet& ids, const Value& other,
                      const Document& document) {
  if (other.is_boolean()) return holds(op, !ids.empty(), other.boolean());
  std::string scratch;
  for (const NodeId id : ids) {
    const std::string_view text = document.string_value_view(id, scratch);
    if (other.is_number() ? holds(op, parse_number(text), other.number())
                          : holds(op, text, std::string_view(other.string()))) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool compare_values(BinaryOp op, const Value& a, const Value& b, const Document& document) {
  if (a.is_node_set() && b.is_node_set()) {
    // String-values are computed on demand; the right side's are kept once
    // computed, which changes nothing but the cost.
    const NodeSet& right = b.nodes();
    std::vector<std::string> right_texts;
    std::string scratch;
    for (const NodeId m : a.nodes()) {
      const std::string_view left = document.string_value_view(m, scratch);
      for (std::size_t k = 0; k < right.size(); ++k) {
        if (k == right_texts.size()) right_texts.push_back(document.string_value(right[k]));
        if (holds(op, left, std::string_view(right_texts[k]))) return true;
      }
    }
    return false;
  }
  if (a.is_node_set()) return compare_node_set(op, a.nodes(), b, document);
  if (b.is_node_set()) return compare_node_set(op, b.nodes(), a, document);
  if (a.is_boolean() || b.is_boolean()) {
    return holds(op, value_to_boolean(a), value_to_boolean(b));
  }
  if (a.is_number() || b.is_number()) {
    return holds(op, value_to_number(a, document), value_to_number(b, document));
  }
  return holds(op, a.string(), b.string());
}

}  // namespace vindle
