// check_form: the portability findings of a form, one dict per finding.
#include "lib/arguments.h"
#include "lib/surface.h"
#include "portability/check.h"

namespace vindle::python {
namespace {

constexpr const char* kCheckFormDoc =
    "check_form(form)\n--\n\n"
    "Will this form mean the same thing on a tablet and in a browser?\n\n"
    "Returns one dict per finding: the bind it belongs to, which rule, the\n"
    "construct at fault, where it breaks, what happens, and what to write\n"
    "instead. An empty list means the form travels.";

py::list check_form(const py::object& form) {
  const std::string_view form_argument = text_argument("check_form", "form", form);
  const XmlText xml = load_argument(form_argument, "form");
  auto findings = check_form_findings(xml.view());
  if (!findings) raise_runtime_error(findings.error());

  py::list result;
  for (const PortabilityFinding& finding : *findings) {
    py::dict entry;
    entry["says"] = to_str(finding_says(finding));
    entry["path"] = to_str(finding.path);
    entry["rule"] = to_str(finding.rule);
    entry["expression"] = to_str(finding.expression);
    entry["construct"] = to_str(finding.construct);
    entry["breaks"] = to_str(std::string(breaks_text(finding.breaks)));
    entry["effect"] = to_str(finding.effect);
    entry["suggestion"] = finding.suggestion ? py::object(to_str(*finding.suggestion)) : py::none();
    result.append(std::move(entry));
  }
  return result;
}

}  // namespace

void add_check_form(py::module_& module) {
  module.def("check_form", &check_form, kCheckFormDoc, py::arg("form"));
}

}  // namespace vindle::python
