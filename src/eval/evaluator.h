// The evaluator: the Value of an expression against one Document, from a
// Focus, asking an EvalEnv for what lies outside the document.
//
// Location paths walk element and attribute nodes on all twelve axes; node
// lists are kept in document order without duplicates. Function calls go to
// the function library, which calls back here for the arguments it needs.
// The first error ends an evaluation; its message is the result. An
// evaluation recurses on the expression's nesting, except along a chain of
// operators such as a + b + c, which it goes round in a loop, and through
// the unions of a union, however they nest, which it walks likewise; where the
// thread's stack has too little room left for the next level, it fails with
// the parser's message for an expression nested too deeply.
#pragma once

#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "eval/env.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "tree/document.h"

namespace vindle {

using EvalResult = std::expected<Value, std::string>;
using NodesResult = std::expected<NodeSet, std::string>;

EvalResult evaluate(const Expr& expr, const Document& document, const Focus& focus,
                    const EvalEnv& env);

// One location step from every node of `context`, in document order.
NodesResult eval_step(std::span<const NodeId> context, const Step& step,
                      const Document& document, const EvalEnv& env);

// Keeps the nodes for which every predicate holds, one predicate after the
// other; positions count over the list each predicate is given.
NodesResult filter_by_predicate(NodeSet nodes, const std::vector<Expr>& predicates,
                                const Document& document, const EvalEnv& env);

// The first element named "instance" with an "id" attribute equal to `id`,
// from the root down in document order.
std::optional<NodeId> find_form_instance(const Document& document, std::string_view id);

// The ids of a node-set, or "{what} needs a node-set, got {type}".
NodesResult expect_node_set(Value value, std::string_view what);

// Stable sort by document order (unnumbered ids last), then adjacent
// duplicates removed.
NodeSet sort_document_order(NodeSet nodes, const Document& document);

}  // namespace vindle
