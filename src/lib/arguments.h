// Conversion of Python arguments into the engine's texts, and of the
// engine's failures into Python exceptions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <pybind11/pybind11.h>

#include "eval/env.h"
#include "tree/document.h"
#include "tree/source.h"

namespace vindle::python {

namespace py = pybind11;

// A str (or a subclass) as a view of its UTF-8 text, which the str object
// keeps: valid while the object lives, so a caller that runs Python code
// before it is done with the view holds a reference of its own. Any other
// object raises TypeError naming the function and the parameter; a str
// holding a lone surrogate raises the UnicodeEncodeError of the UTF-8 codec.
std::string_view text_argument(const char* function, const char* parameter, py::handle value);

// None is absent; anything else must be a str, as above.
std::optional<std::string_view> optional_text_argument(const char* function,
                                                       const char* parameter, py::handle value);

// An unsigned 64-bit count through the integer-index protocol: an int, a
// bool or an object with __index__. Negative or too large: OverflowError;
// anything without an index: TypeError naming the parameter.
std::uint64_t count_argument(const char* function, const char* parameter, py::handle value);

// An owned copy, for the short texts the engine keeps (today and now).
std::optional<std::string> owned(std::optional<std::string_view> text);

// A Python str from the engine's UTF-8 text.
py::str to_str(const std::string& text);

// The loader's message for an argument that is neither XML text nor a
// readable file, raised as ValueError.
[[noreturn]] void raise_value_error(const std::string& message);
// The engine's message for an XML, form, expression or evaluation failure,
// raised as RuntimeError.
[[noreturn]] void raise_runtime_error(const std::string& message);

// Loads a form, submission or instance argument (XML text or a file path).
// A file that keeps the read waiting (a pipe, a device) can be interrupted:
// the Python handlers of the signals that arrive run while it is read, and
// an exception one of them raises (KeyboardInterrupt) ends the load and is
// raised in place of its result.
XmlText load_argument(std::string_view argument, const char* name);

// The last three parameters of both module functions that read a
// submission: the submission argument, today and now.
struct SubmissionArguments {
  std::string_view submission;
  std::optional<std::string> today;
  std::optional<std::string> now;
};
// Converts the three, in that order.
SubmissionArguments submission_arguments(const char* function, py::handle submission,
                                         py::handle today, py::handle now);

// A submission read into a document, with its clock: today and now from
// the arguments, else from the submission. XML that does not read raises
// RuntimeError with the reader's message.
struct Submission {
  Document document;
  ClockEnv clock;
};
Submission read_submission(const XmlText& xml, SubmissionArguments arguments);

}  // namespace vindle::python
