#pragma once
// The module's two classes and what their methods share.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <vector>

#include "trace/trace.hpp"

namespace pymod {

struct TraceObject {
  PyObject_HEAD wavesift::TracePtr trace;
};

// Class objects, created once per process on first use; null with an error set on failure.
PyTypeObject *trace_type();
PyTypeObject *expr_type();

// A new PyTrace holding the trace.
PyObject *wrap_trace(wavesift::TracePtr trace);
inline const wavesift::Trace &trace_of(PyObject *self) {
  return *reinterpret_cast<TraceObject *>(self)->trace;
}

// Method tables of PyTrace, one group per source file, joined when the class is made.
void add_loader_methods(std::vector<PyMethodDef> &methods);
void add_accessor_methods(std::vector<PyMethodDef> &methods);

} // namespace pymod
