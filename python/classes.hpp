#pragma once
// The module's two classes and what their methods share.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <vector>

#include "eval/expr.hpp"
#include "trace/trace.hpp"

namespace pymod {

struct TraceObject {
  PyObject_HEAD wavesift::TracePtr trace;
};

struct ExprObject {
  PyObject_HEAD wavesift::Expr expr;
};

// Class objects, created once per process on first use; null with an error set on failure.
PyTypeObject *trace_type();
PyTypeObject *expr_type();

// A new PyTrace holding the trace.
PyObject *wrap_trace(wavesift::TracePtr trace);
inline const wavesift::Trace &trace_of(PyObject *self) {
  return *reinterpret_cast<TraceObject *>(self)->trace;
}

// A new PyExpr holding the tree.
PyObject *wrap_expr(wavesift::Expr expr);
inline const wavesift::Expr &expr_of(PyObject *obj) {
  return reinterpret_cast<ExprObject *>(obj)->expr;
}
// Checks that an argument is a PyExpr (TypeError naming the argument otherwise).
bool arg_expr(PyObject *obj, const char *name);

// A new list of str.
PyObject *list_of_strings(const std::vector<std::string> &items);

// Method tables of PyTrace, one group per source file, joined when the class is made.
void add_loader_methods(std::vector<PyMethodDef> &methods);
void add_accessor_methods(std::vector<PyMethodDef> &methods);
void add_search_methods(std::vector<PyMethodDef> &methods);
void add_query_methods(std::vector<PyMethodDef> &methods);

} // namespace pymod
