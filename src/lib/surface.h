// The module's parts, each added by a function of its own in the order the
// module lists them; every addition also appends its name to `__all__`.
#pragma once

#include <pybind11/pybind11.h>

namespace vindle::python {

namespace py = pybind11;

void add_to_all(py::module_& module, const char* name);

void add_check_form(py::module_& module);           // check_form.cc
void add_submission_findings(py::module_& module);  // submission_findings.cc
void add_eval_expression(py::module_& module);      // eval_expression.cc
void add_session(py::module_& module);              // session.cc

}  // namespace vindle::python
