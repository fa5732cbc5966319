// Trees nested far deeper than the parser accepts, built by hand, and a
// thread with a small stack to walk them on: a walk that recursed on the
// depth would crash the test program.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "parser/expr.h"

namespace vindle::testing {

// Runs `work` on a thread whose stack is `bytes` long, and waits for it.
inline void on_small_stack(std::size_t bytes, const std::function<void()>& work) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, bytes);
  pthread_t thread;
  const auto run = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work));
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

inline Expr leaf_path(const char* name) {
  return Expr::Path{{Step{{}, NodeTest::Name(name), Axis::Child}}, false};
}

// Each shape wraps the tree built so far one level deeper; every level
// also holds the relative path "a", so that the walks have work to do.
struct Shape {
  const char* name;
  Expr (*wrap)(Expr inner);
};

inline const Shape kDeepShapes[] = {
    {"left operands", [](Expr inner) { return Expr{Expr::Binary{std::move(inner), leaf_path("a"), BinaryOp::Eq}}; }},
    {"right operands", [](Expr inner) { return Expr{Expr::Binary{leaf_path("a"), std::move(inner), BinaryOp::Add}}; }},
    {"left unions", [](Expr inner) { return Expr{Expr::Union{std::move(inner), leaf_path("a")}}; }},
    {"right unions", [](Expr inner) { return Expr{Expr::Union{leaf_path("a"), std::move(inner)}}; }},
    {"negations", [](Expr inner) {
       return Expr{Expr::Binary{Expr{Expr::Negate{std::move(inner)}}, leaf_path("a"), BinaryOp::Sub}};
     }},
    {"arguments", [](Expr inner) {
       std::vector<Expr> args;
       args.push_back(leaf_path("a"));
       args.push_back(std::move(inner));
       args.push_back(Expr{Expr::Number{2}});
       return Expr{Expr::FunctionCall{"concat", std::move(args)}};
     }},
    {"step predicates", [](Expr inner) {
       std::vector<Expr> predicates;
       predicates.push_back(Expr{Expr::Number{1}});
       predicates.push_back(std::move(inner));
       Expr path = leaf_path("a");
       path.as<Expr::Path>()->steps.push_back(Step{std::move(predicates), NodeTest::Any(), Axis::DescendantOrSelf});
       return path;
     }},
    {"filter primaries", [](Expr inner) {
       std::vector<Expr> predicates;
       predicates.push_back(leaf_path("a"));
       return Expr{Expr::Filter{std::move(predicates), {}, std::move(inner)}};
     }},
    {"filter predicates", [](Expr inner) {
       std::vector<Expr> predicates;
       predicates.push_back(std::move(inner));
       std::vector<Step> steps;
       steps.push_back(Step{{}, NodeTest::Name("b"), Axis::Child});
       return Expr{Expr::Filter{std::move(predicates), std::move(steps), leaf_path("a")}};
     }},
};

inline Expr deep_tree(const Shape& shape, std::size_t levels) {
  Expr tree = leaf_path("a");
  for (std::size_t i = 0; i < levels; ++i) tree = shape.wrap(std::move(tree));
  return tree;
}

}  // namespace vindle::testing
