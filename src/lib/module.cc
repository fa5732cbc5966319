// The Python module `vindle`: the only entry into the engine. Each wrapper
// converts its arguments, calls the engine and converts the result; failures
// become the Python exceptions the module documents.
#include "lib/surface.h"

namespace py = pybind11;

// pybind11 makes the initialiser under a name of our own, so that the one
// CPython calls can look at the interpreter before pybind11 is touched.
#define PyInit_vindle init_with_pybind11
PYBIND11_MODULE(vindle, m) {
  using namespace vindle::python;
  // Each function's docstring carries its own signature line, from which
  // CPython takes the text signature.
  py::options options;
  options.disable_function_signatures();

  m.doc() = "";
  py::list all;
  m.attr("__all__") = all;
  m.attr("__version__") = "0.1.1";
  all.append("__version__");
  add_check_form(m);
  all.append("check_form");
  add_submission_findings(m);
  all.append("submission_findings");
  add_eval_expression(m);
  all.append("eval_expression");
  add_session(m);
  all.append("Session");
}
#undef PyInit_vindle

// pybind11 keeps its state for one interpreter: in a sub-interpreter its
// initialiser waits for an interpreter lock that the importing thread
// already holds, and the import never returns. It is refused at once.
extern "C" PYBIND11_EXPORT PyObject* PyInit_vindle() {
  if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
    PyErr_SetString(PyExc_ImportError,
                    "vindle can be imported only in the main interpreter, not in a "
                    "sub-interpreter");
    return nullptr;
  }
  return init_with_pybind11();
}
