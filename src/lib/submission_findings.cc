// submission_findings: a received submission judged against its form's own
// rules, one dict per finding.
#include "lib/arguments.h"
#include "lib/surface.h"
#include "rules/form.h"
#include "rules/judgement.h"

namespace vindle::python {
namespace {

constexpr const char* kSubmissionFindingsDoc =
    "submission_findings(form, submission, today=None, now=None)\n--\n\n"
    "What a form's own rules say about a submission.\n\n"
    "A rule the engine could not evaluate comes back as `not-evaluated`,\n"
    "never as a pass: a rule that did not run has not been satisfied, and\n"
    "reporting it as clean would be the one failure worth avoiding.";

py::list submission_findings(const py::object& form, const py::object& submission,
                             const py::object& today, const py::object& now) {
  constexpr const char* kName = "submission_findings";
  const std::string_view form_argument = text_argument(kName, "form", form);
  SubmissionArguments arguments = submission_arguments(kName, submission, today, now);

  // Both texts are read before either is parsed, and the form is loaded
  // before the submission is parsed.
  const XmlText form_xml = load_argument(form_argument, "form");
  const XmlText submission_xml = load_argument(arguments.submission, "submission");
  auto loaded = Form::load(form_xml.view());
  if (!loaded) raise_runtime_error(loaded.error());
  Submission read = read_submission(submission_xml, std::move(arguments));

  // The submission is needed no more once judged: the model is built
  // around it rather than around a copy.
  const std::vector<SubmissionFinding> findings =
      judge_submission(*loaded, std::move(read.document), read.clock.today(), read.clock.now());
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
}

}  // namespace vindle::python
