// The one portability fault that both engines share: a path that names no
// element of the form's instance reads an empty node-set on either of them,
// and the form carries on without a word. `collect_read_paths` lists the
// absolute paths one bind expression reads, resolved against the bind's own
// path; `check_read_paths` reports each that the primary instance has no
// element for, with the path to write instead where the instance offers one.
#pragma once

#include <functional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "parser/expr.h"
#include "portability/construct_rules.h"
#include "portability/instance_paths.h"

namespace vindle {

// The ids of a form's secondary instances, as written.
using InstanceIds = std::set<std::string, std::less<>>;

// Appends the paths the expression reads, in the order of a left-to-right
// walk, each path before those of its predicates. A relative path counts
// only while `top` holds, outside every predicate and filter: there its
// context is a node the checker cannot know. Absolute paths count anywhere.
// Each path is rendered as the reference collector renders it against
// `context`; a path it cannot write plainly contributes only its predicates.
void collect_read_paths(const Expr& expression, std::string_view context, bool top,
                        std::vector<std::string>& out);

// Appends a finding for every distinct path the expression reads that is
// not in `instance_paths` and does not start at a secondary instance named
// in `instance_ids`. The paths are read with each of `contexts` in turn,
// all of the first one's paths before the second's: the bind's path, or
// each operand of a union bind's path (bind_path_operands).
void check_read_paths(const Expr& expression, std::span<const std::string_view> contexts,
                      const InstancePaths& instance_paths, const InstanceIds& instance_ids,
                      std::string_view instance_root, std::vector<ConstructFinding>& hits);

}  // namespace vindle
