// Conversion of Python arguments into the engine's texts, and of the
// engine's failures into Python exceptions.
#pragma once

#include <optional>
#include <string>

#include <pybind11/pybind11.h>

namespace vindle::python {

namespace py = pybind11;

// A str (or a subclass) as UTF-8. Any other object raises TypeError naming
// the function and the parameter; a str holding a lone surrogate raises the
// UnicodeEncodeError of the UTF-8 codec.
std::string text_argument(const char* function, const char* parameter, py::handle value);

// None is absent; anything else must be a str, as above.
std::optional<std::string> optional_text_argument(const char* function, const char* parameter,
                                                  py::handle value);

// A Python str from the engine's UTF-8 text.
py::str to_str(const std::string& text);

// The loader's message for an argument that is neither XML text nor a
// readable file, raised as ValueError.
[[noreturn]] void raise_value_error(const std::string& message);
// The engine's message for an XML, form, expression or evaluation failure,
// raised as RuntimeError.
[[noreturn]] void raise_runtime_error(const std::string& message);

// Loads a form, submission or instance argument (XML text or a file path).
std::string load_argument(const std::string& argument, const char* name);

}  // namespace vindle::python
