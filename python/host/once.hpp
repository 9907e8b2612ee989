#pragma once
// A Python object created on first use and kept for the life of the process.
//
// Creation runs with the interpreter held but may let other threads in (it can run Python
// code), so instead of a lock two racing threads may both create one; the first to publish
// wins and the other's object is dropped. Safe on free-threaded builds as well.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>

namespace host {

template <PyObject *(*Create)()> PyObject *process_object() {
  static std::atomic<PyObject *> slot{nullptr};
  PyObject *current = slot.load(std::memory_order_acquire);
  if (current) return current;
  PyObject *made = Create();
  if (!made) return nullptr;
  PyObject *expected = nullptr;
  if (slot.compare_exchange_strong(expected, made, std::memory_order_acq_rel)) return made;
  Py_DECREF(made);
  return expected;
}

} // namespace host
