#include "convert.hpp"

namespace pymod {

PyObject *value_to_py(const wavesift::ValueView &v) {
  using wavesift::Tag;
  switch (v.tag) {
  case Tag::Int:
    return PyLong_FromUnsignedLongLong(v.num);
  case Tag::Wide:
    return PyLong_FromUnsignedLongLong(v.size ? v.word(0) : 0);
  case Tag::Real:
    return PyFloat_FromDouble(v.real);
  case Tag::Text:
    return PyUnicode_FromStringAndSize(reinterpret_cast<const char *>(v.data),
                                       static_cast<Py_ssize_t>(v.size));
  case Tag::Logic:
  case Tag::NoValue:
    break;
  }
  Py_RETURN_NONE;
}

} // namespace pymod
