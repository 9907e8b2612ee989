#pragma once
// FSDB trace reader.
//
// FSDB is a closed format; the reader does not decode it. It recovers what fixed header
// fields, embedded zlib streams and byte patterns reveal: signal names (and the scopes they
// imply) for both layouts, and for the newer layout also widths, a time axis and small
// integer values.
#include <cstdint>
#include <span>
#include <string>

#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::fsdb {

inline constexpr uint32_t kOlderMagic = 0xFDE099C1;
inline constexpr uint32_t kNewerMagic = 0x1C3ED948;

Result<TraceData> from_file(const std::string &path);

// The reader over a file's bytes already in memory.
Result<TraceData> from_bytes(std::span<const uint8_t> bytes);

// The newer layout. Never fails: whatever is malformed is skipped.
TraceData parse_modern(std::span<const uint8_t> bytes);

// The older layout: names only, from everything after the fixed header.
TraceData parse_older(std::span<const uint8_t> bytes);

} // namespace wavesift::fsdb
