#include "rules/model.h"

#include <unordered_map>

#include "eval/evaluator.h"
#include "parser/parser.h"

namespace vindle {

Document build_model_document(const Form& form, const Document& instance) {
  Document model;
  const NodeId root = model.new_element("model", "");
  model.set_root(root);
  if (const std::optional<NodeId> top = instance.root()) {
    model.append_child(root, model.import_subtree(instance, *top));
  }
  for (const auto& [id, secondary] : form.instances) {
    if (const std::optional<NodeId> top = secondary.root()) {
      model.append_child(root, model.import_subtree(secondary, *top));
    }
  }
  model.renumber();
  return model;
}

NodeSet select_nodes(std::string_view expression, const Document& document,
                     const EvalEnv& env) {
  const auto expr = parse_expression(expression);
  return expr ? select_nodes(*expr, document, env) : NodeSet();
}

NodeSet select_nodes(const Expr& expr, const Document& document, const EvalEnv& env) {
  const std::optional<NodeId> root = document.root();
  if (!root) return {};
  auto value = evaluate(expr, document, Focus{*root, 1, 1}, env);
  if (!value || !value->is_node_set()) return {};
  return std::move(value->nodes());
}

NodeSet select_bind(const Bind& bind, const Document& document, const EvalEnv& env) {
  return bind.path ? select_nodes(*bind.path, document, env) : NodeSet();
}

namespace {

// Whether the path is absolute, with two or more steps, each a child step
// with a name and no predicate.
const Expr::Path* plain_child_path(const Expr& expr) {
  const Expr::Path* path = expr.as<Expr::Path>();
  if (!path || !path->absolute || path->steps.size() < 2) return nullptr;
  for (const Step& step : path->steps) {
    if (step.axis != Axis::Child || step.test.any || !step.predicates.empty()) return nullptr;
  }
  return path;
}

}  // namespace

BindSelections::BindSelections(const std::vector<Bind>& binds, const Document& model,
                               const EvalEnv& env)
    : binds_(binds), model_(model), env_(env) {
  std::map<std::string, std::size_t> group_of_parents;
  for (const Bind& bind : binds) {
    if (group_of_path_.contains(bind.nodeset)) continue;
    if (!bind.path) continue;
    const Expr::Path* path = plain_child_path(*bind.path);
    if (!path) continue;
    // Names hold no "/", so the joined names tell the parent paths apart.
    std::string key;
    for (std::size_t k = 0; k + 1 < path->steps.size(); ++k) {
      key += '/';
      key += path->steps[k].test.name;
    }
    auto [found, added] = group_of_parents.try_emplace(std::move(key), groups_.size());
    if (added) {
      Expr::Path parents{std::vector<Step>(path->steps.begin(), path->steps.end() - 1), true};
      groups_.push_back({Expr{std::move(parents)}, {}});
    }
    groups_[found->second].members.emplace_back(path->steps.back().test.name, bind.nodeset);
    group_of_path_.emplace(bind.nodeset, found->second);
  }
}

void BindSelections::select_group(SiblingGroup& group) {
  group.selected = true;
  std::unordered_map<std::string_view, std::vector<NodeSet*>> wanted;
  for (const auto& [name, path] : group.members) {
    wanted[name].push_back(&by_path_.try_emplace(path).first->second);
  }
  const std::optional<NodeId> root = model_.root();
  if (!root) return;
  auto parents = evaluate(group.parents, model_, Focus{*root, 1, 1}, env_);
  if (!parents || !parents->is_node_set()) return;
  for (const NodeId parent : parents->nodes()) {
    for (const NodeId child : model_.children(parent)) {
      const auto found = wanted.find(model_.node(child).name);
      if (found == wanted.end()) continue;
      for (NodeSet* selection : found->second) selection->push_back(child);
    }
  }
}

const NodeSet& BindSelections::of(std::size_t index) {
  const std::string_view path = binds_[index].nodeset;
  if (const auto group = group_of_path_.find(path); group != group_of_path_.end()) {
    if (!groups_[group->second].selected) select_group(groups_[group->second]);
  }
  auto found = by_path_.find(path);
  if (found == by_path_.end()) {
    found = by_path_.emplace(path, select_bind(binds_[index], model_, env_)).first;
  }
  return found->second;
}

std::vector<EvalResult> evaluate_at_nodes(const std::vector<NodeRule>& rules,
                                          const Document& document, const EvalEnv& env) {
  // A counting sort of the rules by node id: the ids of a freshly built
  // document follow document order, so rows come one after the other.
  std::vector<std::size_t> start(document.size() + 1, 0);
  for (const NodeRule& rule : rules) ++start[rule.node + 1];
  for (std::size_t id = 1; id < start.size(); ++id) start[id] += start[id - 1];
  std::vector<std::size_t> by_node(rules.size());
  for (std::size_t k = 0; k < rules.size(); ++k) by_node[start[rules[k].node]++] = k;

  std::vector<EvalResult> results(rules.size(), std::unexpected(std::string()));
  for (const std::size_t k : by_node) {
    results[k] = evaluate(*rules[k].expr, document, Focus{rules[k].node, 1, 1}, env);
  }
  return results;
}

std::string strip_model_prefix(std::string_view path) {
  constexpr std::string_view kPrefix = "/model";
  if (path.starts_with(kPrefix)) path.remove_prefix(kPrefix.size());
  return std::string(path);
}

const Document* FormEnv::instance(std::string_view id) const {
  const auto found = instances_.find(id);
  return found == instances_.end() ? nullptr : &found->second;
}

}  // namespace vindle
