#pragma once
// The value columns of one trace, keyed by signal id.
//
// Observably a column is a dense list with one value per time index (never-written positions
// hold NoValue), but only the indices where the content changes are kept: each column is a
// byte stream of runs (start-index delta, encoded value) with a checkpoint every kBlock runs
// for binary search. Memory is O(value changes); random reads are O(log runs); ColumnCursor
// reads ascending indices in O(1) amortised.
//
// forward_fill(n) called for n = 1, 2, 3, ... is recorded as a watermark and applied to a
// column only when that column is next written or when the store is sealed, so filling costs
// O(runs) in total rather than O(signals x indices).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/byte_buffer.hpp"
#include "signal/value.hpp"

namespace wavesift {

using SignalId = size_t;
using Index = size_t;

// A write touches only the first 64 bytes here (the tail of `bytes` only when it appends), so
// loading a dump that cycles through thousands of columns stays within one cache line each.
struct Column {
  ByteBuffer bytes;    // records: varint(start - previous start), encoded value
  uint64_t length = 0; // dense length
  uint64_t records = 0;
  uint64_t last_start = 0; // start index of the last run
  uint64_t synced = 0;     // fill watermark already applied to this column
  uint32_t last_size = 0;  // encoded size of the last run's value, which ends `bytes`
  uint8_t last_head = 0;   // its first byte: the whole value for a small Int or NoValue
  bool exists = false;
  bool holes = false; // some run after the first holds NoValue (only those can be filled)
  std::vector<uint64_t> cp_start;  // start index of every kBlock-th record
  std::vector<uint64_t> cp_offset; // its byte offset
};
static_assert(offsetof(Column, cp_start) <= 64, "the fields a write touches share a cache line");

class ColumnCursor;

class SignalStore {
public:
  static constexpr uint64_t kBlock = 32;

  void set(SignalId id, Index index, const SignalValue &value) { set(id, index, view_of(value)); }
  void set(SignalId id, Index index, const ValueView &value);
  // set() for a reader that writes each column in ascending index order and then calls
  // forward_fill(1), ..., forward_fill(n - 1) before reading: the trace comes out the same, but
  // a gap after a value is stored as that value held rather than as NoValue to fill later.
  void set_before_fill(SignalId id, Index index, const ValueView &value);
  void forward_fill(Index index);
  // Applies every pending fill and trims spare capacity; reads after this are the fastest.
  void seal();

  SignalValue get(SignalId id, Index index) const;
  std::vector<SignalValue> get_range(SignalId id, Index start, Index end) const;

  // The value at an index, viewed in place. Only on a sealed store (no pending fills); the
  // view lives as long as the store.
  ValueView peek(SignalId id, Index index) const;

  // Cache hints for a writer that knows its next writes: the column header first, then (once
  // the header is at hand) the end of its bytes, where the write will land.
  void prefetch_column(SignalId id) const {
    if (id < columns_.size()) __builtin_prefetch(&columns_[id], 1);
  }
  void prefetch_tail(SignalId id) const {
    if (id < columns_.size() && columns_[id].bytes.size())
      __builtin_prefetch(columns_[id].bytes.data() + columns_[id].bytes.size() - 1, 1);
  }

  bool has_column(SignalId id) const { return id < columns_.size() && columns_[id].exists; }
  const Column *column(SignalId id) const { return has_column(id) ? &columns_[id] : nullptr; }
  // Dense length of a column (0 without one), as the list model would report it.
  uint64_t column_length(SignalId id) const;
  size_t id_bound() const { return columns_.size(); }
  size_t bytes_used() const;

private:
  Column &column_for_write(SignalId id) {
    if (id >= columns_.size()) columns_.resize(id + 1);
    Column &c = columns_[id];
    if (!c.exists) {
      c.exists = true;
      c.synced = watermark_;
    }
    if (c.synced < watermark_) materialize(c);
    return c;
  }
  void materialize(Column &col) const;
  uint64_t watermark_ = 0;
  std::vector<Column> columns_;
};

// Sequential reader of one column. Views it returns point into the store.
class ColumnCursor {
public:
  explicit ColumnCursor(const Column *col = nullptr) : col_(col) { reset(); }
  // The value at index i. Fastest when called with ascending indices.
  ValueView at(uint64_t i) {
    if (i >= cur_start_ && i < next_start_ && col_ && i < col_->length) {
      run_end_ = next_start_ < col_->length ? next_start_ : col_->length;
      return cur_;
    }
    return at_slow(i);
  }
  // After at(i): the first index above i whose value may differ from the one returned.
  uint64_t run_end() const { return run_end_; }

private:
  ValueView at_slow(uint64_t i);
  void reset();
  void seek(uint64_t i);
  void step();
  const Column *col_;
  uint64_t cur_start_ = 0;
  uint64_t next_start_ = 0; // UINT64_MAX when the current record is the last
  const uint8_t *next_ = nullptr;
  uint64_t next_record_ = 0;
  ValueView cur_;
  uint64_t run_end_ = 0;
};

} // namespace wavesift
