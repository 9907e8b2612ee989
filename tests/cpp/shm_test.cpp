// SHM databases: the design-file record walk, the transition-file decoder and the reader
// that puts them together. Fixtures are built byte by byte.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdlib.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "readers/shm/shm.hpp"
#include "readers/shm/dsn.hpp"
#include "readers/shm/trn.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

inline void put32(Bytes &b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  b[at] = v >> 24;
  b[at + 1] = v >> 16;
  b[at + 2] = v >> 8;
  b[at + 3] = v;
}

// Writes s and its terminating NUL at `at`.
inline void put_str(Bytes &b, size_t at, std::string_view s) {
  if (b.size() < at + s.size() + 1) b.resize(at + s.size() + 1);
  for (size_t k = 0; k < s.size(); ++k)
    b[at + k] = static_cast<uint8_t>(s[k]);
  b[at + s.size()] = 0;
}

constexpr uint32_t kMagic = 0xA19511BF;
constexpr uint32_t kSignal = 0x00090700;
constexpr uint32_t kSignal2 = 0x00290700;
constexpr uint32_t kScopeDef = 0x00070501;
constexpr uint32_t kScopeInst = 0x00070601;
constexpr uint32_t kMetaV1 = 0x00010102;

struct Record {
  uint32_t tag;
  std::vector<std::string> strings;
  uint32_t name_ref = 0; // Y
};

// A design file: magic, then the records laid out one after another, each `next` pointing
// at the following one; the last has next = 0.
inline Bytes dsn(const std::vector<Record> &records, Bytes header = {}) {
  Bytes b = std::move(header);
  b.resize(128);
  put32(b, 0, kMagic);
  size_t at = 128, prev_next = 0;
  for (const Record &r : records) {
    if (prev_next) put32(b, prev_next, static_cast<uint32_t>(at));
    put32(b, at, r.tag);
    put32(b, at + 4, 0);
    put32(b, at + 8, r.name_ref);
    prev_next = at + 4;
    at += 12;
    for (const std::string &s : r.strings) {
      put_str(b, at, s);
      at += s.size() + 1;
    }
    while (at % 4)
      b.resize(++at);
  }
  b.resize(std::max<size_t>(at, 140));
  return b;
}

struct Block {
  uint32_t span;     // T
  uint32_t changes;  // n
  Bytes state;       // S0 .. S1
  Bytes change = {}; // S1 .. E
};

// A transition file: magic, resolution code, the block headers from offset 32, then each
// block's state and change areas, then four spare bytes so that S0 stays inside the file.
inline Bytes trn(uint32_t resolution, const std::vector<Block> &blocks) {
  Bytes b(32, 0);
  put32(b, 0, kMagic);
  put32(b, 8, resolution);
  size_t area = 32 + 64 * blocks.size();
  b.resize(area);
  for (size_t k = 0; k < blocks.size(); ++k) {
    const Block &bl = blocks[k];
    const size_t h = 32 + 64 * k;
    const size_t s0 = area, s1 = s0 + bl.state.size(), e = s1 + bl.change.size();
    put32(b, h, 0x001B2200);
    put32(b, h + 28, bl.span);
    put32(b, h + 40, bl.changes);
    put32(b, h + 48, static_cast<uint32_t>(e));
    put32(b, h + 52, static_cast<uint32_t>(s0));
    put32(b, h + 56, static_cast<uint32_t>(s1));
    b.insert(b.end(), bl.state.begin(), bl.state.end());
    b.insert(b.end(), bl.change.begin(), bl.change.end());
    area = e;
  }
  b.resize(area + 4);
  return b;
}

} // namespace

namespace wavesift::shm {
namespace {

// ---------------------------------------------------------------------------------------
// Design file

TEST(ShmDsn, ExtractStrings) {
  Bytes b;
  put_str(b, 0, "ab");        // 0..2
  b.push_back(0x01);          // 3: not printable
  put_str(b, 4, "c\xC3\xA9"); // 4..7: printable start, valid UTF-8 continuation
  put_str(b, 8, "d\xFF");     // 8..10: invalid UTF-8, dropped
  put_str(b, 11, "tail");     // 11..15
  struct Case {
    size_t from, to;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {0, 100, {"ab", "c\xC3\xA9", "tail"}},
      {1, 3, {"b"}},     // starts mid-string
      {11, 13, {"ta"}},  // cut at `to`
      {14, 1000, {"l"}}, // `to` past the data
      {16, 20, {}},      // entirely past the data
      {5, 4, {}},        // empty window
  };
  for (const Case &c : cases)
    EXPECT_EQ(extract_strings(b, c.from, c.to), c.want) << c.from << ".." << c.to;
}

TEST(ShmDsn, IdentifierRule) {
  for (const char *good : {"clk", "mem[3]", "top.u1", "_x$", "f(1)", "A9"})
    EXPECT_TRUE(is_identifier(good)) << good;
  for (const char *bad : {"", "1abc", "a-b", "\\esc", "$x", "a b", ".x", "x:y"})
    EXPECT_FALSE(is_identifier(bad)) << bad;
}

TEST(ShmDsn, MagicIsCheckedFrom128Bytes) {
  const Bytes short_file(100, 0x12);
  const auto small = parse_dsn(short_file);
  ASSERT_TRUE(small.ok());
  EXPECT_TRUE(small.value().signal_names.empty());

  Bytes wrong(200, 0);
  put32(wrong, 0, 0x12345678);
  const auto bad = parse_dsn(wrong);
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error(), "Bad DSN magic: 0x12345678");

  const Bytes letters(128, 0xAB);
  const auto hex = parse_dsn(letters);
  ASSERT_FALSE(hex.ok());
  EXPECT_EQ(hex.error(), "Bad DSN magic: 0xABABABAB");

  // Right magic but shorter than one record: nothing to walk.
  Bytes header(139, 0);
  put32(header, 0, kMagic);
  put_str(header, 128, "clk");
  put32(header, 124, kSignal);
  const auto empty = parse_dsn(header);
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.value().signal_names.empty());
}

TEST(ShmDsn, RecordChainHarvestsNamesAndScopes) {
  Bytes header(128, 0);
  put_str(header, 40, "a-b");
  put_str(header, 44, "clk");
  put_str(header, 48, "rst");
  put_str(header, 52, "en");
  const Bytes file = dsn(
      {
          {kScopeDef, {"top", "x"}}, // one-byte strings are not scopes
          {kSignal, {"clk", "1bad", "data", "clk"}},
          {kMetaV1, {"ignored"}},
          {kScopeInst, {"top"}},
          {kSignal2, {"payload_ignored"}, 40}, // reference before the record wins
          {kSignal, {"a\\b", "mem[3]", "top.u1"}},
      },
      header);
  const auto got = parse_dsn(file);
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(got.value().signal_names,
            (std::vector<std::string>{"clk", "data", "rst", "mem[3]", "top.u1"}));
  EXPECT_EQ(got.value().scopes, (std::vector<std::string>{"top", "top"}));
}

TEST(ShmDsn, WalkResynchronisesOnPlausibleTags) {
  Bytes b(128, 0);
  put32(b, 0, kMagic);
  // Empty words are stepped over four bytes at a time.
  put32(b, 128, 0);
  put32(b, 132, 0);
  // A record whose next points back at itself: the walk searches forward instead.
  put32(b, 136, kScopeDef);
  put32(b, 140, 136);
  put32(b, 144, 0);
  put_str(b, 148, "alpha"); // 148..153
  b.resize(156);
  // Found by the search at W + 8: an unknown tag with a plausible upper half.
  put32(b, 156, 0x00140000);
  put32(b, 160, 0);
  put32(b, 164, 0);
  put32(b, 168, kSignal);
  put32(b, 172, 0);
  put32(b, 176, 0);
  put_str(b, 180, "sig");
  b.resize(200);
  const auto got = parse_dsn(b);
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(got.value().signal_names, std::vector<std::string>{"sig"});
  // The scope record's window runs 256 bytes (to the end here), so it also sees "sig".
  EXPECT_EQ(got.value().scopes, (std::vector<std::string>{"alpha", "sig"}));
}

TEST(ShmDsn, HostileChainsTerminate) {
  // Every word a signal tag, every next pointing backwards or past the end.
  Bytes b(4096, 0);
  put32(b, 0, kMagic);
  for (size_t at = 128; at + 4 <= b.size(); at += 4)
    put32(b, at, (at / 4) % 3 == 0 ? kSignal : (at / 4) % 3 == 1 ? 64 : 0xFFFFFFFF);
  const auto got = parse_dsn(b);
  ASSERT_TRUE(got.ok());
  EXPECT_TRUE(got.value().signal_names.empty());
}

// ---------------------------------------------------------------------------------------
// Transition files

// Decodes the files for `names` signals into a fresh record.
TraceData load(const std::vector<Bytes> &files, size_t names) {
  std::vector<TrnFile> decoded;
  for (const Bytes &f : files)
    if (auto d = decode_trn(f, names)) decoded.push_back(std::move(*d));
  TraceData record;
  write_transitions(decoded, names, record);
  return record;
}

std::vector<uint64_t> column(const TraceData &t, SignalId id) {
  std::vector<uint64_t> out;
  for (Index i = 0; i < t.timestamps.size(); ++i) {
    const SignalValue v = t.store.get(id, i);
    out.push_back(v.tag() == Tag::Int ? v.as_int() : 99);
  }
  return out;
}

TEST(ShmTrn, TogglesRescaledByResolution) {
  // One signal, d = 1, n = 3, T = 1000, state byte 0x08 (level 01), no change area.
  struct Case {
    uint32_t resolution;
    std::vector<uint64_t> times;
  };
  const Case cases[] = {
      {0, {0, 250, 500, 750, 1000}},
      {7, {0, 250, 500, 750, 1000}},
      {5, {0, 2, 5, 7, 10}},
      {6, {0, 25, 50, 75, 100}},
  };
  for (const Case &c : cases) {
    const TraceData t = load({trn(c.resolution, {{1000, 3, {0x08}}})}, 2);
    EXPECT_EQ(t.timestamps, c.times) << c.resolution;
    EXPECT_EQ(column(t, 0), (std::vector<uint64_t>{0, 1, 0, 1, 1})) << c.resolution;
    // The second name got no block: 0 at index 0, carried forward.
    EXPECT_EQ(column(t, 1), (std::vector<uint64_t>{0, 0, 0, 0, 0})) << c.resolution;
  }
}

TEST(ShmTrn, StateAreaEncodings) {
  // Level bytes (bits 4,3 = 10 is high), flag bytes (bit 6), and neither.
  const TraceData levels = load({trn(0, {{0, 1, {0x10, 0x08, 0x17}}})}, 3);
  EXPECT_EQ(levels.timestamps, std::vector<uint64_t>{0});
  for (SignalId id = 0; id < 3; ++id)
    EXPECT_EQ(levels.store.get(id, 0).as_int(), id == 1 ? 0u : 1u) << id;

  const TraceData flags = load({trn(0, {{0, 1, {0x40, 0x00}}})}, 2);
  EXPECT_EQ(flags.store.get(0, 0).as_int(), 1u);
  EXPECT_EQ(flags.store.get(1, 0).as_int(), 0u);

  // 0x48 fails the flag pattern and 0x40 the level pattern: nothing decodes.
  const auto mixed = decode_trn(trn(0, {{0, 1, {0x48, 0x40}}}), 2);
  ASSERT_TRUE(mixed);
  EXPECT_TRUE(mixed->events.empty());
}

TEST(ShmTrn, UndecodedBlockStillAdvancesTheSignalCursor) {
  // Block 1 matches nothing (bits 4,3 = 11, d < 4, no change area); with one block after it
  // and three names it moves the cursor by 3 - 1 = 2, so block 2 describes signal 2.
  const auto file = trn(0, {{100, 1, {0xFF, 0xFF}}, {0, 1, {0x10}}});
  const auto d = decode_trn(file, 3);
  ASSERT_TRUE(d);
  ASSERT_EQ(d->events.size(), 1u);
  EXPECT_EQ(d->events[0].id, 2u);
  EXPECT_EQ(d->events[0].bit, 1u);
  EXPECT_EQ(d->times, (std::vector<uint64_t>{0, 100})); // the largest T still ends the axis

  const TraceData t = load({file}, 3);
  EXPECT_EQ(column(t, 0), (std::vector<uint64_t>{0, 0}));
  EXPECT_EQ(column(t, 2), (std::vector<uint64_t>{1, 1}));
}

TEST(ShmTrn, VectorOfSignals) {
  // n = 2, d = 5: v0 = 1010...., then XOR 1100.... and 0100.... at T/3 and 2T/3.
  const TraceData t = load({trn(0, {{300, 2, {0xA0, 0xC0, 0x40, 0x00, 0x00}}})}, 3);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 100, 200, 300}));
  EXPECT_EQ(column(t, 0), (std::vector<uint64_t>{1, 0, 0, 0}));
  EXPECT_EQ(column(t, 1), (std::vector<uint64_t>{0, 1, 0, 0}));
  EXPECT_EQ(column(t, 2), (std::vector<uint64_t>{1, 1, 1, 1}));
}

// A change area coding one change with selector `s` at offset 1 and the end marker 01 8F at
// offset 4 + k; `bits` are (offset, byte) pairs of the code.
Bytes single_change_area(uint8_t s, size_t k, std::vector<std::pair<size_t, uint8_t>> bits) {
  Bytes area(16, 0);
  area[1] = s;
  area[3] = 0x7C;
  area[4 + k] = 0x01;
  area[5 + k] = 0x8F;
  for (const auto &[at, byte] : bits)
    area[at] = byte;
  return area;
}

TEST(ShmTrn, SingleChange) {
  struct Case {
    const char *what;
    uint32_t span;
    Bytes change;
    std::vector<uint64_t> times, values;
  };
  const Case cases[] = {
      // W = 1 (bit 0 of byte 6): w = (1297 + 1000) mod 2047 = 250.
      {"0x12", 2000, single_change_area(0x12, 4, {{6, 0x01}}), {0, 250, 2000}, {0, 1, 1}},
      // W = 1 (bit 2 of byte 8): w = (108 + 100) mod 127 = 81.
      {"0x13", 200, single_change_area(0x13, 7, {{8, 0x04}}), {0, 81, 200}, {0, 1, 1}},
      // w = (1297 + 500) mod 2047 = 1797 lies past T = 1000: no change is taken, but the
      // vector step is still skipped and the toggle step gives one toggle at T/2.
      {"late", 1000, single_change_area(0x12, 4, {{6, 0x01}}), {0, 500, 1000}, {0, 1, 1}},
      // Marker too close for selector 0x13: nothing decodes, toggles as above.
      {"short", 200, single_change_area(0x13, 4, {}), {0, 100, 200}, {0, 1, 1}},
  };
  for (const Case &c : cases) {
    const TraceData t = load({trn(0, {{c.span, 1, {0x08}, c.change}})}, 1);
    EXPECT_EQ(t.timestamps, c.times) << c.what;
    EXPECT_EQ(column(t, 0), c.values) << c.what;
  }
}

TEST(ShmTrn, SkippedFiles) {
  const Bytes good = trn(0, {{1000, 3, {0x08}}});
  Bytes wrong_magic = good;
  wrong_magic[0] = 0xA2;
  const Bytes too_short(good.begin(), good.begin() + 23);
  EXPECT_TRUE(decode_trn(good, 1));
  EXPECT_FALSE(decode_trn(good, 0));
  EXPECT_FALSE(decode_trn(wrong_magic, 1));
  EXPECT_FALSE(decode_trn(too_short, 1));
  // 24 bytes with the magic is enough: no blocks, the time axis is just 0.
  const Bytes bare(good.begin(), good.begin() + 24);
  const auto d = decode_trn(bare, 1);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->times, std::vector<uint64_t>{0});

  TraceData none;
  write_transitions({}, 3, none);
  EXPECT_EQ(none.timestamps, std::vector<uint64_t>{0});
  EXPECT_FALSE(none.store.has_column(0));
}

TEST(ShmTrn, ClaimedChangeCountIsBounded) {
  // n = 2^32 - 1 toggles of every signal would be billions of events from a 100-byte file.
  const Bytes file = trn(0, {{1000, 0xFFFFFFFF, {0x08}}, {1000, 3, {0x08}}});
  const auto d = decode_trn(file, 2);
  ASSERT_TRUE(d);
  EXPECT_LE(d->events.size(), event_budget(file.size()));
  // Decoding stops at the toggles that do not fit: only the first block's level is kept.
  ASSERT_EQ(d->events.size(), 1u);
  EXPECT_EQ(d->times, (std::vector<uint64_t>{0, 1000}));
}

TEST(ShmTrn, HeadersSharingOneLargeAreaStayFast) {
  // Thousands of headers whose change areas are one megabyte without an end marker: searching
  // it afresh for every block would take billions of steps.
  const size_t headers = 4000, area = 1 << 20;
  Bytes b(32 + 64 * headers + 1 + area + 4, 0);
  put32(b, 0, kMagic);
  const size_t s0 = 32 + 64 * headers;
  b[s0] = 0xFF;
  for (size_t h = 0; h < headers; ++h) {
    const size_t at = 32 + 64 * h;
    put32(b, at, 0x001B2200);
    put32(b, at + 40, 1);
    put32(b, at + 48, static_cast<uint32_t>(s0 + 1 + area));
    put32(b, at + 52, static_cast<uint32_t>(s0));
    put32(b, at + 56, static_cast<uint32_t>(s0 + 1));
  }
  const auto start = std::chrono::steady_clock::now();
  const auto d = decode_trn(b, 10);
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->events.empty());
  EXPECT_LT(took, std::chrono::seconds(5));
}

Bytes from_hex(std::string_view hex) {
  Bytes out;
  for (size_t k = 0; k + 1 < hex.size(); k += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(k, 2)), nullptr, 16)));
  return out;
}

TEST(ShmTrn, FuzzRegressions) {
  // Inputs the fuzzer found; the first byte is the number of names, the rest the file.
  const char *const inputs[] = {
      // Toggles of 150 million changes: used to gather a million events and take seconds.
      "02a19511bf0000000000000000000000000000000000000000001b2200000000000003e80000000009000000"
      "0000000100602001202b726100000060000061080000080000000000000000000300000025000000610000"
      "006000000061000000000800000000",
  };
  for (const char *hex : inputs) {
    const Bytes input = from_hex(hex);
    const size_t names = input[0];
    const Bytes file(input.begin() + 1, input.end());
    const auto d = decode_trn(file, names);
    ASSERT_TRUE(d);
    EXPECT_LE(d->events.size(), event_budget(file.size()));
    for (const TrnEvent &e : d->events)
      EXPECT_LT(e.id, names);
    TraceData t;
    write_transitions(std::span(&*d, 1), names, t);
    EXPECT_EQ(t.timestamps, d->times);
  }
}

TEST(ShmTrn, SeveralFilesShareOneTimeAxis) {
  // File A: toggles at 250, 500, 750 of T = 1000. File B: level high at 0, one toggle at
  // 300 of T = 600. Each value stays at its own time; at time 0 the later file wins.
  const Bytes a = trn(0, {{1000, 3, {0x08}}});
  const Bytes b = trn(0, {{600, 1, {0x10}}});
  const TraceData t = load({a, b}, 1);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 250, 300, 500, 600, 750, 1000}));
  EXPECT_EQ(column(t, 0), (std::vector<uint64_t>{1, 1, 0, 0, 0, 1, 1}));

  // A single file keeps exactly its own axis.
  EXPECT_EQ(load({b}, 1).timestamps, (std::vector<uint64_t>{0, 300, 600}));
}

// ---------------------------------------------------------------------------------------
// Whole databases on disk

class ShmFiles : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/shm_test_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string &name, const Bytes &bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    return path;
  }

  static Bytes design() {
    return dsn({{kScopeDef, {"top"}}, {kSignal, {"clk"}}, {kSignal, {"rst"}}});
  }
  static Bytes transitions() { return trn(0, {{1000, 3, {0x08}}}); }

  static void expect_full(const Result<TraceData> &r) {
    ASSERT_TRUE(r.ok()) << r.error();
    const TraceData &t = r.value();
    EXPECT_EQ(t.signal_names, (std::vector<std::string>{"clk", "rst"}));
    EXPECT_EQ(t.scopes, std::vector<std::string>{"top"});
    EXPECT_EQ(t.name_to_id.at("clk"), 0u);
    EXPECT_EQ(t.name_to_id.at("rst"), 1u);
    EXPECT_EQ(t.widths.at("clk"), 1u);
    EXPECT_EQ(t.widths.at("rst"), 1u);
    EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 250, 500, 750, 1000}));
    EXPECT_EQ(column(t, 0), (std::vector<uint64_t>{0, 1, 0, 1, 1}));
    EXPECT_EQ(column(t, 1), (std::vector<uint64_t>{0, 0, 0, 0, 0}));
  }

  std::string dir_;
};

TEST_F(ShmFiles, DirectoryPairAndEitherFile) {
  const std::string dsn_path = write("wave.dsn", design());
  const std::string trn_path = write("wave.trn", transitions());
  expect_full(from_file(dir_));
  expect_full(from_file(dir_ + "/"));
  expect_full(from_file(dsn_path));
  expect_full(from_file(trn_path));
}

TEST_F(ShmFiles, UpperCaseSuffixes) {
  write("A.DSN", design());
  write("A.TRN", transitions());
  expect_full(from_file(dir_));
}

TEST_F(ShmFiles, MissingFiles) {
  write("notes.txt", Bytes{1, 2, 3});
  const auto none = from_file(dir_);
  ASSERT_FALSE(none.ok());
  EXPECT_EQ(none.error(), "No .dsn/.trn in " + dir_);

  const auto unlisted = from_file(dir_ + "/absent");
  ASSERT_FALSE(unlisted.ok());
  EXPECT_EQ(unlisted.error(), "DSN: No such file or directory");

  // A .trn without its .dsn: no names, so nothing decodes.
  const auto lone = from_file(write("lone.trn", transitions()));
  ASSERT_TRUE(lone.ok()) << lone.error();
  EXPECT_TRUE(lone.value().signal_names.empty());
  EXPECT_EQ(lone.value().timestamps, std::vector<uint64_t>{0});
  EXPECT_FALSE(lone.value().store.has_column(0));
}

TEST_F(ShmFiles, UnreadableDesignAndBadMagic) {
  std::filesystem::create_directory(dir_ + "/sub.dsn");
  const auto unreadable = from_file(dir_);
  ASSERT_FALSE(unreadable.ok());
  EXPECT_EQ(unreadable.error(), "DSN: Is a directory");

  Bytes bad(200, 0);
  put32(bad, 0, 0x12345678);
  const auto magic = from_file(write("bad.dsn", bad));
  ASSERT_FALSE(magic.ok());
  EXPECT_EQ(magic.error(), "Bad DSN magic: 0x12345678");
}

TEST_F(ShmFiles, OtherExtensionIsTheDesignAlone) {
  write("db.trn", transitions());
  const auto r = from_file(write("db.bin", design()));
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(r.value().signal_names.size(), 2u);
  EXPECT_EQ(r.value().timestamps, std::vector<uint64_t>{0});
}

TEST_F(ShmFiles, TransitionFilesInPathOrder) {
  write("wave.dsn", dsn({{kSignal, {"clk"}}}));
  // b.trn sorts after a.trn whatever the listing order, so its level wins at time 0.
  write("b.trn", trn(0, {{600, 1, {0x10}}}));
  write("a.trn", trn(0, {{1000, 3, {0x08}}}));
  write("c.trn", Bytes(10, 0)); // too short: skipped
  const auto r = from_file(dir_);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(r.value().timestamps, (std::vector<uint64_t>{0, 250, 300, 500, 600, 750, 1000}));
  EXPECT_EQ(column(r.value(), 0), (std::vector<uint64_t>{1, 1, 0, 0, 0, 1, 1}));
}

} // namespace
} // namespace wavesift::shm
