#include "eval/program.hpp"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace wavesift {
namespace {

struct NodeInContext {
  const ExprNode *node;
  uint32_t ctx;
  bool operator==(const NodeInContext &) const = default;
};

struct NodeInContextHash {
  size_t operator()(const NodeInContext &k) const {
    return std::hash<const void *>{}(k.node) * 31 + k.ctx;
  }
};

ValueView int_view(uint64_t x) {
  return ValueView::of_int(x);
}

bool any_bit(const ValueView &v, LogicBit which) {
  for (size_t k = 0; k < v.size; ++k)
    if (v.bit(k) == which) return true;
  return false;
}

bool equal_or_same_number(const ValueView &l, const ValueView &r) {
  if (values_equal(l, r)) return true;
  uint64_t a, b;
  return numeric_view(l, a) && numeric_view(r, b) && a == b;
}

} // namespace

Program Program::compile(const ExprNode &root) {
  Program p;
  p.contexts.push_back(IndexContext{});
  std::map<std::pair<uint32_t, int64_t>, uint32_t> context_ids;
  std::unordered_map<NodeInContext, uint32_t, NodeInContextHash> reg_of;

  struct Frame {
    const ExprNode *node;
    uint32_t ctx;
    bool children_done;
  };
  std::vector<Frame> stack{{&root, 0, false}};
  auto child_context = [&](uint32_t parent, int64_t offset) {
    const auto [it, added] = context_ids.try_emplace({parent, offset}, 0);
    if (added) {
      IndexContext c;
      c.parent = parent;
      c.offset = offset;
      c.total_ok = p.contexts[parent].total_ok &&
                   !__builtin_add_overflow(p.contexts[parent].total, offset, &c.total);
      it->second = static_cast<uint32_t>(p.contexts.size());
      p.contexts.push_back(c);
    }
    return it->second;
  };

  while (!stack.empty()) {
    const Frame f = stack.back();
    stack.pop_back();
    const NodeInContext key{f.node, f.ctx};
    if (reg_of.count(key)) continue;
    const uint32_t kid_ctx =
        f.node->kind == ExprKind::RelEval ? child_context(f.ctx, f.node->offset) : f.ctx;
    if (!f.children_done) {
      stack.push_back({f.node, f.ctx, true});
      if (f.node->right) stack.push_back({f.node->right.get(), kid_ctx, false});
      if (f.node->left) stack.push_back({f.node->left.get(), kid_ctx, false});
      continue;
    }
    Instruction in;
    in.kind = f.node->kind;
    in.ctx = f.ctx;
    if (f.node->left) in.a = reg_of.at({f.node->left.get(), kid_ctx});
    if (f.node->right) in.b = reg_of.at({f.node->right.get(), kid_ctx});
    in.child_ctx = kid_ctx;
    in.high = f.node->high;
    in.low = f.node->low;
    in.signal = f.node->signal;
    if (in.kind == ExprKind::Const) in.constant = view_of(f.node->constant);
    if (in.kind == ExprKind::Signal) in.cursor = p.signal_reads++;
    reg_of.emplace(key, static_cast<uint32_t>(p.code.size()));
    p.code.push_back(in);
  }
  return p;
}

Evaluator::Evaluator(const Trace &trace, const Program &program)
    : program_(program), max_index_(static_cast<int64_t>(trace.max_index())),
      regs_(program.code.size()), run_end_(program.signal_reads),
      ctx_index_(program.contexts.size()), ctx_valid_(program.contexts.size()) {
  cursors_.reserve(program.signal_reads);
  for (const Instruction &in : program.code)
    if (in.kind == ExprKind::Signal) cursors_.emplace_back(trace.store().column(in.signal));
}

ValueView Evaluator::eval(uint64_t i) {
  ctx_index_[0] = i;
  ctx_valid_[0] = 1;
  for (size_t k = 1; k < program_.contexts.size(); ++k) {
    const IndexContext &c = program_.contexts[k];
    const __int128 j = ctx_index_[c.parent] + c.offset;
    ctx_index_[k] = j;
    ctx_valid_[k] = ctx_valid_[c.parent] && j >= 0 && j <= max_index_;
  }
  const ValueView none{};
  for (size_t r = 0; r < program_.code.size(); ++r) {
    const Instruction &in = program_.code[r];
    const ValueView &a = regs_[in.a];
    const ValueView &b = regs_[in.b];
    ValueView out;
    switch (in.kind) {
    case ExprKind::Signal:
      if (ctx_valid_[in.ctx]) {
        out = cursors_[in.cursor].at(static_cast<uint64_t>(ctx_index_[in.ctx]));
        run_end_[in.cursor] = cursors_[in.cursor].run_end();
      }
      break;
    case ExprKind::Const:
      out = in.constant;
      break;
    case ExprKind::RelEval:
      out = ctx_valid_[in.child_ctx] ? a : none;
      break;
    case ExprKind::Not:
      out = int_view(!is_true(a));
      break;
    case ExprKind::And:
      out = int_view(is_true(a) && is_true(b));
      break;
    case ExprKind::Or:
      out = int_view(is_true(a) || is_true(b));
      break;
    case ExprKind::Eq:
      out = int_view(equal_or_same_number(a, b));
      break;
    case ExprKind::Neq:
      out = int_view(!equal_or_same_number(a, b));
      break;
    case ExprKind::IsX:
      out = int_view(a.tag == Tag::NoValue || (a.tag == Tag::Logic && any_bit(a, LogicBit::X)));
      break;
    case ExprKind::IsZ:
      out = int_view(a.tag == Tag::Logic && any_bit(a, LogicBit::Z));
      break;
    case ExprKind::AlwaysTrue:
      out = int_view(1);
      break;
    case ExprKind::Slice:
    case ExprKind::Signed: {
      uint64_t x;
      if (numeric_view(a, x))
        out = int_view(in.kind == ExprKind::Slice ? bit_slice(x, in.high, in.low) : x);
      break;
    }
    default: {
      uint64_t x, y;
      if (!numeric_view(a, x) || !numeric_view(b, y)) break;
      switch (in.kind) {
      case ExprKind::Gt:
        out = int_view(x > y);
        break;
      case ExprKind::Lt:
        out = int_view(x < y);
        break;
      case ExprKind::Gte:
        out = int_view(x >= y);
        break;
      case ExprKind::Lte:
        out = int_view(x <= y);
        break;
      case ExprKind::Add:
        out = int_view(x + y);
        break;
      case ExprKind::Sub:
        out = int_view(x - y);
        break;
      case ExprKind::BitAnd:
        out = int_view(x & y);
        break;
      case ExprKind::BitOr:
        out = int_view(x | y);
        break;
      case ExprKind::BitXor:
        out = int_view(x ^ y);
        break;
      default:
        break;
      }
    }
    }
    regs_[r] = out;
  }
  return regs_.back();
}

uint64_t Evaluator::stable_until(uint64_t i) const {
  __int128 next = static_cast<__int128>(UINT64_MAX);
  const __int128 here = i;
  for (const Instruction &in : program_.code) {
    if (in.kind != ExprKind::Signal || !ctx_valid_[in.ctx]) continue;
    const uint64_t end = run_end_[in.cursor];
    if (end == UINT64_MAX) continue;
    next = std::min(next, here + (static_cast<__int128>(end) - ctx_index_[in.ctx]));
  }
  // A context comes into range at i = -total and leaves it at i = max_index - total + 1.
  for (size_t k = 1; k < program_.contexts.size(); ++k) {
    const IndexContext &c = program_.contexts[k];
    if (!c.total_ok) continue;
    const __int128 enter = -static_cast<__int128>(c.total);
    const __int128 leave = static_cast<__int128>(max_index_) - c.total + 1;
    if (here < enter)
      next = std::min(next, enter);
    else if (here < leave)
      next = std::min(next, leave);
  }
  return static_cast<uint64_t>(next);
}

} // namespace wavesift
