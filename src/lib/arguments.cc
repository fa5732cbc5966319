#include "lib/arguments.h"

#include "tree/source.h"

namespace vindle::python {

std::string_view text_argument(const char* function, const char* parameter, py::handle value) {
  if (!PyUnicode_Check(value.ptr())) {
    throw py::type_error(std::string(function) + "() argument '" + parameter +
                         "' must be str, not " + Py_TYPE(value.ptr())->tp_name);
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
  if (!data) throw py::error_already_set();
  return std::string_view(data, static_cast<std::size_t>(size));
}

std::optional<std::string_view> optional_text_argument(const char* function,
                                                       const char* parameter, py::handle value) {
  if (value.is_none()) return std::nullopt;
  if (!PyUnicode_Check(value.ptr())) {
    throw py::type_error(std::string(function) + "() argument '" + parameter +
                         "' must be str or None, not " + Py_TYPE(value.ptr())->tp_name);
  }
  return text_argument(function, parameter, value);
}

std::uint64_t count_argument(const char* function, const char* parameter, py::handle value) {
  PyObject* index = PyNumber_Index(value.ptr());
  if (!index) {
    if (PyErr_ExceptionMatches(PyExc_TypeError)) {
      py::error_already_set error;
      throw py::type_error(std::string(function) + "() argument '" + parameter +
                           "': " + py::str(error.value()).cast<std::string>());
    }
    throw py::error_already_set();
  }
  const unsigned long long count = PyLong_AsUnsignedLongLong(index);
  Py_DECREF(index);
  if (count == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    throw py::error_already_set();
  }
  return count;
}

std::optional<std::string> owned(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  return std::string(*text);
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

XmlText load_argument(std::string_view argument, const char* name) {
  // PyErr_CheckSignals runs the handlers of the signals that arrived (in
  // the main thread); one that raised leaves its exception set.
  bool raised = false;
  auto text = load_xml_argument(argument, name, [&raised] {
    raised = PyErr_CheckSignals() != 0;
    return raised;
  });
  if (raised) throw py::error_already_set();
  if (!text) raise_value_error(text.error());
  return std::move(*text);
}

SubmissionArguments submission_arguments(const char* function, py::handle submission,
                                         py::handle today, py::handle now) {
  // A braced list is evaluated in order.
  return {text_argument(function, "submission", submission),
          owned(optional_text_argument(function, "today", today)),
          owned(optional_text_argument(function, "now", now))};
}

Submission read_submission(const XmlText& xml, SubmissionArguments arguments) {
  auto document = Document::parse(xml.view());
  if (!document) raise_runtime_error(document.error());
  auto [today, now] =
      resolve_clock(*document, std::move(arguments.today), std::move(arguments.now));
  return {std::move(*document), ClockEnv(std::move(today), std::move(now))};
}

}  // namespace vindle::python
