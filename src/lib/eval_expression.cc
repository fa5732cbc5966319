// eval_expression: one expression evaluated against a submission, with
// only today and now known beyond the document.
#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "lib/arguments.h"
#include "lib/clock.h"
#include "lib/surface.h"
#include "parser/parser.h"
#include "tree/document.h"

namespace vindle::python {
namespace {

constexpr const char* kEvalExpressionDoc =
    "eval_expression(expression, submission, today=None, now=None)\n--\n\n"
    "Evaluate one expression against a submission, for working out what a\n"
    "rule does before writing it into a form.\n\n"
    "An expression this engine cannot evaluate raises, rather than returning\n"
    "a plausible value.";

// The arguments are owned references for the whole call: the views taken of
// them must outlive any Python code that runs while a file is read.
py::str eval_expression(const py::object& expression, const py::object& submission,
                        const py::object& today, const py::object& now) {
  constexpr const char* kName = "eval_expression";
  const std::string_view expression_text = text_argument(kName, "expression", expression);
  const std::string_view submission_argument = text_argument(kName, "submission", submission);
  std::optional<std::string> today_text = owned(optional_text_argument(kName, "today", today));
  std::optional<std::string> now_text = owned(optional_text_argument(kName, "now", now));

  const XmlText xml = load_argument(submission_argument, "submission");
  auto document = Document::parse(xml.view());
  if (!document) raise_runtime_error(document.error());
  auto expr = parse_expression(expression_text);
  if (!expr) raise_runtime_error(expr.error());
  auto [today_value, now_value] =
      resolve_clock(*document, std::move(today_text), std::move(now_text));
  const ClockEnv env(std::move(today_value), std::move(now_value));
  auto value = evaluate(*expr, *document, Focus{*document->root(), 1, 1}, env);
  if (!value) raise_runtime_error(value.error());
  return to_str(value_to_string(*value, *document));
}

}  // namespace

void add_eval_expression(py::module_& module) {
  module.def("eval_expression", &eval_expression, kEvalExpressionDoc, py::arg("expression"),
             py::arg("submission"), py::arg("today") = py::none(), py::arg("now") = py::none());
  add_to_all(module, "eval_expression");
}

}  // namespace vindle::python
