#include "lib/arguments.h"

#include "tree/source.h"

namespace vindle::python {

std::string text_argument(const char* function, const char* parameter, py::handle value) {
  if (!PyUnicode_Check(value.ptr())) {
    throw py::type_error(std::string(function) + "() argument '" + parameter +
                         "' must be str, not " + Py_TYPE(value.ptr())->tp_name);
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
  if (!data) throw py::error_already_set();
  return std::string(data, static_cast<std::size_t>(size));
}

std::optional<std::string> optional_text_argument(const char* function, const char* parameter,
                                                  py::handle value) {
  if (value.is_none()) return std::nullopt;
  if (!PyUnicode_Check(value.ptr())) {
    throw py::type_error(std::string(function) + "() argument '" + parameter +
                         "' must be str or None, not " + Py_TYPE(value.ptr())->tp_name);
  }
  return text_argument(function, parameter, value);
}

py::str to_str(const std::string& text) {
  // The engine's texts are UTF-8 built from UTF-8; a stray byte would be a
  // fault of ours, and is shown as U+FFFD rather than raising.
  PyObject* str = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                       "replace");
  if (!str) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(str);
}

namespace {

[[noreturn]] void raise(PyObject* type, const std::string& message) {
  PyErr_SetObject(type, to_str(message).ptr());
  throw py::error_already_set();
}

}  // namespace

void raise_value_error(const std::string& message) { raise(PyExc_ValueError, message); }

void raise_runtime_error(const std::string& message) { raise(PyExc_RuntimeError, message); }

std::string load_argument(const std::string& argument, const char* name) {
  auto text = load_xml_argument(argument, name);
  if (!text) raise_value_error(text.error());
  return std::move(*text);
}

}  // namespace vindle::python
