#pragma once
// Statistics of one signal over every index of a trace, in one pass over its runs.
#include <cstdint>
#include <string_view>

#include "trace/trace.hpp"

namespace wavesift {

struct SignalStats {
  uint64_t min = 0, max = 0, sum = 0, count = 0; // over Int values; sum wraps
  uint64_t transitions = 0;                      // indices whose value differs from the last
  uint64_t num_x = 0;                            // X bits, plus one per index without value
  uint64_t num_z = 0;                            // Z bits
};

// All zeros for a name the trace does not know.
SignalStats compute_stats(const Trace &trace, std::string_view name);

} // namespace wavesift
