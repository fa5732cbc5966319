// eval_expression: one expression evaluated against a submission, with
// only today and now known beyond the document.
#include "eval/evaluator.h"
#include "eval/value.h"
#include "lib/arguments.h"
#include "lib/surface.h"
#include "parser/parser.h"

namespace vindle::python {
namespace {

constexpr const char* kEvalExpressionDoc =
    "eval_expression(expression, submission, today=None, now=None)\n--\n\n"
    "Evaluate one expression against a submission, for working out what a\n"
    "rule does before writing it into a form.\n\n"
    "An expression this engine cannot evaluate raises, rather than returning\n"
    "a plausible value.";

py::str eval_expression(const py::object& expression, const py::object& submission,
                        const py::object& today, const py::object& now) {
  constexpr const char* kName = "eval_expression";
  const std::string_view expression_text = text_argument(kName, "expression", expression);
  SubmissionArguments arguments = submission_arguments(kName, submission, today, now);

  // The submission is read before the expression is parsed.
  const XmlText xml = load_argument(arguments.submission, "submission");
  const Submission read = read_submission(xml, std::move(arguments));
  auto expr = parse_expression(expression_text);
  if (!expr) raise_runtime_error(expr.error());
  auto value = evaluate(*expr, read.document, Focus{*read.document.root(), 1, 1}, read.clock);
  if (!value) raise_runtime_error(value.error());
  return to_str(value_to_string(*value, read.document));
}

}  // namespace

void add_eval_expression(py::module_& module) {
  module.def("eval_expression", &eval_expression, kEvalExpressionDoc, py::arg("expression"),
             py::arg("submission"), py::arg("today") = py::none(), py::arg("now") = py::none());
}

}  // namespace vindle::python
