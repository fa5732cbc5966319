#include "eval/evaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "functions/library.h"
#include "parser/parser.h"
#include "parser/stack_room.h"
#include "parser/walk_stack.h"
#include "text/result.h"

namespace vindle {

namespace {

constexpr std::uint64_t kUnnumbered = std::numeric_limits<std::uint64_t>::max();

std::uint64_t order_key(const Document& document, NodeId id) { return document.order_key(id); }

// A step's node test with its name looked up once in the document's name
// table, so that each candidate costs a comparison of two numbers. A name
// the table does not hold matches no node.
struct NameMatch {
  bool any = true;
  std::optional<Document::NameId> name;

  NameMatch(const NodeTest& test, const Document& document) : any(test.any) {
    if (!any) name = document.find_name(test.name);
  }
  bool matches_nothing() const { return !any && !name; }
  bool operator()(const Document& document, NodeId id) const {
    return any || (name && document.name_id(id) == *name);
  }
};

// The descendants of one node that pass a node test, in document order,
// appended to `out`: the step descendant-or-self::node() followed by a
// child step without predicates (what "//x" and ".//x" read), in one walk
// instead of a list of every descendant and a child step from each. The
// walk is document order only in a tree numbered in its own order; false,
// with `out` as it was, when a node on the way says otherwise.
bool descendants_passing(NodeId node, const NameMatch& match, const Document& document,
                         NodeSet& out) {
  if (!document.numbered_in_tree_order()) return false;
  std::uint64_t last = order_key(document, node);
  if (last == kUnnumbered) return false;
  const std::size_t start = out.size();
  if (match.matches_nothing()) return true;
  // The subtree is numbered in one run, which ends with the last node on
  // the way down through last children, or that node's last attribute: a
  // bound on what the walk can add.
  NodeId end = node;
  while (!document.children(end).empty()) end = document.children(end).back();
  if (const std::span<const NodeId> attributes = document.attributes(end); !attributes.empty()) {
    end = attributes.back();
  }
  if (const std::uint64_t end_key = order_key(document, end);
      end_key != kUnnumbered && end_key > last) {
    out.reserve(start + (end_key - last));
  }
  // The children still to visit at each level on the way down: a stack as
  // deep as the tree, however wide it is. The document does not change
  // while it is evaluated, so the views stay valid.
  std::vector<std::span<const NodeId>> stack{document.children(node)};
  while (!stack.empty()) {
    std::span<const NodeId>& level = stack.back();
    if (level.empty()) {
      stack.pop_back();
      continue;
    }
    const NodeId next = level.front();
    level = level.subspan(1);
    // Pre-order of a tree numbered in its own order ascends; a node added
    // or moved since (or a child hung under an attribute) is not numbered
    // so, and the step is left to the general walk.
    const std::uint64_t key = order_key(document, next);
    if (key == kUnnumbered || key <= last) {
      out.resize(start);
      return false;
    }
    last = key;
    if (match(document, next)) out.push_back(next);
    if (const std::span<const NodeId> below = document.children(next); !below.empty()) {
      stack.push_back(below);
    }
  }
  return true;
}

// The steps from `first` on, applied to `start`: a view, so that a path
// from one node (the focus, the root) needs no list of its own to begin.
NodesResult apply_steps(std::span<const NodeId> start, const std::vector<Step>& steps,
                        std::size_t first, const Document& document, const EvalEnv& env) {
  NodeSet nodes;
  std::span<const NodeId> current = start;
  for (std::size_t k = first; k < steps.size(); ++k) {
    const Step& step = steps[k];
    if (k + 1 < steps.size() && current.size() == 1 && step.axis == Axis::DescendantOrSelf &&
        step.test.any && step.predicates.empty() && steps[k + 1].axis == Axis::Child &&
        steps[k + 1].predicates.empty()) {
      // The children of a node and of all its descendants are its
      // descendants: the two steps select them in one walk.
      NodeSet found;
      if (descendants_passing(current.front(), NameMatch(steps[k + 1].test, document), document,
                              found)) {
        nodes = std::move(found);
        current = nodes;
        ++k;
        continue;
      }
    }
    auto next = eval_step(current, step, document, env);
    if (!next) return next;
    nodes = std::move(*next);
    current = nodes;
  }
  if (current.data() != nodes.data()) return NodeSet(current.begin(), current.end());
  return nodes;
}

// The place of an alternative in Expr::Node.
template <class T, std::size_t I = 0>
consteval std::size_t variant_index() {
  if constexpr (std::is_same_v<std::variant_alternative_t<I, Expr::Node>, T>) {
    return I;
  } else {
    return variant_index<T, I + 1>();
  }
}

[[gnu::noinline]] EvalResult too_deep() { return std::unexpected(expression_too_deep()); }

[[gnu::noinline]] EvalResult literal_value(const Expr::Literal& literal) {
  return Value::String(literal.value);
}

[[gnu::noinline]] EvalResult no_variables(const Expr::Variable& variable) {
  return std::unexpected("variable $" + variable.name +
                         ": XForms has no variables, so this expression cannot be what the form "
                         "meant");
}

[[gnu::noinline]] EvalResult eval_path(const Expr::Path& path, const Document& document,
                                       const Focus& focus, const EvalEnv& env) {
  NodeId from = focus.node;
  NodeSet kept_root;
  std::span<const NodeId> start(&from, 1);
  std::size_t first_step = 0;
  if (path.absolute) {
    const std::optional<NodeId> root = document.root();
    if (!root) return Value::Nodes({});
    from = *root;
    // A first step naming the root element matches the root itself, so that
    // /data/q reaches the same nodes as /q under a root named "data".
    if (!path.steps.empty()) {
      const Step& step = path.steps.front();
      if (step.axis == Axis::Child && !step.test.any &&
          step.test.name == document.node(*root).name) {
        if (!step.predicates.empty()) {
          VINDLE_ASSIGN_OR_RETURN(kept_root,
                                  filter_by_predicate({*root}, step.predicates, document, env));
          start = kept_root;
        }
        first_step = 1;
      }
    }
  }
  VINDLE_ASSIGN_OR_RETURN(auto&& nodes, apply_steps(start, path.steps, first_step, document, env));
  return Value::Nodes(std::move(nodes));
}

[[gnu::noinline]] EvalResult eval_filter(const Expr::Filter& filter, const Document& document,
                                         const Focus& focus, const EvalEnv& env) {
  NodeSet start;
  const Expr::FunctionCall* call = filter.primary->as<Expr::FunctionCall>();
  if (call && call->name == "instance") {
    if (call->args.empty()) return std::unexpected("instance() needs an id");
    std::string id;
    if (const auto* literal = call->args.front().as<Expr::Literal>()) {
      id = literal->value;
    } else {
      auto value = evaluate(call->args.front(), document, focus, env);
      if (!value) return value;
      id = value_to_string(*value, document);
    }
    if (const std::optional<NodeId> element = find_form_instance(document, id)) {
      start.push_back(*element);
    } else {
      const Document* other = env.instance(id);
      if (!other) {
        return std::unexpected("instance('" + id +
                               "') is not loaded — the form expects a secondary instance the "
                               "evaluator was not given");
      }
      if (!other->root()) return Value::Nodes({});
      // The rest of the filter reads the other document. Its node ids mean
      // nothing in the document under evaluation, so a non-empty result
      // cannot be carried out of the filter.
      VINDLE_ASSIGN_OR_RETURN(
          auto&& kept, filter_by_predicate({*other->root()}, filter.predicates, *other, env));
      VINDLE_ASSIGN_OR_RETURN(auto&& nodes, apply_steps(kept, filter.steps, 0, *other, env));
      if (nodes.empty()) return Value::Nodes({});
      return std::unexpected("instance('" + id +
                             "') lies outside the document under evaluation — its nodes "
                             "cannot be read here");
    }
  } else {
    auto value = evaluate(*filter.primary, document, focus, env);
    if (!value) return value;
    VINDLE_ASSIGN_OR_RETURN(start, expect_node_set(std::move(*value), "a path base"));
  }
  VINDLE_ASSIGN_OR_RETURN(auto&& kept,
                          filter_by_predicate(std::move(start), filter.predicates, document, env));
  VINDLE_ASSIGN_OR_RETURN(auto&& nodes, apply_steps(kept, filter.steps, 0, document, env));
  return Value::Nodes(std::move(nodes));
}

bool compare_numbers(BinaryOp op, double a, double b) {
  switch (op) {
    case BinaryOp::Lt: return a < b;
    case BinaryOp::Le: return a <= b;
    case BinaryOp::Gt: return a > b;
    default: return a >= b;
  }
}

double arithmetic(BinaryOp op, double a, double b) {
  switch (op) {
    case BinaryOp::Add: return a + b;
    case BinaryOp::Sub: return a - b;
    case BinaryOp::Mul: return a * b;
    case BinaryOp::Div: return a / b;
    default: return std::fmod(a, b);
  }
}

// One operator applied, `left` being its left operand's value.
EvalResult apply_binary(const Expr::Binary& binary, const Value& left, const Document& document,
                        const Focus& focus, const EvalEnv& env) {
  if (binary.op == BinaryOp::Or || binary.op == BinaryOp::And) {
    const bool decided = binary.op == BinaryOp::Or;
    if (value_to_boolean(left) == decided) return Value::Boolean(decided);
    auto right = evaluate(*binary.rhs, document, focus, env);
    if (!right) return right;
    return Value::Boolean(value_to_boolean(*right));
  }
  auto right = evaluate(*binary.rhs, document, focus, env);
  if (!right) return right;
  switch (binary.op) {
    case BinaryOp::Eq:
    case BinaryOp::Ne:
      return Value::Boolean(compare_values(binary.op, left, *right, document));
    case BinaryOp::Lt:
    case BinaryOp::Le:
    case BinaryOp::Gt:
    case BinaryOp::Ge:
      return Value::Boolean(compare_numbers(binary.op, value_to_number(left, document),
                                            value_to_number(*right, document)));
    default:
      return Value::Number(arithmetic(binary.op, value_to_number(left, document),
                                      value_to_number(*right, document)));
  }
}

// The value of the left operand of `top` when that operand is itself an
// operator: a chain such as a + b + c, which is (a + b) + c, from its
// innermost left operand up, in a loop, so that a chain of any length costs
// one level of the stack.
[[gnu::noinline]] EvalResult eval_chain(const Expr::Binary& top, const Document& document,
                                        const Focus& focus, const EvalEnv& env) {
  WalkStack<const Expr::Binary*, 4> chain;  // the operators below the top
  const Expr* bottom = &*top.lhs;
  while (const auto* below = bottom->as<Expr::Binary>()) {
    chain.push(below);
    bottom = &*below->lhs;
  }
  auto left = evaluate(*bottom, document, focus, env);
  while (left && !chain.empty()) left = apply_binary(*chain.pop(), *left, document, focus, env);
  return left;
}

[[gnu::noinline]] EvalResult eval_binary(const Expr::Binary& binary, const Document& document,
                                         const Focus& focus, const EvalEnv& env) {
  auto left = binary.lhs->is<Expr::Binary>() ? eval_chain(binary, document, focus, env)
                                              : evaluate(*binary.lhs, document, focus, env);
  if (!left) return left;
  return apply_binary(binary, *left, document, focus, env);
}

[[gnu::noinline]] EvalResult eval_negate(const Expr::Negate& negate, const Document& document,
                                         const Focus& focus, const EvalEnv& env) {
  auto operand = evaluate(*negate.operand, document, focus, env);
  if (!operand) return operand;
  return Value::Number(-value_to_number(*operand, document));
}

// A union's operands, however its unions nest (a | b | c, (a | b) | c,
// a | (b | c)), evaluated one after another from left to right, each
// checked before the next is evaluated. Their nodes are gathered and put in
// document order only once the list has doubled since it was last put in
// order: merging each operand into the set built so far would pass over
// that set once per operand, and a union of k operands would cost k times
// k. Putting in order is a stable sort followed by dropping each node equal
// to the one before it, so doing it at any points on the way gives what
// doing it once at the end gives; doing it on the way keeps the list within
// twice the set and the last operand, however often operands repeat nodes.
[[gnu::noinline]] EvalResult eval_union(const Expr::Union& top, const Document& document,
                                        const Focus& focus, const EvalEnv& env) {
  WalkStack<const Expr*, 8> pending;  // the operands still to come, the next on top
  pending.push(&*top.rhs);
  pending.push(&*top.lhs);
  NodeSet nodes;
  std::size_t ordered = 0;  // how many nodes the list held when last put in order
  while (!pending.empty()) {
    const Expr* operand = pending.pop();
    if (const auto* inner = operand->as<Expr::Union>()) {
      pending.push(&*inner->rhs);
      pending.push(&*inner->lhs);
      continue;
    }
    VINDLE_ASSIGN_OR_RETURN(auto&& value, evaluate(*operand, document, focus, env));
    VINDLE_ASSIGN_OR_RETURN(auto&& operand_nodes, expect_node_set(std::move(value), "union"));
    if (nodes.empty()) {
      nodes = std::move(operand_nodes);
    } else {
      nodes.insert(nodes.end(), operand_nodes.begin(), operand_nodes.end());
    }
    if (nodes.size() > 2 * ordered) {
      nodes = sort_document_order(std::move(nodes), document);
      ordered = nodes.size();
    }
  }
  if (nodes.size() != ordered) nodes = sort_document_order(std::move(nodes), document);
  return Value::Nodes(std::move(nodes));
}

// The index of the first occurrence of `node` among its parent's children.
std::optional<std::size_t> sibling_index(const Document& document, NodeId node) {
  const std::optional<NodeId> parent = document.node(node).parent;
  if (!parent) return std::nullopt;
  const auto& siblings = document.node(*parent).children;
  const auto found = std::find(siblings.begin(), siblings.end(), node);
  if (found == siblings.end()) return std::nullopt;
  return static_cast<std::size_t>(found - siblings.begin());
}

// The nodes following (or preceding) `context` in document order, leaving
// out its descendants (or its ancestors). Attributes are never candidates.
void following_or_preceding(const Document& document, NodeId context, Axis axis,
                            NodeSet& candidates) {
  const std::optional<NodeId> root = document.root();
  if (!root) return;
  const std::uint64_t k = order_key(document, context);
  std::vector<NodeId> excluded = axis == Axis::Following ? document.descendants(context)
                                                         : document.ancestors(context);
  std::sort(excluded.begin(), excluded.end());
  const auto is_excluded = [&](NodeId id) {
    return std::binary_search(excluded.begin(), excluded.end(), id);
  };
  const auto consider = [&](NodeId id) {
    const std::uint64_t c = order_key(document, id);
    const bool on_axis = axis == Axis::Following ? c > k : c < k;
    if (on_axis && !is_excluded(id)) candidates.push_back(id);
  };
  consider(*root);
  for (const NodeId id : document.descendants(*root)) consider(id);
}

// The last number in the subtree of `node`, its attributes included, in a
// document numbered in tree order, where the subtree is numbered in one run
// from the node's own number to this one: the number of the node reached by
// taking last children down to a leaf, or of that leaf's last attribute.
// Known ends are kept in `ends` (indexed by id), so that the ends of many
// nodes cost one walk of the tree. None when a node on the way has no
// number.
std::optional<std::uint64_t> subtree_end(const Document& document, NodeId node,
                                         std::vector<std::uint64_t>& ends) {
  std::vector<NodeId> walked;
  std::uint64_t end = kUnnumbered;
  for (NodeId current = node;;) {
    if (ends[current] != kUnnumbered) {
      end = ends[current];
      break;
    }
    walked.push_back(current);
    const Node& below = document.node(current);
    if (below.children.empty()) {
      end = order_key(document, current);
      if (end == kUnnumbered) return std::nullopt;
      // Attributes added since the numbering have none and lie outside it.
      for (const NodeId attribute : below.attributes) {
        const std::uint64_t key = order_key(document, attribute);
        if (key != kUnnumbered) end = std::max(end, key);
      }
      break;
    }
    current = below.children.back();
  }
  for (const NodeId id : walked) ends[id] = end;
  return end;
}

// A step without predicates on the following, preceding or sibling axes
// from many context nodes at once. Walking the axis from each context node
// costs the document's size per node; in a document numbered in tree order
// the union of the walks is found in one pass instead, and is the same set.
// False, with nothing added, when the document or a context node lacks the
// numbering this relies on; the step then walks from each node.
bool union_of_axis(std::span<const NodeId> context, Axis axis, const Document& document,
                   NodeSet& candidates) {
  const std::optional<NodeId> root = document.root();
  if (!root || !document.numbered_in_tree_order()) return false;
  for (const NodeId node : context) {
    if (order_key(document, node) == kUnnumbered) return false;
  }

  if (axis == Axis::Following || axis == Axis::Preceding) {
    // A node follows a context node when it comes after the context node's
    // subtree, and precedes one when its own subtree ends before the
    // context node. Of all the context nodes, the one whose subtree ends
    // first, or the last one, decides.
    std::vector<std::uint64_t> ends(document.size(), kUnnumbered);
    std::uint64_t bound = axis == Axis::Following ? kUnnumbered : 0;
    for (const NodeId node : context) {
      if (axis == Axis::Following) {
        const auto end = subtree_end(document, node, ends);
        if (!end) return false;
        bound = std::min(bound, *end);
      } else {
        bound = std::max(bound, order_key(document, node));
      }
    }
    NodeSet all{*root};
    const std::vector<NodeId> below = document.descendants(*root);
    all.insert(all.end(), below.begin(), below.end());
    for (const NodeId id : all) {
      if (axis == Axis::Following) {
        if (order_key(document, id) > bound) candidates.push_back(id);
      } else {
        const auto end = subtree_end(document, id, ends);
        if (!end) {
          candidates.clear();
          return false;
        }
        if (*end < bound) candidates.push_back(id);
      }
    }
    return true;
  }

  // The siblings after the first of a parent's children in the context, or
  // before the last of them. A parent's children are in document order, so
  // a context node is found among them by its number. The places are
  // sorted by parent, which puts each parent's first and last place at the
  // ends of its run, whatever the ids.
  std::vector<std::pair<NodeId, std::size_t>> places;
  for (const NodeId node : context) {
    const std::optional<NodeId> parent = document.node(node).parent;
    if (!parent) continue;
    const auto& siblings = document.node(*parent).children;
    const std::uint64_t key = order_key(document, node);
    const auto found = std::lower_bound(
        siblings.begin(), siblings.end(), key,
        [&](NodeId sibling, std::uint64_t k) { return order_key(document, sibling) < k; });
    // An attribute is not among its owner's children.
    if (found == siblings.end() || *found != node) continue;
    places.emplace_back(*parent, static_cast<std::size_t>(found - siblings.begin()));
  }
  std::sort(places.begin(), places.end());
  for (auto run = places.begin(); run != places.end();) {
    const NodeId parent = run->first;
    const auto run_end = std::find_if(
        run, places.end(), [parent](const auto& entry) { return entry.first != parent; });
    const auto& siblings = document.node(parent).children;
    if (axis == Axis::FollowingSibling) {
      const auto at = siblings.begin() + static_cast<std::ptrdiff_t>(run->second);
      candidates.insert(candidates.end(), at + 1, siblings.end());
    } else {
      const auto at = siblings.begin() + static_cast<std::ptrdiff_t>(std::prev(run_end)->second);
      candidates.insert(candidates.end(), siblings.begin(), at);
    }
    run = run_end;
  }
  return true;
}

// The candidates of one context node on a step's axis that walks more than
// one level of the tree, appended to `candidates`. False, with none added,
// when `seen` shows that the node's walk has been made already: its nodes
// are in the result. Out of line, so that the frame through which
// predicates recurse stays small.
[[gnu::noinline]] bool axis_candidates(NodeId node, const Step& step, const Document& document,
                                       std::vector<bool>& seen, NodeSet& candidates) {
  const Node& current = document.node(node);
  switch (step.axis) {
    case Axis::Descendant:
    case Axis::DescendantOrSelf:
      if (!seen.empty()) {
        // `seen` marks nodes whose subtrees have been walked; such a
        // subtree's nodes are all in the result already.
        if (seen[node]) return false;
        seen[node] = true;
        if (step.axis == Axis::DescendantOrSelf) candidates.push_back(node);
        std::vector<NodeId> stack(current.children.rbegin(), current.children.rend());
        while (!stack.empty()) {
          const NodeId next = stack.back();
          stack.pop_back();
          candidates.push_back(next);
          if (seen[next]) return false;
          seen[next] = true;
          const auto& children = document.node(next).children;
          stack.insert(stack.end(), children.rbegin(), children.rend());
        }
      } else {
        if (step.axis == Axis::DescendantOrSelf) candidates.push_back(node);
        const std::vector<NodeId> below = document.descendants(node);
        candidates.insert(candidates.end(), below.begin(), below.end());
      }
      break;
    case Axis::Ancestor:
    case Axis::AncestorOrSelf:
      if (step.axis == Axis::AncestorOrSelf) {
        if (!seen.empty() && seen[node]) return false;
        candidates.push_back(node);
        if (!seen.empty()) seen[node] = true;
      }
      for (std::optional<NodeId> up = current.parent; up; up = document.node(*up).parent) {
        if (!seen.empty()) {
          if (seen[*up]) break;
          seen[*up] = true;
        }
        candidates.push_back(*up);
      }
      break;
    case Axis::Following:
    case Axis::Preceding:
      following_or_preceding(document, node, step.axis, candidates);
      break;
    case Axis::FollowingSibling:
    case Axis::PrecedingSibling:
      if (const auto index = sibling_index(document, node)) {
        const auto& siblings = document.node(*current.parent).children;
        if (step.axis == Axis::FollowingSibling) {
          candidates.insert(candidates.end(),
                            siblings.begin() + static_cast<std::ptrdiff_t>(*index) + 1,
                            siblings.end());
        } else {
          candidates.insert(candidates.end(), siblings.begin(),
                            siblings.begin() + static_cast<std::ptrdiff_t>(*index));
        }
      }
      break;
    default:
      break;
  }
  return true;
}

// A step without predicates from many context nodes on the following,
// preceding or sibling axes, in one pass; false when union_of_axis cannot.
[[gnu::noinline]] bool across_in_one_pass(std::span<const NodeId> context, const Step& step,
                                          const Document& document, NodeSet& result) {
  NodeSet candidates;
  if (!union_of_axis(context, step.axis, document, candidates)) return false;
  if (!step.test.any) {
    const NameMatch match(step.test, document);
    std::erase_if(candidates, [&](NodeId id) { return !match(document, id); });
  }
  result = sort_document_order(std::move(candidates), document);
  return true;
}

// Every level of nesting passes through evaluate, which checks the stack
// before any node that holds sub-expressions; a node without any adds no
// level, and what it runs fits in the reserve. The work of each kind of node
// lies out of line, so that this frame, which every level repeats, stays
// small.
EvalResult evaluate_node(const Expr& expr, const Document& document, const Focus& focus,
                         const EvalEnv& env) {
  switch (expr.node.index()) {
    case variant_index<Expr::Number>():
      return Value::Number(std::get_if<Expr::Number>(&expr.node)->value);
    case variant_index<Expr::Literal>():
      return literal_value(*std::get_if<Expr::Literal>(&expr.node));
    case variant_index<Expr::Variable>():
      return no_variables(*std::get_if<Expr::Variable>(&expr.node));
    case variant_index<Expr::Path>():
      return eval_path(*std::get_if<Expr::Path>(&expr.node), document, focus, env);
    case variant_index<Expr::Filter>():
      return eval_filter(*std::get_if<Expr::Filter>(&expr.node), document, focus, env);
    case variant_index<Expr::FunctionCall>(): {
      const auto& call = *std::get_if<Expr::FunctionCall>(&expr.node);
      return call_function(call.name, call.args, document, focus, env);
    }
    case variant_index<Expr::Binary>():
      return eval_binary(*std::get_if<Expr::Binary>(&expr.node), document, focus, env);
    case variant_index<Expr::Negate>():
      return eval_negate(*std::get_if<Expr::Negate>(&expr.node), document, focus, env);
    default:
      return eval_union(*std::get_if<Expr::Union>(&expr.node), document, focus, env);
  }
}

}  // namespace

EvalResult evaluate(const Expr& expr, const Document& document, const Focus& focus,
                    const EvalEnv& env) {
  if (expr.has_subexpressions() && stack_running_short()) return too_deep();
  return evaluate_node(expr, document, focus, env);
}

NodesResult eval_step(std::span<const NodeId> context, const Step& step, const Document& document,
                      const EvalEnv& env) {
  NodeSet result;
  const bool across = step.predicates.empty() &&
                      (step.axis == Axis::Following || step.axis == Axis::Preceding ||
                       step.axis == Axis::FollowingSibling ||
                       step.axis == Axis::PrecedingSibling);
  if (across && context.size() > 1 && across_in_one_pass(context, step, document, result)) {
    return result;
  }
  const NameMatch match(step.test, document);

  // Without predicates a descendant or ancestor walk may stop where an
  // earlier context node's walk has already been: those nodes are in the
  // result already, and skipping them keeps nested contexts linear.
  const bool may_share = step.predicates.empty() &&
                         (step.axis == Axis::Descendant || step.axis == Axis::DescendantOrSelf ||
                          step.axis == Axis::Ancestor || step.axis == Axis::AncestorOrSelf);
  std::vector<bool> seen;
  if (may_share && context.size() > 1) seen.assign(document.size(), false);

  // Without predicates the candidates go straight into the result; with
  // them, each context node's candidates are filtered on their own, since
  // positions count among them.
  const bool filtered = !step.predicates.empty();
  NodeSet candidates;
  NodeSet& out = filtered ? candidates : result;
  // Room for a child of each context node, or for every child of one: a
  // large list that grows by doubling copies itself into fresh memory each
  // time, where room reserved and never written costs nothing.
  if (step.axis == Axis::Child && !filtered) {
    result.reserve(context.size() == 1 ? document.children(context.front()).size()
                                       : context.size());
  }
  for (const NodeId node : context) {
    if (filtered) candidates.clear();
    const std::size_t start = out.size();
    bool named = false;  // the candidates passed the name test already
    const Node& current = document.node(node);
    switch (step.axis) {
      case Axis::Child:
        if (step.test.any) {
          out.insert(out.end(), current.children.begin(), current.children.end());
        } else if (match.name) {
          document.append_children_named(node, *match.name, out);
        }
        named = true;
        break;
      case Axis::Parent:
        if (current.parent) out.push_back(*current.parent);
        break;
      case Axis::Self:
        out.push_back(node);
        break;
      case Axis::Attribute:
        out.insert(out.end(), current.attributes.begin(), current.attributes.end());
        break;
      default:
        if (!axis_candidates(node, step, document, seen, out)) {
          out.resize(start);
          continue;
        }
        break;
    }
    if (!named && !match.any) {
      const auto passed = std::remove_if(out.begin() + static_cast<std::ptrdiff_t>(start),
                                         out.end(),
                                         [&](NodeId id) { return !match(document, id); });
      out.erase(passed, out.end());
    }
    if (!filtered) continue;
    auto kept = filter_by_predicate(candidates, step.predicates, document, env);
    if (!kept) return kept;
    result.insert(result.end(), kept->begin(), kept->end());
  }
  return sort_document_order(std::move(result), document);
}

NodesResult filter_by_predicate(NodeSet nodes, const std::vector<Expr>& predicates,
                                const Document& document, const EvalEnv& env) {
  for (const Expr& predicate : predicates) {
    // Every node's evaluation stands at the same depth: one check does.
    if (!nodes.empty() && predicate.has_subexpressions() && stack_running_short()) {
      return std::unexpected(expression_too_deep());
    }
    NodeSet kept;
    kept.reserve(nodes.size());
    const std::uint64_t size = nodes.size();
    for (std::uint64_t i = 0; i < size; ++i) {
      const NodeId node = nodes[i];
      VINDLE_ASSIGN_OR_RETURN(auto&& value,
                              evaluate_node(predicate, document, Focus{node, i + 1, size}, env));
      const bool keep = value.is_number() ? value.number() == static_cast<double>(i + 1)
                                          : value_to_boolean(value);
      if (keep) kept.push_back(node);
    }
    nodes = std::move(kept);
  }
  return nodes;
}

std::optional<NodeId> find_form_instance(const Document& document, std::string_view id) {
  for (const NodeId element : document.elements_named("instance")) {
    for (const NodeId attribute : document.node(element).attributes) {
      const Node& pair = document.node(attribute);
      if (pair.name == "id" && pair.value == id) return element;
    }
  }
  return std::nullopt;
}

NodesResult expect_node_set(Value value, std::string_view what) {
  if (value.is_node_set()) return std::move(value.nodes());
  return std::unexpected(std::string(what) + " needs a node-set, got " + value_type_name(value));
}

NodeSet sort_document_order(NodeSet nodes, const Document& document) {
  if (nodes.size() < 2) return nodes;
  // Most lists arrive in order already; checking costs one pass.
  bool sorted = true;
  std::uint64_t previous = 0;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const std::uint64_t key = order_key(document, nodes[i]);
    if (i > 0 && (key < previous || (key == previous && key == kUnnumbered))) {
      sorted = false;
      break;
    }
    previous = key;
  }
  if (!sorted) {
    std::vector<std::pair<std::uint64_t, NodeId>> keyed;
    keyed.reserve(nodes.size());
    for (const NodeId id : nodes) keyed.emplace_back(order_key(document, id), id);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i) nodes[i] = keyed[i].second;
  }
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  return nodes;
}

}  // namespace vindle
