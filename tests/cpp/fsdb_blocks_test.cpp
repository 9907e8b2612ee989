#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "readers/fsdb/blocks.hpp"

namespace wavesift::fsdb {
namespace {

using Bytes = std::vector<uint8_t>;

void put_leb(Bytes &out, uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<uint8_t>(v) | 0x80);
    v >>= 7;
  }
  out.push_back(static_cast<uint8_t>(v));
}

void put(Bytes &out, std::initializer_list<uint8_t> b) {
  out.insert(out.end(), b);
}

const std::initializer_list<uint8_t> kHeaderMarker = {0x38, 0x43, 0x00, 0x04, 0x00, 0x08};
const std::initializer_list<uint8_t> kStartMarker = {0x44, 0x00, 0x63, 0x00, 0x03, 0x08};

// header numbers, header marker, region, then (when given) the start-list marker and its bytes.
Bytes block(std::vector<uint64_t> header, Bytes region, std::optional<Bytes> start = {}) {
  Bytes b;
  for (uint64_t h : header)
    put_leb(b, h);
  put(b, kHeaderMarker);
  b.insert(b.end(), region.begin(), region.end());
  if (start) {
    put(b, kStartMarker);
    b.insert(b.end(), start->begin(), start->end());
  }
  return b;
}

using Pairs = std::vector<TimeValue>;
using Changes = std::vector<Change>;

TEST(FsdbBlocks, PairsWithoutSeparatorsUseAStepAndALimit) {
  // h3 = 3: at most limit + 1 = 3 pairs. First delta 2 gives step 15.
  const Bytes b = block({0, 0, 0, 3}, {2, 7, 0x85, 0, 1, 9, 0x41, 0, 3, 4, 0x86, 0, 0, 5, 0x87, 0});
  const auto vb = parse_value_block(b);
  ASSERT_TRUE(vb);
  EXPECT_FALSE(vb->separators);
  EXPECT_EQ(vb->changes, (Pairs{{15, 7}, {30, 9}, {75, 4}}));
  // Shift entries keep coming until the next pair hits the limit.
  EXPECT_EQ(vb->shifts, (std::vector<Shift>{{0, 5}, {1, 1}, {0, 6}}));
  EXPECT_FALSE(vb->clock);
}

TEST(FsdbBlocks, HeaderNumbers) {
  struct Case {
    std::vector<uint64_t> header;
    uint64_t limit, m, t5;
  };
  const Case cases[] = {
      {{}, UINT64_MAX, 0, 5},
      {{1, 2, 3}, UINT64_MAX, 0, 5},
      {{1, 2, 3, 0}, UINT64_MAX, 0, 5}, // 0 - 1 wraps
      {{1, 2, 3, 10}, 9, 0, 5},
      {{1, 2, 3, 10, 300}, 9, 300, 5},
      {{1, 2, 3, 10, 300, 4, 99}, 9, 300, 25},
  };
  for (const Case &c : cases) {
    const auto vb = parse_value_block(block(c.header, {1, 1}));
    ASSERT_TRUE(vb);
    EXPECT_EQ(vb->limit, c.limit);
    EXPECT_EQ(vb->m, c.m);
    EXPECT_EQ(vb->t5, c.t5);
  }
}

TEST(FsdbBlocks, SeparatedSegments) {
  // Segment 1: deltas 0 and 3 (times base and base + 20), then an odd byte: previous + 10.
  // Segment 2: one byte, a pair at base. Segment 3: delta 1 (base + 0). Segment 4 is the
  // clock trailer and no pairs.
  const Bytes region = {0, 1, 3, 2, 9, 0x08, 5, 0x08, 1, 6, 0x08, 0x00, 0, 4, '1'};
  const auto vb = parse_value_block(block({}, region));
  ASSERT_TRUE(vb);
  EXPECT_TRUE(vb->separators);
  EXPECT_EQ(vb->changes, (Pairs{{0, 1}, {20, 2}, {30, 9}, {30, 5}, {30, 6}}));
  EXPECT_FALSE(vb->clock); // first trailer byte lacks 0x40
}

TEST(FsdbBlocks, SeparatorEdgeCases) {
  // A trailing 0x08 yields no empty last segment, so with two segments the second is the
  // trailer. The odd byte of the last segment is dropped.
  auto changes = [](Bytes region) {
    const auto vb = parse_value_block(block({}, region));
    return vb ? vb->changes : Pairs{{999, 999}};
  };
  EXPECT_EQ(changes({2, 7, 0x08, 0x40, 0, 4, 0, 0x08}), (Pairs{{10, 7}}));
  // A single segment (only a trailing 0x08): no trailer; last segment, odd byte dropped.
  EXPECT_EQ(changes({2, 7, 5, 0x08}), (Pairs{{10, 7}}));
  // Empty segments give nothing and leave base alone.
  EXPECT_EQ(changes({0x08, 0x08, 3, 1, 0x08, 0}), (Pairs{{20, 1}}));
  // A one-byte inner segment is a pair at base; as the last segment (before the trailer) it
  // is nothing.
  EXPECT_EQ(changes({3, 1, 0x08, 7, 0x08, 2, 2, 0x08, 0x40, 0, 0, 0}),
            (Pairs{{20, 1}, {20, 7}, {30, 2}}));
  EXPECT_EQ(changes({3, 1, 0x08, 7, 0x08, 0x40, 0, 0, 0}), (Pairs{{20, 1}}));
  // acc carries across the pairs of a segment; base is the last time of the previous one.
  EXPECT_EQ(changes({1, 1, 1, 2, 0x08, 2, 3, 0x08, 0x40}), (Pairs{{0, 1}, {10, 2}, {20, 3}}));
}

TEST(FsdbBlocks, RegionIsCutAtEndWords) {
  // Bytes after FF FF FF FF or C1 21 00 00 are not part of the region.
  auto count = [](Bytes region) {
    const auto vb = parse_value_block(block({}, region));
    return vb ? vb->changes.size() : size_t{999};
  };
  EXPECT_EQ(count({1, 1, 2, 2, 0xFF, 0xFF, 0xFF, 0xFF, 3, 3}), 2u);
  EXPECT_EQ(count({1, 1, 0xC1, 0x21, 0x00, 0x00, 3, 3}), 1u);
  EXPECT_EQ(count({1, 1, 0xFF, 0xFF, 0xFF, 0, 1, 1}), 2u); // three FF bytes are not the end word
}

TEST(FsdbBlocks, SkippedBlocks) {
  EXPECT_FALSE(parse_value_block(Bytes{0x38, 0x43, 0, 4, 0, 8, 1}));     // under 8 bytes
  EXPECT_FALSE(parse_value_block(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10})); // no markers
  // Header marker too close to the end is never seen as complete.
  EXPECT_FALSE(parse_value_block(Bytes{1, 2, 3, 0x38, 0x43, 0, 4, 0}));
  // Without the header marker, 0x21C1 lets four LEB128 numbers be the header; six bytes after
  // them are skipped, then the region starts.
  const Bytes fallback = {0x81, 0x01, 2, 3, 4,    0xAA, 0xAA, 0xAA, 0xAA,
                          0xAA, 0xAA, 2, 7, 0xC1, 0x21, 0,    0};
  const auto vb = parse_value_block(fallback);
  ASSERT_TRUE(vb);
  EXPECT_EQ(vb->limit, 3u);
  EXPECT_EQ(vb->changes, (Pairs{{15, 7}}));
  // Four numbers need six more bytes after them.
  EXPECT_FALSE(parse_value_block(Bytes{1, 2, 3, 4, 0xC1, 0x21, 0, 0, 9}));
}

TEST(FsdbBlocks, StartList) {
  struct Case {
    Bytes region;
    Bytes start;
    Bytes expected;
  };
  const Case cases[] = {
      // Plain bytes are values, except 0x00..0x08, 0x27 and 0x38.
      {{1, 1}, {0x10, 0x02, 0x27, 0x38, 0x09, 0x7F, 0x08}, {0x10, 0x09, 0x7F}},
      // 0x01 v then a LEB128 number: v is a value, the number is skipped.
      {{1, 1}, {0x01, 0x05, 0x81, 0x01, 0x30, 0x01, 0x00, 0x07}, {0x05, 0x30, 0x00}},
      // 0x01 with 0x38 two bytes later stops.
      {{1, 1}, {0x0A, 0x01, 0x05, 0x38, 0x0B}, {0x0A}},
      // 00 00 00 stops; a lone 0x00 is passed.
      {{1, 1}, {0x0A, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x0C}, {0x0A, 0x0B}},
      // C1 21 00 00 stops; any other byte from 0x80 starts a skipped LEB128 number.
      {{1, 1}, {0x0A, 0xC1, 0x0B, 0x0C, 0xC1, 0x21, 0x00, 0x00, 0x0D}, {0x0A, 0x0C}},
      // With the region's last byte 0xFF, a skipped number adds 255 once.
      {{1, 0xFF}, {0x90, 0x01, 0x0A, 0x90, 0x01}, {0xFF, 0x0A}},
      // The last byte is never read as an entry start.
      {{1, 1}, {0x0A, 0x0B}, {0x0A}},
  };
  for (const Case &c : cases) {
    const auto vb = parse_value_block(block({}, c.region, c.start));
    ASSERT_TRUE(vb);
    EXPECT_EQ(vb->start_list, c.expected);
  }
}

TEST(FsdbBlocks, ChangesAssignSignals) {
  // Start list (0x15, 0x16) -> signals 1 and 2 at time 0; m = 9 at t5 = 10 -> signal 3; the
  // change list -> signal 4; shifts -> signals 5 (kind 0, +2) and 6 (kind 1, +1, bit 0 only).
  const Bytes b = block({0, 0, 0, 0, 9, 1}, {1, 3, 0x82, 0, 0x41, 0}, Bytes{0x15, 0x16, 0, 0, 0});
  const auto vb = parse_value_block(b);
  ASSERT_TRUE(vb);
  EXPECT_EQ(block_changes(*vb, 7),
            (Changes{{1, 0, 0x15}, {2, 0, 0x16}, {3, 10, 9}, {4, 10, 3}, {5, 12, 3}, {6, 11, 1}}));
  // Fewer names: ids at or past the count are dropped; the change list goes to the last
  // name, and shifts find no signal left.
  EXPECT_EQ(block_changes(*vb, 3), (Changes{{1, 0, 0x15}, {2, 0, 0x16}, {2, 10, 3}}));
  // No names: nothing, not even signal 0 (no clock here).
  EXPECT_EQ(block_changes(*vb, 0), Changes{});
}

TEST(FsdbBlocks, ShiftsWithoutChangesStillUseUpSignals) {
  const Bytes b = block({}, {0x81, 0, 0x82, 0});
  const auto vb = parse_value_block(b);
  ASSERT_TRUE(vb);
  EXPECT_TRUE(vb->changes.empty());
  EXPECT_EQ(vb->shifts.size(), 2u);
  EXPECT_EQ(block_changes(*vb, 5), Changes{});
}

TEST(FsdbBlocks, Clock) {
  // Trailer: first byte with 0x40, byte 2 = 4 -> half period 10, byte 3 not '0' -> starts at
  // 1. The change list ends at 20 (delta 3 in a separated segment), so the clock runs to 30.
  const auto vb = parse_value_block(block({}, {3, 1, 0x08, 0x40, 0, 4, '1'}));
  ASSERT_TRUE(vb);
  ASSERT_TRUE(vb->clock);
  EXPECT_EQ(vb->clock->half, 10u);
  EXPECT_EQ(block_changes(*vb, 0), (Changes{{0, 0, 1}, {0, 10, 0}, {0, 20, 1}, {0, 30, 0}}));
  // Signal 0 also takes the change list here; the clock comes last and wins at equal times.
  EXPECT_EQ(block_changes(*vb, 1),
            (Changes{{0, 20, 1}, {0, 0, 1}, {0, 10, 0}, {0, 20, 1}, {0, 30, 0}}));

  // byte 3 '0' starts low; half = 3 * 5 / 2 = 7 (rounded down); without changes the end is 10.
  const auto low = parse_value_block(block({}, {0x08, 0x41, 9, 3, '0'}));
  ASSERT_TRUE(low);
  EXPECT_EQ(block_changes(*low, 0), (Changes{{0, 0, 0}, {0, 7, 1}}));

  // Half period 0: no clock at all (instead of toggling forever at time 0).
  const auto zero = parse_value_block(block({}, {3, 1, 0x08, 0x40, 0, 0, '1'}));
  ASSERT_TRUE(zero && zero->clock);
  EXPECT_EQ(block_changes(*zero, 0), Changes{});

  // A trailer of three bytes is no clock.
  const auto short_trailer = parse_value_block(block({}, {3, 1, 0x08, 0x40, 0, 4}));
  ASSERT_TRUE(short_trailer);
  EXPECT_FALSE(short_trailer->clock);
}

// ---- Merging blocks into one table ----

// The table by index, as the decoding rules describe it: insert each block's times (new cells
// empty, later cells moving one index on), write the block's changes by index, give signals
// below `names` a 0 at index 0, fill forward.
struct DenseModel {
  std::vector<uint64_t> times{0};
  std::map<SignalId, std::vector<std::optional<uint64_t>>> cols;

  void add(const std::vector<Change> &changes, size_t names) {
    std::vector<uint64_t> ts{0};
    for (const Change &c : changes)
      ts.push_back(c.time);
    std::sort(ts.begin(), ts.end());
    ts.erase(std::unique(ts.begin(), ts.end()), ts.end());
    for (uint64_t t : ts) {
      const auto it = std::lower_bound(times.begin(), times.end(), t);
      if (it != times.end() && *it == t) continue;
      const size_t at = static_cast<size_t>(it - times.begin());
      times.insert(it, t);
      for (auto &[id, col] : cols)
        if (at < col.size())
          col.insert(col.begin() + static_cast<std::ptrdiff_t>(at), std::nullopt);
    }
    auto set = [&](SignalId id, size_t at, uint64_t v) {
      auto &col = cols[id];
      if (col.size() <= at) col.resize(at + 1);
      col[at] = v;
    };
    for (const Change &c : changes) {
      const size_t at =
          static_cast<size_t>(std::lower_bound(times.begin(), times.end(), c.time) - times.begin());
      set(c.id, at, c.value);
    }
    for (SignalId id = 0; id < names; ++id)
      if (cols[id].empty() || !cols[id][0]) set(id, 0, 0);
    for (size_t n = 1; n < times.size(); ++n)
      for (auto &[id, col] : cols)
        if (n - 1 < col.size() && col[n - 1] && (n >= col.size() || !col[n]))
          set(id, n, *col[n - 1]);
  }
};

void expect_same(const DenseModel &model, const TraceData &t) {
  ASSERT_EQ(t.timestamps, model.times);
  for (const auto &[id, col] : model.cols) {
    for (size_t i = 0; i < model.times.size(); ++i) {
      const SignalValue got = t.store.get(id, i);
      const std::optional<uint64_t> want = i < col.size() ? col[i] : std::nullopt;
      if (want) {
        ASSERT_EQ(got, SignalValue::of_int(*want)) << "id " << id << " index " << i;
      } else {
        ASSERT_TRUE(got.is_none()) << "id " << id << " index " << i;
      }
    }
  }
  for (SignalId id = 0; id < t.store.id_bound(); ++id)
    if (t.store.has_column(id)) {
      ASSERT_TRUE(model.cols.count(id)) << id;
    }
}

TEST(FsdbBlocks, LaterBlockInsertingEarlierTimesKeepsValuesAtTheirTimes) {
  // Block 1: signal 0 takes 7 at 20 and 8 at 40. Block 2: signal 1 takes 5 at 10 and 6 at 30.
  ValueBlock b1;
  b1.separators = true;
  b1.changes = {{20, 7}, {40, 8}};
  ValueBlock b2;
  b2.start_list = {};
  b2.m = 0;
  b2.separators = true;
  b2.changes = {{10, 5}, {30, 6}};
  ValueBlock b3; // moves signal 0 at time 30, between its own 20 and 40
  b3.separators = true;
  b3.changes = {{30, 9}};

  ValueTable table;
  ASSERT_TRUE(table.add(b1, 2));
  ASSERT_TRUE(table.add(b2, 2));
  ASSERT_TRUE(table.add(b3, 2));
  TraceData t;
  table.finish(t);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 10, 20, 30, 40}));
  auto col = [&](SignalId id) {
    std::vector<uint64_t> v;
    for (size_t i = 0; i < t.timestamps.size(); ++i)
      v.push_back(*to_u64(t.store.get(id, i)));
    return v;
  };
  // Block 2 and 3 write signal 0 (no start list, no m: g = 0).
  EXPECT_EQ(col(0), (std::vector<uint64_t>{0, 5, 7, 9, 8}));
  EXPECT_EQ(col(1), (std::vector<uint64_t>{0, 0, 0, 0, 0}));

  DenseModel model;
  model.add(block_changes(b1, 2), 2);
  model.add(block_changes(b2, 2), 2);
  model.add(block_changes(b3, 2), 2);
  expect_same(model, t);
}

TEST(FsdbBlocks, TableMatchesTheDenseModelOnRandomBlocks) {
  std::mt19937_64 rng(20261211);
  auto pick = [&](uint64_t n) { return std::uniform_int_distribution<uint64_t>(0, n - 1)(rng); };
  for (int round = 0; round < 300; ++round) {
    const size_t names = pick(5);
    ValueTable table;
    DenseModel model;
    const int blocks = 1 + static_cast<int>(pick(5));
    for (int k = 0; k < blocks; ++k) {
      ValueBlock b;
      b.separators = pick(2);
      for (uint64_t s = pick(3); s > 0; --s)
        b.start_list.push_back(static_cast<uint8_t>(pick(4)));
      if (pick(3) == 0) {
        b.m = 1 + pick(3);
        b.t5 = pick(60);
      }
      for (uint64_t c = pick(6); c > 0; --c)
        b.changes.push_back({pick(60), pick(3)});
      for (uint64_t s = pick(3); s > 0; --s)
        b.shifts.push_back({static_cast<uint8_t>(pick(2)), static_cast<uint8_t>(pick(12))});
      if (pick(3) == 0) b.clock = Clock{pick(25), static_cast<uint8_t>(pick(2))};
      ASSERT_TRUE(table.add(b, names));
      model.add(block_changes(b, names), names);
    }
    TraceData t;
    table.finish(t);
    SCOPED_TRACE(round);
    expect_same(model, t);
  }
}

TEST(FsdbBlocks, EveryNamedSignalStartsAtZero) {
  ValueBlock b; // nothing at all, but decoded
  ValueTable table;
  ASSERT_TRUE(table.add(b, 3));
  TraceData t;
  table.finish(t);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0}));
  for (SignalId id = 0; id < 3; ++id)
    EXPECT_EQ(t.store.get(id, 0), SignalValue::of_int(0));
  EXPECT_FALSE(t.store.has_column(3));
}

TEST(FsdbBlocks, BlocksBeyondTheChangeBoundAreSkippedWhole) {
  // Half period 2 up to time ~ 2^23 would be ~ 2^22 clock edges: past the bound.
  ValueBlock huge;
  huge.separators = true;
  huge.changes = {{uint64_t{1} << 23, 1}};
  huge.clock = Clock{2, 1};
  ValueBlock small;
  small.separators = true;
  small.changes = {{10, 4}};
  ValueTable table;
  EXPECT_FALSE(table.add(huge, 1));
  EXPECT_TRUE(table.add(small, 1));
  TraceData t;
  table.finish(t);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 10}));
  EXPECT_EQ(t.store.get(0, 1), SignalValue::of_int(4));
}

} // namespace
} // namespace wavesift::fsdb
