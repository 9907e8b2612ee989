#include "eval/changes.hpp"

#include <tbb/blocked_range.h>
#include <tbb/parallel_reduce.h>

#include "signal/store.hpp"

namespace wavesift {
namespace {

std::vector<ChangedSignal> changed_where(const Trace &trace, Index index,
                                         const std::string_view *prefix) {
  if (index == 0) return {};
  const auto &names = trace.signal_names();
  const SignalStore &store = trace.store();
  using Range = tbb::blocked_range<size_t>;
  // Pieces are joined left to right, so the list keeps the order of the names.
  return tbb::parallel_reduce(
      Range(0, names.size(), 512), std::vector<ChangedSignal>(),
      [&](const Range &r, std::vector<ChangedSignal> acc) {
        for (size_t k = r.begin(); k < r.end(); ++k) {
          if (prefix && !names[k].starts_with(*prefix)) continue;
          const auto id = trace.signal_id(names[k]);
          if (!id) continue;
          const ValueView before = store.peek(*id, index - 1), after = store.peek(*id, index);
          if (!values_equal(before, after)) acc.push_back({k, before, after});
        }
        return acc;
      },
      [](std::vector<ChangedSignal> left, std::vector<ChangedSignal> right) {
        if (left.empty()) return right;
        left.insert(left.end(), right.begin(), right.end());
        return left;
      });
}

} // namespace

std::vector<ChangedSignal> changed_at(const Trace &trace, Index index) {
  return changed_where(trace, index, nullptr);
}

std::vector<ChangedSignal> changed_at_scope(const Trace &trace, Index index,
                                            std::string_view scope) {
  const std::string prefix = std::string(scope) + ".";
  const std::string_view p = prefix;
  return changed_where(trace, index, &p);
}

std::vector<Transition> transitions(const Trace &trace, std::string_view name) {
  std::vector<Transition> out;
  const auto id = trace.signal_id(name);
  const uint64_t last = trace.max_index();
  if (!id || last == 0) return out;
  // Walk run by run: inside a run the value repeats, so only its first index can differ from
  // the one before, except for a NaN, which differs from itself at every index.
  ColumnCursor cursor(trace.store().column(*id));
  ValueView prev = cursor.at(0);
  for (uint64_t i = 1; i <= last;) {
    const ValueView cur = cursor.at(i);
    const uint64_t end = std::min<uint64_t>(cursor.run_end(), last + 1);
    if (!values_equal(prev, cur)) out.push_back({i, prev, cur});
    if (!values_equal(cur, cur))
      for (uint64_t j = i + 1; j < end; ++j)
        out.push_back({j, cur, cur});
    prev = cur;
    i = end;
  }
  return out;
}

} // namespace wavesift
