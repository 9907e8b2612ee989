// The PyExpr class: one immutable expression tree.
#include "classes.hpp"
#include "host/once.hpp"

namespace pymod {
namespace {

struct ExprObject {
  PyObject_HEAD
};

void expr_dealloc(PyObject *self) {
  PyTypeObject *type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject *create_expr_type() {
  static PyType_Slot slots[] = {
      {Py_tp_dealloc, reinterpret_cast<void *>(expr_dealloc)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"builtins.PyExpr", sizeof(ExprObject), 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION, slots};
  return PyType_FromSpec(&spec);
}

} // namespace

PyTypeObject *expr_type() {
  return reinterpret_cast<PyTypeObject *>(host::process_object<create_expr_type>());
}

} // namespace pymod
