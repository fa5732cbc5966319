// The order in which a form's calculations run: each after every
// calculation whose node it reads, so that one pass in this order sees every
// value it reads already computed. Calculations that read each other in a
// circle have no defined value, and the form is refused.
//
// What a calculation reads is known only through the plain absolute paths
// of its expression, matched exactly against the binds' paths; a path
// written any other way (with a predicate, relatively in the bind) orders
// nothing. A union bind counts as a bind on each of its operands: its
// calculation reads from each, and reading any of them depends on it.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <vector>

#include "rules/form.h"

namespace vindle {

// For each bind, ascending and without itself: the binds whose paths its
// calculate expression reads (empty without a calculate expression).
// `bind_index` maps a path to the last bind declared on it, a union bind
// being declared on each of its operands (bind_path_operands).
std::vector<std::vector<std::size_t>> dependency_sets(const std::vector<Bind>& binds,
                                                      const TextMap<std::size_t>& bind_index);

// Every bind with a calculate expression, once, after what it reads; binds
// that do not depend on each other keep their declaration order. A circle
// gives "these calculations depend on each other, so none of them has a
// defined value: a → b → a", named from the bind where the walk met it.
// The walk keeps its own stack: a chain as long as the form is no danger.
std::expected<std::vector<std::size_t>, std::string> order_calculations(
    const std::vector<Bind>& binds, const std::vector<std::vector<std::size_t>>& dependencies);

}  // namespace vindle
