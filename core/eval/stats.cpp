#include "eval/stats.hpp"

#include <algorithm>

#include "signal/store.hpp"

namespace wavesift {

SignalStats compute_stats(const Trace &trace, std::string_view name) {
  SignalStats s;
  const auto id = trace.signal_id(name);
  if (!id) return s;
  s.min = UINT64_MAX;
  const uint64_t end = static_cast<uint64_t>(trace.max_index()) + 1;
  ColumnCursor cursor(trace.store().column(*id));
  ValueView prev;
  // Every index counts on its own, so each run adds its value times its length.
  for (uint64_t i = 0; i < end;) {
    const ValueView v = cursor.at(i);
    const uint64_t run_end = std::min<uint64_t>(cursor.run_end(), end);
    const uint64_t n = run_end - i;
    switch (v.tag) {
    case Tag::Int:
      s.count += n;
      s.sum += v.num * n;
      s.min = std::min(s.min, v.num);
      s.max = std::max(s.max, v.num);
      break;
    case Tag::Logic:
      for (size_t k = 0; k < v.size; ++k) {
        if (v.bit(k) == LogicBit::X) s.num_x += n;
        if (v.bit(k) == LogicBit::Z) s.num_z += n;
      }
      break;
    case Tag::NoValue:
      s.num_x += n;
      break;
    default:
      break;
    }
    if (i > 0 && !values_equal(prev, v)) ++s.transitions;
    if (!values_equal(v, v)) s.transitions += n - 1; // a NaN differs from itself
    prev = v;
    i = run_end;
  }
  if (s.count == 0) s.min = 0;
  return s;
}

} // namespace wavesift
