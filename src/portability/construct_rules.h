// The constructs that the tablet engine (JavaRosa, in Collect / KoboCollect)
// and the browser engine (Enketo web forms) treat differently, and the walk
// that finds them in one parsed bind expression.
//
// The rules look at the shape of the tree only: nothing is evaluated, no
// document is consulted, and a regex() pattern is scanned as text, never
// compiled. The walk keeps a stack of its own, so no nesting can exhaust the
// machine's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parser/expr.h"
#include "portability/instance_paths.h"

namespace vindle {

// Which engine a finding breaks on.
enum class Breaks : std::uint8_t { Tablet, Browser, BothDifferently, BothSilently };

// "Collect / KoboCollect", "Enketo web forms", "both, differently",
// "both, identically and silently".
std::string_view breaks_text(Breaks breaks);
// How the one-line message ends: "on " + the text for one engine, a sentence
// of its own for both.
std::string breaks_clause(Breaks breaks);

// What one rule reports about one construct of one expression.
struct ConstructFinding {
  std::string construct;
  std::string effect;
  Breaks breaks;
  std::optional<std::string> suggestion;

  bool operator==(const ConstructFinding&) const = default;
};

// The "nodeset" values of a form's repeats, asked whether a plain absolute
// path lies at or under one of them. The paths are compared as text: a
// trailing "/" is dropped, a relative nodeset never matches, and an empty
// one (or a lone "/") holds every path.
//
// Which repeat a path is under never shows in a finding, so the answer is
// whether the path or one of its prefixes that end before a "/" is a repeat
// path. The repeat paths are held as the instance paths are, as a tree of
// their segments, so a path is walked once: the cost follows the length of
// the path, whatever the repeats, where trying each prefix in turn would
// cost its square.
class RepeatPaths {
 public:
  explicit RepeatPaths(const std::vector<std::string>& repeat_paths);
  // `plain` is "/" followed by names joined by "/".
  bool holds(std::string_view plain) const {
    return holds_every_path_ || paths_.holds_prefix_of(plain);
  }

 private:
  bool holds_every_path_ = false;
  InstancePaths paths_;
};

// Appends every construct of `expression` that is on the list, in the order
// of a walk in which a construct's own hit precedes those found inside its
// operands, arguments or predicates.
void check_expression(const Expr& expression, const RepeatPaths& repeat_paths,
                      std::vector<ConstructFinding>& hits);

// The step rules, and the walk into the steps' predicates.
void check_steps(const std::vector<Step>& steps, const RepeatPaths& repeat_paths,
                 std::vector<ConstructFinding>& hits);

// The rules keyed by the function name as written (prefix included, case
// kept); at most one hit per call.
void check_function_call(std::string_view name, const std::vector<Expr>& args,
                         std::vector<ConstructFinding>& hits);

// Whether a regular expression holds a "|" outside every bracket class and
// every group, where "^" and "$" bind only to the outer alternatives.
bool has_top_level_alternation(std::string_view pattern);

}  // namespace vindle
