// The order in which a form's calculations run: each after every
// calculation whose node it reads, so that one pass in this order sees every
// value it reads already computed. Calculations that read each other in a
// circle have no defined value, and the form is refused.
//
// What is ordered is a bind at one of the paths it stands for
// (bind_path_operands): a bind at its path, or a union bind at each of its
// operands, which the order places as it would place a bind on that operand
// alone. A union bind whose operands fall on both sides of another
// calculation is therefore no circle, and two operands of one union that
// read each other are ordered, or refused as a circle, as two binds would
// be. A form with union binds loads exactly when the same rules written as
// one bind per operand load.
//
// What a calculation reads is known only through the plain absolute paths
// of its expression, resolved against its own path and matched exactly
// against the binds' paths; a path written any other way (with a
// predicate, relatively in the bind) orders nothing.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "rules/form.h"

namespace vindle {

// One bind at one of the paths it stands for: its whole path, or one
// operand of a union. `path` looks into the bind's nodeset.
struct BindOperand {
  std::size_t bind;
  std::string_view path;
  bool of_union = false;
};

// Every bind's paths: bind by bind, a union's operands in their order.
std::vector<BindOperand> bind_operands(const std::vector<Bind>& binds);

// For each of `operands`, ascending and without itself: the operands whose
// paths its bind's calculate expression reads, resolved against its own
// path (empty without a calculate expression). `bind_index` maps a path to
// the last of the operands on it.
std::vector<std::vector<std::size_t>> dependency_sets(const std::vector<Bind>& binds,
                                                      const std::vector<BindOperand>& operands,
                                                      const TextMap<std::size_t>& bind_index);

// Every operand whose bind has a calculate expression, once, after what it
// reads; operands that do not depend on each other keep their order. A
// circle gives "these calculations depend on each other, so none of them
// has a defined value: a → b → a", naming each operand by its own path (a
// bind that is no union by its nodeset), from the operand where the walk
// met the circle. The walk keeps its own stack: a chain as long as the
// form is no danger.
std::expected<std::vector<std::size_t>, std::string> order_calculations(
    const std::vector<Bind>& binds, const std::vector<BindOperand>& operands,
    const std::vector<std::vector<std::size_t>>& dependencies);

// The ordered operands as the form keeps them, a union's operand parsed.
std::vector<Calculation> calculations_in_order(const std::vector<BindOperand>& operands,
                                               const std::vector<std::size_t>& order);

// The bind of each calculation, once, where its first calculation stands.
std::vector<std::size_t> binds_in_order(const std::vector<Calculation>& calculations,
                                        std::size_t bind_count);

}  // namespace vindle
