// The Python module `vindle`: the only entry into the engine. Each wrapper
// converts its arguments, calls the engine and converts the result; failures
// become the Python exceptions the module documents.
#include "lib/surface.h"

namespace py = pybind11;

namespace vindle::python {

void add_to_all(py::module_& module, const char* name) {
  module.attr("__all__").cast<py::list>().append(name);
}

}  // namespace vindle::python

PYBIND11_MODULE(vindle, m) {
  using namespace vindle::python;
  // Each function's docstring carries its own signature line, from which
  // CPython takes the text signature.
  py::options options;
  options.disable_function_signatures();

  m.doc() = "";
  m.attr("__all__") = py::list();
  m.attr("__version__") = "0.1.1";
  add_to_all(m, "__version__");
  add_check_form(m);
  add_submission_findings(m);
  add_eval_expression(m);
  add_session(m);
}
