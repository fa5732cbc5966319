// The recursive-descent parser that turns an XPath expression into an Expr
// tree, and `parse_expression`, the one entry every expression of the system
// goes through.
//
// The grammar sets no bound on nesting. The parse and the evaluation recurse
// on it, so the parser refuses a tree nested more than kMaxExpressionDepth
// levels deep, and both refuse, with the same message, any level for which
// the thread's stack has too little room left (parser/stack_room.h). A pair
// of parentheses counts as a level though the tree keeps no node for it,
// because the parser recurses through it. The left operand of an operator
// stands at the operator's own level: every walk goes down a chain such as
// 1+1+...+1 in a loop, so that a chain of any length is one level deep, and
// only its right operands nest.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/expr.h"
#include "parser/token.h"

namespace vindle {

inline constexpr std::size_t kMaxExpressionDepth = 1000;

// The expression's tree, or the message of the first lexical or syntax error.
std::expected<Expr, std::string> parse_expression(std::string_view text);

// "expression is nested more than 1000 levels deep — split it into smaller
// expressions": the parser's refusal of deep nesting, which the evaluator
// also gives when the stack runs short.
std::string expression_too_deep();

// "node", "text", "comment" and "processing-instruction": the names that,
// followed by "()", test for any node.
bool is_node_type_name(std::string_view name);

// An expression just built, with the height of its tree: 1 for a leaf,
// parentheses counted as a level, and an operator one level above its right
// operand but level with its left one.
struct Parsed {
  Expr expr;
  std::size_t height = 1;
};

// The parse state of one call of parse_expression. Each operation reads one
// level of the grammar at the current token and moves past what it read;
// the first error ends the parse.
//
// Every nesting of the grammar recurses through a handful of these
// operations, so they keep their frames small: building nodes and writing
// messages happens in helpers that return before the next level is entered.
class Parser {
 public:
  template <class T>
  using Result = std::expected<T, std::string>;

  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  Result<Parsed> parse_or();
  Result<Parsed> parse_and();
  Result<Parsed> parse_equality();
  Result<Parsed> parse_relational();
  Result<Parsed> parse_additive();
  Result<Parsed> parse_multiplicative();
  Result<Parsed> parse_unary();
  Result<Parsed> parse_path_expr();
  // The list operations raise `height` to the height of the highest
  // predicate they read.
  Result<std::vector<Step>> parse_relative_path(std::size_t& height);
  Result<Step> parse_step(std::size_t& height);
  Result<std::vector<Expr>> parse_predicates(std::size_t& height);

  // Consumes the current token when it equals `expected`.
  bool eat(const Token& expected);
  // eat, or the message "expected X, found Some(Y)" / "found None".
  Result<void> expect(const Token& expected);

  // The index of the first token not consumed yet.
  std::size_t pos() const { return pos_; }

 private:
  // The binary levels, lowest first; unary expressions lie above them all.
  enum class BinaryLevel { Or, And, Equality, Relational, Additive, Multiplicative, Unary };

  const Token* current() const { return pos_ < tokens_.size() ? &tokens_[pos_] : nullptr; }
  bool at(Token::Kind kind, std::size_t ahead = 0) const {
    return pos_ + ahead < tokens_.size() && tokens_[pos_ + ahead].kind == kind;
  }
  bool starts_primary() const;
  // The operator at the current token, with its level.
  std::optional<std::pair<BinaryOp, BinaryLevel>> binary_operator() const;

  Result<Parsed> parse_binary(BinaryLevel level);
  void parse_right_operand(Result<Parsed>& into, BinaryOp op, BinaryLevel level);
  Result<Parsed> parse_negation();
  Result<Parsed> parse_union();
  void parse_union_operands(Result<Parsed>& result);
  Result<Parsed> parse_location_path();
  Result<Parsed> begin_location_path(bool& steps_follow);
  Result<Parsed> parse_primary();
  Result<Parsed> parse_literal();
  Result<Parsed> parse_parenthesized();
  Result<Parsed> parse_function_call();
  void parse_filter(Result<Parsed>& result);
  Result<std::vector<Step>> parse_filter_steps(std::size_t& height);
  Result<Step> begin_step();

  // Helpers that put what was just read into place, turning `into` into the
  // error when the part failed or the tree grew too high.
  std::optional<std::size_t> joined_height(Result<Parsed>& into, Result<Parsed>& rhs) const;
  void join_binary(Result<Parsed>& into, Result<Parsed>& rhs, BinaryOp op) const;
  void join_union(Result<Parsed>& into, Result<Parsed>& rhs) const;
  void negate(Result<Parsed>& into) const;
  void close_parenthesis(Result<Parsed>& into);
  bool add_argument(Result<Parsed>& into, Result<Parsed>& arg);
  bool add_predicate(Result<std::vector<Expr>>& into, Result<Parsed>& predicate, std::size_t& height);
  bool add_step(Result<std::vector<Step>>& into, Result<Step>& step);
  void finish_step(Result<Step>& into, Result<std::vector<Expr>>& predicates) const;
  void begin_filter(Result<Parsed>& into, Result<std::vector<Expr>>& predicates) const;
  void add_filter_steps(Result<Parsed>& into, Result<std::vector<Step>>& steps) const;
  void finish_filter(Result<Parsed>& into, std::size_t height) const;
  void finish_path(Result<Parsed>& into, Result<std::vector<Step>>& steps, std::size_t height) const;
  // Whether `height` more levels fit below the expression being parsed.
  bool fits(std::size_t height) const { return depth_ + height <= kMaxExpressionDepth; }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  // Levels above the expression being parsed: a lower bound, since a chain
  // may still put more nodes above it.
  std::size_t depth_ = 0;
};

}  // namespace vindle
