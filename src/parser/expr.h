// The expression tree: what the parser builds from an XPath expression and
// what the evaluator, the reference collector and the portability checker
// walk. Every node owns its sub-expressions; a tree copies as a whole value
// and refers to nothing outside itself (not to the text, not to tokens).
//
// A tree may be far deeper than the stack allows recursion: a chain of
// 100,000 additions is a left spine of 100,000 nodes. Freeing and copying a
// tree therefore never recurse on its depth, and neither does any walk that
// cannot fail; the walks that can (the parse, the evaluation) go round a
// chain's left spine in a loop and check the stack left on every real
// level of nesting.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace vindle {

// A heap-allocated value with value semantics: copying a Box copies what it
// holds. It lets a tree node hold a sub-expression of its own type.
template <class T>
class Box {
 public:
  Box(T value) : ptr_(std::make_unique<T>(std::move(value))) {}
  Box(const Box& other) : ptr_(std::make_unique<T>(*other.ptr_)) {}
  Box(Box&&) noexcept = default;
  Box& operator=(const Box& other) {
    if (this != &other) ptr_ = std::make_unique<T>(*other.ptr_);
    return *this;
  }
  Box& operator=(Box&&) noexcept = default;
  ~Box() = default;

  T& operator*() { return *ptr_; }
  const T& operator*() const { return *ptr_; }
  T* operator->() { return ptr_.get(); }
  const T* operator->() const { return ptr_.get(); }
  // False only for a box moved from.
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  std::unique_ptr<T> ptr_;
};

enum class Axis : std::uint8_t {
  Child,
  Parent,
  Self,
  Descendant,
  DescendantOrSelf,
  Ancestor,
  AncestorOrSelf,
  Attribute,
  Following,
  FollowingSibling,
  Preceding,
  PrecedingSibling,
};

enum class BinaryOp : std::uint8_t { Or, And, Eq, Ne, Lt, Le, Gt, Ge, Add, Sub, Mul, Div, Mod };

// A node test: any node, or a name compared byte for byte with node names
// (held without a namespace prefix, as the document stores names).
struct NodeTest {
  bool any = true;
  std::string name;  // meaningful only when !any

  static NodeTest Any() { return NodeTest{}; }
  static NodeTest Name(std::string name) { return NodeTest{false, std::move(name)}; }
  bool operator==(const NodeTest&) const = default;
};

struct Expr;

template <class T, class Variant>
inline constexpr bool is_alternative_v = false;
template <class T, class... Ts>
inline constexpr bool is_alternative_v<T, std::variant<Ts...>> = (std::is_same_v<T, Ts> || ...);

struct Step {
  std::vector<Expr> predicates;
  NodeTest test;
  Axis axis = Axis::Child;
};

struct Expr {
  struct Number {
    double value;
  };
  struct Literal {
    std::string value;
  };
  struct Variable {
    std::string name;
  };
  // A location path; the bare "/" is absolute with no steps.
  struct Path {
    std::vector<Step> steps;
    bool absolute = false;
  };
  // A primary expression followed by predicates and/or further steps.
  struct Filter {
    std::vector<Expr> predicates;
    std::vector<Step> steps;
    Box<Expr> primary;
  };
  struct FunctionCall {
    std::string name;  // as written, any prefix included
    std::vector<Expr> args;
  };
  struct Binary {
    Box<Expr> lhs;
    Box<Expr> rhs;
    BinaryOp op;
  };
  struct Negate {
    Box<Expr> operand;
  };
  struct Union {
    Box<Expr> lhs;
    Box<Expr> rhs;
  };

  using Node = std::variant<Number, Literal, Variable, Path, Filter, FunctionCall, Binary, Negate, Union>;
  Node node;

  Expr() : node(Number{0}) {}
  template <class T>
    requires is_alternative_v<std::remove_cvref_t<T>, Node>
  Expr(T&& alternative) : node(std::forward<T>(alternative)) {}
  // Copying walks the tree with a stack of its own.
  Expr(const Expr& other);
  Expr& operator=(const Expr& other);
  // A tree moved from holds no sub-expressions: its lists are empty and its
  // boxes hold nothing.
  Expr(Expr&&) noexcept = default;
  Expr& operator=(Expr&& other) noexcept {
    if (this != &other) {
      // `other` may lie inside this tree: take it out before the old node goes.
      Node taken(std::move(other.node));
      node = std::move(taken);
    }
    return *this;
  }
  // Freeing recurses at most a few levels; deeper down it takes the tree
  // apart by rotations, without allocating: a destructor that unwinds an
  // exhausted memory must not need more.
  ~Expr() {
    if (has_subexpressions()) dismantle();
  }

  // Whether the node holds sub-expressions (operands, arguments or
  // predicates).
  bool has_subexpressions() const {
    if (const auto* path = std::get_if<Path>(&node)) {
      for (const Step& step : path->steps) {
        if (!step.predicates.empty()) return true;
      }
      return false;
    }
    if (const auto* call = std::get_if<FunctionCall>(&node)) return !call->args.empty();
    if (const auto* filter = std::get_if<Filter>(&node)) return static_cast<bool>(filter->primary);
    if (const auto* binary = std::get_if<Binary>(&node)) return static_cast<bool>(binary->lhs);
    if (const auto* negate = std::get_if<Negate>(&node)) return static_cast<bool>(negate->operand);
    if (const auto* union_ = std::get_if<Union>(&node)) return static_cast<bool>(union_->lhs);
    return false;
  }

  template <class T>
  bool is() const { return std::holds_alternative<T>(node); }
  template <class T>
  const T* as() const { return std::get_if<T>(&node); }
  template <class T>
  T* as() { return std::get_if<T>(&node); }

 private:
  void dismantle();
  void rotate_apart();
};

// The word that names an axis in an expression ("descendant-or-self").
const char* axis_name(Axis axis);

}  // namespace vindle
