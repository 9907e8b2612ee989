// The PyExpr class: one immutable expression tree, built bottom-up by its 24 methods.
#include <new>

#include "classes.hpp"
#include "host/binding.hpp"
#include "host/once.hpp"

namespace pymod {
namespace {

using wavesift::Expr;
using wavesift::ExprKind;
using wavesift::SignalValue;

void expr_dealloc(PyObject *self) {
  PyTypeObject *type = Py_TYPE(self);
  reinterpret_cast<ExprObject *>(self)->expr.~Expr();
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject *signal(PyObject *, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyExpr.signal", {"id"}};
  PyObject *a[1];
  uint64_t id;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "id", id)) return nullptr;
  return wrap_expr(wavesift::make_signal(id));
}

PyObject *const_int(PyObject *, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyExpr.const_int", {"val"}};
  PyObject *a[1];
  uint64_t val;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "val", val)) return nullptr;
  return wrap_expr(wavesift::make_const(SignalValue::of_int(val)));
}

PyObject *const_float(PyObject *, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyExpr.const_float", {"val"}};
  PyObject *a[1];
  double val;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_f64(a[0], "val", val)) return nullptr;
  return wrap_expr(wavesift::make_const(SignalValue::of_real(val)));
}

PyObject *const_str(PyObject *, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyExpr.const_str", {"val"}};
  PyObject *a[1];
  std::string_view val;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], "val", val)) return nullptr;
  return wrap_expr(wavesift::make_const(SignalValue::of_text(std::string(val))));
}

PyObject *always_true(PyObject *) {
  return wrap_expr(wavesift::make_always_true());
}

PyObject *rel_eval(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyExpr.rel_eval", {"offset"}};
  PyObject *a[1];
  int64_t offset;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_i64(a[0], "offset", offset)) return nullptr;
  return wrap_expr(wavesift::make_rel_eval(expr_of(self), offset));
}

PyObject *slice(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyExpr.slice", {"high", "low"}};
  PyObject *a[2];
  uint32_t high, low;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u32(a[0], "high", high) ||
      !host::arg_u32(a[1], "low", low))
    return nullptr;
  return wrap_expr(wavesift::make_slice(expr_of(self), high, low));
}

template <ExprKind Kind> PyObject *unary(PyObject *self) {
  return wrap_expr(wavesift::make_unary(Kind, expr_of(self)));
}

template <ExprKind Kind, const char *Function>
PyObject *binary(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{Function, {"other"}};
  PyObject *a[1];
  if (!host::bind(p, args, nargs, kw, a) || !arg_expr(a[0], "other")) return nullptr;
  return wrap_expr(wavesift::make_binary(Kind, expr_of(self), expr_of(a[0])));
}

constexpr char kAnd[] = "PyExpr.and_", kOr[] = "PyExpr.or_", kEq[] = "PyExpr.eq_",
               kNeq[] = "PyExpr.neq", kGt[] = "PyExpr.gt_", kLt[] = "PyExpr.lt_",
               kGte[] = "PyExpr.gte", kLte[] = "PyExpr.lte", kAdd[] = "PyExpr.add",
               kSub[] = "PyExpr.sub", kBitAnd[] = "PyExpr.bit_and", kBitOr[] = "PyExpr.bit_or",
               kBitXor[] = "PyExpr.bit_xor";

PyObject *create_expr_type() {
  static PyMethodDef methods[] = {
      host::method<signal>("signal", "signal(id)\n--\n\n", METH_STATIC),
      host::method<const_int>("const_int", "const_int(val)\n--\n\n", METH_STATIC),
      host::method<const_float>("const_float", "const_float(val)\n--\n\n", METH_STATIC),
      host::method<const_str>("const_str", "const_str(val)\n--\n\n", METH_STATIC),
      host::method_noargs<always_true>("always_true", "always_true()\n--\n\n", METH_STATIC),
      host::method<rel_eval>("rel_eval", "rel_eval($self, offset)\n--\n\n"),
      host::method_noargs<unary<ExprKind::Not>>("not_", "not_($self)\n--\n\n"),
      host::method<binary<ExprKind::And, kAnd>>("and_", "and_($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Or, kOr>>("or_", "or_($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Eq, kEq>>("eq_", "eq_($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Neq, kNeq>>("neq", "neq($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Gt, kGt>>("gt_", "gt_($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Lt, kLt>>("lt_", "lt_($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Gte, kGte>>("gte", "gte($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Lte, kLte>>("lte", "lte($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Add, kAdd>>("add", "add($self, other)\n--\n\n"),
      host::method<binary<ExprKind::Sub, kSub>>("sub", "sub($self, other)\n--\n\n"),
      host::method<binary<ExprKind::BitAnd, kBitAnd>>("bit_and", "bit_and($self, other)\n--\n\n"),
      host::method<binary<ExprKind::BitOr, kBitOr>>("bit_or", "bit_or($self, other)\n--\n\n"),
      host::method<binary<ExprKind::BitXor, kBitXor>>("bit_xor", "bit_xor($self, other)\n--\n\n"),
      host::method<slice>("slice", "slice($self, high, low)\n--\n\n"),
      host::method_noargs<unary<ExprKind::Signed>>("signed", "signed($self)\n--\n\n"),
      host::method_noargs<unary<ExprKind::IsX>>("is_x", "is_x($self)\n--\n\n"),
      host::method_noargs<unary<ExprKind::IsZ>>("is_z", "is_z($self)\n--\n\n"),
      {nullptr, nullptr, 0, nullptr},
  };
  static PyType_Slot slots[] = {
      {Py_tp_dealloc, reinterpret_cast<void *>(expr_dealloc)},
      {Py_tp_methods, methods},
      {0, nullptr},
  };
  static PyType_Spec type_spec = {"builtins.PyExpr", sizeof(ExprObject), 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION, slots};
  return PyType_FromSpec(&type_spec);
}

} // namespace

PyTypeObject *expr_type() {
  return reinterpret_cast<PyTypeObject *>(host::process_object<create_expr_type>());
}

PyObject *wrap_expr(Expr expr) {
  PyTypeObject *type = expr_type();
  if (!type) return nullptr;
  PyObject *obj = type->tp_alloc(type, 0);
  if (!obj) return nullptr;
  new (&reinterpret_cast<ExprObject *>(obj)->expr) Expr(std::move(expr));
  return obj;
}

bool arg_expr(PyObject *obj, const char *name) {
  PyTypeObject *type = expr_type();
  return type && host::arg_instance(obj, type, "PyExpr", name);
}

} // namespace pymod
