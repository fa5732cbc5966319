#include "portability/instance_paths.h"

#include <algorithm>
#include <utility>

namespace vindle {

bool InstancePaths::contains(std::string_view path) const { return walk(path, false); }

bool InstancePaths::holds_prefix_of(std::string_view path) const { return walk(path, true); }

bool InstancePaths::walk(std::string_view path, bool any_prefix) const {
  if (path.empty() || path.front() != '/') return false;
  Handle at = kNone;
  std::size_t start = 1;
  while (true) {
    const std::size_t slash = path.find('/', start);
    const auto found = find_child(at, path.substr(start, slash == std::string_view::npos
                                                             ? std::string_view::npos
                                                             : slash - start));
    if (!found) return false;
    at = *found;
    if (slash == std::string_view::npos || (any_prefix && segments_[at].is_path)) {
      return segments_[at].is_path;
    }
    start = slash + 1;
  }
}

std::optional<std::string> InstancePaths::only_path_ending_with(std::string_view last) const {
  const Ending* found = endings_.find(last);
  if (!found || found->count != 1) return std::nullopt;
  return path_text(found->first);
}

InstancePaths::Handle InstancePaths::insert(Handle parent, std::string_view name) {
  Handle at = parent;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = name.find('/', start);
    at = child(at, name.substr(start, slash == std::string_view::npos ? std::string_view::npos
                                                                      : slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  Segment& segment = segments_[at];
  if (!segment.is_path) {
    segment.is_path = true;
    ++path_count_;
    Ending& ending = endings_[segment.name];
    if (ending.count++ == 0) ending.first = at;
  }
  return at;
}

InstancePaths::Handle InstancePaths::child(Handle parent, std::string_view name) {
  if (const auto found = find_child(parent, name)) return *found;
  const Handle handle = segments_.size();
  const Segment& segment = segments_.emplace_back(Segment{parent, std::string(name), false});
  children_.try_emplace(Key{parent, segment.name}, handle);
  return handle;
}

std::optional<InstancePaths::Handle> InstancePaths::find_child(Handle parent,
                                                               std::string_view name) const {
  const Handle* found = children_.find(Key{parent, name});
  if (!found) return std::nullopt;
  return *found;
}

std::string InstancePaths::path_text(Handle handle) const {
  std::vector<Handle> chain;
  std::size_t size = 0;
  for (Handle at = handle; at != kNone; at = segments_[at].parent) {
    chain.push_back(at);
    size += 1 + segments_[at].name.size();
  }
  std::string text;
  text.reserve(size);
  for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
    text += '/';
    text += segments_[*at].name;
  }
  return text;
}

void collect_instance_paths(const Document& document, NodeId root, InstancePaths& paths) {
  std::vector<std::pair<NodeId, InstancePaths::Handle>> pending = {{root, InstancePaths::kNone}};
  while (!pending.empty()) {
    const auto [node, parent] = pending.back();
    pending.pop_back();
    const InstancePaths::Handle path = paths.insert(parent, document.node(node).name);
    for (NodeId child : document.children(node)) pending.emplace_back(child, path);
  }
}

}  // namespace vindle
