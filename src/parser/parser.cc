#include "parser/parser.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

#include "parser/lexer.h"
#include "parser/stack_room.h"
#include "tree/document.h"
#include "text/quote.h"
#include "text/result.h"

namespace vindle {
namespace {

using Kind = Token::Kind;

constexpr std::array kAxes = {
    Axis::Child,           Axis::Parent,     Axis::Self,           Axis::Descendant,
    Axis::DescendantOrSelf, Axis::Ancestor,  Axis::AncestorOrSelf, Axis::Attribute,
    Axis::Following,       Axis::FollowingSibling, Axis::Preceding, Axis::PrecedingSibling,
};

std::optional<Axis> axis_named(std::string_view word) {
  for (Axis axis : kAxes) {
    if (word == axis_name(axis)) return axis;
  }
  return std::nullopt;
}

// What "//" stands for.
Step descendant_or_self() { return Step{{}, NodeTest::Any(), Axis::DescendantOrSelf}; }

// Messages are built out of line, so that no frame of the recursion holds
// their temporaries.
[[gnu::noinline]] std::unexpected<std::string> too_deep() { return std::unexpected(expression_too_deep()); }

}  // namespace

std::string expression_too_deep() {
  return "expression is nested more than " + std::to_string(kMaxExpressionDepth) +
         " levels deep — split it into smaller expressions";
}

bool is_node_type_name(std::string_view name) {
  return name == "node" || name == "text" || name == "comment" || name == "processing-instruction";
}

std::expected<Expr, std::string> parse_expression(std::string_view text) {
  VINDLE_ASSIGN_OR_RETURN(auto&& tokens, lex_expression(text));
  const std::size_t count = tokens.size();
  Parser parser(std::move(tokens));
  VINDLE_ASSIGN_OR_RETURN(auto&& parsed, parser.parse_or());
  if (parser.pos() < count) {
    return std::unexpected("unexpected trailing input in " + debug_quote(text) + " at token " +
                           std::to_string(parser.pos()));
  }
  return std::move(parsed.expr);
}

bool Parser::eat(const Token& expected) {
  if (pos_ < tokens_.size() && tokens_[pos_] == expected) {
    ++pos_;
    return true;
  }
  return false;
}

Parser::Result<void> Parser::expect(const Token& expected) {
  if (eat(expected)) return {};
  const Token* token = current();
  return std::unexpected("expected " + debug_token(expected) + ", found " +
                         (token ? "Some(" + debug_token(*token) + ")" : "None"));
}

bool Parser::starts_primary() const {
  const Token* token = current();
  if (!token) return false;
  switch (token->kind) {
    case Kind::Number:
    case Kind::Literal:
    case Kind::Variable:
    case Kind::LeftParen:
      return true;
    case Kind::Name:
      return at(Kind::LeftParen, 1) && !is_node_type_name(token->text);
    default:
      return false;
  }
}

Parser::Result<Parsed> Parser::parse_or() { return parse_binary(BinaryLevel::Or); }
Parser::Result<Parsed> Parser::parse_and() { return parse_binary(BinaryLevel::And); }
Parser::Result<Parsed> Parser::parse_equality() { return parse_binary(BinaryLevel::Equality); }
Parser::Result<Parsed> Parser::parse_relational() { return parse_binary(BinaryLevel::Relational); }
Parser::Result<Parsed> Parser::parse_additive() { return parse_binary(BinaryLevel::Additive); }
Parser::Result<Parsed> Parser::parse_multiplicative() { return parse_binary(BinaryLevel::Multiplicative); }

std::optional<std::pair<BinaryOp, Parser::BinaryLevel>> Parser::binary_operator() const {
  using enum BinaryLevel;
  const Token* token = current();
  if (!token) return std::nullopt;
  switch (token->kind) {
    case Kind::Equal: return std::pair{BinaryOp::Eq, Equality};
    case Kind::NotEqual: return std::pair{BinaryOp::Ne, Equality};
    case Kind::Less: return std::pair{BinaryOp::Lt, Relational};
    case Kind::LessEqual: return std::pair{BinaryOp::Le, Relational};
    case Kind::Greater: return std::pair{BinaryOp::Gt, Relational};
    case Kind::GreaterEqual: return std::pair{BinaryOp::Ge, Relational};
    case Kind::Plus: return std::pair{BinaryOp::Add, Additive};
    case Kind::Minus: return std::pair{BinaryOp::Sub, Additive};
    case Kind::Star: return std::pair{BinaryOp::Mul, Multiplicative};
    case Kind::Name:
      // The words are operators only here, right after a complete operand.
      if (token->text == "or") return std::pair{BinaryOp::Or, Or};
      if (token->text == "and") return std::pair{BinaryOp::And, And};
      if (token->text == "div") return std::pair{BinaryOp::Div, Multiplicative};
      if (token->text == "mod") return std::pair{BinaryOp::Mod, Multiplicative};
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

// The six binary levels in one loop (precedence climbing): operators of
// `level` and above join unary operands left to right, and an operator of a
// higher level than the one before it takes the operand to its left. The
// trees are those of one function per level, but a nested expression costs
// one frame here instead of six.
Parser::Result<Parsed> Parser::parse_binary(BinaryLevel level) {
  Result<Parsed> result = parse_unary();
  while (result) {
    const auto op = binary_operator();
    if (!op || op->second < level) break;
    ++pos_;
    parse_right_operand(result, op->first, op->second);
  }
  return result;
}

// The right operand of an operator, joined to the left one. Out of line, so
// that only nesting through right operands pays for the operand's room.
[[gnu::noinline]] void Parser::parse_right_operand(Result<Parsed>& into, BinaryOp op, BinaryLevel level) {
  ++depth_;
  Result<Parsed> rhs = parse_binary(static_cast<BinaryLevel>(static_cast<int>(level) + 1));
  --depth_;
  join_binary(into, rhs, op);
}

Parser::Result<Parsed> Parser::parse_unary() {
  // Every nesting passes through here, one level deeper each time, so this
  // one check bounds the recursion.
  if (depth_ >= kMaxExpressionDepth || stack_running_short()) return too_deep();
  return at(Kind::Minus) ? parse_negation() : parse_union();
}

Parser::Result<Parsed> Parser::parse_negation() {
  ++pos_;
  ++depth_;
  Result<Parsed> result = parse_unary();
  --depth_;
  negate(result);
  return result;
}

Parser::Result<Parsed> Parser::parse_union() {
  Result<Parsed> result = parse_path_expr();
  if (result && at(Kind::Pipe)) parse_union_operands(result);
  return result;
}

[[gnu::noinline]] void Parser::parse_union_operands(Result<Parsed>& result) {
  while (result && eat(Kind::Pipe)) {
    ++depth_;
    Result<Parsed> rhs = parse_path_expr();
    --depth_;
    join_union(result, rhs);
  }
}

Parser::Result<Parsed> Parser::parse_path_expr() {
  const bool primary = starts_primary();
  Result<Parsed> result = primary ? parse_primary() : parse_location_path();
  if (primary && result && (at(Kind::LeftBracket) || at(Kind::Slash) || at(Kind::DoubleSlash))) {
    parse_filter(result);
  }
  return result;
}

Parser::Result<Parsed> Parser::parse_location_path() {
  bool steps_follow = true;
  Result<Parsed> result = begin_location_path(steps_follow);
  if (steps_follow) {
    std::size_t height = 0;
    Result<std::vector<Step>> steps = parse_relative_path(height);
    finish_path(result, steps, height);
  }
  return result;
}

// An empty path, made absolute by a leading "/" or "//" (which adds its own
// step); `steps_follow` tells whether a relative path comes next.
[[gnu::noinline]] Parser::Result<Parsed> Parser::begin_location_path(bool& steps_follow) {
  Expr::Path path;
  if (eat(Kind::DoubleSlash)) {
    path.absolute = true;
    path.steps.push_back(descendant_or_self());
  } else if (eat(Kind::Slash)) {
    // Only the kind of the next token decides whether steps follow the
    // root: "/ and x" reads "and" as a step, "/ = x" compares the root.
    path.absolute = true;
    steps_follow = at(Kind::Name) || at(Kind::Dot) || at(Kind::DoubleDot) || at(Kind::At) || at(Kind::Star);
  }
  return Parsed{Expr{std::move(path)}, 1};
}

// A number, literal, variable, parenthesised expression or function call;
// the caller has checked that one starts at the current token.
Parser::Result<Parsed> Parser::parse_primary() {
  switch (tokens_[pos_].kind) {
    case Kind::LeftParen:
      return parse_parenthesized();
    case Kind::Name:
      return parse_function_call();
    default:
      return parse_literal();
  }
}

// A Number, Literal or Variable token as an expression.
[[gnu::noinline]] Parser::Result<Parsed> Parser::parse_literal() {
  const Token& token = tokens_[pos_++];
  switch (token.kind) {
    case Kind::Number:
      return Parsed{Expr{Expr::Number{token.number}}, 1};
    case Kind::Literal:
      return Parsed{Expr{Expr::Literal{token.text}}, 1};
    default:
      return Parsed{Expr{Expr::Variable{token.text}}, 1};
  }
}

Parser::Result<Parsed> Parser::parse_parenthesized() {
  ++pos_;
  ++depth_;
  Result<Parsed> result = parse_or();
  --depth_;
  close_parenthesis(result);
  return result;
}

Parser::Result<Parsed> Parser::parse_function_call() {
  Result<Parsed> result(std::in_place, Expr{Expr::FunctionCall{tokens_[pos_].text, {}}}, 1);
  pos_ += 2;  // the name and "("
  if (eat(Kind::RightParen)) return result;
  ++depth_;
  while (true) {
    Result<Parsed> arg = parse_or();
    if (!add_argument(result, arg)) break;
  }
  --depth_;
  return result;
}

// The predicates and steps after a primary turn it into a filter.
void Parser::parse_filter(Result<Parsed>& result) {
  std::size_t height = result->height;  // the primary sits one level down, as predicates do
  Result<std::vector<Expr>> predicates = parse_predicates(height);
  begin_filter(result, predicates);
  while (result && (at(Kind::Slash) || at(Kind::DoubleSlash))) {
    Result<std::vector<Step>> steps = parse_filter_steps(height);
    add_filter_steps(result, steps);
  }
  if (result) finish_filter(result, height);
}

// The steps after a "/" or "//" that follows a primary.
Parser::Result<std::vector<Step>> Parser::parse_filter_steps(std::size_t& height) {
  const bool descendants = at(Kind::DoubleSlash);
  ++pos_;
  Result<std::vector<Step>> steps = parse_relative_path(height);
  if (steps && descendants) steps->insert(steps->begin(), descendant_or_self());
  return steps;
}

[[gnu::noinline]] void Parser::begin_filter(Result<Parsed>& into, Result<std::vector<Expr>>& predicates) const {
  if (!predicates) {
    into = take_error(predicates);
    return;
  }
  Expr::Filter filter{std::move(*predicates), {}, std::move(into->expr)};
  into->expr.node = std::move(filter);
}

[[gnu::noinline]] void Parser::add_filter_steps(Result<Parsed>& into, Result<std::vector<Step>>& steps) const {
  if (!steps) {
    into = take_error(steps);
    return;
  }
  auto& filter = std::get<Expr::Filter>(into->expr.node);
  std::move(steps->begin(), steps->end(), std::back_inserter(filter.steps));
}

[[gnu::noinline]] void Parser::finish_filter(Result<Parsed>& into, std::size_t height) const {
  if (!fits(1 + height)) {
    into = too_deep();
    return;
  }
  into->height = 1 + height;
}

Parser::Result<std::vector<Step>> Parser::parse_relative_path(std::size_t& height) {
  Result<std::vector<Step>> steps(std::in_place);
  while (true) {
    Result<Step> step = parse_step(height);
    if (!add_step(steps, step)) break;
  }
  return steps;
}

Parser::Result<Step> Parser::parse_step(std::size_t& height) {
  Result<Step> step = begin_step();
  if (step) {
    Result<std::vector<Expr>> predicates = parse_predicates(height);
    finish_step(step, predicates);
  }
  return step;
}

// The axis and node test of a step, or "." or "..".
[[gnu::noinline]] Parser::Result<Step> Parser::begin_step() {
  Step step;
  if (eat(Kind::Dot)) {
    step.axis = Axis::Self;
    return step;
  }
  if (eat(Kind::DoubleDot)) {
    step.axis = Axis::Parent;
    return step;
  }
  if (eat(Kind::At)) {
    step.axis = Axis::Attribute;
  } else if (at(Kind::Name) && at(Kind::DoubleColon, 1)) {
    const std::string& word = tokens_[pos_].text;
    const std::optional<Axis> axis = axis_named(word);
    if (!axis) return std::unexpected("unsupported axis '" + word + "'");
    step.axis = *axis;
    pos_ += 2;
  }
  const Token* token = current();
  if (token && token->kind == Kind::Name) {
    ++pos_;
    if (is_node_type_name(token->text) && eat(Kind::LeftParen)) {
      VINDLE_TRY(expect(Kind::RightParen));
    } else {
      // A name test ignores any prefix, as the document stores names
      // without one: the reader's own rule.
      step.test = NodeTest::Name(std::string(local_name(token->text)));
    }
  } else if (!eat(Kind::Star)) {
    return std::unexpected("expected a node test, found " +
                           (token ? "Some(" + debug_token(*token) + ")" : std::string("None")));
  }
  return step;
}

Parser::Result<std::vector<Expr>> Parser::parse_predicates(std::size_t& height) {
  Result<std::vector<Expr>> predicates(std::in_place);
  while (at(Kind::LeftBracket)) {
    ++pos_;
    ++depth_;
    Result<Parsed> predicate = parse_or();
    --depth_;
    if (!add_predicate(predicates, predicate, height)) break;
  }
  return predicates;
}

// The height of `into` with `rhs` joined to it as an operand; none, and
// `into` turned into the error, when `rhs` failed or the tree would grow too
// high. A chain grows upwards, each operator above everything built so far,
// but every walk goes round its left spine in a loop: only the right
// operand sits a level lower.
std::optional<std::size_t> Parser::joined_height(Result<Parsed>& into, Result<Parsed>& rhs) const {
  if (!rhs) {
    into = take_error(rhs);
    return std::nullopt;
  }
  const std::size_t height = std::max(into->height, 1 + rhs->height);
  if (!fits(height)) {
    into = too_deep();
    return std::nullopt;
  }
  return height;
}

[[gnu::noinline]] void Parser::join_binary(Result<Parsed>& into, Result<Parsed>& rhs, BinaryOp op) const {
  const std::optional<std::size_t> height = joined_height(into, rhs);
  if (!height) return;
  Expr::Binary binary{std::move(into->expr), std::move(rhs->expr), op};
  into->expr.node = std::move(binary);
  into->height = *height;
}

[[gnu::noinline]] void Parser::join_union(Result<Parsed>& into, Result<Parsed>& rhs) const {
  const std::optional<std::size_t> height = joined_height(into, rhs);
  if (!height) return;
  Expr::Union union_{std::move(into->expr), std::move(rhs->expr)};
  into->expr.node = std::move(union_);
  into->height = *height;
}

[[gnu::noinline]] void Parser::negate(Result<Parsed>& into) const {
  if (!into) return;
  Expr::Negate negation{std::move(into->expr)};
  into->expr.node = std::move(negation);
  into->height += 1;
}

[[gnu::noinline]] void Parser::close_parenthesis(Result<Parsed>& into) {
  if (!into) return;
  if (auto closed = expect(Kind::RightParen); !closed) {
    into = take_error(closed);
    return;
  }
  // No node records the parentheses, but they count as a level: the
  // parser recursed through them.
  into->height += 1;
}

// Appends an argument and reads what follows it; false when the list ended
// or failed.
[[gnu::noinline]] bool Parser::add_argument(Result<Parsed>& into, Result<Parsed>& arg) {
  if (!arg) {
    into = take_error(arg);
    return false;
  }
  into->height = std::max(into->height, 1 + arg->height);
  std::get<Expr::FunctionCall>(into->expr.node).args.push_back(std::move(arg->expr));
  if (eat(Kind::Comma)) return true;
  if (auto closed = expect(Kind::RightParen); !closed) into = take_error(closed);
  return false;
}

[[gnu::noinline]] bool Parser::add_predicate(Result<std::vector<Expr>>& into, Result<Parsed>& predicate,
                                             std::size_t& height) {
  if (!predicate) {
    into = take_error(predicate);
    return false;
  }
  height = std::max(height, predicate->height);
  into->push_back(std::move(predicate->expr));
  if (auto closed = expect(Kind::RightBracket); !closed) {
    into = take_error(closed);
    return false;
  }
  return true;
}

// Appends a step and reads the separator after it; false when the path
// ended or failed.
[[gnu::noinline]] bool Parser::add_step(Result<std::vector<Step>>& into, Result<Step>& step) {
  if (!step) {
    into = take_error(step);
    return false;
  }
  into->push_back(std::move(*step));
  if (eat(Kind::DoubleSlash)) {
    into->push_back(descendant_or_self());
    return true;
  }
  return eat(Kind::Slash);
}

[[gnu::noinline]] void Parser::finish_step(Result<Step>& into, Result<std::vector<Expr>>& predicates) const {
  if (!predicates) {
    into = take_error(predicates);
    return;
  }
  into->predicates = std::move(*predicates);
}

[[gnu::noinline]] void Parser::finish_path(Result<Parsed>& into, Result<std::vector<Step>>& steps,
                                           std::size_t height) const {
  if (!steps) {
    into = take_error(steps);
    return;
  }
  auto& path = std::get<Expr::Path>(into->expr.node);
  std::move(steps->begin(), steps->end(), std::back_inserter(path.steps));
  if (!fits(1 + height)) {
    into = too_deep();
    return;
  }
  into->height = 1 + height;
}

}  // namespace vindle
