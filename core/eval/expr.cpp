#include "eval/expr.hpp"

#include <vector>

#include "eval/program.hpp"

namespace wavesift {

ExprNode::~ExprNode() {
  // Take the children apart with an explicit stack: a chain 100,000 deep must not recurse.
  std::vector<Expr> pending;
  if (left) pending.push_back(std::move(left));
  if (right) pending.push_back(std::move(right));
  while (!pending.empty()) {
    Expr node = std::move(pending.back());
    pending.pop_back();
    // Sole owner: nobody else can reach its children, so unlink them before it dies.
    if (node.use_count() == 1) {
      if (node->left) pending.push_back(std::move(node->left));
      if (node->right) pending.push_back(std::move(node->right));
    }
  }
}

namespace {
std::shared_ptr<ExprNode> node(ExprKind kind) {
  auto n = std::make_shared<ExprNode>();
  n->kind = kind;
  return n;
}
} // namespace

Expr make_signal(SignalId id) {
  auto n = node(ExprKind::Signal);
  n->signal = id;
  return n;
}

Expr make_const(SignalValue value) {
  auto n = node(ExprKind::Const);
  n->constant = std::move(value);
  return n;
}

Expr make_always_true() {
  return node(ExprKind::AlwaysTrue);
}

Expr make_rel_eval(Expr child, int64_t offset) {
  auto n = node(ExprKind::RelEval);
  n->left = std::move(child);
  n->offset = offset;
  return n;
}

Expr make_slice(Expr child, uint32_t high, uint32_t low) {
  auto n = node(ExprKind::Slice);
  n->left = std::move(child);
  n->high = high;
  n->low = low;
  return n;
}

Expr make_unary(ExprKind kind, Expr child) {
  auto n = node(kind);
  n->left = std::move(child);
  return n;
}

Expr make_binary(ExprKind kind, Expr left, Expr right) {
  auto n = node(kind);
  n->left = std::move(left);
  n->right = std::move(right);
  return n;
}

bool detail::is_true_other(const ValueView &v) {
  switch (v.tag) {
  case Tag::Int:
    return v.num != 0;
  case Tag::Wide:
    for (size_t k = 0; k < v.size; ++k)
      if (v.word(k) != 0) return true;
    return false;
  case Tag::Logic:
    for (size_t k = 0; k < v.size; ++k)
      if (v.bit(k) == LogicBit::One) return true;
    return false;
  case Tag::Real:
    return v.real != 0.0;
  case Tag::Text:
    return v.size != 0;
  case Tag::NoValue:
    break;
  }
  return false;
}

uint64_t bit_slice(uint64_t value, uint32_t high, uint32_t low) {
  if (high < low || low >= 64) return 0;
  const uint64_t width = static_cast<uint64_t>(high) - low + 1;
  const uint64_t shifted = value >> low;
  return width < 64 ? shifted & ((uint64_t{1} << width) - 1) : shifted;
}

SignalValue eval(const Trace &trace, const Expr &expr, Index index) {
  const Program program = Program::compile(*expr);
  Evaluator evaluator(trace, program);
  return to_value(evaluator.eval(index));
}

bool eval_bool(const Trace &trace, const Expr &expr, Index index) {
  const Program program = Program::compile(*expr);
  Evaluator evaluator(trace, program);
  return is_true(evaluator.eval(index));
}

} // namespace wavesift
