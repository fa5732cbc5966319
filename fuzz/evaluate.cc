// Evaluates an expression against a document, both from the input: the
// bytes up to the first NUL are the expression, the rest the XML (a small
// fixed document when there is no NUL). Errors are results; only crashes,
// sanitizer reports and slowness are failures.
//
// Evaluating predicates as written costs the document's size to the power
// of their nesting, and each evaluation at the innermost level may walk the
// document once more, comparing every node's string-value (itself as long
// as the node's subtree). Inputs where that bound is beyond a second are
// skipped, so that a timeout means the engine did more work than the
// expression asks for.
//
// dev/fuzz: seeds=expression+xml max_len=4096
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "parser/parser.h"
#include "tree/document.h"

namespace {

using vindle::Expr;

constexpr std::string_view kDefaultDocument =
    "<data id=\"f\" version=\"3\"><today>2024-05-06</today>"
    "<q>5</q><name>Ada Lovelace</name><when>2024-02-29</when><list>a b c</list>"
    "<group><r>1</r><r>2</r><r pos=\"x\">3</r></group>"
    "<geo>1 2 0 0;1 3 0 0;2 3 0 0</geo><empty/>"
    "<instance id=\"things\"><root><item><name>one</name><n>1</n></item>"
    "<item><name>two</name><n>2</n></item></root></instance></data>";

// The deepest nesting of predicates: how many node lists an evaluation
// may iterate inside one another.
std::size_t predicate_nesting(const Expr& expr);

std::size_t steps_nesting(const std::vector<vindle::Step>& steps) {
  std::size_t deepest = 0;
  for (const vindle::Step& step : steps) {
    for (const Expr& predicate : step.predicates) {
      deepest = std::max(deepest, 1 + predicate_nesting(predicate));
    }
  }
  return deepest;
}

std::size_t predicate_nesting(const Expr& expr) {
  if (const auto* path = expr.as<Expr::Path>()) return steps_nesting(path->steps);
  if (const auto* filter = expr.as<Expr::Filter>()) {
    std::size_t deepest = std::max(predicate_nesting(*filter->primary), steps_nesting(filter->steps));
    for (const Expr& predicate : filter->predicates) {
      deepest = std::max(deepest, 1 + predicate_nesting(predicate));
    }
    return deepest;
  }
  if (const auto* call = expr.as<Expr::FunctionCall>()) {
    std::size_t deepest = 0;
    for (const Expr& arg : call->args) deepest = std::max(deepest, predicate_nesting(arg));
    return deepest;
  }
  if (const auto* binary = expr.as<Expr::Binary>()) {
    return std::max(predicate_nesting(*binary->lhs), predicate_nesting(*binary->rhs));
  }
  if (const auto* union_ = expr.as<Expr::Union>()) {
    return std::max(predicate_nesting(*union_->lhs), predicate_nesting(*union_->rhs));
  }
  if (const auto* negate = expr.as<Expr::Negate>()) return predicate_nesting(*negate->operand);
  return 0;
}

bool same_value(const vindle::Value& a, const vindle::Value& b) {
  if (a.is_number() && b.is_number() && std::isnan(a.number())) return std::isnan(b.number());
  return a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view expression = input.substr(0, nul);
  const std::string_view xml =
      nul == std::string_view::npos ? kDefaultDocument : input.substr(nul + 1);

  const auto expr = vindle::parse_expression(expression);
  if (!expr) return 0;
  const auto document = vindle::Document::parse(xml);
  if (!document) return 0;

  const double nodes = static_cast<double>(document->size());
  if (std::pow(nodes, 2.0 + static_cast<double>(predicate_nesting(*expr))) > 1e6) return 0;

  const vindle::ClockEnv env("2024-05-06", "2024-05-06T07:08:09.000+02:00");
  const vindle::Focus focus{*document->root(), 1, 1};
  const auto value = vindle::evaluate(*expr, *document, focus, env);

  // The same tree, marked as edited since it was numbered: the evaluator
  // may no longer take the numbering for the tree's pre-order, and must
  // still find the same result. Some of its walks are then quadratic, so
  // only small documents are compared.
  if (document->size() <= 100) {
    vindle::Document edited = *document;
    edited.set_root(edited.root());
    const auto again = vindle::evaluate(*expr, edited, focus, env);
    if (value.has_value() != again.has_value() ||
        (value ? !same_value(*value, *again) : value.error() != again.error())) {
      std::fprintf(stderr, "evaluate: the result changes once the document counts as edited\n");
      std::abort();
    }
  }
  if (!value) return 0;
  const std::string text = vindle::value_to_string(*value, *document);
  vindle::value_to_number(*value, *document);
  vindle::value_to_boolean(*value);
  if (value->is_node_set()) {
    // Node-sets are promised in document order without duplicates.
    const vindle::NodeSet& ids = value->nodes();
    for (std::size_t k = 1; k < ids.size(); ++k) {
      if (!document->precedes(ids[k - 1], ids[k])) {
        std::fprintf(stderr, "evaluate: a node-set out of document order\n");
        std::abort();
      }
    }
  }
  return 0;
}
