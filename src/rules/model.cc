#include "rules/model.h"

#include <algorithm>
#include <cstdint>

#include "eval/evaluator.h"
#include "parser/parser.h"
#include "text/bounded_map.h"

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

Document build_model_document_in_place(const Form& form, Document&& instance) {
  Document model = std::move(instance);
  const std::optional<NodeId> top = model.root();
  const NodeId root = model.new_element("model", "");
  model.set_root(root);
  if (top) model.append_child(root, *top);
  for (const auto& [id, secondary] : form.instances) {
    if (const std::optional<NodeId> secondary_top = secondary.root()) {
      model.append_child(root, model.import_subtree(secondary, *secondary_top));
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
                               const EvalEnv& env, Values values)
    : binds_(binds), model_(model), env_(env), values_(values) {
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
  BoundedTextMap<std::string_view, std::vector<NodeSet*>> wanted;
  for (const auto& [name, path] : group.members) {
    wanted[name].push_back(&by_path_.try_emplace(path).first->second);
  }
  const std::optional<NodeId> root = model_.root();
  if (!root) return;
  auto parents = evaluate(group.parents, model_, Focus{*root, 1, 1}, env_);
  if (!parents || !parents->is_node_set()) return;
  // A name is most often found once under each parent (a question of each
  // row): room for that many spares the selections their regrowth.
  for (const auto& selections : wanted.values()) {
    for (NodeSet* selection : selections) selection->reserve(parents->nodes().size());
  }
  // Rows of a repeat hold the same names in the same places, so the name
  // found at a place under the previous parent is tried first.
  // Names are told apart by their index in the model's name table.
  struct Seen {
    std::optional<Document::NameId> name;
    const std::vector<NodeSet*>* selections;  // none when no member bears the name
  };
  std::vector<Seen> seen;
  for (const NodeId parent : parents->nodes()) {
    const auto& children = model_.children(parent);
    for (std::size_t place = 0; place < children.size(); ++place) {
      const NodeId child = children[place];
      const Document::NameId name = model_.name_id(child);
      if (place == seen.size()) seen.push_back({});
      Seen& guess = seen[place];
      if (guess.name != name) guess = {name, wanted.find(model_.node(child).name)};
      if (!guess.selections) continue;
      for (NodeSet* selection : *guess.selections) selection->push_back(child);
    }
  }
}

const NodeSet& BindSelections::of(std::size_t index) {
  const std::string_view path = binds_[index].nodeset;
  const auto group = group_of_path_.find(path);
  if (group != group_of_path_.end()) {
    if (!groups_[group->second].selected) select_group(groups_[group->second]);
  } else if (values_ == Values::Changing) {
    fresh_ = select_bind(binds_[index], model_, env_);
    return fresh_;
  }
  auto found = by_path_.find(path);
  if (found == by_path_.end()) {
    found = by_path_.emplace(path, select_bind(binds_[index], model_, env_)).first;
  }
  return found->second;
}

namespace {

// How many child elements of one parent bear each name, and how many of
// them have been passed so far: the "[n]" of each step under that parent.
// Names are counted at their index in the document's name table, which
// stands for the name: no hashing, so no choice of names can make a count
// cost more than another, and the table is kept from parent to parent,
// only the names a parent touched being cleared after it.
class SiblingNames {
 public:
  void count(const Document& document, NodeId parent) {
    for (const Document::NameId name : touched_) by_name_[name] = {};
    touched_.clear();
    for (const NodeId child : document.children(parent)) ++counts(document.name_id(child)).count;
  }
  // The step of the next child, counted from the first child.
  std::string next_step(const Document& document, NodeId child) {
    Counts& counted = counts(document.name_id(child));
    ++counted.passed;
    return step(document.node(child).name, counted.count, counted.passed);
  }
  // An attribute is never among the children it is counted with, so it
  // takes the first place.
  std::string attribute_step(const Document& document, NodeId attribute) {
    return step(document.node(attribute).name, counts(document.name_id(attribute)).count, 1);
  }

 private:
  struct Counts {
    std::uint64_t count = 0;
    std::uint64_t passed = 0;
  };

  Counts& counts(Document::NameId name) {
    if (name >= by_name_.size()) by_name_.resize(std::size_t{name} + 1);
    Counts& counted = by_name_[name];
    if (counted.count == 0 && counted.passed == 0) touched_.push_back(name);
    return counted;
  }

  static std::string step(std::string_view name, std::uint64_t count, std::uint64_t place) {
    std::string text(name);
    if (count > 1) {
      text += '[';
      text += std::to_string(place);
      text += ']';
    }
    return text;
  }

  std::vector<Counts> by_name_;
  std::vector<Document::NameId> touched_;
};

// The same result by way of `Document::path_of` and a sort, for what the
// walk cannot order: nodes outside the tree under the root, or steps that
// are not ordered by their text alone.
std::vector<std::pair<std::string, std::size_t>> instance_paths_sorted(
    const Document& model, std::span<const NodeId> nodes) {
  std::vector<std::pair<std::string, std::size_t>> paths;
  paths.reserve(nodes.size());
  for (std::size_t place = 0; place < nodes.size(); ++place) {
    paths.emplace_back(strip_model_prefix(model.path_of(nodes[place])), place);
  }
  std::sort(paths.begin(), paths.end());
  std::vector<std::pair<std::string, std::size_t>> unique;
  for (auto& entry : paths) {
    if (!unique.empty() && unique.back().first == entry.first) {
      unique.back().second = entry.second;
    } else {
      unique.push_back(std::move(entry));
    }
  }
  return unique;
}

}  // namespace

std::vector<std::pair<std::string, std::size_t>> instance_paths_in_order(
    const Document& model, std::span<const NodeId> nodes) {
  const std::optional<NodeId> root = model.root();
  if (nodes.empty() || !root) return instance_paths_sorted(model, nodes);
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // The last place that asks for each node, and whether a node lies above
  // one that is asked for.
  std::vector<std::size_t> asked(model.size(), kNone);
  std::vector<bool> above(model.size(), false);
  for (std::size_t place = 0; place < nodes.size(); ++place) {
    const NodeId node = nodes[place];
    if (node >= model.size()) return instance_paths_sorted(model, nodes);
    asked[node] = place;
    std::optional<NodeId> up = model.parent(node);
    NodeId top = node;
    while (up && !above[*up]) {
      above[*up] = true;
      top = *up;
      up = model.parent(*up);
    }
    if (!up && top != *root) return instance_paths_sorted(model, nodes);
  }

  // What a parent's walk puts in order: each child or attribute that is
  // asked for, by its step, and each child with asked nodes below it, by
  // its step followed by "/", which is how the paths below it continue.
  // A path that is a prefix of another sorts first.
  struct Entry {
    std::string text;
    bool below;
    NodeId node;
  };
  struct Frame {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
    std::size_t path_length;
  };
  std::vector<Entry> entries;
  std::vector<Frame> frames;
  SiblingNames names;
  std::string path = strip_model_prefix("/" + std::string(model.node(*root).name));
  const auto enter = [&](NodeId node) {
    const std::size_t begin = entries.size();
    names.count(model, node);
    for (const NodeId child : model.children(node)) {
      const bool is_asked = asked[child] != kNone;
      if (!is_asked && !above[child]) {
        names.next_step(model, child);
        continue;
      }
      std::string step = names.next_step(model, child);
      if (above[child]) entries.push_back({step + '/', true, child});
      if (is_asked) entries.push_back({std::move(step), false, child});
    }
    for (const NodeId attribute : model.attributes(node)) {
      if (asked[attribute] != kNone) {
        entries.push_back({names.attribute_step(model, attribute), false, attribute});
      }
    }
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(begin), entries.end(),
              [](const Entry& a, const Entry& b) {
                return a.text != b.text ? a.text < b.text : !a.below && b.below;
              });
    frames.push_back({begin, entries.size(), begin, path.size()});
  };

  std::vector<std::pair<std::string, std::size_t>> paths;
  paths.reserve(nodes.size());
  if (asked[*root] != kNone) paths.emplace_back(path, asked[*root]);
  if (above[*root]) enter(*root);
  while (!frames.empty()) {
    Frame& frame = frames.back();
    if (frame.next == frame.end) {
      entries.resize(frame.begin);
      frames.pop_back();
      continue;
    }
    path.resize(frame.path_length);
    const Entry& entry = entries[frame.next++];
    path += '/';
    if (entry.below) {
      path.append(entry.text, 0, entry.text.size() - 1);
      enter(entry.node);
      continue;
    }
    path += entry.text;
    // One path for several nodes: the last place asking for any of them.
    std::size_t place = asked[entry.node];
    for (; frame.next < frame.end; ++frame.next) {
      const Entry& same = entries[frame.next];
      if (same.below || same.text != entry.text) break;
      place = std::max(place, asked[same.node]);
    }
    paths.emplace_back(path, place);
  }

  // A name holding "/" or "[" could put a path out of its place; the walk
  // is checked, and such a tree takes the sorting way instead.
  for (std::size_t k = 1; k < paths.size(); ++k) {
    if (!(paths[k - 1].first < paths[k].first)) return instance_paths_sorted(model, nodes);
  }
  return paths;
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
