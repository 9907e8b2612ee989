#pragma once
// Argument binding and conversion for fast-call methods, with the exact texts Python users see.
//
//   static constexpr host::Params p{"PyTrace.signal_value", {"name", "index"}};
//   PyObject *a[2];
//   if (!host::bind(p, args, nargs, kwnames, a)) return nullptr;
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// Every parameter is positional-or-keyword and required.
struct Params {
  const char *function; // "Class.method", shown as "Class.method()"
  std::initializer_list<const char *> names;
};

// Fills out[0 .. names.size()) with borrowed references, or sets TypeError and returns false.
bool bind(const Params &params, PyObject *const *args, Py_ssize_t nargs, PyObject *kwnames,
          PyObject **out);

// Conversions. Each returns false with the error set; a TypeError is reworded to name the
// argument ("argument 'name': ...") and keeps the original as its cause.
bool arg_str(PyObject *obj, const char *name, std::string_view &out);
bool arg_u64(PyObject *obj, const char *name, uint64_t &out);
bool arg_i64(PyObject *obj, const char *name, int64_t &out);
bool arg_u32(PyObject *obj, const char *name, uint32_t &out);
bool arg_f64(PyObject *obj, const char *name, double &out);
bool arg_str_list(PyObject *obj, const char *name, std::vector<std::string> &out);
// An instance of one of this module's classes.
bool arg_instance(PyObject *obj, PyTypeObject *type, const char *class_name, const char *name);

// Sets TypeError "'<type>' object is not an instance of '<wanted>'"; returns false.
bool raise_not_instance(PyObject *obj, const char *wanted);

// Raises the exception currently being handled (a C++ one) as a Python exception: allocation
// failure as MemoryError, anything else as the module's internal-failure exception.
PyObject *raise_from_cpp();

// Wraps a method body so that no C++ exception crosses into the interpreter.
template <auto Body>
PyObject *guarded(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kwnames) {
  try {
    return Body(self, args, nargs, kwnames);
  } catch (...) {
    return raise_from_cpp();
  }
}

template <auto Body> PyObject *guarded_noargs(PyObject *self, PyObject *) {
  try {
    return Body(self);
  } catch (...) {
    return raise_from_cpp();
  }
}

// A method table entry with a text-signature docstring.
template <auto Body>
constexpr PyMethodDef method(const char *name, const char *doc, int extra_flags = 0) {
  return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(guarded<Body>)),
          METH_FASTCALL | METH_KEYWORDS | extra_flags, doc};
}

template <auto Body>
constexpr PyMethodDef method_noargs(const char *name, const char *doc, int extra_flags = 0) {
  return {name, reinterpret_cast<PyCFunction>(guarded_noargs<Body>), METH_NOARGS | extra_flags,
          doc};
}

} // namespace host
