#pragma once
// What changed: the signals whose value differs between index - 1 and index, and every
// change of one signal. Values are compared by value equality, so a NaN real changes at every
// index it covers.
//
// Results view values in place: they stay valid as long as the trace.
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

} // namespace wavesift
