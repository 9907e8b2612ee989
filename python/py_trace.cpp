// The PyTrace class: one loaded trace, shared read-only, and its basic accessors.
#include <new>

#include "classes.hpp"
#include "convert.hpp"
#include "host/binding.hpp"
#include "host/once.hpp"
#include "host/owned.hpp"

namespace pymod {
namespace {

using host::Owned;

void trace_dealloc(PyObject *self) {
  PyTypeObject *type = Py_TYPE(self);
  reinterpret_cast<TraceObject *>(self)->trace.~shared_ptr();
  type->tp_free(self);
  Py_DECREF(type);
}

} // namespace

PyObject *list_of_strings(const std::vector<std::string> &items) {
  Owned list(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) return nullptr;
  for (size_t k = 0; k < items.size(); ++k) {
    PyObject *s =
        PyUnicode_FromStringAndSize(items[k].data(), static_cast<Py_ssize_t>(items[k].size()));
    if (!s) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), s);
  }
  return list.release();
}

namespace {

PyObject *signal_names(PyObject *self) {
  return list_of_strings(trace_of(self).signal_names());
}
PyObject *scopes(PyObject *self) {
  return list_of_strings(trace_of(self).scopes());
}
PyObject *max_index(PyObject *self) {
  return PyLong_FromSize_t(trace_of(self).max_index());
}

PyObject *timestamp(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.timestamp", {"index"}};
  PyObject *a[1];
  uint64_t index;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "index", index)) return nullptr;
  return PyLong_FromUnsignedLongLong(trace_of(self).timestamp(index));
}

// The (name, index) pair of signal_value and signal_value_raw, and the value it names, viewed
// in place (NoValue for an unknown name).
bool name_and_index(const host::Params &p, PyObject *self, PyObject *const *args, Py_ssize_t nargs,
                    PyObject *kw, wavesift::ValueView &value) {
  PyObject *a[2];
  std::string_view name;
  uint64_t index;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], "name", name) ||
      !host::arg_u64(a[1], "index", index))
    return false;
  const wavesift::Trace &t = trace_of(self);
  const auto id = t.signal_id(name);
  value = id ? t.store().peek(*id, index) : wavesift::ValueView{};
  return true;
}

PyObject *signal_value(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.signal_value", {"name", "index"}};
  wavesift::ValueView v;
  return name_and_index(p, self, args, nargs, kw, v) ? value_to_py(v) : nullptr;
}

PyObject *signal_value_raw(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.signal_value_raw", {"name", "index"}};
  wavesift::ValueView v;
  if (!name_and_index(p, self, args, nargs, kw, v)) return nullptr;
  return PyLong_FromUnsignedLongLong(wavesift::to_u64(v).value_or(0));
}

PyObject *signal_width(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.signal_width", {"name"}};
  PyObject *a[1];
  std::string_view name;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], "name", name)) return nullptr;
  return PyLong_FromUnsignedLong(trace_of(self).signal_width(name));
}

PyObject *signal_id(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.signal_id", {"name"}};
  PyObject *a[1];
  std::string_view name;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], "name", name)) return nullptr;
  const auto id = trace_of(self).signal_id(name);
  if (!id) Py_RETURN_NONE;
  return PyLong_FromSize_t(*id);
}

PyObject *signal_values_range(PyObject *self, PyObject *const *args, Py_ssize_t nargs,
                              PyObject *kw) {
  static const host::Params p{"PyTrace.signal_values_range", {"name", "start", "end"}};
  PyObject *a[3];
  std::string_view name;
  uint64_t start, end;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], "name", name) ||
      !host::arg_u64(a[1], "start", start) || !host::arg_u64(a[2], "end", end))
    return nullptr;
  const size_t count = end > start ? end - start : 0;
  if (count > static_cast<size_t>(PY_SSIZE_T_MAX)) return PyErr_NoMemory();
  Owned list(PyList_New(static_cast<Py_ssize_t>(count)));
  if (!list) return nullptr;
  const wavesift::Trace &t = trace_of(self);
  const auto id = t.signal_id(name);
  wavesift::ColumnCursor cursor(id ? t.store().column(*id) : nullptr);
  for (size_t k = 0; k < count; ++k) {
    PyObject *v = value_to_py(cursor.at(start + k));
    if (!v) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), v);
  }
  return list.release();
}

PyObject *create_trace_type() {
  // Built once (thread-safe static initialisation); the class keeps pointing into it.
  static std::vector<PyMethodDef> methods = [] {
    std::vector<PyMethodDef> m;
    add_loader_methods(m);
    add_accessor_methods(m);
    add_search_methods(m);
    add_query_methods(m);
    m.push_back({nullptr, nullptr, 0, nullptr});
    return m;
  }();
  static PyType_Slot slots[] = {
      {Py_tp_dealloc, reinterpret_cast<void *>(trace_dealloc)},
      {Py_tp_methods, methods.data()},
      {0, nullptr},
  };
  static PyType_Spec type_spec = {"builtins.PyTrace", sizeof(TraceObject), 0,
                                  Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION, slots};
  return PyType_FromSpec(&type_spec);
}

} // namespace

void add_accessor_methods(std::vector<PyMethodDef> &m) {
  m.push_back(host::method_noargs<signal_names>("signal_names", "signal_names($self)\n--\n\n"));
  m.push_back(host::method_noargs<scopes>("scopes", "scopes($self)\n--\n\n"));
  m.push_back(host::method_noargs<max_index>("max_index", "max_index($self)\n--\n\n"));
  m.push_back(host::method<timestamp>("timestamp", "timestamp($self, index)\n--\n\n"));
  m.push_back(
      host::method<signal_value>("signal_value", "signal_value($self, name, index)\n--\n\n"));
  m.push_back(host::method<signal_value_raw>("signal_value_raw",
                                             "signal_value_raw($self, name, index)\n--\n\n"));
  m.push_back(host::method<signal_width>("signal_width", "signal_width($self, name)\n--\n\n"));
  m.push_back(host::method<signal_id>("signal_id", "signal_id($self, name)\n--\n\n"));
  m.push_back(host::method<signal_values_range>(
      "signal_values_range", "signal_values_range($self, name, start, end)\n--\n\n"));
}

PyTypeObject *trace_type() {
  return reinterpret_cast<PyTypeObject *>(host::process_object<create_trace_type>());
}

PyObject *wrap_trace(wavesift::TracePtr trace) {
  PyTypeObject *type = trace_type();
  if (!type) return nullptr;
  PyObject *obj = type->tp_alloc(type, 0);
  if (!obj) return nullptr;
  new (&reinterpret_cast<TraceObject *>(obj)->trace) wavesift::TracePtr(std::move(trace));
  return obj;
}

} // namespace pymod
