#pragma once
// Value Change Dump reader. Lenient: malformed lines are ignored, never an error; the only
// failure is a file that cannot be opened.
//
//   auto r = vcd::from_file("sim.vcd");
//   if (r.ok()) TracePtr trace = share(std::move(r.value()));
#include <string>
#include <string_view>

#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::vcd {

Result<TraceData> from_file(const std::string &path);
// Reads VCD text already in memory (assumed to be UTF-8). Never fails.
Result<TraceData> parse(std::string_view text);

} // namespace wavesift::vcd
