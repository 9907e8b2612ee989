#pragma once
// VPD trace reader. The format is closed: only signal names are recovered, from the sections
// that the header's offset table points at and whose opening bytes look like name tables.
// Every name is one bit wide, the trace has the single time 0 and no values.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readers/names/identifier_scan.hpp"
#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::vpd {

Result<TraceData> from_file(const std::string &path);
// The same, from the file's bytes already in memory.
Result<TraceData> from_bytes(std::span<const uint8_t> bytes);

// VPD and WLF share one name rule.
using wavesift::extract_identifiers;
using wavesift::is_identifier;

} // namespace wavesift::vpd
