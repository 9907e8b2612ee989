#pragma once
// One owner per PyObject reference: released on every path, handed out explicitly.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace host {

class Owned {
public:
  Owned() = default;
  explicit Owned(PyObject *p) : p_(p) {} // steals the reference
  Owned(const Owned &) = delete;
  Owned &operator=(const Owned &) = delete;
  Owned(Owned &&o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Owned &operator=(Owned &&o) noexcept {
    if (this != &o) {
      Py_XDECREF(p_);
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  ~Owned() { Py_XDECREF(p_); }

  PyObject *get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  PyObject *release() {
    PyObject *p = p_;
    p_ = nullptr;
    return p;
  }

private:
  PyObject *p_ = nullptr;
};

} // namespace host
