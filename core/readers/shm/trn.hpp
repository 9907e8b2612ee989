#pragma once
// The transition files of an SHM database: block headers found by scanning, one-bit changes
// decoded by fixed byte patterns, and a time axis rescaled by the file's resolution code.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "signal/store.hpp"

namespace wavesift {
struct TraceData;
}

namespace wavesift::shm {

struct TrnEvent {
  SignalId id;
  uint64_t time;
  uint8_t bit;
};

struct TrnFile {
  std::vector<uint64_t> times;  // ascending, without repeats, starts with 0
  std::vector<TrnEvent> events; // in the order gathered; later ones win
};

// Events one file may gather: a base plus eight per file byte (one per bit). Only the toggle
// pattern can claim more changes than the file has bits, from a 32-bit count; a file that
// would exceed this is decoded up to the step that would.
constexpr uint64_t kEventBudgetBase = uint64_t{1} << 16;
uint64_t event_budget(size_t file_size);

// Decodes one file for a design of `names` signals (ids 0 .. names - 1). Nothing when the
// file is too short, has the wrong magic, or there are no names.
std::optional<TrnFile> decode_trn(std::span<const uint8_t> data, size_t names);

// Writes the decoded files into the record. The timestamps are the union of the files' time
// lists, and every change lands at the index of its own time; on the same signal and time a
// later file wins. Every signal without a change at time 0 reads 0 there. No files: [0].
void write_transitions(std::span<const TrnFile> files, size_t names, TraceData &record);

} // namespace wavesift::shm
