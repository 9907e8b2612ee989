#pragma once
// The records readers build, and how a finished record becomes a shared, read-only Trace.
#include <string>
#include <vector>

#include "signal/store.hpp"
#include "trace/trace.hpp"
#include "util/string_map.hpp"

namespace wavesift {

// The record of every format but VCD.
struct TraceData {
  std::vector<std::string> signal_names;
  std::vector<std::string> scopes;
  std::vector<uint64_t> timestamps;
  SignalStore store;
  StringMap<SignalId> name_to_id;
  StringMap<uint32_t> widths;
};

struct VcdVar {
  std::string id_code;
  SignalId id = 0;
  uint32_t width = 0;
};

// The VCD reader's record keeps, per full name, the declaration it came from.
struct VcdTrace {
  std::vector<std::string> signal_names;
  std::vector<std::string> scopes;
  std::vector<uint64_t> timestamps;
  StringMap<VcdVar> vars;
  StringMap<SignalId> code_to_id;
  SignalStore store;
  SignalId next_id = 0;
};

// Seals the record's store and moves it behind the interface.
TracePtr share(TraceData record);
TracePtr share(VcdTrace record);

} // namespace wavesift
