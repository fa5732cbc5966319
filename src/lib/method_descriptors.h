// The methods of a class as CPython's own method descriptors. A function
// that pybind11 defines on a class is a plain callable wrapped as a method,
// which inspect sees as bound twice over (the signature of a bound
// session.set lost its path); a method descriptor carries the "$self"
// signature line that inspect understands.
#pragma once

#include <span>

#include <pybind11/pybind11.h>

namespace vindle::python {

struct MethodDoc {
  const char* name;
  const char* doc;  // the signature line, "--", an empty line and the body
};

// Replaces each method of `type` named in `methods`, a function pybind11
// defined, by a method descriptor with that docstring, which forwards the
// call, receiver first, to the function pybind11 made; that function binds
// and converts the arguments. For one class in the process, made once: the
// functions are kept for the life of the process. At most eight methods.
void install_method_descriptors(pybind11::handle type, std::span<const MethodDoc> methods);

}  // namespace vindle::python
