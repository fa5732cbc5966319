// The plain absolute paths an expression reads, found without evaluating it.
// The calculation order uses them to see which binds a rule depends on, and
// the portability check to find paths that match nothing in the instance.
//
// Relative paths are resolved as text against the path of the node the
// expression belongs to (a bind's path, or each operand of a union bind's
// path in turn); every path that cannot be written
// as "/" and element names joined by "/" (a wildcard, an attribute, "//",
// any axis other than child, parent and self, the steps after a function
// call or variable) is skipped. Relative paths inside predicates are resolved
// against that same node, not against the step they filter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "parser/expr.h"

namespace vindle {

// The paths in the order a left-to-right walk meets them, each path before
// those of its predicates; duplicates stay.
std::vector<std::string> collect_references(const Expr& expr, std::string_view context);

// The same, appended to `out`.
void collect_references_into(const Expr& expr, std::string_view context,
                             std::vector<std::string>& out);

// A bind's path as the rules use it. A bind written as a relative location
// path ("age", "group/q") is read from the primary instance's root element,
// so it is rendered here against "/" + `instance_root` ("/data/age",
// "/data/group/q"). A relative path that cannot be rendered plainly (a
// predicate, an attribute, "*", another axis, ".." above the root) becomes
// "/" + root + "/" + the path trimmed, which selects the same nodes. Any other
// path (absolute, a function call, one that does not parse) comes back as
// written.
//
// A union is made absolute operand by operand, each as a lone path would
// be, and rebuilt as its operands joined by " | " ("x | /data/g/x" gives
// "/data/x | /data/g/x"). The operands are those of bind_path_operands. A
// union with no relative operand comes back as written.
std::string absolute_bind_path(std::string_view path, std::string_view instance_root);

// The paths a bind's path stands for, each the context of the relative paths
// its rules read and a path under which it is found. For a union, its
// operands in order ("/data/x | /data/g/x" gives /data/x and /data/g/x),
// trimmed, those of a nested union in its place ("(a | b) | c" gives a, b
// and c), and a path without the parentheses around it. Any other path
// alone, exactly as written. The views look into `path`.
std::vector<std::string_view> bind_path_operands(std::string_view path);

}  // namespace vindle
