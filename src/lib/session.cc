// The class Session: a form being filled in, as Python holds it. Each
// method binds its arguments, borrows the object, converts the arguments
// and calls the engine's session; refused edits raise ValueError.
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "eval/env.h"
#include "lib/arguments.h"
#include "lib/borrow.h"
#include "lib/method_descriptors.h"
#include "lib/surface.h"
#include "rules/session.h"
#include "tree/source.h"

namespace vindle::python {
namespace {

constexpr const char* kSessionDoc =
    "Session(form, instance=None, today=None, now=None)\n--\n\n"
    "A form being filled in.\n\n"
    "Holds the instance, applies what the form derives, and reports what\n"
    "moved. The same engine that judges the submission when it arrives, so a\n"
    "form cannot behave one way while it is being filled and another way\n"
    "afterwards.";
// The initialiser's signature line is what inspect reads for the class; it
// drops the first parameter as the receiver.
constexpr const char* kInitDoc =
    "__init__(self, form, instance=None, today=None, now=None)\n--\n\n";
// The methods in the order of the class's method table. Each docstring
// begins with the "$self" signature line that inspect reads.
constexpr MethodDoc kMethods[] = {
    {"set", "set($self, path, value)\n--\n\nAnswer a question."},
    {"get", "get($self, path)\n--\n\nThe current answer, or the empty string."},
    {"add_row",
     "add_row($self, path)\n--\n\nAdd a row to a repeat; returns how many there are now."},
    {"remove_row",
     "remove_row($self, path, position)\n--\n\nRemove one row, counted from 1 as XPath counts."},
    {"recompute",
     "recompute($self)\n--\n\n"
     "Run the form's logic and apply what it derives.\n\n"
     "Returns what is asked, what was calculated (only where it changed),\n"
     "what is missing, what was rejected, and how many rows each repeat\n"
     "has."},
    {"choices",
     "choices($self, path)\n--\n\n"
     "The choices a filtered question offers right now, or `None` when its\n"
     "list is fixed."},
    {"instance_xml", "instance_xml($self)\n--\n\nThe instance as it would be submitted."},
};

// The class, set once when the module adds it.
PyTypeObject* session_type = nullptr;

// Whether the object is a Session (or of a subclass) that holds no session:
// one made by __new__ alone, or whose __init__ raised. PySession is the
// only C++ type behind the class, so its holder comes first.
bool lacks_session(py::handle object) {
  if (!session_type || !PyObject_TypeCheck(object.ptr(), session_type)) return false;
  auto* instance = reinterpret_cast<py::detail::instance*>(object.ptr());
  return !instance->get_value_and_holder().holder_constructed();
}

}  // namespace
}  // namespace vindle::python

// Every method and the repr receive the session through this caster. An
// object that holds no session would otherwise be handed over as memory
// that was never initialised; it is refused before it is loaded.
template <>
class pybind11::detail::type_caster<vindle::python::PySession>
    : public type_caster_base<vindle::python::PySession> {
 public:
  bool load(handle source, bool convert) {
    if (vindle::python::lacks_session(source)) {
      PyErr_SetString(PyExc_RuntimeError,
                      "this Session was never initialised — its __init__ did not run, or raised");
      throw error_already_set();
    }
    return type_caster_base::load(source, convert);
  }
};

namespace vindle::python {
namespace {

// Runs a method body; a C++ exception that is not already a Python one
// (nothing in the engine should throw) reaches Python as RuntimeError, and
// running out of memory as MemoryError. The borrows are released on the way
// out, so the session can be used again.
template <class F>
auto guarded(F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const py::error_already_set&) {
    throw;
  } catch (const py::builtin_exception&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;  // pybind11 raises it as MemoryError
  } catch (const std::exception& error) {
    raise_runtime_error(error.what());
  }
}

// Calling __init__ again on a live session (even from inside one of its own
// calls) must not replace the state under it: it changes nothing, as
// object.__init__ would. A signal handler that ran while the files were read
// may have initialised the object meanwhile; the state made here is then
// dropped.
void init(py::detail::value_and_holder& holder, const py::object& form,
          const py::object& instance, const py::object& today, const py::object& now) {
  if (holder.holder_constructed()) return;
  auto made = guarded([&] {
    constexpr const char* kName = "Session";
    const std::string_view form_argument = text_argument(kName, "form", form);
    const std::optional<std::string_view> instance_argument =
        optional_text_argument(kName, "instance", instance);
    // No document is consulted for today and now.
    std::string today_text =
        owned(optional_text_argument(kName, "today", today)).value_or(kDefaultToday);
    std::string now_text = owned(optional_text_argument(kName, "now", now)).value_or(kDefaultNow);

    // Both texts are read before the form is parsed.
    const XmlText form_xml = load_argument(form_argument, "form");
    std::optional<XmlText> instance_xml;
    if (instance_argument) instance_xml = load_argument(*instance_argument, "instance");

    auto session = instance_xml ? Session::with_saved_instance(form_xml.view(),
                                                                instance_xml->view(),
                                                                std::move(today_text),
                                                                std::move(now_text))
                                : Session::from_form(form_xml.view(), std::move(today_text),
                                                     std::move(now_text));
    if (!session) raise_runtime_error(session.error());
    return std::make_unique<PySession>(std::move(*session));
  });
  if (holder.holder_constructed()) return;
  py::detail::initimpl::construct<py::class_<PySession>>(holder, std::move(made), false);
}

void set(PySession& self, py::handle path, py::handle value) {
  guarded([&] {
    PySession::Exclusive session(self);
    const std::string_view path_text = text_argument("set", "path", path);
    const std::string_view value_text = text_argument("set", "value", value);
    auto done = session->set(path_text, value_text);
    if (!done) raise_value_error(done.error());
  });
}

py::str get(PySession& self, py::handle path) {
  return guarded([&] {
    PySession::Shared session(self);
    return to_str(session->get(text_argument("get", "path", path)));
  });
}

py::int_ add_row(PySession& self, py::handle path) {
  return guarded([&] {
    PySession::Exclusive session(self);
    auto rows = session->add_row(text_argument("add_row", "path", path));
    if (!rows) raise_value_error(rows.error());
    return py::int_(*rows);
  });
}

// The path is an owned reference: the view of it must outlive the
// position's __index__, which is Python code.
py::int_ remove_row(PySession& self, const py::object& path, py::handle position) {
  return guarded([&] {
    PySession::Exclusive session(self);
    const std::string_view path_text = text_argument("remove_row", "path", path);
    const std::uint64_t place = count_argument("remove_row", "position", position);
    auto rows = session->remove_row(path_text, place);
    if (!rows) raise_value_error(rows.error());
    return py::int_(*rows);
  });
}

py::dict recompute(PySession& self) {
  return guarded([&] {
    PySession::Exclusive session(self);
    const RecomputeResult result = session->recompute();
    py::dict calculated;
    for (const auto& [path, value] : result.calculated) calculated[to_str(path)] = to_str(value);
    py::dict relevant;
    for (const auto& [path, flag] : result.relevant) relevant[to_str(path)] = py::bool_(flag);
    py::list missing;
    for (const std::string& path : result.missing) missing.append(to_str(path));
    const auto pairs = [](const std::vector<std::pair<std::string, std::string>>& entries) {
      py::list list;
      for (const auto& [path, text] : entries) {
        list.append(py::make_tuple(to_str(path), to_str(text)));
      }
      return list;
    };
    // Entries that share a text share one str: a calculation that failed
    // at every node of a bind names the bind's path at each.
    py::list failed;
    std::map<const std::string*, py::str> shared;
    for (const auto& [where, reason] : result.failed) {
      auto [text, added] = shared.try_emplace(where.get());
      if (added) text->second = to_str(*where);
      failed.append(py::make_tuple(text->second, to_str(reason)));
    }
    py::dict repeats;
    for (const auto& [path, rows] : result.repeats) repeats[to_str(path)] = py::int_(rows);

    py::dict out;
    out["calculated"] = calculated;
    out["relevant"] = relevant;
    out["missing"] = missing;
    out["invalid"] = pairs(result.invalid);
    out["failed"] = failed;
    out["repeats"] = repeats;
    return out;
  });
}

py::object choices(PySession& self, py::handle path) {
  return guarded([&]() -> py::object {
    PySession::Shared session(self);
    const auto choices = session->choices(text_argument("choices", "path", path));
    if (!choices) return py::none();
    py::list list;
    for (const Choice& choice : *choices) {
      py::dict entry;
      entry["value"] = to_str(choice.value);
      entry["label"] = to_str(choice.label);
      list.append(std::move(entry));
    }
    return list;
  });
}

py::str instance_xml(PySession& self) {
  return guarded([&] {
    PySession::Shared session(self);
    return to_str(session->instance_xml());
  });
}

std::string repr(PySession& self) {
  return guarded([&] {
    PySession::Shared session(self);
    return "<vindle.Session " + std::to_string(session->instance_xml().size()) + " bytes>";
  });
}

}  // namespace

void add_session(py::module_& module) {
  auto session_class = py::class_<PySession>(module, "Session", kSessionDoc);
  session_class
      .def("__init__", &init, py::detail::is_new_style_constructor(), kInitDoc, py::arg("form"),
           py::arg("instance") = py::none(), py::arg("today") = py::none(),
           py::arg("now") = py::none())
      .def("set", &set, py::arg("path"), py::arg("value"))
      .def("get", &get, py::arg("path"))
      .def("add_row", &add_row, py::arg("path"))
      .def("remove_row", &remove_row, py::arg("path"), py::arg("position"))
      .def("recompute", &recompute)
      .def("choices", &choices, py::arg("path"))
      .def("instance_xml", &instance_xml)
      .def("__repr__", &repr);
  install_method_descriptors(session_class, kMethods);
  session_type = reinterpret_cast<PyTypeObject*>(session_class.ptr());
}

}  // namespace vindle::python
