#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "eval/changes.hpp"
#include "eval/name_search.hpp"
#include "eval/scope.hpp"
#include "eval/stats.hpp"
#include "trace/records.hpp"

using namespace wavesift;

namespace {

TracePtr names_trace(std::vector<std::string> names, std::vector<std::string> scopes = {}) {
  TraceData d;
  for (size_t k = 0; k < names.size(); ++k) {
    d.name_to_id[names[k]] = k;
    d.widths[names[k]] = 1;
  }
  d.signal_names = std::move(names);
  d.scopes = std::move(scopes);
  d.timestamps = {0};
  return share(std::move(d));
}

using Names = std::vector<std::string>;

SignalValue random_value(std::mt19937_64 &rng) {
  switch (rng() % 7) {
  case 0:
    return SignalValue();
  case 1:
    return SignalValue::of_real(NAN);
  case 2:
    return SignalValue::of_real(rng() % 2 ? 0.0 : -0.0);
  case 3:
    return SignalValue::of_logic({LogicBit::X, LogicBit::Z, static_cast<LogicBit>(rng() % 4)});
  case 4:
    return SignalValue::of_wide({rng() % 2});
  default:
    return SignalValue::of_int(rng() % 3 + (rng() % 4 == 0 ? (1ull << 63) : 0));
  }
}

} // namespace

// Run-wise walks give exactly what comparing every index with the one before gives.
TEST(Queries, MatchPerIndexDefinitions) {
  for (uint64_t seed = 0; seed < 100; ++seed) {
    std::mt19937_64 rng(seed);
    TraceData d;
    const Index n = 1 + rng() % 60;
    for (SignalId s = 0; s < 4; ++s) {
      const std::string name = (s % 2 ? "top.sub.s" : "top.s") + std::to_string(s);
      d.signal_names.push_back(name);
      d.name_to_id[name] = s;
    }
    for (Index i = 0; i < n; ++i) {
      d.timestamps.push_back(i);
      if (i) d.store.forward_fill(i);
      for (SignalId s = 0; s < 4; ++s)
        if (rng() % 3 == 0 && i < n - s) d.store.set(s, i, random_value(rng));
    }
    const auto t = share(std::move(d));
    for (SignalId s = 0; s < 4; ++s) {
      const std::string &name = t->signal_names()[s];
      std::vector<Index> expected_changes;
      SignalStats e;
      e.min = UINT64_MAX;
      for (Index i = 0; i <= t->max_index(); ++i) {
        const SignalValue v = t->signal_value_by_id(s, i);
        if (v.tag() == Tag::Int) {
          ++e.count;
          e.sum += v.as_int();
          e.min = std::min(e.min, v.as_int());
          e.max = std::max(e.max, v.as_int());
        } else if (v.tag() == Tag::Logic) {
          for (LogicBit b : v.as_logic()) {
            e.num_x += b == LogicBit::X;
            e.num_z += b == LogicBit::Z;
          }
        } else if (v.is_none()) {
          ++e.num_x;
        }
        if (i > 0 && !(t->signal_value_by_id(s, i - 1) == v)) expected_changes.push_back(i);
      }
      if (e.count == 0) e.min = 0;
      e.transitions = expected_changes.size();
      std::vector<Index> got;
      for (const Transition &tr : transitions(*t, name)) {
        got.push_back(tr.index);
        ASSERT_TRUE(values_equal(tr.new_value, view_of(t->signal_value_by_id(s, tr.index))) ||
                    tr.new_value.tag == Tag::Real);
      }
      ASSERT_EQ(got, expected_changes) << "seed " << seed << " signal " << s;
      const SignalStats st = compute_stats(*t, name);
      ASSERT_EQ(std::tie(st.min, st.max, st.sum, st.count, st.transitions, st.num_x, st.num_z),
                std::tie(e.min, e.max, e.sum, e.count, e.transitions, e.num_x, e.num_z))
          << "seed " << seed << " signal " << s;
    }
    for (Index i = 0; i <= t->max_index() + 2; ++i) {
      std::vector<size_t> all, scoped;
      for (SignalId s = 0; s < 4; ++s)
        if (i > 0 && !(t->signal_value_by_id(s, i - 1) == t->signal_value_by_id(s, i))) {
          all.push_back(s);
          if (s % 2) scoped.push_back(s);
        }
      std::vector<size_t> got_all, got_scoped;
      for (const auto &c : changed_at(*t, i))
        got_all.push_back(c.name);
      for (const auto &c : changed_at_scope(*t, i, "top.sub"))
        got_scoped.push_back(c.name);
      ASSERT_EQ(got_all, all) << "seed " << seed << " index " << i;
      ASSERT_EQ(got_scoped, scoped) << "seed " << seed << " index " << i;
    }
  }
}

TEST(Queries, StatsExamples) {
  TraceData d;
  d.signal_names = {"a", "b"};
  d.name_to_id = {{"a", 0}, {"b", 1}};
  for (Index i = 0; i < 100; ++i)
    d.timestamps.push_back(i);
  d.store.set(0, 0, SignalValue::of_int(5));
  d.store.set(1, 0, SignalValue::of_logic({LogicBit::X, LogicBit::X, LogicBit::Z}));
  d.store.set(1, 10, SignalValue::of_int(1ull << 63));
  d.store.set(1, 11, SignalValue::of_int(1ull << 63));
  for (Index i = 1; i < 100; ++i)
    d.store.forward_fill(i);
  const auto t = share(std::move(d));
  const SignalStats a = compute_stats(*t, "a");
  EXPECT_EQ(std::tie(a.min, a.max, a.sum, a.count, a.transitions, a.num_x, a.num_z),
            std::make_tuple(5ull, 5ull, 500ull, 100ull, 0ull, 0ull, 0ull));
  const SignalStats b = compute_stats(*t, "b");
  EXPECT_EQ(b.num_x, 20u);
  EXPECT_EQ(b.num_z, 10u);
  EXPECT_EQ(b.sum, 0u); // 90 copies of 2^63 wrap to 0
  EXPECT_EQ(b.transitions, 1u);
  const SignalStats none = compute_stats(*t, "zzz");
  EXPECT_EQ(none.min + none.max + none.count + none.num_x, 0u);
}

TEST(Scope, Navigation) {
  const auto t = names_trace({"clk", "top.clk", "top.cpu.pc", "topx.clk", "top.a.b.clk"},
                             {"top", "top.cpu", "top.cpu.alu", "top.mem", "x.y.z", "top.cpu"});
  EXPECT_EQ(local_scopes(*t, ""), (Names{"top"}));
  EXPECT_EQ(local_scopes(*t, "top"), (Names{"top.cpu", "top.mem"}));
  EXPECT_EQ(local_scopes(*t, "top.cpu"), (Names{"top.cpu.alu"}));
  EXPECT_EQ(local_scopes(*t, "top.mem"), Names{});
  EXPECT_EQ(local_scopes(*t, "x"), (Names{"x.y"})); // only descendants listed
  EXPECT_EQ(local_signals(*t, ""), (Names{"clk"}));
  EXPECT_EQ(local_signals(*t, "top"), (Names{"top.clk"}));
  EXPECT_EQ(local_signals(*t, "top.cpu"), (Names{"top.cpu.pc"}));

  EXPECT_EQ(resolve(*t, "top", "clk"), "top.clk");
  EXPECT_EQ(resolve(*t, "top", "pc"), "top.cpu.pc");
  EXPECT_EQ(resolve(*t, "top", "cpu.pc"), "top.cpu.pc");
  EXPECT_EQ(resolve(*t, "", "clk"), "clk");
  EXPECT_EQ(resolve(*t, "", "pc"), "top.cpu.pc");
  EXPECT_EQ(resolve(*t, "top", "lk"), std::nullopt); // not a whole component
  EXPECT_EQ(resolve(*t, "top", "nothing"), std::nullopt);
  const auto sibling = names_trace({"top.xclk", "topx.clk", "top.sub.clk"});
  EXPECT_EQ(resolve(*sibling, "top", "clk"), "topx.clk"); // plain prefix: earliest wins
}

TEST(NameSearch, GlobAndContaining) {
  struct Case {
    const char *pattern, *name;
    bool match;
  };
  const Case cases[] = {
      {"top.*", "top.a.b", true},
      {"top.*", "topx.a", false},
      {"*clk", "clk", true},
      {"*clk", "top.clk", true},
      {"top.c?k", "top.clk", true},
      {"top.c?k", "top.clock", false},
      {"a*", "a*b", true},
      {"", "", true},
      {"", "a", false},
      {"***", "abc", true},
      {"a*b*c", "axxbyyc", true},
      {"a*b*c", "axxbyy", false},
      {"[a]", "a", false},
      {"a?", "a", false},
      {"*a*a", "aaa", true},
  };
  for (const Case &c : cases)
    EXPECT_EQ(glob_match(c.pattern, c.name), c.match) << c.pattern;

  const auto t = names_trace({"top.clk", "Top.Clk_en", "top.data", "ΣΑΣ.x", "i̇stanbul"});
  EXPECT_EQ(find_signals_containing(*t, "CLK"), (Names{"top.clk", "Top.Clk_en"}));
  EXPECT_EQ(find_signals_containing(*t, "").size(), 5u);
  // Full lower-case mapping: final sigma, and U+0130 becomes i + combining dot above.
  EXPECT_EQ(to_lower("ΣΑΣ"), "σας");
  EXPECT_EQ(to_lower("\xc4\xb0"), "i\xcc\x87");
  // '.' is case-ignorable, so the sigma before ".x" is not final.
  EXPECT_EQ(find_signals_containing(*t, "σασ"), (Names{"ΣΑΣ.x"}));
  EXPECT_EQ(find_signals_containing(*t, "\xc4\xb0STANBUL"), (Names{"i̇stanbul"}));
  EXPECT_EQ(find_signals_glob(*t, "*.*"), (Names{"top.clk", "Top.Clk_en", "top.data", "ΣΑΣ.x"}));
}
