#include "signal/store.hpp"

#include <algorithm>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "signal/value_codec.hpp"

namespace wavesift {
namespace {

constexpr uint64_t kNone = UINT64_MAX;

struct Record {
  uint64_t start;
  const uint8_t *value;
  size_t size;
};

std::vector<Record> records_of(const Column &c) {
  std::vector<Record> out;
  out.reserve(c.records);
  const uint8_t *p = c.bytes.data();
  uint64_t start = 0;
  for (uint64_t k = 0; k < c.records; ++k) {
    start += codec::get_varint(p);
    const size_t n = codec::encoded_size(p);
    out.push_back({start, p, n});
    p += n;
  }
  return out;
}

// Values are a few bytes long: a plain loop beats a call to memcmp.
inline bool same_bytes(const uint8_t *a, const uint8_t *b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

const uint8_t *last_value(const Column &c) {
  return c.bytes.data() + c.bytes.size() - c.last_size;
}

// Appends a run; a run whose value is byte-identical to the last one just continues it.
inline void append_run(Column &c, uint64_t start, const uint8_t *value, size_t size) {
  if (c.records > 0) {
    const size_t last_size = c.last_size;
    if (last_size == size &&
        (size == 1 ? c.last_head == *value : same_bytes(last_value(c), value, size)))
      return;
  }
  if (*value == codec::kNoValue && c.records > 0) c.holes = true;
  const uint64_t offset = c.bytes.size();
  if (c.records % SignalStore::kBlock == 0) {
    c.cp_start.push_back(start);
    c.cp_offset.push_back(offset);
  }
  uint64_t delta = c.records ? start - c.last_start : start;
  size_t n = 1;
  for (uint64_t d = delta; d >= 0x80; d >>= 7)
    ++n;
  uint8_t *out = c.bytes.append(n + size);
  for (; delta >= 0x80; delta >>= 7)
    *out++ = static_cast<uint8_t>(delta) | 0x80;
  *out++ = static_cast<uint8_t>(delta);
  if (size == 1)
    *out = *value; // most values are one byte
  else
    std::memcpy(out, value, size);
  c.last_size = static_cast<uint32_t>(size);
  c.last_head = *value;
  c.last_start = start;
  ++c.records;
}

Column empty_like(const Column &c) {
  Column fresh;
  fresh.exists = true;
  fresh.length = c.length;
  fresh.synced = c.synced;
  return fresh;
}

// Dense-model write into a column that has no pending fills.
inline void write(Column &c, uint64_t index, const uint8_t *value, size_t size) {
  c.exists = true;
  const uint8_t none = codec::kNoValue;
  if (index >= c.length) {
    if (index > c.length) append_run(c, c.length, &none, 1);
    append_run(c, index, value, size);
    c.length = index + 1;
    return;
  }
  if (index + 1 == c.length) {
    if (c.last_start != index) {
      append_run(c, index, value, size);
      return;
    }
    // The last run is exactly this position: replace its value in place.
    c.bytes.resize(c.bytes.size() - c.last_size);
    c.last_size = static_cast<uint32_t>(size);
    c.last_head = *value;
    if (*value == codec::kNoValue && c.records > 1) c.holes = true;
    std::memcpy(c.bytes.append(size), value, size);
    return;
  }
  // A write into the middle rebuilds the column; readers write in index order, so this is rare.
  const auto recs = records_of(c);
  Column fresh = empty_like(c);
  for (size_t k = 0; k < recs.size(); ++k) {
    const Record &r = recs[k];
    const uint64_t end = k + 1 < recs.size() ? recs[k + 1].start : c.length;
    if (index >= r.start && index < end) {
      if (r.start < index) append_run(fresh, r.start, r.value, r.size);
      append_run(fresh, index, value, size);
      if (index + 1 < end) append_run(fresh, index + 1, r.value, r.size);
    } else {
      append_run(fresh, r.start, r.value, r.size);
    }
  }
  c = std::move(fresh);
}

// The encoded value at index (< length) of a column without pending fills.
const uint8_t *find_value(const Column &c, uint64_t index) {
  const auto it = std::upper_bound(c.cp_start.begin(), c.cp_start.end(), index);
  const size_t block = static_cast<size_t>(it - c.cp_start.begin()) - 1;
  const uint8_t *p = c.bytes.data() + c.cp_offset[block];
  uint64_t start = c.cp_start[block];
  codec::get_varint(p);
  for (uint64_t rec = block * SignalStore::kBlock + 1;; ++rec) {
    const uint8_t *value = p;
    if (rec >= c.records) return value;
    p += codec::encoded_size(p);
    const uint8_t *q = p;
    const uint64_t next = start + codec::get_varint(q);
    if (next > index) return value;
    start = next;
    p = q;
  }
}

ValueView read(const Column &c, uint64_t index) {
  if (index >= c.length) return ValueView();
  const uint8_t *p = find_value(c, index);
  return codec::decode_value(p);
}

// Copying pass: an absorbed NoValue run that reaches past the watermark restarts at w + 1.
void absorb_gaps_copying(Column &c, uint64_t s, uint64_t w) {
  const auto recs = records_of(c);
  Column fresh = empty_like(c);
  for (size_t k = 0; k < recs.size(); ++k) {
    const Record &r = recs[k];
    const bool absorbed = r.start > s && r.start <= w && codec::is_no_value(r.value) &&
                          fresh.records > 0 && fresh.last_head != codec::kNoValue;
    if (!absorbed) {
      append_run(fresh, r.start, r.value, r.size);
      continue;
    }
    const uint64_t end = k + 1 < recs.size() ? recs[k + 1].start : c.length;
    if (end - 1 > w) append_run(fresh, w + 1, r.value, r.size);
  }
  c = std::move(fresh);
}

// In-place pass for a column that ends within the watermark (the bulk-fill case): absorbed
// runs are dropped and equal neighbours merged. The output never overtakes the input: every
// dropped record frees at least two bytes, more than the merged delta's varint can grow.
void absorb_gaps(Column &c, uint64_t s, uint64_t w) {
  if (c.length - 1 > w) return absorb_gaps_copying(c, s, w);
  uint8_t *base = c.bytes.data();
  const uint8_t *in = base;
  size_t out = 0, out_value = 0;
  uint64_t start = 0, out_records = 0, out_start = 0;
  uint32_t out_size = 0;
  uint8_t out_head = 0;
  bool holes = false;
  std::vector<uint64_t> cp_start, cp_offset;
  for (uint64_t k = 0; k < c.records; ++k) {
    start += codec::get_varint(in);
    const size_t size = codec::encoded_size(in);
    const uint8_t *value = in;
    in += size;
    const bool absorbed =
        start > s && codec::is_no_value(value) && out_records > 0 && out_head != codec::kNoValue;
    const bool same =
        out_records > 0 && size == out_size && same_bytes(base + out_value, value, size);
    if (absorbed || same) continue;
    if (out_records % SignalStore::kBlock == 0) {
      cp_start.push_back(start);
      cp_offset.push_back(out);
    }
    uint64_t delta = out_records ? start - out_start : start;
    for (; delta >= 0x80; delta >>= 7)
      base[out++] = static_cast<uint8_t>(delta) | 0x80;
    base[out++] = static_cast<uint8_t>(delta);
    if (*value == codec::kNoValue && out_records > 0) holes = true;
    std::memmove(base + out, value, size);
    out_value = out;
    out += size;
    out_start = start;
    out_size = static_cast<uint32_t>(size);
    out_head = base[out_value];
    ++out_records;
  }
  c.bytes.resize(out);
  c.records = out_records;
  c.last_start = out_start;
  c.last_size = out_size;
  c.last_head = out_head;
  c.holes = holes;
  c.cp_start = std::move(cp_start);
  c.cp_offset = std::move(cp_offset);
}

} // namespace

void SignalStore::set(SignalId id, Index index, const ValueView &value) {
  Column &c = column_for_write(id);
  if (value.tag == Tag::Int && value.num < codec::kSmallIntLimit) {
    const uint8_t small = static_cast<uint8_t>(value.num);
    return write(c, index, &small, 1);
  }
  thread_local std::vector<uint8_t> encoded;
  encoded.clear();
  codec::encode_value(encoded, value);
  write(c, index, encoded.data(), encoded.size());
}

void SignalStore::set_before_fill(SignalId id, Index index, const ValueView &value) {
  if (value.tag != Tag::NoValue && id < columns_.size()) {
    Column &c = columns_[id];
    // The closing fill would carry the last value over the gap: hold it there right away.
    if (c.exists && c.synced == watermark_ && c.records > 0 && c.last_head != codec::kNoValue &&
        index > c.length)
      c.length = index;
  }
  set(id, index, value);
}

// Applies forward_fill(synced + 1 .. watermark) in order. A fill at n copies the value at n - 1
// into n when n - 1 holds a value and n holds none, so in run form: a NoValue run that starts
// in that range right after a value is absorbed by the value (up to the watermark), and a
// column that ends in a value inside the range grows to the watermark.
void SignalStore::materialize(Column &c) const {
  const uint64_t s = c.synced, w = watermark_;
  if (s >= w) return;
  c.synced = w;
  if (c.records == 0) return;
  // Only NoValue runs that start after s can be filled; without them only the tail can grow.
  if (c.last_start > s && c.holes) absorb_gaps(c, s, w);
  if (c.length >= s + 1 && c.length <= w && c.last_head != codec::kNoValue) c.length = w + 1;
}

void SignalStore::forward_fill(Index n) {
  if (n == 0) return;
  if (n == watermark_ + 1) {
    watermark_ = n;
    return;
  }
  // Out of order: apply everything pending, then this fill to every column at once.
  for (Column &c : columns_) {
    if (!c.exists) continue;
    materialize(c);
    if (c.length < n) continue;
    const uint8_t *prev = find_value(c, n - 1);
    if (codec::is_no_value(prev)) continue;
    if (n < c.length && !codec::is_no_value(find_value(c, n))) continue;
    const std::vector<uint8_t> copy(prev, prev + codec::encoded_size(prev));
    write(c, n, copy.data(), copy.size());
  }
}

void SignalStore::seal() {
  for (Column &c : columns_) {
    materialize(c);
    c.bytes.shrink_to_fit();
    c.cp_start.shrink_to_fit();
    c.cp_offset.shrink_to_fit();
  }
  columns_.shrink_to_fit();
#ifdef __GLIBC__
  // Loading frees large temporary buffers (file chunks, grown columns); hand those pages back
  // so that a loaded trace costs what it holds rather than its peak.
  malloc_trim(0);
#endif
}

SignalValue SignalStore::get(SignalId id, Index index) const {
  const Column *c = column(id);
  if (!c) return SignalValue();
  if (c->synced < watermark_) {
    Column copy = *c;
    materialize(copy);
    return to_value(read(copy, index));
  }
  return to_value(read(*c, index));
}

ValueView SignalStore::peek(SignalId id, Index index) const {
  const Column *c = column(id);
  return c ? read(*c, index) : ValueView();
}

std::vector<SignalValue> SignalStore::get_range(SignalId id, Index start, Index end) const {
  std::vector<SignalValue> out;
  if (end <= start) return out;
  out.reserve(end - start);
  const Column *c = column(id);
  Column copy;
  if (c && c->synced < watermark_) {
    copy = *c;
    materialize(copy);
    c = &copy;
  }
  ColumnCursor cursor(c);
  for (Index i = start; i < end; ++i)
    out.push_back(to_value(cursor.at(i)));
  return out;
}

uint64_t SignalStore::column_length(SignalId id) const {
  const Column *c = column(id);
  if (!c) return 0;
  if (c->synced >= watermark_) return c->length;
  Column copy = *c;
  materialize(copy);
  return copy.length;
}

size_t SignalStore::bytes_used() const {
  size_t n = columns_.capacity() * sizeof(Column);
  for (const Column &c : columns_)
    n += c.bytes.capacity() + 8 * (c.cp_start.capacity() + c.cp_offset.capacity());
  return n;
}

void ColumnCursor::reset() {
  cur_ = ValueView();
  cur_start_ = 0;
  next_start_ = kNone;
  run_end_ = 0;
  if (col_ && col_->records > 0) seek(0);
}

void ColumnCursor::seek(uint64_t i) {
  const auto &cps = col_->cp_start;
  const size_t block =
      static_cast<size_t>(std::upper_bound(cps.begin(), cps.end(), i) - cps.begin()) - 1;
  const uint8_t *p = col_->bytes.data() + col_->cp_offset[block];
  codec::get_varint(p);
  cur_start_ = cps[block];
  cur_ = codec::decode_value(p);
  next_ = p;
  next_record_ = block * SignalStore::kBlock + 1;
  if (next_record_ < col_->records) {
    const uint8_t *q = next_;
    next_start_ = cur_start_ + codec::get_varint(q);
  } else {
    next_start_ = kNone;
  }
  while (next_start_ <= i)
    step();
}

void ColumnCursor::step() {
  const uint8_t *p = next_;
  cur_start_ += codec::get_varint(p);
  cur_ = codec::decode_value(p);
  next_ = p;
  ++next_record_;
  if (next_record_ < col_->records) {
    const uint8_t *q = next_;
    next_start_ = cur_start_ + codec::get_varint(q);
  } else {
    next_start_ = kNone;
  }
}

ValueView ColumnCursor::at_slow(uint64_t i) {
  if (!col_ || i >= col_->length) {
    run_end_ = kNone;
    return ValueView();
  }
  if (i < cur_start_) {
    seek(i);
  } else {
    for (int steps = 0; next_start_ <= i; ++steps) {
      if (steps == 8) {
        seek(i);
        break;
      }
      step();
    }
  }
  run_end_ = std::min<uint64_t>(next_start_, col_->length);
  return cur_;
}

} // namespace wavesift
