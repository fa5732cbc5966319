// submission_findings: a received submission judged against its form's own
// rules, one dict per finding.
#include "lib/arguments.h"
#include "lib/clock.h"
#include "lib/surface.h"
#include "rules/form.h"
#include "rules/judgement.h"
#include "tree/document.h"

namespace vindle::python {
namespace {

constexpr const char* kSubmissionFindingsDoc =
    "submission_findings(form, submission, today=None, now=None)\n--\n\n"
    "What a form's own rules say about a submission.\n\n"
    "A rule the engine could not evaluate comes back as `not-evaluated`,\n"
    "never as a pass: a rule that did not run has not been satisfied, and\n"
    "reporting it as clean would be the one failure worth avoiding.";

// The arguments are owned references for the whole call: the views taken of
// them must outlive any Python code that runs while a file is read.
py::list submission_findings(const py::object& form, const py::object& submission,
                             const py::object& today, const py::object& now) {
  constexpr const char* kName = "submission_findings";
  const std::string_view form_argument = text_argument(kName, "form", form);
  const std::string_view submission_argument = text_argument(kName, "submission", submission);
  std::optional<std::string> today_text = owned(optional_text_argument(kName, "today", today));
  std::optional<std::string> now_text = owned(optional_text_argument(kName, "now", now));

  // Both texts are read before either is parsed, and the form is loaded
  // before the submission is parsed.
  const XmlText form_xml = load_argument(form_argument, "form");
  const XmlText submission_xml = load_argument(submission_argument, "submission");
  auto loaded = Form::load(form_xml.view());
  if (!loaded) raise_runtime_error(loaded.error());
  auto document = Document::parse(submission_xml.view());
  if (!document) raise_runtime_error(document.error());
  auto [today_value, now_value] =
      resolve_clock(*document, std::move(today_text), std::move(now_text));

  const std::vector<SubmissionFinding> findings =
      judge_submission(*loaded, *document, std::move(today_value), std::move(now_value));
  py::list result;
  for (const SubmissionFinding& finding : findings) {
    py::dict entry;
    entry["path"] = to_str(finding.path);
    entry["kind"] = py::str(finding.kind.text());
    entry["says"] = to_str(finding.fmt());
    result.append(std::move(entry));
  }
  return result;
}

}  // namespace

void add_submission_findings(py::module_& module) {
  module.def("submission_findings", &submission_findings, kSubmissionFindingsDoc,
             py::arg("form"), py::arg("submission"), py::arg("today") = py::none(),
             py::arg("now") = py::none());
  add_to_all(module, "submission_findings");
}

}  // namespace vindle::python
