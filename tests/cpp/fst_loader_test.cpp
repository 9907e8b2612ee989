// FST loading on files built block by block: names, ids and aliases, the time table and where
// changes land, every value encoding, pack type and block kind, and the failure messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "fst_messages.hpp"
#include "fst_writer.hpp"
#include "json_dump.hpp"
#include "readers/fst/fst.hpp"

namespace {

using namespace wavesift;
namespace w = fst_writer;

Result<TraceData> load(const w::File &f) {
  const w::Bytes b = w::build(f);
  auto r = fst::from_bytes(b);
  if (r.ok()) r.value().store.seal();
  return r;
}

SignalValue I(uint64_t v) {
  return SignalValue::of_int(v);
}
SignalValue L(const std::string &s) {
  Bits b;
  for (char c : s)
    b.push_back(logic_bit_from_char(c));
  return SignalValue::of_logic(b);
}
SignalValue R(double d) {
  return SignalValue::of_real(d);
}
SignalValue T(const std::string &s) {
  return SignalValue::of_text(s);
}
const SignalValue None;

std::vector<SignalValue> column(const TraceData &t, const std::string &name) {
  return t.store.get_range(t.name_to_id.at(name), 0, t.timestamps.size());
}

// top { clk (1 bit), bus (4 bits), r (real), s (string), clk2 = alias of clk }, one block.
w::File basic(w::Pack pack = w::Pack::Zlib, uint8_t block_type = 1) {
  w::File f;
  f.end = 30;
  auto &h = f.hierarchy;
  h.scope("top");
  const uint32_t clk = h.var("clk", 1);
  h.var("bus [3:0]", 4);
  h.var("r", 8, 3);
  h.var("s", 0, 21);
  h.var("clk2", 1, 16, clk);
  h.upscope();
  f.geometry = {1, 4, 0, 0xFFFFFFFF};
  w::Block b;
  b.type = block_type;
  b.end = 30;
  b.times = {0, 10, 20, 30};
  b.frame = "x"
            "xxxx" +
            w::real_bytes(0);
  b.pack = pack;
  b.chains = {
      {{0, "0"}, {1, "1"}, {2, "z"}, {3, "x"}},
      {{0, "0011"}, {2, "1x0z"}, {3, "1111"}},
      {{1, w::real_bytes(2.5)}, {3, w::real_bytes(-INFINITY)}},
      {{0, "ab c!"}, {2, ""}},
  };
  f.blocks = {b};
  return f;
}

TEST(FstLoader, BasicTraceEveryPackAndBlockKind) {
  for (auto pack : {w::Pack::Raw, w::Pack::Zlib, w::Pack::Lz4, w::Pack::FastLz}) {
    for (uint8_t type : {1, 5, 8}) {
      SCOPED_TRACE(testing::Message() << "pack " << static_cast<int>(pack) << " block " << +type);
      auto r = load(basic(pack, type));
      ASSERT_TRUE(r.ok()) << r.error();
      const TraceData &t = r.value();
      EXPECT_EQ(t.signal_names, (std::vector<std::string>{"top.clk", "top.bus [3:0]", "top.r",
                                                          "top.s", "top.clk2"}));
      EXPECT_EQ(t.scopes, std::vector<std::string>{"top"});
      EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{0, 10, 20, 30}));
      EXPECT_EQ(column(t, "top.clk"), (std::vector<SignalValue>{I(0), I(1), L("z"), L("x")}));
      EXPECT_EQ(column(t, "top.bus [3:0]"),
                (std::vector<SignalValue>{I(3), I(3), L("1x0z"), I(15)}));
      EXPECT_EQ(column(t, "top.r"), (std::vector<SignalValue>{None, R(2.5), R(2.5), R(-INFINITY)}));
      // The empty string is NoValue, which the forward fill then covers like any gap.
      EXPECT_EQ(column(t, "top.s"), std::vector<SignalValue>(4, T("ab c!")));
      // The alias shares clk's id and column but has its own name and width.
      EXPECT_EQ(t.name_to_id.at("top.clk2"), t.name_to_id.at("top.clk"));
      EXPECT_EQ(column(t, "top.clk2"), column(t, "top.clk"));
      EXPECT_EQ(t.widths.at("top.clk2"), 1u);
      EXPECT_EQ(t.widths.at("top.r"), 8u);
      EXPECT_EQ(t.widths.at("top.s"), 0u);
      EXPECT_EQ(t.name_to_id.at("top.s"), 3u);
    }
  }
}

TEST(FstLoader, HierarchyCompressionsAndWholeFileGzip) {
  for (uint8_t htype : {4, 6, 7}) {
    for (bool wrapped : {false, true}) {
      w::File f = basic();
      f.hierarchy_type = htype;
      f.gzip_wrapped = wrapped;
      auto r = load(f);
      ASSERT_TRUE(r.ok()) << r.error();
      EXPECT_EQ(r.value().signal_names.size(), 5u);
      EXPECT_EQ(column(r.value(), "top.clk")[1], I(1));
    }
  }
}

TEST(FstLoader, NamesScopesAndIds) {
  w::File f;
  auto &h = f.hierarchy;
  const uint32_t a = h.var("free", 1);       // outside every scope
  h.scope("top").scope("cpu").var("clk", 1); // top.cpu.clk
  h.upscope();
  h.var("dup", 2);                         // top.dup, handle 3
  h.var("dup", 2);                         // same name, own handle 4: ignored
  h.scope("cpu").var("pc", 3 * 5 + 2, 18); // a port stores 3 * bits + 2
  h.upscope();
  h.attr(0, 0, "a comment", 0);
  h.var("b", 1, 16, a);  // alias of "free"
  h.upscope().upscope(); // one end too many does nothing
  f.geometry = {1, 1, 2, 2, 5};
  w::Block blk;
  blk.end = 1;
  blk.times = {0, 1};
  blk.frame = "xx"
              "xx"
              "xx"
              "xxxxx";
  blk.chains = {{{0, "1"}}, {}, {{0, "01"}}, {{0, "11"}, {1, "10"}}};
  f.blocks = {blk};
  auto r = load(f);
  ASSERT_TRUE(r.ok()) << r.error();
  const TraceData &t = r.value();
  EXPECT_EQ(t.signal_names,
            (std::vector<std::string>{"free", "top.cpu.clk", "top.dup", "top.cpu.pc", "top.b"}));
  EXPECT_EQ(t.scopes, (std::vector<std::string>{"top", "top.cpu"}));
  EXPECT_EQ(t.name_to_id.at("free"), 0u);
  EXPECT_EQ(t.name_to_id.at("top.cpu.clk"), 1u);
  EXPECT_EQ(t.name_to_id.at("top.dup"), 2u);
  EXPECT_EQ(t.name_to_id.at("top.cpu.pc"), 3u); // the ignored duplicate took no id
  EXPECT_EQ(t.name_to_id.at("top.b"), 0u);
  EXPECT_EQ(t.widths.at("top.cpu.pc"), 5u);
  EXPECT_EQ(column(t, "top.dup"), (std::vector<SignalValue>{I(1), I(1)})); // not handle 4's
  EXPECT_EQ(column(t, "top.b"), (std::vector<SignalValue>{I(1), I(1)}));
  EXPECT_FALSE(t.store.has_column(4));

  // Empty scope names still join with '.'.
  f.hierarchy = {};
  f.hierarchy.scope("").scope("").var("v", 1);
  f.hierarchy.upscope().upscope();
  f.hierarchy.scope("").var("w", 1);
  r = load(f);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(r.value().signal_names, (std::vector<std::string>{"..v", ".w"}));
  EXPECT_EQ(r.value().scopes, (std::vector<std::string>{"", "."}));
}

// Two blocks: the boundary repeats the first block's last time; only the first block's frame
// counts, and only when its chain starts after its start time.
TEST(FstLoader, BlocksFramesAndTimeTable) {
  w::File f;
  f.start = 5;
  f.end = 40;
  f.hierarchy.scope("t");
  f.hierarchy.var("a", 1);
  f.hierarchy.var("v", 3);
  f.geometry = {1, 3};
  w::Block b1, b2;
  b1.start = 5, b1.end = 20, b1.times = {10, 20};
  b1.frame = "1"
             "101";
  b1.chains = {{{0, "0"}}, {{1, "111"}}};
  b2.start = 20, b2.end = 40, b2.times = {20, 30, 40};
  b2.frame = "0"
             "000"; // never delivered
  b2.chains = {{{1, "1"}}, {{2, "011"}}};
  f.blocks = {b1, b2};
  auto r = load(f);
  ASSERT_TRUE(r.ok()) << r.error();
  const TraceData &t = r.value();
  EXPECT_EQ(t.timestamps, (std::vector<uint64_t>{5, 10, 20, 20, 30, 40}));
  EXPECT_EQ(column(t, "t.a"), (std::vector<SignalValue>{I(1), I(0), I(0), I(0), I(1), I(1)}));
  // The change at the repeated time 20 lands on one of its two indices; index 3 holds it.
  const auto v = column(t, "t.v");
  EXPECT_EQ(v[0], I(5));
  EXPECT_EQ(v[1], I(5));
  EXPECT_EQ(v[3], I(7));
  EXPECT_EQ(v[5], I(3));

  // A chain that starts at the block's start time: no frame, no extra time step.
  f.blocks[0].times = {5, 20};
  r = load(f);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(r.value().timestamps, (std::vector<uint64_t>{5, 20, 20, 30, 40}));
  EXPECT_EQ(column(r.value(), "t.v")[0], None);
  EXPECT_EQ(column(r.value(), "t.a")[0], I(0));
}

TEST(FstLoader, ChangesAfterTheHeaderEndTimeAreDropped) {
  w::File f = basic();
  f.end = 20;
  auto r = load(f);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(r.value().timestamps.size(), 4u);
  EXPECT_EQ(column(r.value(), "top.clk"), (std::vector<SignalValue>{I(0), I(1), L("z"), L("z")}));
}

TEST(FstLoader, NoValueChangeBlocksGiveAnEmptyTrace) {
  w::File f = basic();
  f.blocks.clear();
  auto r = load(f);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_TRUE(r.value().timestamps.empty());
  EXPECT_EQ(r.value().signal_names.size(), 5u);
  EXPECT_FALSE(r.value().store.has_column(0));
}

TEST(FstLoader, WideTwoStateKeepsTheLow64Bits) {
  w::File f;
  f.end = 0;
  f.hierarchy.var("w", 70);
  f.geometry = {70};
  w::Block b;
  b.times = {0};
  b.frame = std::string(70, 'x');
  b.chains = {{{0, "1" + std::string(5, '0') + std::string(64, '1')}}};
  f.blocks = {b};
  auto r = load(f);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(column(r.value(), "w"), std::vector<SignalValue>{I(UINT64_MAX)});
}

TEST(FstLoader, ConvertValue) {
  auto bytes = [](const std::string &s) {
    fst::Value v;
    v.data = reinterpret_cast<const uint8_t *>(s.data());
    v.size = s.size();
    return fst::convert_value(v);
  };
  const struct {
    std::string in;
    SignalValue want;
  } cases[] = {
      {"", None},
      {"1010", I(10)},
      {"10zx", L("10zx")},
      {"-", L("x")},
      {"hello", L("xxxxx")}, // holds h and l
      {"abc", T("abc")},
      {"U", T("U")},
      {"HLUW", T("HLUW")},
      {"1" + std::string(64, '0'), I(0)},
      {std::string(65, '1'), I(UINT64_MAX)},
      {"a\xff"
       "b",
       T("a\xEF\xBF\xBD"
         "b")},
  };
  for (const auto &c : cases)
    EXPECT_EQ(bytes(c.in), c.want) << c.in;
  fst::Value real;
  real.is_real = true;
  real.real = 1.5;
  EXPECT_EQ(fst::convert_value(real), R(1.5));
}

TEST(FstLoader, FailureToOpen) {
  auto r = fst::from_file("/nonexistent/dir/x.fst");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), "Failed to open /nonexistent/dir/x.fst: No such file or directory");
  r = fst::from_file("/");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), "FST open: I/O operation failed");
  r = fst::from_file(WAVESIFT_CORPUS_DIR "/README.md");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), "FST open: Unexpected block type");
}

// A file made by `make`, then bytes patched at `offset` (from the end when negative).
struct Broken {
  const char *what;
  std::function<w::Bytes()> make;
  std::string want;
};

w::Bytes with_hierarchy(const std::function<void(w::Hierarchy &)> &fill, uint8_t type = 4) {
  w::File f = basic();
  f.hierarchy = {};
  fill(f.hierarchy);
  f.hierarchy_type = type;
  return w::build(f);
}

w::Bytes patched(w::Bytes b, size_t at, std::initializer_list<uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), b.begin() + at);
  return b;
}

// Offset of the first byte of `needle` in `hay`.
size_t find(const w::Bytes &hay, const w::Bytes &needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) - hay.begin();
}

TEST(FstLoader, FailureMessages) {
  const std::string long_name(65536, 'n');
  const Broken cases[] = {
      {"empty file", [] { return w::Bytes{}; }, "FST open: I/O operation failed"},
      {"unknown block",
       [] {
         return w::Bytes{9, 0, 0};
       },
       "FST open: Unexpected block type"},
      {"wrapper unfinished",
       [] {
         w::Bytes b{254};
         w::put_u64(b, 0);
         w::put_u64(b, 100);
         return b;
       },
       "FST open: The FST file is still being compressed into its final GZIP wrapper."},
      {"wrapper magic",
       [] {
         w::File f = basic();
         f.gzip_wrapped = true;
         return patched(w::build(f), 17, {0x1f, 0x8c});
       },
       "FST open: failed to parse a gzip header: expected magic bytes (0x1f, 0x8b) got [1f, 8c, "
       "8, 0, 0, 0, 0, 0, 2, 3]"},
      {"wrapper method",
       [] {
         w::File f = basic();
         f.gzip_wrapped = true;
         return patched(w::build(f), 19, {9});
       },
       "FST open: failed to parse a gzip header: expected deflate compression (8) got 9"},
      {"wrapper body",
       [] {
         w::File f = basic();
         f.gzip_wrapped = true;
         return patched(w::build(f), 27, {0xff, 0xff, 0xff});
       },
       "FST open: failed to decompress gzip stream: Data"},
      {"file type", [] { return patched(w::build(basic()), 321, {3}); },
       "FST open: Unexpected file type"},
      {"version not UTF-8",
       [] {
         return patched(w::build(basic()), 74, {0xC0, 0x80});
       },
       "FST open: failed to decode string"},
      {"no geometry",
       [] {
         w::File f = basic();
         f.with_geometry = false;
         return w::build(f);
       },
       "FST open: The FST file is incomplete: geometry block is missing."},
      {"no hierarchy",
       [] {
         w::File f = basic();
         f.with_hierarchy = false;
         return w::build(f);
       },
       "FST open: The FST file is incomplete: hierarchy block is missing."},
      {"truncated block",
       [] {
         w::Bytes b = w::build(basic());
         b.resize(400);
         return b;
       },
       "FST open: I/O operation failed"},
      {"scope type", [] { return with_hierarchy([](w::Hierarchy &h) { h.scope("a", 23); }); },
       "FST hierarchy: Unexpected scope type"},
      {"direction", [] { return with_hierarchy([](w::Hierarchy &h) { h.var("a", 1, 16, 0, 6); }); },
       "FST hierarchy: Unexpected variable direction"},
      {"entry tag", [] { return with_hierarchy([](w::Hierarchy &h) {
                           h.bytes = {30, 0};
                         }); },
       "FST hierarchy: Unexpected variable type"},
      {"attribute type",
       [] { return with_hierarchy([](w::Hierarchy &h) { h.attr(4, 0, "x", 0); }); },
       "FST hierarchy: Unexpected attribute type"},
      {"misc type", [] { return with_hierarchy([](w::Hierarchy &h) { h.attr(0, 9, "x", 0); }); },
       "FST hierarchy: Unexpected misc attribute type"},
      {"vhdl var type",
       [] { return with_hierarchy([](w::Hierarchy &h) { h.attr(0, 2, "t", (6 << 10) | 1); }); },
       "FST hierarchy: Unexpected vhdl variable type"},
      {"vhdl data type",
       [] { return with_hierarchy([](w::Hierarchy &h) { h.attr(0, 2, "t", (1 << 10) | 17); }); },
       "FST hierarchy: Unexpected vhdl data type"},
      {"enum table count",
       [] { return with_hierarchy([](w::Hierarchy &h) { h.attr(0, 7, "e 2 a b 1", 1); }); },
       "FST hierarchy: failed to parse an enum table string: expected 4 parts got 3\ne 2 a b 1"},
      {"enum table spaces",
       [] { return with_hierarchy([](w::Hierarchy &h) { h.attr(0, 7, "e", 1); }); },
       "FST hierarchy: failed to parse an enum table string: not enough spaces\ne"},
      {"enum table number",
       [] { return with_hierarchy([](w::Hierarchy &h) { h.attr(0, 7, "e -1", 1); }); },
       "FST hierarchy: failed to parse an integer"},
      {"long name", [&] { return with_hierarchy([&](w::Hierarchy &h) { h.var(long_name, 1); }); },
       "FST hierarchy: failed to read a null terminated string because it exceeds the "
       "expected size of 65536 bytes.\n" +
           long_name},
      {"name not UTF-8", [] { return with_hierarchy([](w::Hierarchy &h) { h.var("a\xff", 1); }); },
       "FST hierarchy: failed to decode string"},
      {"length varint",
       [] {
         return with_hierarchy([](w::Hierarchy &h) {
           h.bytes = {16, 0, 'a', 0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01};
         });
       },
       "FST hierarchy: failed to read leb128 integer, more than the expected 32 bits"},
      {"truncated entry",
       [] { return with_hierarchy([](w::Hierarchy &h) {
              h.bytes = {16, 0, 'a'};
            }); },
       "FST hierarchy: I/O operation failed"},
      {"hierarchy lz4",
       [] {
         w::Hierarchy h;
         h.scope("top");
         w::Bytes b = with_hierarchy([](w::Hierarchy &h) { h.scope("top"); }, 6);
         return patched(b, b.size() - w::lz4(h.bytes).size(), {0xf0}); // token: overlong literals
       },
       "FST hierarchy: failed to decompress with lz4"},
      {"hierarchy gzip",
       [] {
         w::Hierarchy h;
         h.scope("top");
         w::Bytes b = with_hierarchy([](w::Hierarchy &h) { h.scope("top"); });
         return patched(b, b.size() - w::gzip(h.bytes).size() + 10, {0xff}); // bad block type
       },
       "FST hierarchy: failed to decompress with zlib"},
      {"chain zlib",
       [] {
         w::Bytes b = w::build(basic(w::Pack::Zlib));
         return patched(b, find(b, w::zlib(w::encode_chain(basic().blocks[0].chains[0], 1))),
                        {0x78, 0xff});
       },
       "FST signals: failed to decompress with zlib"},
      {"chain lz4",
       [] {
         w::Bytes b = w::build(basic(w::Pack::Lz4));
         const size_t at = find(b, w::lz4(w::encode_chain(basic().blocks[0].chains[1], 4)));
         return patched(b, at, {0xff});
       },
       "FST signals: failed to decompress with lz4"},
      {"chain past the table",
       [] {
         w::File f = basic(w::Pack::Raw);
         f.blocks[0].chains[1] = {{0, "0011"}, {9, "0000"}};
         return w::build(f);
       },
       "FST signals: I/O operation failed"},
  };
  for (const Broken &c : cases) {
    const w::Bytes b = c.make();
    auto r = fst::from_bytes(b);
    ASSERT_FALSE(r.ok()) << c.what;
    EXPECT_EQ(r.error(), c.want) << c.what;
  }
}

w::Bytes read_file(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return w::Bytes((std::istreambuf_iterator<char>(in)), {});
}

// Every prefix of real files, and the files with each byte flipped, load or fail with one of
// the documented messages.
TEST(FstLoader, TruncatedAndCorruptedFilesFailCleanly) {
  const auto dir = std::filesystem::path(__FILE__).parent_path() / "fixtures" / "fst";
  for (const char *name : {"multiblock.iverilog.fst", "multiblock.iverilog-speed.fst",
                           "multiblock.iverilog-space.fst"}) {
    SCOPED_TRACE(name);
    const w::Bytes whole = read_file(dir / name);
    ASSERT_GT(whole.size(), 1000u);
    for (size_t n = 0; n < whole.size(); ++n) {
      auto r = fst::from_bytes({whole.data(), n});
      if (!r.ok()) {
        EXPECT_TRUE(fst_messages::known_message(r.error())) << n << ": " << r.error();
      }
    }
    for (size_t at = 0; at < whole.size(); ++at) {
      w::Bytes b = whole;
      b[at] ^= static_cast<uint8_t>(0x5A + at);
      auto r = fst::from_bytes(b);
      if (!r.ok()) {
        EXPECT_TRUE(fst_messages::known_message(r.error())) << at << ": " << r.error();
      }
    }
  }
}

// Inputs the fuzzer once broke on: each must load or fail with a message, nothing else.
TEST(FstLoader, FuzzRegressions) {
  const auto dir = std::filesystem::path(__FILE__).parent_path() / "fixtures" / "fst";
  std::error_code ec;
  for (const auto &e : std::filesystem::directory_iterator(dir, ec)) {
    if (e.path().filename().string().rfind("crash-", 0) != 0) continue;
    auto r = fst::from_bytes(read_file(e.path()));
    if (!r.ok()) {
      EXPECT_TRUE(fst_messages::known_message(r.error())) << e.path() << ": " << r.error();
    }
  }
}

} // namespace
