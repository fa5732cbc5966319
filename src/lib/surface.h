// The module's parts, each added by a function of its own; the module lists
// them in `__all__` in the order it adds them. Their functions take the
// arguments as owned references (py::object) for the whole call: the views
// taken of them must outlive the signal handlers that can run while a file
// is read.
#pragma once

#include <pybind11/pybind11.h>

namespace vindle::python {

namespace py = pybind11;

void add_check_form(py::module_& module);           // check_form.cc
void add_submission_findings(py::module_& module);  // submission_findings.cc
void add_eval_expression(py::module_& module);      // eval_expression.cc
void add_session(py::module_& module);              // session.cc

}  // namespace vindle::python
