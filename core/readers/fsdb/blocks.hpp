#pragma once
// Value blocks of the newer FSDB layout: decompressed byte strings holding value changes of
// small integer signals, recognised by fixed markers rather than decoded record by record.
//
// A block has a header of LEB128 numbers ended by the marker 38 43 00 04 00 08, a region of
// two-byte entries (time deltas with values, and "shift" entries that derive further signals
// from the same changes), optional 0x08 separators with a clock description in the last
// segment, and an optional start list (initial values) after the marker 44 00 63 00 03 08.
//
//   std::optional<ValueBlock> b = parse_value_block(bytes);
//   ValueTable table;
//   if (b) table.add(*b, names);
//   table.finish(record);
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "signal/store.hpp"
#include "trace/records.hpp"

namespace wavesift::fsdb {

struct TimeValue {
  uint64_t time = 0;
  uint64_t value = 0;
  bool operator==(const TimeValue &) const = default;
};

// Derives one more signal from the change list: times moved by `offset`; kind 1 keeps bit 0
// of each value only.
struct Shift {
  uint8_t kind = 0;
  uint8_t offset = 0;
  bool operator==(const Shift &) const = default;
};

// A signal 0 that toggles every `half` time units from `start` (0 or 1) at time 0.
struct Clock {
  uint64_t half = 0;
  uint8_t start = 1;
};

// What one block says, before it is assigned to signal ids.
struct ValueBlock {
  uint64_t limit = UINT64_MAX; // pairs beyond limit + 1 are ignored (blocks without separators)
  uint64_t m = 0;              // a value for the signal after the start list, at time t5
  uint64_t t5 = 5;
  bool separators = false;
  std::vector<uint8_t> start_list; // initial values of signals 1, 2, ...
  std::vector<TimeValue> changes;  // in decoding order; times need not ascend
  std::vector<Shift> shifts;
  std::optional<Clock> clock;
};

// Nothing when the block lacks its markers or is too short for them.
std::optional<ValueBlock> parse_value_block(std::span<const uint8_t> block);

struct Change {
  SignalId id = 0;
  uint64_t time = 0;
  uint64_t value = 0;
  bool operator==(const Change &) const = default;
};

// The block's changes for a trace of `names` signals, in the order they are written (a later
// change of the same signal at the same time wins). A clock with a half-period of 0 gives no
// changes.
std::vector<Change> block_changes(const ValueBlock &block, size_t names);

// Most changes a whole trace may take from its value blocks. A few kilobytes of compressed
// input can describe billions of changes (a long clock, a change list copied to every shifted
// signal); a block that would pass this bound is skipped whole.
inline constexpr uint64_t kMaxChanges = uint64_t{1} << 22;

// Accumulates the blocks of one trace. Each column is kept by time, so a block that adds a time
// before times that earlier blocks wrote leaves their values at their own times. The result
// equals writing each block into the dense table by index after inserting its times (new
// cells empty), then giving every signal below `names` a 0 at time 0 where it has nothing,
// then filling forward.
class ValueTable {
public:
  ValueTable();
  // False when the block was skipped for the change bound; it then changes nothing.
  bool add(const ValueBlock &block, size_t names);
  // Sets the record's timestamps and writes the values into its store, filled forward.
  void finish(TraceData &out) const;
  uint64_t changes_taken() const { return taken_; }

private:
  std::set<uint64_t> times_;
  // Per signal: time -> value; a value lasts until the next key.
  std::vector<std::map<uint64_t, uint64_t>> columns_;
  uint64_t taken_ = 0;
  size_t defaulted_ = 0; // signals below this already hold a value at time 0
};

} // namespace wavesift::fsdb
