#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "readers/fsdb/fsdb.hpp"
#include "readers/fsdb/inflate.hpp"
#include "readers/fsdb/streams.hpp"
#include "readers/fsdb/widths.hpp"

namespace wavesift::fsdb {
namespace {

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

Bytes text(std::string_view s) {
  return {s.begin(), s.end()};
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A zlib stream of `data`; the level picks the header's second byte (1: 01, 2: 5E, 6: 9C,
// 9: DA).
Bytes zlib(const Bytes &data, int level = 6) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level),
            Z_OK);
  out.resize(size);
  return out;
}

void put_u16(Bytes &b, size_t at, uint16_t v) {
  for (int k = 0; k < 2; ++k)
    b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}
void put_u32(Bytes &b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k)
    b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}
void put_u64(Bytes &b, size_t at, uint64_t v) {
  for (int k = 0; k < 8; ++k)
    b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

// A newer-layout file: a zeroed 400-byte header with the magic; parts are appended after it.
struct NewerFile {
  Bytes b = Bytes(400, 0);
  NewerFile() { put_u32be(4, kNewerMagic); }
  void put_u32be(size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
      b[at + k] = static_cast<uint8_t>(v >> (24 - 8 * k));
  }
  size_t append(const Bytes &part) {
    const size_t at = b.size();
    b.insert(b.end(), part.begin(), part.end());
    return at;
  }
  // Block table with (offset, size) entries; returns its offset.
  size_t table(const std::vector<std::pair<uint32_t, uint32_t>> &entries, int count = -1) {
    Bytes t(24 + 12 * entries.size(), 0);
    put_u16(t, 22, static_cast<uint16_t>(count < 0 ? entries.size() : count));
    for (size_t k = 0; k < entries.size(); ++k) {
      put_u32(t, 24 + 12 * k, entries[k].first);
      put_u32(t, 24 + 12 * k + 4, 0xEEEEEEEE);
      put_u32(t, 24 + 12 * k + 8, entries[k].second);
    }
    const size_t at = append(t);
    put_u64(b, 264, at);
    return at;
  }
  size_t width_table(const Bytes &records) {
    const Bytes z = zlib(records);
    Bytes t(4, 0);
    put_u32(t, 0, static_cast<uint32_t>(z.size()));
    const size_t at = append(cat({t, z}));
    put_u64(b, 272, at);
    return at;
  }
};

Bytes names_blob(const Strings &names) {
  Bytes out;
  for (const std::string &n : names) {
    out.insert(out.end(), n.begin(), n.end());
    out.push_back(0);
  }
  return out;
}

// Eleven names of at least three bytes: a first-group name table.
Strings many_names(const std::string &prefix, int count = 11) {
  Strings out;
  for (int k = 0; k < count; ++k)
    out.push_back(prefix + ".sig" + std::to_string(k));
  return out;
}

const Bytes kHeaderMarker = {0x38, 0x43, 0x00, 0x04, 0x00, 0x08};

// A value block: no header numbers, the header marker, then the region.
Bytes value_block(const Bytes &region) {
  return cat({kHeaderMarker, region});
}

std::vector<uint64_t> column(const TraceData &t, const std::string &name) {
  std::vector<uint64_t> out;
  const SignalId id = t.name_to_id.at(name);
  for (size_t i = 0; i < t.timestamps.size(); ++i) {
    const auto v = to_u64(t.store.get(id, i));
    out.push_back(v ? *v : 999);
  }
  return out;
}

// ---- inflater ----

TEST(FsdbInflate, OneAttempt) {
  const Bytes data = text("hello, hello, hello");
  const Bytes z = zlib(data);
  const Bytes with_tail = cat({z, {1, 2, 3}});
  auto r = try_zlib_decompress(with_tail);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->bytes, data);
  EXPECT_EQ(r->consumed, z.size()); // bytes after the stream are not taken

  EXPECT_FALSE(try_zlib_decompress(Bytes{0x78}));
  EXPECT_FALSE(try_zlib_decompress(Bytes{0x78, 0x9C, 0xFF, 0xFF, 0xFF})); // bad deflate data
  EXPECT_FALSE(try_zlib_decompress(zlib({})));                            // inflates to nothing

  // Cut short: the first attempt cannot finish, the second gives what was there.
  const Bytes big = Bytes(5000, 'a');
  Bytes cut = zlib(cat({big, text("xyz")}), 0); // stored blocks: the cut keeps a prefix
  cut.resize(2000);
  r = try_zlib_decompress(cut);
  ASSERT_TRUE(r);
  EXPECT_GT(r->bytes.size(), 1000u);
  EXPECT_EQ(r->bytes, Bytes(r->bytes.size(), 'a'));
}

TEST(FsdbInflate, OutputLimits) {
  // Up to 1 MiB in one attempt; beyond, a second attempt into 4 MiB, which keeps its first
  // 4 MiB of a longer stream.
  struct Case {
    size_t size, expect;
  };
  for (const Case c : {Case{1 << 20, 1 << 20}, Case{(1 << 20) + 1, (1 << 20) + 1},
                       Case{3 << 20, 3 << 20}, Case{5 << 20, 4 << 20}}) {
    const auto r = try_zlib_decompress(zlib(Bytes(c.size, 7)));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->bytes.size(), c.expect) << c.size;
  }
}

TEST(FsdbInflate, WholeStream) {
  const Bytes data(200000, 'q');
  Bytes z = zlib(data);
  EXPECT_EQ(inflate_all(cat({z, text("junk")})), data);
  z.pop_back(); // checksum incomplete: not a complete stream
  EXPECT_FALSE(inflate_all(z));
  EXPECT_FALSE(inflate_all(Bytes{0x78, 0x9C}));
}

// ---- stream classification ----

TEST(FsdbStreams, Flags) {
  const Bytes names = names_blob({"abc", "de", "fgh", "ijk"});
  StreamFlags f = stream_flags(names);
  EXPECT_EQ(f.name_runs, 3u);
  EXPECT_FALSE(f.marker || f.tool_words || f.record_table);
  EXPECT_EQ(classify(f), StreamKind::NamesThird);

  // Runs must end inside the first 1024 bytes.
  Bytes late(1020, 'z');
  late[0] = 0;
  late = cat({late, names_blob({"abcdef"})});
  EXPECT_EQ(stream_flags(late).name_runs, 0u);

  EXPECT_TRUE(stream_flags(text("xx8Cyy")).marker);
  EXPECT_FALSE(stream_flags(cat({Bytes(1023, 'q'), text("8C")})).marker); // 'C' past 1024

  for (const char *w : {"a simv", "x.log", "csrc", "daidir"})
    EXPECT_TRUE(stream_flags(text(w)).tool_words) << w;
  EXPECT_FALSE(stream_flags(text("daidi")).tool_words);

  // Record tables: 0x01 every three bytes with a type byte two later, six times.
  Bytes tagged;
  for (int k = 0; k < 6; ++k)
    tagged = cat({tagged, {0x01, 0x00, 0x41}});
  EXPECT_TRUE(stream_flags(tagged).record_table);
  tagged.resize(15);
  EXPECT_FALSE(stream_flags(tagged).record_table); // five are not enough
  // ... or small words from offset 8.
  Bytes words(40, 0x55);
  for (size_t at : {8, 12, 16, 20})
    put_u32(words, at, 99 | 0xFF000000u);
  EXPECT_TRUE(stream_flags(words).record_table);
  put_u32(words, 20, 100);
  EXPECT_FALSE(stream_flags(words).record_table);

  // 0x21C1 as the last word, or just before it.
  EXPECT_TRUE(stream_flags(Bytes{9, 0xC1, 0x21, 0, 0}).end_value);
  EXPECT_TRUE(stream_flags(Bytes{0xC1, 0x21, 0, 0, 7, 7, 7, 7}).end_value);
  EXPECT_FALSE(stream_flags(Bytes{0xC1, 0x21, 0, 0, 7, 7, 7}).end_value);
  EXPECT_TRUE(stream_flags(Bytes{5, 0x21, 0, 0}).short_tail);
}

TEST(FsdbStreams, Classify) {
  struct Case {
    StreamFlags f;
    StreamKind kind;
  };
  auto flags = [](bool marker, size_t runs, bool tool, bool table, bool tail, bool end) {
    return StreamFlags{marker, runs, tool, table, tail, end};
  };
  const Case cases[] = {
      {flags(true, 20, true, false, false, false), StreamKind::Skip},
      {flags(true, 20, false, true, false, false), StreamKind::Skip},
      {flags(true, 6, false, false, false, false), StreamKind::NamesSecond},
      {flags(true, 5, false, false, false, false), StreamKind::Values},
      {flags(false, 2, false, false, false, true), StreamKind::Values},
      {flags(false, 2, false, false, true, true), StreamKind::Skip},
      {flags(false, 0, false, false, false, false), StreamKind::Skip},
      {flags(false, 3, false, false, false, true), StreamKind::NamesThird},
      {flags(false, 10, false, false, false, false), StreamKind::NamesThird},
      {flags(false, 11, false, false, false, false), StreamKind::NamesFirst},
  };
  for (const Case &c : cases)
    EXPECT_EQ(classify(c.f), c.kind);
}

// ---- width records ----

TEST(FsdbWidths, Records) {
  // 01 xx code per name; 'C'/'D' records are five bytes long; 02 skips four; 21 stops.
  const Bytes records = {0x01, 0,    'x',  0x01, 0, 'C', 0x01, 0x01, 0x01, 0,    'j',  0x02, 0x01,
                         0x01, 0x01, 0x09, 0x01, 0, '}', 0x01, 0,    'q',  0x21, 0x01, 0,    'x'};
  EXPECT_EQ(read_width_table(zlib(records), 10), (std::vector<uint32_t>{16, 8, 2, 32, 1}));
  EXPECT_EQ(read_width_table(zlib(records), 2), (std::vector<uint32_t>{16, 8}));
  // A record cut by the end of the data stops the walk; a 'D' near the end moves by three.
  EXPECT_EQ(read_width_table(zlib({0x01, 0, 'D', 0, 0x01, 0}), 5), (std::vector<uint32_t>{8}));
  EXPECT_FALSE(read_width_table(Bytes{0x78, 0x9C, 1, 2}, 3));
  // Records spread over many inflated chunks still line up.
  Bytes many;
  for (int k = 0; k < 70000; ++k)
    many.insert(many.end(), {0x02, 9, 9, 9});
  many = cat({many, {0x01, 0, 'x', 0x01, 0, 'C', 1, 1, 0x01, 0, 'j'}});
  EXPECT_EQ(read_width_table(zlib(many), 3), (std::vector<uint32_t>{16, 8, 2}));
}

// ---- whole files ----

TEST(FsdbReader, Errors) {
  EXPECT_EQ(from_bytes(Bytes(11, 0)).error(), "FSDB file too small");
  Bytes b(12, 0);
  b[6] = 0x12;
  b[7] = 0xAB;
  EXPECT_EQ(from_bytes(b).error(), "Not an FSDB file (magic=0x000012AB)");
  b[4] = 0xFD, b[5] = 0xE0, b[6] = 0x99, b[7] = 0xC2;
  EXPECT_EQ(from_bytes(b).error(), "Not an FSDB file (magic=0xFDE099C2)");

  const auto missing = from_file("/nonexistent/dir/x.fsdb");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), "Failed to read /nonexistent/dir/x.fsdb: No such file or directory");
  const auto dir = from_file("/tmp");
  ASSERT_FALSE(dir.ok());
  EXPECT_EQ(dir.error().rfind("Failed to read /tmp: ", 0), 0u);
}

TEST(FsdbReader, OlderLayoutSmallestFile) {
  const auto r = from_bytes(Bytes{0, 0, 0, 0, 0xFD, 0xE0, 0x99, 0xC1, 0, 0, 0, 0});
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.value().signal_names.empty());
  EXPECT_TRUE(r.value().scopes.empty());
  EXPECT_EQ(r.value().timestamps, (std::vector<uint64_t>{0}));
}

TEST(FsdbReader, OlderLayoutNames) {
  Bytes b(272, 0);
  b[4] = 0xFD, b[5] = 0xE0, b[6] = 0x99, b[7] = 0xC1;
  // The header is never searched: this name ends right at its last byte.
  const Bytes hidden = names_blob({"hdr.name"});
  std::copy(hidden.begin(), hidden.end(), b.end() - static_cast<std::ptrdiff_t>(hidden.size()));
  b = cat({b, names_blob({"top.b.y", "top.a", "junk here", "top.b.y", "flat"})});
  const auto r = from_bytes(b);
  ASSERT_TRUE(r.ok());
  const TraceData &t = r.value();
  EXPECT_EQ(t.signal_names, (Strings{"top.b.y", "top.a", "flat"}));
  EXPECT_EQ(t.scopes, (Strings{"top", "top.b"}));
  EXPECT_EQ(t.name_to_id.at("top.a"), 1u);
  EXPECT_EQ(t.widths.at("flat"), 1u);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0}));
  EXPECT_EQ(t.store.id_bound(), 0u);
}

TEST(FsdbReader, NameGroupsInOrder) {
  // Scan order: third group, second group, first group. Names come first group first.
  NewerFile f;
  f.append(zlib(names_blob({"c.one", "c.two", "c.three"}), 1));
  // The second group: a value-block marker and more than five names.
  f.append(zlib(
      cat({value_block({2, 0x55, 0xFF, 0xFF, 0xFF, 0xFF}), names_blob(many_names("b", 6))}), 2));
  f.append(zlib(names_blob(many_names("a")), 9));
  f.append(zlib(cat({names_blob({"p.in", "p.out", "p.io"}), text("/x/simv")}))); // tool words
  const TraceData t = parse_modern(f.b);
  Strings want = many_names("a");
  for (auto &n : many_names("b", 6))
    want.push_back(n);
  for (auto &n : Strings{"c.one", "c.two", "c.three"})
    want.push_back(n);
  EXPECT_EQ(t.signal_names, want);
  EXPECT_EQ(t.scopes, (Strings{"a", "b", "c"}));
  for (const auto &n : want)
    EXPECT_EQ(t.widths.at(n), 1u);
  // The second group's stream is also a value block: signal 0 takes 0x55 at 15, the others
  // hold 0 from time 0.
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 15}));
  EXPECT_EQ(column(t, "a.sig0"), (std::vector<uint64_t>{0, 0x55}));
  EXPECT_EQ(column(t, "c.three"), (std::vector<uint64_t>{0, 0}));
}

TEST(FsdbReader, NoValueBlockMeansNoValues) {
  NewerFile f;
  f.append(zlib(names_blob(many_names("a"))));
  const TraceData t = parse_modern(f.b);
  EXPECT_EQ(t.signal_names.size(), 11u);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0}));
  EXPECT_EQ(t.store.id_bound(), 0u);
}

TEST(FsdbReader, ScanKeepsTwentyStreams) {
  NewerFile f;
  for (int k = 0; k < 21; ++k)
    f.append(zlib(names_blob({"s" + std::to_string(k) + ".aaa", "bbb", "ccc"})));
  const TraceData t = parse_modern(f.b);
  EXPECT_EQ(t.name_to_id.count("s19.aaa"), 1u);
  EXPECT_EQ(t.name_to_id.count("s20.aaa"), 0u);
}

TEST(FsdbReader, ValuesFromTheBlockTable) {
  NewerFile f;
  f.append(zlib(names_blob({"top.clk", "top.a", "top.b"})));
  // Deltas 1, 2 (times 0, 10) for the change list; trailer: clock with half period 10.
  const Bytes blk = value_block({1, 5, 1, 6, 0x08, 0x40, 0, 4, '1'});
  const Bytes z = zlib(blk);
  const size_t at = f.append(z);
  f.table({{static_cast<uint32_t>(at), static_cast<uint32_t>(z.size())}});
  f.width_table({0x01, 0, 'x', 0x01, 0, 'j'});
  const auto r = from_bytes(f.b);
  ASSERT_TRUE(r.ok());
  const TraceData &t = r.value();
  EXPECT_EQ(t.signal_names, (Strings{"top.clk", "top.a", "top.b"}));
  EXPECT_EQ(t.widths.at("top.clk"), 16u);
  EXPECT_EQ(t.widths.at("top.a"), 2u);
  EXPECT_EQ(t.widths.at("top.b"), 1u);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 10, 20}));
  // Signal 0 takes the change list (5 at 0, 6 at 10), then the clock overrides: 1, 0, 1.
  EXPECT_EQ(column(t, "top.clk"), (std::vector<uint64_t>{1, 0, 1}));
  EXPECT_EQ(column(t, "top.a"), (std::vector<uint64_t>{0, 0, 0}));
}

TEST(FsdbReader, StreamAtATableOffsetIsReadThroughTheTableOnly) {
  NewerFile f;
  // A name table that the table points at: no names come from it.
  const Bytes z = zlib(names_blob(many_names("a")));
  const size_t at = f.append(z);
  f.table({{static_cast<uint32_t>(at), static_cast<uint32_t>(z.size())}});
  const TraceData t = parse_modern(f.b);
  EXPECT_TRUE(t.signal_names.empty());
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0}));
}

TEST(FsdbReader, ValueCandidatesOnlyWithoutATable) {
  const Bytes names = zlib(names_blob({"top.x", "top.y", "top.z"}));
  const Bytes blk = zlib(value_block({2, 0x55, 2, 0x56}));
  {
    NewerFile f;
    f.append(names);
    f.append(blk);
    const TraceData t = parse_modern(f.b);
    EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 15, 45})); // step 15, then 2 steps
    EXPECT_EQ(column(t, "top.x"), (std::vector<uint64_t>{0, 0x55, 0x56}));
  }
  {
    // A table entry (pointing at the name table) suppresses the candidate; the names are then
    // found by the tail fallback (the file is long enough), not the name stream.
    NewerFile f;
    f.b.resize(5000, 0);
    const size_t names_at = f.append(names);
    f.append(blk);
    f.table({{static_cast<uint32_t>(names_at), static_cast<uint32_t>(names.size())}});
    const TraceData t = parse_modern(f.b);
    EXPECT_TRUE(t.signal_names.empty());
    EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0}));
  }
}

TEST(FsdbReader, TableEntriesAndGate) {
  const Bytes names = zlib(names_blob({"top.x", "top.y", "top.z"}));
  const Bytes blk = value_block({2, 0x55});
  // The stream inflates only with the two bytes after its size: a one-literal fixed-Huffman
  // stream cut after its first deflate byte yields nothing.
  const Bytes z = zlib(blk);
  auto build = [&](uint32_t gate, uint32_t size, bool bad_entries) {
    NewerFile f;
    put_u32(f.b, 40, gate);
    f.append(names);
    const size_t at = f.append(z);
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    if (bad_entries) entries = {{0, 10}, {0xFFFFFF, 10}};
    entries.push_back({static_cast<uint32_t>(at), size});
    f.table(entries);
    return f.b;
  };
  auto times = [](const Bytes &b) { return parse_modern(b).timestamps; };
  const std::vector<uint64_t> decoded{0, 15};
  EXPECT_EQ(times(build(84, static_cast<uint32_t>(z.size()), false)), decoded);
  EXPECT_EQ(times(build(0, static_cast<uint32_t>(z.size()), true)), decoded);
  // Size without the checksum: the cut stream still inflates (to the block's bytes).
  EXPECT_EQ(times(build(0, static_cast<uint32_t>(z.size() - 4), false)), decoded);

  // Count larger than the entries present: the walk stops at the end of the file.
  NewerFile f;
  f.append(names);
  const size_t at = f.append(z);
  f.table({{static_cast<uint32_t>(at), static_cast<uint32_t>(z.size())}}, 0xFFFF);
  EXPECT_EQ(times(f.b), decoded);
}

TEST(FsdbReader, TableGate) {
  // The table is read only when the word at 40 is at most 84; a name stream the table points
  // at is then left out of the scan.
  for (const uint32_t gate : {84u, 85u}) {
    NewerFile f;
    put_u32(f.b, 40, gate);
    const Bytes z = zlib(names_blob({"top.x", "top.y", "top.z"}));
    const size_t at = f.append(z);
    f.table({{static_cast<uint32_t>(at), static_cast<uint32_t>(z.size())}});
    EXPECT_EQ(parse_modern(f.b).signal_names.size(), gate == 84 ? 0u : 3u);
  }
}

TEST(FsdbInflate, CutStreamGivesNothingUntilASymbolCompletes) {
  // compress("a") is 78 9C 4B 04 00 ...: three bytes do not reach the end of the literal,
  // five do. This is the case a table entry's second, two-byte-longer attempt is for.
  const Bytes a = zlib(text("a"));
  ASSERT_EQ(a[2], 0x4B);
  EXPECT_FALSE(try_zlib_decompress(Bytes(a.begin(), a.begin() + 3)));
  const auto r = try_zlib_decompress(Bytes(a.begin(), a.begin() + 5));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->bytes, text("a"));
}

TEST(FsdbReader, WidthTableBounds) {
  auto widths = [](uint32_t gate, bool corrupt, int64_t len_delta) {
    NewerFile f;
    put_u32(f.b, 40, gate);
    f.append(zlib(names_blob({"top.x", "top.y", "top.z"})));
    const size_t at = f.width_table({0x01, 0, 'x', 0x01, 0, '}'});
    if (corrupt) f.b[at + 6] ^= 0xFF;
    put_u32(f.b, at, static_cast<uint32_t>(f.b.size() - at - 4 + len_delta));
    const TraceData t = parse_modern(f.b);
    return std::vector<uint32_t>{t.widths.at("top.x"), t.widths.at("top.y"), t.widths.at("top.z")};
  };
  EXPECT_EQ(widths(0, false, 0), (std::vector<uint32_t>{16, 32, 1}));
  EXPECT_EQ(widths(0, false, 1), (std::vector<uint32_t>{1, 1, 1}));  // length past the end
  EXPECT_EQ(widths(0, true, 0), (std::vector<uint32_t>{1, 1, 1}));   // does not inflate
  EXPECT_EQ(widths(85, false, 0), (std::vector<uint32_t>{1, 1, 1})); // gate closed
}

TEST(FsdbReader, TailFallback) {
  using namespace std::string_literals;
  auto file = [](size_t size) {
    const Bytes tail = text("\x02top.tail\0x.y\0\x04\x02skip\0\0"s);
    NewerFile f;
    f.b.resize(size - tail.size(), 0);
    f.append(tail);
    return f.b;
  };
  EXPECT_EQ(parse_modern(file(4097)).signal_names, (Strings{"top.tail", "x.y"}));
  EXPECT_TRUE(parse_modern(file(4096)).signal_names.empty());
  // Names from streams win; the tail is not read then.
  Bytes b = file(8000);
  const Bytes z = zlib(names_blob({"s.aa", "s.bb", "s.cc"}));
  b.insert(b.begin() + 500, z.begin(), z.end());
  EXPECT_EQ(parse_modern(b).signal_names, (Strings{"s.aa", "s.bb", "s.cc"}));
}

TEST(FsdbReader, LaterBlockWithEarlierTimes) {
  NewerFile f;
  f.append(zlib(names_blob({"top.v", "top.w", "top.u"})));
  // Block 1 (separated): signal 0 takes 1 at 30 and 2 at 50. Block 2: 7 at 10.
  const Bytes b1 = zlib(value_block({4, 1, 2, 2, 0x08}));
  const Bytes b2 = zlib(value_block({2, 7}));
  const size_t at1 = f.append(b1), at2 = f.append(b2);
  f.table({{static_cast<uint32_t>(at1), static_cast<uint32_t>(b1.size())},
           {static_cast<uint32_t>(at2), static_cast<uint32_t>(b2.size())}});
  const TraceData t = parse_modern(f.b);
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 15, 30, 50}));
  EXPECT_EQ(column(t, "top.v"), (std::vector<uint64_t>{0, 7, 1, 2}));
}

TEST(FsdbReader, FromFile) {
  NewerFile f;
  f.append(zlib(names_blob({"top.a", "top.b", "top.c"})));
  char path[] = "/tmp/fsdb_reader_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, f.b.data(), f.b.size()), static_cast<ssize_t>(f.b.size()));
  close(fd);
  const auto r = from_file(path);
  unlink(path);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value().signal_names, (Strings{"top.a", "top.b", "top.c"}));
  // Sealed behind the interface, unknown names read as one bit.
  const TracePtr trace = share(std::move(r.value()));
  EXPECT_EQ(trace->signal_width("top.a"), 1u);
  EXPECT_EQ(trace->signal_width("nope"), 1u);
}

} // namespace
} // namespace wavesift::fsdb
