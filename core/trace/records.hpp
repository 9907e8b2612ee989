#pragma once
// The record every reader builds, and how a finished record becomes a shared, read-only Trace.
#include <cstdint>
#include <string>
#include <vector>

#include "signal/store.hpp"
#include "trace/trace.hpp"
#include "util/string_map.hpp"

namespace wavesift {

struct TraceData {
  std::vector<std::string> signal_names;
  std::vector<std::string> scopes;
  std::vector<uint64_t> timestamps;
  SignalStore store;
  StringMap<SignalId> name_to_id;
  StringMap<uint32_t> widths;
  // signal_width() of a name the trace does not hold: 0 for VCD, 1 for every other format.
  uint32_t unknown_width = 1;
};

// Seals the record's store and moves it behind the interface.
TracePtr share(TraceData record);

} // namespace wavesift
