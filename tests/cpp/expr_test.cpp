#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "eval/expr.hpp"
#include "eval/find.hpp"
#include "test_values.hpp"
#include "trace/records.hpp"

using namespace wavesift;
using wavesift::test_support::logic;

namespace {

Expr c_int(uint64_t x) {
  return make_const(SignalValue::of_int(x));
}
Expr c_real(double x) {
  return make_const(SignalValue::of_real(x));
}
Expr c_text(const char *s) {
  return make_const(SignalValue::of_text(s));
}
Expr c_val(SignalValue v) {
  return make_const(std::move(v));
}
Expr bin(ExprKind k, Expr a, Expr b) {
  return make_binary(k, std::move(a), std::move(b));
}
Expr un(ExprKind k, Expr a) {
  return make_unary(k, std::move(a));
}

// Signal 0: 1 at every index; signal 1: "1x" logic; signal 2: nothing; 3 indices.
TracePtr small_trace() {
  TraceData d;
  d.timestamps = {0, 10, 20};
  for (Index i = 0; i < 3; ++i) {
    d.store.set(0, i, SignalValue::of_int(1));
    d.store.set(1, i, logic("1x"));
  }
  return share(std::move(d));
}

} // namespace

TEST(Eval, RuleTable) {
  const auto t = small_trace();
  const uint64_t max = UINT64_MAX;
  struct Case {
    const char *what;
    Expr expr;
    SignalValue expected;
  };
  const Case cases[] = {
      {"missing signal", make_signal(2), SignalValue()},
      {"not missing", un(ExprKind::Not, make_signal(2)), SignalValue::of_int(1)},
      {"isx missing", un(ExprKind::IsX, make_signal(2)), SignalValue::of_int(1)},
      {"isz missing", un(ExprKind::IsZ, make_signal(2)), SignalValue::of_int(0)},
      {"isx logic", un(ExprKind::IsX, make_signal(1)), SignalValue::of_int(1)},
      {"isz logic", un(ExprKind::IsZ, c_val(logic("1z"))), SignalValue::of_int(1)},
      {"isx int", un(ExprKind::IsX, c_int(3)), SignalValue::of_int(0)},
      {"text eq int", bin(ExprKind::Eq, c_text("12"), c_int(12)), SignalValue::of_int(1)},
      {"letters eq int", bin(ExprKind::Eq, c_text("ab"), c_int(12)), SignalValue::of_int(0)},
      {"reals by number", bin(ExprKind::Eq, c_real(1.25), c_real(1.75)), SignalValue::of_int(1)},
      {"neq reals", bin(ExprKind::Neq, c_real(1.25), c_real(1.75)), SignalValue::of_int(0)},
      {"wide eq int", bin(ExprKind::Eq, c_val(SignalValue::of_wide({5, 7})), c_int(5)),
       SignalValue::of_int(1)},
      {"none eq none", bin(ExprKind::Eq, make_signal(2), make_signal(9)), SignalValue::of_int(1)},
      {"none eq 0", bin(ExprKind::Eq, make_signal(2), c_int(0)), SignalValue::of_int(0)},
      {"nan eq nan", bin(ExprKind::Eq, c_real(NAN), c_real(NAN)), SignalValue::of_int(1)},
      {"gt with x", bin(ExprKind::Gt, make_signal(1), c_int(0)), SignalValue()},
      {"not of novalue gt", un(ExprKind::Not, bin(ExprKind::Gt, make_signal(1), c_int(0))),
       SignalValue::of_int(1)},
      {"add wraps", bin(ExprKind::Add, c_int(max), c_int(1)), SignalValue::of_int(0)},
      {"sub wraps", bin(ExprKind::Sub, c_int(0), c_int(1)), SignalValue::of_int(max)},
      {"unsigned gt", bin(ExprKind::Gt, bin(ExprKind::Sub, c_int(0), c_int(1)), c_int(0)),
       SignalValue::of_int(1)},
      {"lte", bin(ExprKind::Lte, c_int(3), c_int(3)), SignalValue::of_int(1)},
      {"gte", bin(ExprKind::Gte, c_int(2), c_int(3)), SignalValue::of_int(0)},
      {"lt", bin(ExprKind::Lt, c_int(2), c_int(3)), SignalValue::of_int(1)},
      {"bitand", bin(ExprKind::BitAnd, c_int(6), c_int(3)), SignalValue::of_int(2)},
      {"bitor", bin(ExprKind::BitOr, c_int(6), c_int(3)), SignalValue::of_int(7)},
      {"bitxor", bin(ExprKind::BitXor, c_int(6), c_int(3)), SignalValue::of_int(5)},
      {"add text", bin(ExprKind::Add, c_text("x"), c_int(3)), SignalValue()},
      {"slice 7:4", make_slice(c_int(0xAB), 7, 4), SignalValue::of_int(0xA)},
      {"slice 3:5", make_slice(c_int(0xAB), 3, 5), SignalValue::of_int(0)},
      {"slice 63:0", make_slice(c_int(max), 63, 0), SignalValue::of_int(max)},
      {"slice 100:0", make_slice(c_int(0xAB), 100, 0), SignalValue::of_int(0xAB)},
      {"slice 70:64", make_slice(c_int(0xAB), 70, 64), SignalValue::of_int(0)},
      {"slice x", make_slice(make_signal(1), 1, 0), SignalValue()},
      {"signed", un(ExprKind::Signed, c_int(0xFF)), SignalValue::of_int(0xFF)},
      {"signed text", un(ExprKind::Signed, c_text("")), SignalValue()},
      {"and", bin(ExprKind::And, make_signal(0), c_real(NAN)), SignalValue::of_int(1)},
      {"and -0.0", bin(ExprKind::And, make_signal(0), c_real(-0.0)), SignalValue::of_int(0)},
      {"or", bin(ExprKind::Or, make_signal(2), c_text("a")), SignalValue::of_int(1)},
      {"or empty", bin(ExprKind::Or, c_text(""), c_val(SignalValue::of_wide({0, 0}))),
       SignalValue::of_int(0)},
      {"logic truth", un(ExprKind::Not, c_val(logic("xz"))), SignalValue::of_int(1)},
      {"const logic", c_val(logic("1x")), logic("1x")},
      {"always", make_always_true(), SignalValue::of_int(1)},
  };
  for (const Case &c : cases)
    EXPECT_EQ(eval(*t, c.expr, 1), c.expected) << c.what;
  EXPECT_TRUE(std::isnan(eval(*t, c_real(NAN), 0).as_real()));
}

TEST(Eval, RelEval) {
  TraceData d;
  d.timestamps = {0, 1, 2, 3};
  for (Index i = 0; i < 4; ++i)
    d.store.set(0, i, SignalValue::of_int(10 + i));
  const auto t = share(std::move(d));
  const Expr s = make_signal(0);
  EXPECT_TRUE(eval(*t, make_rel_eval(s, -1), 0).is_none());
  EXPECT_TRUE(eval(*t, make_rel_eval(s, 1), 3).is_none());
  EXPECT_EQ(eval(*t, make_rel_eval(s, 0), 2), SignalValue::of_int(12));
  EXPECT_EQ(eval(*t, make_rel_eval(s, -2), 3), SignalValue::of_int(11));
  // Each step checks its own range: +5 leaves the trace even though +5-4 would not.
  EXPECT_TRUE(eval(*t, make_rel_eval(make_rel_eval(s, -4), 5), 0).is_none());
  EXPECT_TRUE(eval(*t, make_rel_eval(make_rel_eval(s, 2), -1), 0).is_none());
  EXPECT_EQ(eval(*t, make_rel_eval(make_rel_eval(s, 2), -1), 1), SignalValue::of_int(12));
  EXPECT_TRUE(eval(*t, make_rel_eval(s, INT64_MAX), 3).is_none());
  EXPECT_TRUE(eval(*t, make_rel_eval(s, INT64_MIN), 0).is_none());
  EXPECT_TRUE(eval(*t, s, UINT64_MAX).is_none());

  const auto empty = share(TraceData{});
  EXPECT_EQ(eval(*empty, make_rel_eval(make_always_true(), 0), 0), SignalValue::of_int(1));
  EXPECT_EQ(find(*empty, make_always_true()), std::vector<Index>{0});
  EXPECT_EQ(parallel_count(*empty, make_always_true()), 1u);
  EXPECT_TRUE(find(*empty, make_signal(0)).empty());
}

TEST(Eval, DeepAndSharedTrees) {
  const auto t = small_trace();
  Expr chain = make_signal(0);
  for (int k = 0; k < 100000; ++k)
    chain = un(ExprKind::Not, chain);
  EXPECT_EQ(eval(*t, chain, 0), SignalValue::of_int(1));
  EXPECT_EQ(parallel_count(*t, chain), 3u);
  Expr rel = make_signal(0);
  for (int k = 0; k < 100000; ++k)
    rel = make_rel_eval(rel, k % 2 ? 1 : -1);
  // The outermost step is +1, so the last index falls out of range.
  EXPECT_EQ(find(*t, rel), (std::vector<Index>{0, 1}));
  // 2^60 leaves once expanded; shared subtrees are evaluated once.
  Expr e = bin(ExprKind::Eq, make_signal(0), c_int(1));
  for (int k = 0; k < 60; ++k)
    e = bin(ExprKind::And, e, e);
  EXPECT_EQ(parallel_find(*t, e), (std::vector<Index>{0, 1, 2}));
  chain.reset(); // destroying a deep chain must not recurse either
}

// A direct, per-index transcription of the rules, to check the compiled scans against.
namespace reference {

SignalValue eval_at(const Trace &t, const ExprNode &n, int64_t i);

bool truth(const SignalValue &v) {
  return is_true(view_of(v));
}

SignalValue eval_at(const Trace &t, const ExprNode &n, int64_t i) {
  auto num = [](const SignalValue &v) { return to_u64(v); };
  const SignalValue l = n.left
                            ? (n.kind == ExprKind::RelEval ? SignalValue() : eval_at(t, *n.left, i))
                            : SignalValue();
  const SignalValue r = n.right ? eval_at(t, *n.right, i) : SignalValue();
  auto b = [](bool x) { return SignalValue::of_int(x); };
  switch (n.kind) {
  case ExprKind::Signal:
    return i < 0 ? SignalValue() : t.signal_value_by_id(n.signal, i);
  case ExprKind::Const:
    return n.constant;
  case ExprKind::RelEval: {
    const int64_t j = i + n.offset;
    if (j < 0 || j > static_cast<int64_t>(t.max_index())) return SignalValue();
    return eval_at(t, *n.left, j);
  }
  case ExprKind::Not:
    return b(!truth(l));
  case ExprKind::And:
    return b(truth(l) && truth(r));
  case ExprKind::Or:
    return b(truth(l) || truth(r));
  case ExprKind::Eq:
  case ExprKind::Neq: {
    const bool eq = l == r || (num(l) && num(r) && *num(l) == *num(r));
    return b(n.kind == ExprKind::Eq ? eq : !eq);
  }
  case ExprKind::IsX:
    return b(l.is_none() || (l.tag() == Tag::Logic &&
                             std::count(l.as_logic().begin(), l.as_logic().end(), LogicBit::X)));
  case ExprKind::IsZ:
    return b(l.tag() == Tag::Logic &&
             std::count(l.as_logic().begin(), l.as_logic().end(), LogicBit::Z));
  case ExprKind::AlwaysTrue:
    return b(true);
  case ExprKind::Slice:
    return num(l) ? SignalValue::of_int(bit_slice(*num(l), n.high, n.low)) : SignalValue();
  case ExprKind::Signed:
    return num(l) ? SignalValue::of_int(*num(l)) : SignalValue();
  default:
    break;
  }
  if (!num(l) || !num(r)) return SignalValue();
  const uint64_t x = *num(l), y = *num(r);
  switch (n.kind) {
  case ExprKind::Gt:
    return b(x > y);
  case ExprKind::Lt:
    return b(x < y);
  case ExprKind::Gte:
    return b(x >= y);
  case ExprKind::Lte:
    return b(x <= y);
  case ExprKind::Add:
    return SignalValue::of_int(x + y);
  case ExprKind::Sub:
    return SignalValue::of_int(x - y);
  case ExprKind::BitAnd:
    return SignalValue::of_int(x & y);
  case ExprKind::BitOr:
    return SignalValue::of_int(x | y);
  default:
    return SignalValue::of_int(x ^ y);
  }
}

} // namespace reference

namespace {

SignalValue random_value(std::mt19937_64 &rng) {
  switch (rng() % 6) {
  case 0:
    return SignalValue();
  case 1:
    return logic(rng() % 2 ? "1x" : "10");
  case 2:
    return SignalValue::of_real(static_cast<double>(rng() % 3));
  default:
    return SignalValue::of_int(rng() % 4);
  }
}

Expr random_tree(std::mt19937_64 &rng, int depth) {
  if (depth == 0 || rng() % 4 == 0) {
    switch (rng() % 4) {
    case 0:
      return c_val(random_value(rng));
    case 1:
      return make_always_true();
    default:
      return make_signal(rng() % 4);
    }
  }
  const int kind = static_cast<int>(rng() % 21);
  if (kind == 0)
    return make_rel_eval(random_tree(rng, depth - 1), static_cast<int64_t>(rng() % 7) - 3);
  if (kind == 1) return make_slice(random_tree(rng, depth - 1), rng() % 3, rng() % 3);
  if (kind < 6) {
    const ExprKind k[] = {ExprKind::Not, ExprKind::Signed, ExprKind::IsX, ExprKind::IsZ};
    return un(k[kind - 2], random_tree(rng, depth - 1));
  }
  const ExprKind k[] = {ExprKind::And,   ExprKind::Or,  ExprKind::Eq,     ExprKind::Neq,
                        ExprKind::Gt,    ExprKind::Lt,  ExprKind::Gte,    ExprKind::Lte,
                        ExprKind::Add,   ExprKind::Sub, ExprKind::BitAnd, ExprKind::BitOr,
                        ExprKind::BitXor};
  Expr left = random_tree(rng, depth - 1);
  Expr right = rng() % 5 == 0 ? left : random_tree(rng, depth - 1);
  return bin(k[(kind - 6) % 13], left, right);
}

} // namespace

// Serial and parallel searches give exactly what per-index evaluation gives.
TEST(Find, MatchesPerIndexEvaluation) {
  for (uint64_t seed = 0; seed < 200; ++seed) {
    std::mt19937_64 rng(seed);
    TraceData d;
    const Index n = seed % 10 == 0 ? 0 : 1 + rng() % (seed % 3 ? 40 : 40000);
    for (Index i = 0; i < n; ++i) {
      d.timestamps.push_back(i);
      if (i) d.store.forward_fill(i);
      for (SignalId s = 0; s < 3; ++s)
        if (rng() % (s + 2) == 0 || (n > 1000 && rng() % 500 == 0))
          d.store.set(s, i, random_value(rng));
    }
    const auto t = share(std::move(d));
    for (int round = 0; round < 5; ++round) {
      const Expr e = random_tree(rng, 4);
      std::vector<Index> expected;
      for (Index i = 0; i <= t->max_index(); ++i)
        if (reference::truth(reference::eval_at(*t, *e, static_cast<int64_t>(i))))
          expected.push_back(i);
      ASSERT_EQ(find(*t, e), expected) << "seed " << seed;
      ASSERT_EQ(parallel_find(*t, e), expected) << "seed " << seed;
      ASSERT_EQ(parallel_count(*t, e), expected.size()) << "seed " << seed;
      for (Index i = 0; i <= std::min<Index>(t->max_index(), 50); ++i)
        ASSERT_EQ(eval(*t, e, i), reference::eval_at(*t, *e, i)) << "seed " << seed << " i " << i;
    }
  }
}
