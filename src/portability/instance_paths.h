// The element paths of a form's primary instance: "/" followed by the names
// from the instance root down, joined by "/", with no positions, so sibling
// elements of one name give one path. The unmatched-path check asks it two
// things: is this exact text one of the paths, and which paths end with
// "/" and a given last segment. The repeat paths of the construct rules
// are held the same way, and asked whether a path lies at or under one.
//
// The paths are held as a tree of their segments rather than as texts:
// written out, the paths of an instance nested n levels deep add up to n²
// bytes. Names are split at "/" into segments as they are inserted (the
// reader accepts a "/" inside a name), so the tree answers for exactly the
// texts that writing each path out would give. Its tables are keyed by the
// instance's names, so they are bounded tables: no choice of names makes a
// lookup long.
#pragma once

#include <cstddef>
#include <compare>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/bounded_map.h"
#include "tree/document.h"

namespace vindle {

class InstancePaths {
 public:
  InstancePaths() = default;
  // The lookup tables view the names held inside, so a copy would view the
  // original's; moving keeps them where they are.
  InstancePaths(const InstancePaths&) = delete;
  InstancePaths& operator=(const InstancePaths&) = delete;
  InstancePaths(InstancePaths&&) = default;
  InstancePaths& operator=(InstancePaths&&) = default;

  bool empty() const { return path_count_ == 0; }
  std::size_t size() const { return path_count_; }

  // Whether `path` is, byte for byte, one of the paths.
  bool contains(std::string_view path) const;
  // Whether `path` or one of its prefixes that end before a "/" is one of
  // the paths: whether the path lies at or under one of them.
  bool holds_prefix_of(std::string_view path) const;
  // The path ending with "/" + `last` when exactly one does; none when no
  // path or several do. `last` holds no "/".
  std::optional<std::string> only_path_ending_with(std::string_view last) const;

  // Adds the path of segment `name` below the path `parent` (kNone for the
  // top) and returns its handle, for adding the paths below it.
  using Handle = std::size_t;
  static constexpr Handle kNone = 0;
  Handle insert(Handle parent, std::string_view name);

 private:
  struct Segment {
    Handle parent;
    std::string name;
    bool is_path = false;
  };
  struct Key {
    Handle parent;
    std::string_view name;
    bool operator==(const Key&) const = default;
    auto operator<=>(const Key&) const = default;
  };
  struct KeyHash {
    std::uint64_t operator()(const Key& key) const {
      return TextHash{}(key.name) ^ mix_bits(key.parent);
    }
    // The parent enters otherwise than in the first hash, so that a name
    // chosen to match another's first hash under another parent does not
    // match its second hash as well.
    std::uint64_t second(const Key& key) const {
      return TextHash{}.second(key.name) + mix_bits(~key.parent);
    }
  };
  struct Ending {
    std::size_t count = 0;
    Handle first = kNone;
  };

  // Follows `path` down the tree; true when it ends on a path, or, with
  // `any_prefix`, when it passes one on the way.
  bool walk(std::string_view path, bool any_prefix) const;
  Handle child(Handle parent, std::string_view name);
  std::optional<Handle> find_child(Handle parent, std::string_view name) const;
  std::string path_text(Handle handle) const;

  // segments_[0] stands above the top and is never a path. The keys view
  // the names held in segments_, a deque, so they never move.
  std::deque<Segment> segments_ = {Segment{kNone, {}, false}};
  BoundedMap<Key, Handle, KeyHash> children_;
  // Paths by their last segment, counted up to two.
  BoundedTextMap<std::string_view, Ending> endings_;
  std::size_t path_count_ = 0;
};

// Every element path of the subtree at `root` (the instance root) added to
// `paths`. The walk keeps its own stack, so any depth is safe.
void collect_instance_paths(const Document& document, NodeId root, InstancePaths& paths);

}  // namespace vindle
