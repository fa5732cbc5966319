// A Session as Python holds it, with its own borrow state: any number of
// shared borrows or one exclusive borrow, each held for a whole method call.
// A borrow that conflicts with one already held raises RuntimeError rather
// than wait. Between binding and the end of a call, Python code can run only
// through the __index__ of a remove_row position; a call on the same session
// from there meets the exclusive borrow and raises rather than edit an
// instance the outer call is in the middle of.
#pragma once

#include <utility>

#include <pybind11/pybind11.h>

#include "rules/session.h"

namespace vindle::python {

class PySession {
 public:
  explicit PySession(Session session) : session_(std::move(session)) {}

  class Shared {
   public:
    explicit Shared(PySession& owner) : owner_(owner) {
      if (owner_.borrows_ < 0) refuse("Already mutably borrowed");
      ++owner_.borrows_;
    }
    ~Shared() { --owner_.borrows_; }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;
    const Session& operator*() const { return owner_.session_; }
    const Session* operator->() const { return &owner_.session_; }

   private:
    PySession& owner_;
  };

  class Exclusive {
   public:
    explicit Exclusive(PySession& owner) : owner_(owner) {
      if (owner_.borrows_ != 0) refuse("Already borrowed");
      owner_.borrows_ = -1;
    }
    ~Exclusive() { owner_.borrows_ = 0; }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
    Session& operator*() const { return owner_.session_; }
    Session* operator->() const { return &owner_.session_; }

   private:
    PySession& owner_;
  };

 private:
  [[noreturn]] static void refuse(const char* message) {
    PyErr_SetString(PyExc_RuntimeError, message);
    throw pybind11::error_already_set();
  }

  Session session_;
  int borrows_ = 0;  // -1: one exclusive borrow; n > 0: n shared borrows
};

}  // namespace vindle::python
