#include "readers/fsdb/blocks.hpp"

#include <algorithm>
#include <cstring>

namespace wavesift::fsdb {
namespace {

using Bytes = std::span<const uint8_t>;

constexpr uint8_t kHeaderMarker[] = {0x38, 0x43, 0x00, 0x04, 0x00, 0x08};
constexpr uint8_t kStartMarker[] = {0x44, 0x00, 0x63, 0x00, 0x03, 0x08};
constexpr uint8_t kEndValue[] = {0xC1, 0x21, 0x00, 0x00}; // 0x21C1
constexpr uint8_t kAllOnes[] = {0xFF, 0xFF, 0xFF, 0xFF};
constexpr uint8_t kSeparator = 0x08;
constexpr size_t kMaxLebBytes = 10;

// Position of the first occurrence of `needle` in b[from, to), or `to` when there is none.
size_t find(Bytes b, size_t from, size_t to, Bytes needle) {
  if (from >= to || to - from < needle.size()) return to;
  const auto first = b.begin() + static_cast<std::ptrdiff_t>(from);
  const auto last = b.begin() + static_cast<std::ptrdiff_t>(to);
  const auto it = std::search(first, last, needle.begin(), needle.end());
  return it == last ? to : static_cast<size_t>(it - b.begin());
}

// One LEB128 number at pos in b[0, end). False when the range ends inside it. A number ends
// after ten bytes even if the tenth still has the continuation flag; bits past 64 are lost.
bool read_leb(Bytes b, size_t end, size_t &pos, uint64_t &out) {
  uint64_t v = 0;
  size_t p = pos;
  for (size_t k = 0; k < kMaxLebBytes; ++k) {
    if (p >= end) return false;
    const uint8_t c = b[p++];
    v |= static_cast<uint64_t>(c & 0x7F) << (7 * k);
    if (!(c & 0x80)) break;
  }
  pos = p;
  out = v;
  return true;
}

size_t skip_leb(Bytes b, size_t pos) {
  for (size_t k = 0; k < kMaxLebBytes && pos < b.size(); ++k)
    if (!(b[pos++] & 0x80)) break;
  return pos;
}

struct Range {
  size_t begin = 0, end = 0;
  size_t size() const { return end - begin; }
};

// Decodes one segment's two-byte entries; appends pairs to `out` and shifts to `shifts`.
void decode_segment(Bytes seg, bool separators, bool last, uint64_t base, uint64_t limit,
                    uint64_t &pairs_in_block, std::vector<TimeValue> &out,
                    std::vector<Shift> &shifts) {
  const size_t len = seg.size();
  if (len < 2) {
    if (len == 1 && separators && !last) out.push_back({base, seg[0]});
    return;
  }
  const size_t first_pair = out.size();
  uint64_t acc = 0, step = 0;
  for (size_t pos = 0;; pos += 2) {
    const uint8_t b = seg[pos];
    if (b & 0x80) {
      shifts.push_back({0, static_cast<uint8_t>(b & 0x7F)});
    } else if (b >= 64) {
      shifts.push_back({1, static_cast<uint8_t>(b & 0x3F)});
    } else {
      uint64_t time;
      if (separators) {
        acc += b;
        time = acc == 0 ? base : base + (acc - 1) * 10;
      } else {
        if (pairs_in_block > limit) return;
        if (out.size() == first_pair) {
          step = uint64_t{b} * 5 + 5;
          time = step;
        } else {
          time = out.back().time + b * step;
        }
      }
      out.push_back({time, seg[pos + 1]});
      ++pairs_in_block;
    }
    if (pos + 3 >= len) {
      // An odd byte at the end of an inner segment is one more value, 10 units on.
      if (separators && !last && pos + 2 == len - 1) {
        const uint64_t time = out.size() > first_pair ? out.back().time + 10 : base;
        out.push_back({time, seg[pos + 2]});
        ++pairs_in_block;
      }
      return;
    }
  }
}

std::vector<uint8_t> read_start_list(Bytes b, size_t s, uint8_t z) {
  const size_t n = b.size();
  std::vector<uint8_t> list;
  bool has_ff = false;
  auto add = [&](uint8_t v) {
    list.push_back(v);
    has_ff = has_ff || v == 0xFF;
  };
  while (s + 1 < n) {
    const uint8_t c = b[s];
    if (c == 0x00) {
      if (s + 2 < n && b[s + 1] == 0x00 && b[s + 2] == 0x00) break;
      ++s;
    } else if (c == 0x01) {
      if (s + 2 < n && b[s + 2] == 0x38) break;
      add(b[s + 1]);
      s = skip_leb(b, s + 2);
    } else if (c == 0xC1 && s + 3 < n && b[s + 1] == 0x21 && b[s + 2] == 0x00 && b[s + 3] == 0x00) {
      break;
    } else if (c >= 0x80) {
      s = skip_leb(b, s);
      if (z == 0xFF && !has_ff) add(0xFF);
    } else {
      if (!(c <= 0x08 || c == 0x27 || c == 0x38)) add(c);
      ++s;
    }
  }
  return list;
}

uint64_t saturating_add(uint64_t a, uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

enum class SourceKind : uint8_t { Start, M, Changes, Shifted, Clock };

// One run of changes aimed at one signal; a block's changes are its sources in order.
struct Source {
  SignalId id;
  SourceKind kind;
  size_t arg; // start-list index or shift index
};

struct Plan {
  std::vector<Source> sources;
  uint64_t clock_end = 0;
  uint64_t count = 0; // changes in all sources, saturating
};

Plan plan_of(const ValueBlock &b, size_t names) {
  Plan plan;
  auto add = [&](SignalId id, SourceKind kind, size_t arg, uint64_t count) {
    plan.sources.push_back({id, kind, arg});
    plan.count = saturating_add(plan.count, count);
  };
  const size_t listed = b.start_list.size();
  for (size_t k = 0; k < listed && k + 1 < names; ++k)
    add(k + 1, SourceKind::Start, k, 1);
  if (b.m != 0 && listed + 1 < names) add(listed + 1, SourceKind::M, 0, 1);

  const size_t n = b.changes.size();
  size_t g = 0;
  if (listed != 0 || b.m != 0)
    g = std::min<size_t>(names == 0 ? 0 : names - 1, listed + 1 + (b.m != 0 ? 1 : 0));
  if (g < names && n != 0) add(g++, SourceKind::Changes, 0, n);
  for (size_t i = 0; i < b.shifts.size() && g < names; ++i, ++g)
    if (n != 0) add(g, SourceKind::Shifted, i, n);

  if (b.clock && b.clock->half != 0) {
    uint64_t last = 0;
    for (const TimeValue &c : b.changes)
      last = std::max(last, c.time);
    plan.clock_end = saturating_add(n == 0 ? 0 : last, 10);
    add(0, SourceKind::Clock, 0, plan.clock_end / b.clock->half + 1);
  }
  return plan;
}

void expand(const ValueBlock &b, const Plan &plan, const Source &src, std::vector<TimeValue> &out) {
  switch (src.kind) {
  case SourceKind::Start:
    out.push_back({0, b.start_list[src.arg]});
    break;
  case SourceKind::M:
    out.push_back({b.t5, b.m});
    break;
  case SourceKind::Changes:
    out.insert(out.end(), b.changes.begin(), b.changes.end());
    break;
  case SourceKind::Shifted: {
    const Shift s = b.shifts[src.arg];
    for (const TimeValue &c : b.changes)
      out.push_back({c.time + s.offset, s.kind == 1 ? (c.value & 1) : c.value});
    break;
  }
  case SourceKind::Clock: {
    const uint64_t half = b.clock->half, end = plan.clock_end;
    uint64_t v = b.clock->start;
    for (uint64_t t = 0;; t += half, v ^= 1) {
      out.push_back({t, v});
      if (end - t < half) break;
    }
    break;
  }
  }
}

} // namespace

std::optional<ValueBlock> parse_value_block(Bytes b) {
  const size_t n = b.size();
  if (n < 8) return std::nullopt;

  // Header: LEB128 numbers up to the header marker, or, in blocks without it that still end
  // their values with 0x21C1, exactly four numbers.
  size_t p = find(b, 0, n, kHeaderMarker);
  if (p == n) {
    if (find(b, 0, n, kEndValue) == n) return std::nullopt;
    p = 0;
    uint64_t ignored;
    for (int k = 0; k < 4; ++k)
      if (!read_leb(b, n, p, ignored)) return std::nullopt;
  }
  if (p + sizeof kHeaderMarker > n) return std::nullopt;

  uint64_t h[6];
  size_t count = 0;
  for (size_t pos = 0; count < 6 && read_leb(b, p, pos, h[count]);)
    ++count;
  ValueBlock out;
  if (count >= 4) out.limit = h[3] - 1;
  if (count >= 5) out.m = h[4];
  if (count >= 6) out.t5 = h[5] * 5 + 5;

  // Region: after the header marker, up to the start-list marker, cut at the first all-ones
  // word and then at the first 0x21C1 word.
  Range region{p + sizeof kHeaderMarker, n};
  const size_t q = find(b, region.begin, n, kStartMarker);
  const bool has_start_list = q != n;
  region.end = q;
  region.end = find(b, region.begin, region.end, kAllOnes);
  region.end = find(b, region.begin, region.end, kEndValue);
  const uint8_t z = region.size() ? b[region.end - 1] : 0;

  // Segments at every 0x08; with separators the last segment describes the clock.
  std::vector<Range> segments;
  out.separators = std::find(b.begin() + static_cast<std::ptrdiff_t>(region.begin),
                             b.begin() + static_cast<std::ptrdiff_t>(region.end),
                             kSeparator) != b.begin() + static_cast<std::ptrdiff_t>(region.end);
  if (out.separators) {
    size_t start = region.begin;
    for (size_t i = region.begin; i < region.end; ++i) {
      if (b[i] != kSeparator) continue;
      segments.push_back({start, i});
      start = i + 1;
    }
    if (start < region.end) segments.push_back({start, region.end});
  } else {
    segments.push_back(region);
  }
  std::optional<Range> trailer;
  if (segments.size() >= 2) {
    trailer = segments.back();
    segments.pop_back();
  }

  uint64_t base = 0, pairs = 0;
  for (size_t k = 0; k < segments.size(); ++k) {
    const size_t before = out.changes.size();
    const Range r = segments[k];
    decode_segment(b.subspan(r.begin, r.size()), out.separators, k + 1 == segments.size(), base,
                   out.limit, pairs, out.changes, out.shifts);
    if (out.changes.size() > before) base = out.changes.back().time;
  }

  if (has_start_list) out.start_list = read_start_list(b, q + sizeof kStartMarker, z);

  if (trailer && trailer->size() > 3 && (b[trailer->begin] & 0x40)) {
    const uint8_t period = b[trailer->begin + 2], phase = b[trailer->begin + 3];
    out.clock = Clock{uint64_t{period} * 5 / 2, static_cast<uint8_t>(phase == '0' ? 0 : 1)};
  }
  return out;
}

std::vector<Change> block_changes(const ValueBlock &block, size_t names) {
  const Plan plan = plan_of(block, names);
  std::vector<Change> out;
  std::vector<TimeValue> run;
  for (const Source &src : plan.sources) {
    run.clear();
    expand(block, plan, src, run);
    for (const TimeValue &tv : run)
      out.push_back({src.id, tv.time, tv.value});
  }
  return out;
}

ValueTable::ValueTable() {
  times_.insert(0);
}

bool ValueTable::add(const ValueBlock &block, size_t names) {
  Plan plan = plan_of(block, names);
  if (plan.count > kMaxChanges - taken_) return false;
  taken_ += plan.count;

  // Signals are independent, so each signal's changes are applied together, in block order.
  std::stable_sort(plan.sources.begin(), plan.sources.end(),
                   [](const Source &a, const Source &b) { return a.id < b.id; });
  const SignalId top =
      std::max<size_t>(names, plan.sources.empty() ? 0 : plan.sources.back().id + 1);
  if (columns_.size() < top) columns_.resize(top);

  std::vector<uint64_t> added{0};
  std::vector<TimeValue> writes, kept;
  std::vector<uint64_t> written;
  for (size_t i = 0; i < plan.sources.size();) {
    const SignalId id = plan.sources[i].id;
    writes.clear();
    for (; i < plan.sources.size() && plan.sources[i].id == id; ++i)
      expand(block, plan, plan.sources[i], writes);
    written.clear();
    for (const TimeValue &w : writes)
      written.push_back(w.time);
    std::sort(written.begin(), written.end());
    written.erase(std::unique(written.begin(), written.end()), written.end());

    // An existing time right after a written one keeps the value it had: in the table by
    // index it is a filled cell that this block's fill does not touch. New times in between
    // take the value before them, which a lookup by time gives anyway.
    auto &col = columns_[id];
    kept.clear();
    for (const uint64_t t : written) {
      const auto next = times_.upper_bound(t);
      if (next == times_.end() || std::binary_search(written.begin(), written.end(), *next))
        continue;
      auto at = col.upper_bound(*next);
      if (at == col.begin()) continue;
      kept.push_back({*next, std::prev(at)->second});
    }
    for (const TimeValue &w : writes)
      col.insert_or_assign(w.time, w.value);
    for (const TimeValue &k : kept)
      col.insert_or_assign(k.time, k.value);
    added.insert(added.end(), written.begin(), written.end());
  }
  // Every named signal has a value from time 0 on once any block was read. Keys are never
  // removed, so signals given one by an earlier block need no second look.
  for (SignalId id = defaulted_; id < names; ++id)
    columns_[id].emplace(0, 0);
  defaulted_ = std::max(defaulted_, names);
  std::sort(added.begin(), added.end());
  added.erase(std::unique(added.begin(), added.end()), added.end());
  times_.insert(added.begin(), added.end());
  return true;
}

void ValueTable::finish(TraceData &out) const {
  out.timestamps.assign(times_.begin(), times_.end());
  const auto &ts = out.timestamps;
  for (SignalId id = 0; id < columns_.size(); ++id) {
    auto from = ts.begin();
    for (const auto &[time, value] : columns_[id]) {
      from = std::lower_bound(from, ts.end(), time);
      out.store.set(id, static_cast<Index>(from - ts.begin()), ValueView::of_int(value));
    }
  }
  for (Index i = 1; i < ts.size(); ++i)
    out.store.forward_fill(i);
}

} // namespace wavesift::fsdb
