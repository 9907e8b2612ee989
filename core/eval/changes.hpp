#pragma once
// What changed: the signals whose value differs between index - 1 and index, and every
// change of one signal. Values are compared by value equality, so a NaN real changes at every
// index it covers.
//
// Results view values in place: they stay valid as long as the trace.
#include <algorithm>
#include <string_view>
#include <vector>

#include "trace/trace.hpp"

namespace wavesift {

struct ChangedSignal {
  size_t name; // position in the trace's signal_names()
  ValueView old_value, new_value;
};

struct Transition {
  Index index;
  ValueView old_value, new_value;
};

// Signals that changed at index, in signal_names() order; parallel over the signals.
std::vector<ChangedSignal> changed_at(const Trace &trace, Index index);
// The same, for names that begin with scope + ".".
std::vector<ChangedSignal> changed_at_scope(const Trace &trace, Index index,
                                            std::string_view scope);
// Every change of the named signal from index 1 to max_index, ascending.
std::vector<Transition> transitions(const Trace &trace, std::string_view name);

// The same, handed to visit(Transition) one by one; stops early when visit returns false.
template <class Visit>
void for_each_transition(const Trace &trace, std::string_view name, Visit &&visit) {
  const auto id = trace.signal_id(name);
  const uint64_t last = trace.max_index();
  if (!id || last == 0) return;
  // Walk run by run: inside a run the value repeats, so only its first index can differ from
  // the one before, except for a NaN, which differs from itself at every index.
  ColumnCursor cursor(trace.store().column(*id));
  ValueView prev = cursor.at(0);
  for (uint64_t i = 1; i <= last;) {
    const ValueView cur = cursor.at(i);
    const uint64_t end = std::min<uint64_t>(cursor.run_end(), last + 1);
    if (!values_equal(prev, cur) && !visit(Transition{i, prev, cur})) return;
    if (!values_equal(cur, cur))
      for (uint64_t j = i + 1; j < end; ++j)
        if (!visit(Transition{j, cur, cur})) return;
    prev = cur;
    i = end;
  }
}

} // namespace wavesift
