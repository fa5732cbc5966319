// The Python module `vindle`: the only entry into the engine. Each wrapper
// converts its arguments, calls the engine and converts the result; failures
// become the Python exceptions the module documents.
#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace {

// Adds one attribute and records its name in `__all__`, so that `__all__`
// lists the module's names in the order they were added.
void add_attribute(py::module_& module, const char* name, py::object value) {
  module.attr(name) = std::move(value);
  module.attr("__all__").cast<py::list>().append(name);
}

}  // namespace

PYBIND11_MODULE(vindle, m) {
  m.doc() = "";
  m.attr("__all__") = py::list();
  add_attribute(m, "__version__", py::str("0.1.1"));
}
