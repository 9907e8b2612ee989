#pragma once
// Expression trees over the signals of a trace, and their evaluation at one index.
//
// Trees are immutable once built, so subtrees are shared instead of copied: building a node is
// O(1) and a tree may use one subtree many times. Nothing walks a tree by native recursion
// (trees come from Python and may be arbitrarily deep).
//
//   Expr e = make_binary(ExprKind::Eq, make_signal(3), make_const(SignalValue::of_int(1)));
//   bool hit = eval_bool(trace, e, 42);
#include <cstdint>
#include <memory>

#include "signal/value.hpp"
#include "trace/trace.hpp"

namespace wavesift {

enum class ExprKind : uint8_t {
  Signal,
  Const,
  RelEval,
  Not,
  And,
  Or,
  Eq,
  Neq,
  Gt,
  Lt,
  Gte,
  Lte,
  Add,
  Sub,
  BitAnd,
  BitOr,
  BitXor,
  Slice,
  Signed,
  IsX,
  IsZ,
  AlwaysTrue,
};

struct ExprNode;
using Expr = std::shared_ptr<const ExprNode>;

struct ExprNode {
  ExprKind kind = ExprKind::AlwaysTrue;
  SignalId signal = 0;        // Signal
  SignalValue constant;       // Const
  int64_t offset = 0;         // RelEval
  uint32_t high = 0, low = 0; // Slice
  // Mutable only so that the destructor can unlink a deep chain without recursing.
  mutable Expr left, right;

  ExprNode() = default;
  ExprNode(const ExprNode &) = delete;
  ExprNode &operator=(const ExprNode &) = delete;
  ~ExprNode();
};

Expr make_signal(SignalId id);
Expr make_const(SignalValue value);
Expr make_always_true();
Expr make_rel_eval(Expr child, int64_t offset);
Expr make_slice(Expr child, uint32_t high, uint32_t low);
// Not, Signed, IsX, IsZ.
Expr make_unary(ExprKind kind, Expr child);
// And, Or, Eq, Neq, Gt, Lt, Gte, Lte, Add, Sub, BitAnd, BitOr, BitXor.
Expr make_binary(ExprKind kind, Expr left, Expr right);

// The truth rule: Int non-zero, Wide with a non-zero word, Logic with a 1 bit, Real != 0.0
// (NaN is true), non-empty Text; NoValue is false.
namespace detail {
bool is_true_other(const ValueView &value);
}
inline bool is_true(const ValueView &value) {
  if (value.tag == Tag::Int) return value.num != 0;
  return detail::is_true_other(value);
}

// The bit-field rule shared by the Slice node and the bit-slice helper.
uint64_t bit_slice(uint64_t value, uint32_t high, uint32_t low);

SignalValue eval(const Trace &trace, const Expr &expr, Index index);
bool eval_bool(const Trace &trace, const Expr &expr, Index index);

} // namespace wavesift
