#pragma once
// FST trace loader: turns an FST file into a TraceData record.
//
// The container is decoded by fst::Reader (reader.hpp); this file gives its hierarchy dotted
// names, scopes and signal ids, maps FST times to time indices and converts values.
#include <cstdint>
#include <span>
#include <string>

#include "readers/fst/reader.hpp"
#include "signal/value.hpp"
#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::fst {

// Loads the FST file at `path`. Failures: "Failed to open <path>: <os text>", or
// "FST open: ", "FST hierarchy: ", "FST signals: " followed by the reader's error text.
Result<TraceData> from_file(const std::string &path);

// The same for an FST image in memory (tests, fuzzing); failures as from_file's after opening.
Result<TraceData> from_bytes(std::span<const uint8_t> bytes);

// The value of one FST value change: a real as Real; bytes as NoValue (empty), Logic (any of
// X Z h l u w x z -), Int (only 0 and 1; the low 64 bits), else Text (lossy UTF-8).
SignalValue convert_value(const Value &value);

} // namespace wavesift::fst
