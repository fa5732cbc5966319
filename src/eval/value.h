// The value of an evaluation and the XPath conversions between its kinds.
//
// A node-set holds node ids only; every conversion is handed the Document
// the ids belong to. Conversions never fail.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "parser/expr.h"
#include "tree/document.h"

namespace vindle {

using NodeSet = std::vector<NodeId>;

struct Value {
  std::variant<bool, double, std::string, NodeSet> data;

  static Value Boolean(bool b) { return Value{b}; }
  static Value Number(double n) { return Value{n}; }
  static Value String(std::string s) { return Value{std::move(s)}; }
  static Value Nodes(NodeSet ids) { return Value{std::move(ids)}; }

  bool is_boolean() const { return data.index() == 0; }
  bool is_number() const { return data.index() == 1; }
  bool is_string() const { return data.index() == 2; }
  bool is_node_set() const { return data.index() == 3; }

  bool boolean() const { return std::get<bool>(data); }
  double number() const { return std::get<double>(data); }
  const std::string& string() const { return std::get<std::string>(data); }
  const NodeSet& nodes() const { return std::get<NodeSet>(data); }
  NodeSet& nodes() { return std::get<NodeSet>(data); }
};

// XPath string(): a node-set gives its first node's string-value.
std::string value_to_string(const Value& value, const Document& document);
// XPath number().
double value_to_number(const Value& value, const Document& document);
// XPath boolean().
bool value_to_boolean(const Value& value);
// "=" (BinaryOp::Eq) or "!=" (BinaryOp::Ne) between two values.
bool compare_values(BinaryOp op, const Value& a, const Value& b, const Document& document);
// "a boolean", "a number" or "a string"; node-sets have no type name.
const char* value_type_name(const Value& value);

}  // namespace vindle
