// PyTrace methods that evaluate an expression at one index or search all indices.
#include "classes.hpp"
#include "convert.hpp"
#include "eval/find.hpp"
#include "host/binding.hpp"
#include "host/gc_pause.hpp"
#include "host/owned.hpp"

namespace pymod {
namespace {

using host::Owned;
using wavesift::Index;

PyObject *index_list(const std::vector<Index> &indices) {
  Owned list(PyList_New(static_cast<Py_ssize_t>(indices.size())));
  if (!list) return nullptr;
  for (size_t k = 0; k < indices.size(); ++k) {
    PyObject *n = PyLong_FromSize_t(indices[k]);
    if (!n) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), n);
  }
  return list.release();
}

template <const char *Function>
bool bind_expr(PyObject *const *args, Py_ssize_t nargs, PyObject *kw, PyObject **a) {
  static const host::Params p{Function, {"expr"}};
  return host::bind(p, args, nargs, kw, a) && arg_expr(a[0], "expr");
}

template <const char *Function>
bool bind_expr_index(PyObject *const *args, Py_ssize_t nargs, PyObject *kw, PyObject **a,
                     uint64_t &index) {
  static const host::Params p{Function, {"expr", "index"}};
  return host::bind(p, args, nargs, kw, a) && arg_expr(a[0], "expr") &&
         host::arg_u64(a[1], "index", index);
}

constexpr char kFind[] = "PyTrace.find", kParallelFind[] = "PyTrace.parallel_find",
               kParallelCount[] = "PyTrace.parallel_count", kEvalExpr[] = "PyTrace.eval_expr",
               kEvalExprBool[] = "PyTrace.eval_expr_bool";

PyObject *find(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  PyObject *a[1];
  if (!bind_expr<kFind>(args, nargs, kw, a)) return nullptr;
  return index_list(wavesift::find(trace_of(self), expr_of(a[0])));
}

PyObject *parallel_find(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  PyObject *a[1];
  if (!bind_expr<kParallelFind>(args, nargs, kw, a)) return nullptr;
  return index_list(wavesift::parallel_find(trace_of(self), expr_of(a[0])));
}

PyObject *parallel_count(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  PyObject *a[1];
  if (!bind_expr<kParallelCount>(args, nargs, kw, a)) return nullptr;
  return PyLong_FromSize_t(wavesift::parallel_count(trace_of(self), expr_of(a[0])));
}

PyObject *eval_expr(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  PyObject *a[2];
  uint64_t index;
  if (!bind_expr_index<kEvalExpr>(args, nargs, kw, a, index)) return nullptr;
  return value_to_py(wavesift::eval(trace_of(self), expr_of(a[0]), index));
}

PyObject *eval_expr_bool(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  PyObject *a[2];
  uint64_t index;
  if (!bind_expr_index<kEvalExprBool>(args, nargs, kw, a, index)) return nullptr;
  return PyBool_FromLong(wavesift::eval_bool(trace_of(self), expr_of(a[0]), index));
}

// Resolves the names once, then creates Python objects only at matching indices.
PyObject *find_with_values(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.find_with_values", {"expr", "signal_names"}};
  PyObject *a[2];
  std::vector<std::string> names;
  if (!host::bind(p, args, nargs, kw, a) || !arg_expr(a[0], "expr") ||
      !host::arg_str_list(a[1], "signal_names", names))
    return nullptr;
  const wavesift::Trace &t = trace_of(self);
  std::vector<wavesift::ColumnCursor> columns;
  columns.reserve(names.size());
  for (const std::string &name : names) {
    const auto id = t.signal_id(name);
    columns.emplace_back(id ? t.store().column(*id) : nullptr);
  }
  const wavesift::Expr &expr = expr_of(a[0]);
  const auto program = wavesift::Program::compile(*expr);

  Owned result(PyList_New(0));
  if (!result) return nullptr;
  bool failed = false;
  const host::GcPause gc;
  auto add_match = [&](uint64_t i) {
    Owned values(PyList_New(static_cast<Py_ssize_t>(columns.size())));
    if (!values) return false;
    for (size_t k = 0; k < columns.size(); ++k) {
      PyObject *v = value_to_py(columns[k].at(i));
      if (!v) return false;
      PyList_SET_ITEM(values.get(), static_cast<Py_ssize_t>(k), v);
    }
    Owned index(PyLong_FromUnsignedLongLong(i));
    if (!index) return false;
    Owned pair(PyTuple_Pack(2, index.get(), values.get()));
    return pair && PyList_Append(result.get(), pair.get()) == 0;
  };
  wavesift::scan_matches(t, program, 0, static_cast<uint64_t>(t.max_index()) + 1,
                         [&](uint64_t first, uint64_t end) {
                           for (uint64_t i = first; i < end && !failed; ++i)
                             failed = !add_match(i);
                         });
  return failed ? nullptr : result.release();
}

} // namespace

void add_search_methods(std::vector<PyMethodDef> &m) {
  m.push_back(host::method<find>("find", "find($self, expr)\n--\n\n"));
  m.push_back(host::method<parallel_find>(
      "parallel_find", "parallel_find($self, expr)\n--\n\nFind every index at which the "
                       "expression holds, by parallel iteration across all processor cores."));
  m.push_back(host::method<parallel_count>(
      "parallel_count", "parallel_count($self, expr)\n--\n\nCount the indices at which the "
                        "expression holds, by parallel iteration across all processor cores."));
  m.push_back(host::method<eval_expr>("eval_expr", "eval_expr($self, expr, index)\n--\n\n"));
  m.push_back(
      host::method<eval_expr_bool>("eval_expr_bool", "eval_expr_bool($self, expr, index)\n--\n\n"));
  m.push_back(host::method<find_with_values>(
      "find_with_values",
      "find_with_values($self, expr, signal_names)\n--\n\nFind with value extraction in one "
      "pass: returns list of (index, [values]) tuples.\nResolves signal IDs once upfront, uses "
      "signal_value_by_id in the hot loop."));
}

} // namespace pymod
