// Entry point of wavesift._core: multi-phase initialisation, no per-module state.
#include "classes.hpp"
#include "host/binding.hpp"
#include "host/owned.hpp"

namespace {

// Appends the class to the module's __all__ (made when missing) and sets it as an attribute.
int add_class(PyObject *module, PyTypeObject *type, const char *name) {
  if (!type) return -1;
  host::Owned all(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = host::Owned(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return -1;
  }
  if (!PyList_Check(all.get())) {
    host::raise_not_instance(all.get(), "PyList");
    return -1;
  }
  host::Owned text(PyUnicode_FromString(name));
  if (!text || PyList_Append(all.get(), text.get()) < 0) return -1;
  return PyObject_SetAttr(module, text.get(), reinterpret_cast<PyObject *>(type));
}

int exec_module(PyObject *module) {
  if (add_class(module, pymod::trace_type(), "PyTrace") < 0) return -1;
  return add_class(module, pymod::expr_type(), "PyExpr");
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void *>(exec_module)},
#if PY_VERSION_HEX >= 0x030D0000
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "_core", "", 0, nullptr, slots, nullptr, nullptr, nullptr,
};

} // namespace

PyMODINIT_FUNC PyInit__core() {
  return PyModuleDef_Init(&module_def);
}
