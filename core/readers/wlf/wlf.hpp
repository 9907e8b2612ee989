#pragma once
// WLF trace reader. The format is closed: the file is read as 8192-byte pages, names are
// harvested by pattern from the header page and up to three name pages, and one-byte values
// from the pages that carry the value-page mark. Timestamps are synthetic (index i has time i).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readers/names/identifier_scan.hpp"
#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::wlf {

inline constexpr size_t kPageSize = 8192;

Result<TraceData> from_file(const std::string &path);
// The same, from the file's bytes already in memory.
Result<TraceData> from_bytes(std::span<const uint8_t> bytes);

// One length-prefixed printable string of the header page, read at `pos`, which it advances;
// the empty string when there is none. `page` is the header page (kPageSize bytes or fewer).
std::string read_lpstr(std::span<const uint8_t> page, size_t &pos);

// VPD and WLF share one name rule.
using wavesift::extract_identifiers;
using wavesift::is_identifier;

} // namespace wavesift::wlf
