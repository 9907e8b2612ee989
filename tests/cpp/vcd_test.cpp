#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

#include "test_values.hpp"
#include "readers/vcd/vcd.hpp"

using namespace wavesift;
using wavesift::test_support::logic;

namespace {

TracePtr load(std::string_view text) {
  auto r = vcd::parse(text);
  EXPECT_TRUE(r.ok());
  return share(std::move(r.value()));
}

constexpr const char *kHeader = "$scope module top $end\n"
                                "$var wire 1 ! clk $end\n"
                                "$var wire 8 # data [7:0] $end\n"
                                "$var real 64 % r $end\n"
                                "$upscope $end\n";

} // namespace

TEST(Vcd, SmallDump) {
  auto t =
      load("$scope module top $end\n$var wire 1 ! clk $end\n$upscope $end\n#0\n1!\n#5\n#7\n0!\n");
  EXPECT_EQ(t->signal_names(), std::vector<std::string>{"top.clk"});
  EXPECT_EQ(t->scopes(), std::vector<std::string>{"top"});
  EXPECT_EQ(t->timestamps(), (std::vector<uint64_t>{0, 5, 7}));
  EXPECT_EQ(t->signal_value("top.clk", 0), SignalValue::of_int(1));
  EXPECT_EQ(t->signal_value("top.clk", 1), SignalValue::of_int(1));
  EXPECT_EQ(t->signal_value("top.clk", 2), SignalValue::of_int(0));
  EXPECT_TRUE(t->signal_value("top.clk", 3).is_none());
  EXPECT_EQ(t->timestamp(3), 0u);
  EXPECT_EQ(t->signal_width("top.clk"), 1u);
  EXPECT_EQ(t->signal_width("TOP.clk"), 0u);
  EXPECT_FALSE(t->signal_id("top.CLK"));
}

TEST(Vcd, ValueLines) {
  struct Case {
    const char *line;
    const char *name;
    SignalValue expected;
  };
  const Case cases[] = {
      {"b1x01 #", "top.data", logic("1x01")},
      {"b101 #", "top.data", SignalValue::of_int(5)},
      {"B101 #", "top.data", SignalValue::of_int(5)},
      {"b101", "top.data", SignalValue()},    // no code: ignored
      {"b101\t#", "top.data", SignalValue()}, // only a space separates
      {"b #", "top.data", SignalValue()},
      {"r2.5e1 %", "top.r", SignalValue::of_real(25.0)},
      {"rabc %", "top.r", SignalValue::of_real(0.0)},
      {"r-INF %", "top.r", SignalValue::of_real(-INFINITY)},
      {"r1e999 %", "top.r", SignalValue::of_real(INFINITY)},
      {"r.5 %", "top.r", SignalValue::of_real(0.5)},
      {"z!", "top.clk", logic("z")},
      {"Z!", "top.clk", logic("z")},
      {"X!", "top.clk", SignalValue()},
      {"1!", "top.clk", SignalValue::of_int(1)},
      {"1 !", "top.clk", SignalValue()}, // the code is the rest of the line, space included
      {"1?", "top.clk", SignalValue()},  // unknown code
      {"s hello !", "top.clk", SignalValue()},
  };
  for (const Case &c : cases) {
    auto t = load(std::string(kHeader) + "#0\n" + c.line + "\n");
    EXPECT_EQ(t->signal_value(c.name, 0), c.expected) << c.line;
  }
  auto nan = load(std::string(kHeader) + "#0\nrNaN %\n");
  EXPECT_TRUE(std::isnan(nan->signal_value("top.r", 0).as_real()));
}

TEST(Vcd, Declarations) {
  auto t = load("$scope module top $end\n"
                "$scope module cpu $end\n"
                "$var wire 32 a pc $end\n"
                "$upscope $end\n"
                "$var wire abc b d $end\n"
                "$var wire +4 c mem[3] $end\n"
                "$var wire 4 d mem[4] $end\n"
                "$var wire 8 a pc_alias $end\n"
                "$var wire 1 e\n" // too few tokens
                "$scope module\n" // pushes nothing...
                "$upscope $end\n" // ...but this pops top
                "$var wire 1 f lone $end\n"
                "$upscope $end\n"
                "$scope module top $end\n"
                "$upscope $end\n"
                "#0\n1c\n0d\n");
  EXPECT_EQ(t->scopes(), (std::vector<std::string>{"top", "top.cpu"}));
  EXPECT_EQ(t->signal_names(),
            (std::vector<std::string>{"top.cpu.pc", "top.d", "top.mem", "top.pc_alias", "lone"}));
  EXPECT_EQ(t->signal_width("top.d"), 1u);
  EXPECT_EQ(t->signal_width("top.cpu.pc"), 32u);
  EXPECT_EQ(t->signal_width("top.pc_alias"), 8u);
  EXPECT_EQ(t->signal_id("top.cpu.pc"), t->signal_id("top.pc_alias"));
  // The later declaration of a full name wins; the earlier code's values stay under its id.
  EXPECT_EQ(t->signal_width("top.mem"), 4u);
  EXPECT_EQ(t->signal_value("top.mem", 0), SignalValue::of_int(0));
  EXPECT_EQ(t->signal_value_by_id(2, 0), SignalValue::of_int(1));
}

TEST(Vcd, TimeLinesAndFill) {
  auto t = load(std::string(kHeader) + "1!\n#abc\nb11 #\n#+3\n#2\nx!\n#18446744073709551616\n"
                                       "$comment\n#9\n$end\n1!\n");
  // Values before the first time line are ignored; every time line opens an index.
  EXPECT_EQ(t->timestamps(), (std::vector<uint64_t>{0, 3, 2, 0, 9}));
  EXPECT_TRUE(t->signal_value("top.clk", 0).is_none());
  EXPECT_EQ(t->signal_value("top.data", 4), SignalValue::of_int(3));
  // An x on a scalar is NoValue and is not carried forward.
  EXPECT_TRUE(t->signal_value("top.clk", 3).is_none());
  EXPECT_EQ(t->signal_value("top.clk", 4), SignalValue::of_int(1));
}

TEST(Vcd, LineEndingsAndWhiteSpace) {
  const std::string lf = std::string(kHeader) + "#0\n1!\n#1\nb10 #\n";
  std::string crlf;
  for (char c : lf)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  // U+00A0 and U+3000 are white space too; a last line without '\n' still counts.
  const std::string spaced = std::string(kHeader) + "\xc2\xa0#0\n\t1!\xe3\x80\x80\n#1\nb10 #";
  for (const std::string &text : {lf, crlf, spaced}) {
    auto t = load(text);
    EXPECT_EQ(t->max_index(), 1u);
    EXPECT_EQ(t->signal_value("top.clk", 1), SignalValue::of_int(1));
    EXPECT_EQ(t->signal_value("top.data", 1), SignalValue::of_int(2));
  }
  auto empty = load("");
  EXPECT_TRUE(empty->signal_names().empty());
  EXPECT_EQ(empty->max_index(), 0u);
  EXPECT_EQ(empty->timestamp(0), 0u);
}

TEST(Vcd, FileReading) {
  const std::string path = ::testing::TempDir() + "vcd_file_test.vcd";
  {
    std::ofstream out(path, std::ios::binary);
    out << kHeader << "#0\n1!\n"
        << "b1\xff #\n"                      // not UTF-8: skipped
        << std::string(3 << 20, 'c') << "\n" // a line of megabytes
        << "#1\n0!";
  }
  auto r = vcd::from_file(path);
  ASSERT_TRUE(r.ok());
  auto t = share(std::move(r.value()));
  EXPECT_EQ(t->max_index(), 1u);
  EXPECT_TRUE(t->signal_value("top.data", 0).is_none());
  EXPECT_EQ(t->signal_value("top.clk", 1), SignalValue::of_int(0));
  std::remove(path.c_str());

  auto missing = vcd::from_file("/nonexistent/x.vcd");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), "Failed to open /nonexistent/x.vcd: No such file or directory");
  EXPECT_FALSE(vcd::from_file("/").ok());
}

TEST(Vcd, ArbitraryBytesNeverFail) {
  std::mt19937_64 rng(7);
  const std::string alphabet = "$#01xzbBrR! \n\r\t[]:.\xc2\xa0\xff\0abc";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const size_t n = rng() % 400;
    for (size_t k = 0; k < n; ++k)
      text += round % 3 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng());
    auto r = vcd::parse(std::string(kHeader) + text);
    ASSERT_TRUE(r.ok());
    auto t = share(std::move(r.value()));
    for (Index i = 0; i <= t->max_index() + 1; ++i)
      t->signal_value("top.data", i);
  }
}
