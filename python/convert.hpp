#pragma once
// The one conversion of a value into a Python object.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "signal/value.hpp"

namespace pymod {

// Int and Wide give an int (Wide: its lowest word), Real a float, Text a str, and Logic and
// NoValue give None. Returns a new reference, or null with an error set.
PyObject *value_to_py(const wavesift::ValueView &value);
inline PyObject *value_to_py(const wavesift::SignalValue &value) {
  return value_to_py(wavesift::view_of(value));
}

} // namespace pymod
