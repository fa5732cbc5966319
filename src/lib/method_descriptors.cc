#include "lib/method_descriptors.h"

#include <cstddef>
#include <stdexcept>

namespace vindle::python {
namespace {

namespace py = pybind11;

constexpr std::size_t kMostMethods = 8;

// The functions pybind11 made, and the definitions the descriptors point
// at, which must live as long as they do.
PyObject* forwarded[kMostMethods];
PyMethodDef definitions[kMostMethods];

template <std::size_t I>
PyObject* forward(PyObject* self, PyObject* args, PyObject* kwargs) {
  const Py_ssize_t count = PyTuple_GET_SIZE(args);
  PyObject* with_self = PyTuple_New(count + 1);
  if (!with_self) return nullptr;
  Py_INCREF(self);
  PyTuple_SET_ITEM(with_self, 0, self);
  for (Py_ssize_t k = 0; k < count; ++k) {
    PyObject* item = PyTuple_GET_ITEM(args, k);
    Py_INCREF(item);
    PyTuple_SET_ITEM(with_self, k + 1, item);
  }
  PyObject* result = PyObject_Call(forwarded[I], with_self, kwargs);
  Py_DECREF(with_self);
  return result;
}

// A descriptor's function is told nothing but the receiver and the
// arguments, so each place has a forwarder of its own.
constexpr PyCFunctionWithKeywords kForwarders[kMostMethods] = {
    &forward<0>, &forward<1>, &forward<2>, &forward<3>,
    &forward<4>, &forward<5>, &forward<6>, &forward<7>,
};

}  // namespace

void install_method_descriptors(py::handle type, std::span<const MethodDoc> methods) {
  if (methods.size() > kMostMethods) throw std::length_error("too many method descriptors");
  for (std::size_t k = 0; k < methods.size(); ++k) {
    forwarded[k] = py::getattr(type, methods[k].name).release().ptr();
    definitions[k] = PyMethodDef{
        methods[k].name,
        reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(kForwarders[k])),
        METH_VARARGS | METH_KEYWORDS, methods[k].doc};
    PyObject* descriptor =
        PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(type.ptr()), &definitions[k]);
    if (!descriptor) throw py::error_already_set();
    const int failed = PyObject_SetAttrString(type.ptr(), methods[k].name, descriptor);
    Py_DECREF(descriptor);
    if (failed != 0) throw py::error_already_set();
  }
}

}  // namespace vindle::python
