#include "host/binding.hpp"

#include <cstring>
#include <new>
#include <stdexcept>

#include "host/once.hpp"
#include "host/owned.hpp"

namespace host {
namespace {

std::string call_name(const Params &p) {
  return std::string(p.function) + "()";
}

std::string quoted_list(const std::vector<const char *> &names) {
  std::string s;
  for (size_t k = 0; k < names.size(); ++k) {
    if (k > 0) s += names.size() > 2 ? (k + 1 == names.size() ? ", and " : ", ") : " and ";
    s += "'";
    s += names[k];
    s += "'";
  }
  return s;
}

std::string type_qualname(PyObject *obj) {
  Owned q(PyType_GetQualName(Py_TYPE(obj)));
  const char *s = q ? PyUnicode_AsUTF8(q.get()) : nullptr;
  if (!s) {
    PyErr_Clear();
    return Py_TYPE(obj)->tp_name;
  }
  return s;
}

PyObject *take_raised() {
#if PY_VERSION_HEX >= 0x030C0000
  return PyErr_GetRaisedException();
#else
  PyObject *type, *value, *tb;
  PyErr_Fetch(&type, &value, &tb);
  PyErr_NormalizeException(&type, &value, &tb);
  if (tb && value) PyException_SetTraceback(value, tb);
  Py_XDECREF(type);
  Py_XDECREF(tb);
  return value;
#endif
}

void set_raised(PyObject *exc) {
#if PY_VERSION_HEX >= 0x030C0000
  PyErr_SetRaisedException(exc);
#else
  PyErr_Restore(Py_NewRef(reinterpret_cast<PyObject *>(Py_TYPE(exc))), exc, nullptr);
#endif
}

// Rewords a pending TypeError (exactly that class) to name the argument; others pass through.
bool fail_for(const char *name) {
  if (!PyErr_Occurred()) return false;
  PyObject *exc = take_raised();
  if (!exc || Py_TYPE(exc) != reinterpret_cast<PyTypeObject *>(PyExc_TypeError)) {
    set_raised(exc);
    return false;
  }
  Owned original(exc);
  Owned text(PyObject_Str(exc));
  if (!text) return false;
  Owned worded(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
  if (!worded) return false;
  Owned replacement(PyObject_CallOneArg(PyExc_TypeError, worded.get()));
  if (!replacement) return false;
  PyException_SetCause(replacement.get(), original.release());
  set_raised(replacement.release());
  return false;
}

bool type_error_for(const char *name, const std::string &message) {
  PyErr_SetString(PyExc_TypeError, message.c_str());
  return fail_for(name);
}

std::string not_instance_text(PyObject *obj, const char *wanted) {
  return "'" + type_qualname(obj) + "' object is not an instance of '" + wanted + "'";
}

bool not_instance(PyObject *obj, const char *name, const char *wanted) {
  return type_error_for(name, not_instance_text(obj, wanted));
}

PyObject *create_internal_failure() {
  return PyErr_NewException("wavesift._core.InternalError", PyExc_BaseException, nullptr);
}

} // namespace

bool bind(const Params &p, PyObject *const *args, Py_ssize_t nargs, PyObject *kwnames,
          PyObject **out) {
  const size_t n = p.names.size();
  const char *const *names = p.names.begin();
  if (static_cast<size_t>(nargs) > n) {
    PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given",
                 call_name(p).c_str(), n, nargs, nargs == 1 ? "was" : "were");
    return false;
  }
  for (size_t k = 0; k < n; ++k)
    out[k] = k < static_cast<size_t>(nargs) ? args[k] : nullptr;
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t i = 0; i < nkw; ++i) {
    PyObject *key = PyTuple_GET_ITEM(kwnames, i);
    const char *k = PyUnicode_AsUTF8(key);
    if (!k) return false;
    size_t j = 0;
    while (j < n && std::strcmp(names[j], k) != 0)
      ++j;
    if (j == n) {
      PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%s'",
                   call_name(p).c_str(), k);
      return false;
    }
    if (out[j]) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'",
                   call_name(p).c_str(), names[j]);
      return false;
    }
    out[j] = args[nargs + i];
  }
  std::vector<const char *> missing;
  for (size_t k = 0; k < n; ++k)
    if (!out[k]) missing.push_back(names[k]);
  if (!missing.empty()) {
    PyErr_Format(PyExc_TypeError, "%s missing %zu required positional argument%s: %s",
                 call_name(p).c_str(), missing.size(), missing.size() == 1 ? "" : "s",
                 quoted_list(missing).c_str());
    return false;
  }
  return true;
}

bool arg_str(PyObject *obj, const char *name, std::string_view &out) {
  if (!PyUnicode_Check(obj)) return not_instance(obj, name, "str");
  Py_ssize_t size = 0;
  const char *data = PyUnicode_AsUTF8AndSize(obj, &size);
  if (!data) return fail_for(name);
  out = std::string_view(data, static_cast<size_t>(size));
  return true;
}

bool arg_u64(PyObject *obj, const char *name, uint64_t &out) {
  if (PyLong_CheckExact(obj)) { // the common case needs no __index__ round trip
    const unsigned long long v = PyLong_AsUnsignedLongLong(obj);
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return fail_for(name);
    out = v;
    return true;
  }
  Owned index(PyNumber_Index(obj));
  if (!index) return fail_for(name);
  const unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return fail_for(name);
  out = v;
  return true;
}

bool arg_i64(PyObject *obj, const char *name, int64_t &out) {
  const long v = PyLong_AsLong(obj);
  if (v == -1 && PyErr_Occurred()) return fail_for(name);
  out = v;
  return true;
}

bool arg_u32(PyObject *obj, const char *name, uint32_t &out) {
  int64_t v;
  if (!arg_i64(obj, name, v)) return false;
  if (v < 0 || v > static_cast<int64_t>(UINT32_MAX)) {
    PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
    return fail_for(name);
  }
  out = static_cast<uint32_t>(v);
  return true;
}

bool arg_f64(PyObject *obj, const char *name, double &out) {
  const double v = PyFloat_AsDouble(obj);
  if (v == -1.0 && PyErr_Occurred()) return fail_for(name);
  out = v;
  return true;
}

bool arg_str_list(PyObject *obj, const char *name, std::vector<std::string> &out) {
  if (PyUnicode_Check(obj)) return type_error_for(name, "Can't extract `str` to `Vec`");
  if (!PySequence_Check(obj)) return not_instance(obj, name, "Sequence");
  Owned iter(PyObject_GetIter(obj));
  if (!iter) return fail_for(name);
  for (;;) {
#if PY_VERSION_HEX >= 0x030E0000
    PyObject *raw = nullptr;
    const int got = PyIter_NextItem(iter.get(), &raw);
    if (got < 0) return fail_for(name);
    if (got == 0) break;
    Owned item(raw);
#else
    Owned item(PyIter_Next(iter.get()));
    if (!item) {
      if (PyErr_Occurred()) return fail_for(name);
      break;
    }
#endif
    std::string_view s;
    if (!arg_str(item.get(), name, s)) return false;
    out.emplace_back(s);
  }
  return true;
}

bool arg_instance(PyObject *obj, PyTypeObject *type, const char *class_name, const char *name) {
  if (PyObject_TypeCheck(obj, type)) return true;
  if (obj == Py_None)
    return type_error_for(name, std::string("'None' is not an instance of '") + class_name + "'");
  return not_instance(obj, name, class_name);
}

bool raise_not_instance(PyObject *obj, const char *wanted) {
  PyErr_SetString(PyExc_TypeError, not_instance_text(obj, wanted).c_str());
  return false;
}

PyObject *raise_from_cpp() {
  try {
    throw;
  } catch (const std::bad_alloc &) {
    return PyErr_NoMemory();
  } catch (const std::length_error &) {
    return PyErr_NoMemory();
  } catch (const std::exception &e) {
    if (PyObject *cls = process_object<create_internal_failure>()) PyErr_SetString(cls, e.what());
  } catch (...) {
    if (PyObject *cls = process_object<create_internal_failure>())
      PyErr_SetString(cls, "unknown internal failure");
  }
  return nullptr;
}

} // namespace host
