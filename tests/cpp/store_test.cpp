#include <gtest/gtest.h>
#include <random>

#include "signal/store.hpp"

using namespace wavesift;

namespace {

// The obviously correct model: one dense list of values per signal.
struct DenseStore {
  std::map<SignalId, std::vector<SignalValue>> columns;

  void set(SignalId id, Index i, const SignalValue &v) {
    auto &c = columns[id];
    if (i >= c.size()) c.resize(i + 1);
    c[i] = v;
  }
  SignalValue get(SignalId id, Index i) const {
    const auto it = columns.find(id);
    if (it == columns.end() || i >= it->second.size()) return SignalValue();
    return it->second[i];
  }
  void forward_fill(Index n) {
    if (n == 0) return;
    std::vector<std::pair<SignalId, SignalValue>> collected;
    for (const auto &[id, c] : columns) {
      if (n - 1 < c.size() && !c[n - 1].is_none() && (n >= c.size() || c[n].is_none()))
        collected.emplace_back(id, c[n - 1]);
    }
    for (const auto &[id, v] : collected)
      set(id, n, v);
  }
  size_t length(SignalId id) const {
    const auto it = columns.find(id);
    return it == columns.end() ? 0 : it->second.size();
  }
};

// Identical representation, so that NaN payloads and -0.0 are compared too.
bool same(const SignalValue &a, const SignalValue &b) {
  if (a.tag() == Tag::Real && b.tag() == Tag::Real)
    return std::signbit(a.as_real()) == std::signbit(b.as_real()) &&
           (a.as_real() == b.as_real() || (std::isnan(a.as_real()) && std::isnan(b.as_real())));
  return a == b;
}

SignalValue random_value(std::mt19937_64 &rng) {
  switch (rng() % 9) {
  case 0:
    return SignalValue();
  case 1:
    return SignalValue::of_int(rng() % 3);
  case 2:
    return SignalValue::of_int(rng());
  case 3:
    return SignalValue::of_real(rng() % 2 ? NAN : -0.0);
  case 4:
    return SignalValue::of_real(static_cast<double>(rng() % 4));
  case 5:
    return SignalValue::of_text(std::string(rng() % 3, 'a'));
  case 6:
    return SignalValue::of_wide({rng() % 2, 1});
  case 7:
    return SignalValue::of_logic({LogicBit::X, static_cast<LogicBit>(rng() % 4)});
  default:
    return SignalValue::of_int(1);
  }
}

void expect_same_reads(const SignalStore &store, const DenseStore &model, int step) {
  for (SignalId id = 0; id < 4; ++id) {
    const size_t len = model.length(id);
    ASSERT_EQ(store.column_length(id), len) << "id " << id << " step " << step;
    for (Index i = 0; i < len + 2; ++i)
      ASSERT_TRUE(same(store.get(id, i), model.get(id, i)))
          << "id " << id << " index " << i << " step " << step;
    const auto range = store.get_range(id, 0, len + 2);
    for (Index i = 0; i < range.size(); ++i)
      ASSERT_TRUE(same(range[i], model.get(id, i)));
  }
}

} // namespace

// Random interleavings of writes, fills (in order, out of order, repeated) and reads must give
// exactly what dense columns give.
TEST(SignalStore, MatchesDenseModel) {
  for (uint64_t seed = 0; seed < 300; ++seed) {
    std::mt19937_64 rng(seed);
    SignalStore store;
    DenseStore model;
    Index frontier = 0;
    const int steps = 20 + static_cast<int>(rng() % 60);
    for (int step = 0; step < steps; ++step) {
      const auto op = rng() % 10;
      if (op < 5) {
        const SignalId id = rng() % 4;
        // Mostly at the frontier, as the readers write; sometimes behind or ahead of it.
        const Index i = rng() % 4 == 0 ? rng() % (frontier + 3) : frontier;
        const SignalValue v = random_value(rng);
        store.set(id, i, v);
        model.set(id, i, v);
      } else if (op < 8) {
        const Index n = rng() % 5 == 0 ? rng() % (frontier + 3) : ++frontier;
        store.forward_fill(n);
        model.forward_fill(n);
      } else {
        expect_same_reads(store, model, step);
      }
    }
    expect_same_reads(store, model, -1);
    store.seal();
    expect_same_reads(store, model, -2);
  }
}

// Readers that fill every index once all writes are done may store gaps as held values up
// front; the trace must come out exactly as with plain writes.
TEST(SignalStore, SetBeforeFillMatchesSetThenFill) {
  for (uint64_t seed = 0; seed < 300; ++seed) {
    std::mt19937_64 rng(seed);
    SignalStore plain, held;
    const Index n = 1 + rng() % 80;
    for (SignalId id = 0; id < 4; ++id) {
      Index i = 0;
      while ((i += rng() % 6) < n) { // ascending per column, repeats at one index included
        const SignalValue v = random_value(rng);
        plain.set(id, i, v);
        held.set_before_fill(id, i, view_of(v));
        if (rng() % 3 == 0) continue;
        ++i;
      }
    }
    for (Index i = 1; i < n; ++i) {
      plain.forward_fill(i);
      held.forward_fill(i);
    }
    plain.seal();
    held.seal();
    for (SignalId id = 0; id < 5; ++id) {
      ASSERT_EQ(held.column_length(id), plain.column_length(id)) << seed;
      for (Index i = 0; i < n + 2; ++i)
        ASSERT_TRUE(same(held.get(id, i), plain.get(id, i))) << "seed " << seed << " i " << i;
    }
  }
}

TEST(SignalStore, BasicCases) {
  SignalStore s;
  s.set(7, 3, SignalValue::of_int(9));
  EXPECT_EQ(s.column_length(7), 4u);
  EXPECT_TRUE(s.get(7, 0).is_none());
  EXPECT_TRUE(s.get(8, 0).is_none());
  EXPECT_TRUE(s.get(7, 4).is_none());
  EXPECT_TRUE(s.get_range(7, 5, 3).empty());
  EXPECT_TRUE(s.get_range(99, 5, 3).empty());
  EXPECT_EQ(s.get_range(99, 2, 6).size(), 4u);

  SignalStore f;
  f.set(1, 0, SignalValue::of_int(5));
  f.set(2, 0, SignalValue::of_int(5));
  f.set(2, 1, SignalValue::of_int(6));
  f.set(3, 0, SignalValue());
  f.forward_fill(1);
  EXPECT_EQ(f.get(1, 1), SignalValue::of_int(5));
  EXPECT_EQ(f.get(2, 1), SignalValue::of_int(6));
  EXPECT_EQ(f.column_length(3), 1u); // a NoValue is not carried forward
}

TEST(SignalStore, CursorMatchesRandomReadsAndCompactness) {
  SignalStore s;
  for (Index i = 0; i < 100000; ++i) {
    if (i) s.forward_fill(i);
    if (i % 7 == 0) s.set(0, i, SignalValue::of_int((i / 7) % 2));
  }
  s.seal();
  ColumnCursor cursor(s.column(0));
  for (Index i = 0; i < 100000; i += 13)
    ASSERT_EQ(to_value(cursor.at(i)), s.get(0, i)) << i;
  // One-bit changes cost about two bytes each.
  EXPECT_LT(s.column(0)->bytes.size(), 2 * (100000 / 7) + 64);
}
