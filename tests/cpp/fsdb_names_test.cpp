#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "readers/fsdb/names.hpp"

namespace wavesift::fsdb {
namespace {

using Strings = std::vector<std::string>;

std::vector<uint8_t> bytes_of(std::string_view s) {
  return {s.begin(), s.end()};
}

TEST(FsdbNames, ExtractKeepsOnlyTerminatedIdentifiers) {
  using namespace std::string_literals;
  const auto b = bytes_of("top.cpu.clk\0a b\0run.log\0x\0top..y\0q\x01"s);
  EXPECT_EQ(extract_identifiers(b), (Strings{"top.cpu.clk", "x"}));
}

TEST(FsdbNames, ExtractAcceptsAndRejectsByCharacterRules) {
  using namespace std::string_literals;
  struct Case {
    std::string text;
    bool accepted;
  };
  const Case cases[] = {
      {"a", true},
      {"_x", true},
      {"bus[3:0]", true},
      {"top.u_1.sig$2", true},
      {"Top.Mid.Leaf_9", true},
      {"9lives", false}, // first character a digit
      {"$root", false},  // first character '$'
      {"a-b", false},    // '-'
      {"a+b", false},
      {"a=b", false},
      {"a@b", false},
      {"a/b", false},
      {"a\\b", false},
      {"f(x)", false},
      {"a{b}", false},
      {"a.", false}, // empty last segment
      {"a..b", false},
      {"top.1x", false},     // segment starting with a digit
      {"top.$x", false},     // segment starting with '$'
      {"my.tcl_sig", false}, // excluded words anywhere
      {"dump.fsdb", false},
      {"simvx", false},
      {"csrc_a", false},
      {"xdaidir", false},
      {"run.logic", false}, // ".log" inside a longer word still counts
  };
  for (const Case &c : cases) {
    const auto b = bytes_of(c.text + "\0"s);
    const Strings got = extract_identifiers(b);
    EXPECT_EQ(got, c.accepted ? Strings{c.text} : Strings{}) << c.text;
  }
}

TEST(FsdbNames, ExtractRunBoundaries) {
  using namespace std::string_literals;
  // A run starts only at a non-space printable byte; scanning resumes after the byte that
  // ended a rejected run, so the text after it is a fresh start.
  EXPECT_EQ(extract_identifiers(bytes_of("  ab\0"s)), (Strings{"ab"}));
  EXPECT_EQ(extract_identifiers(bytes_of("ab\x01"
                                         "cd\0"s)),
            (Strings{"cd"}));
  EXPECT_EQ(extract_identifiers(bytes_of("ab\x7F"
                                         "cd\0"s)),
            (Strings{"cd"}));
  // Duplicates stay, in order.
  EXPECT_EQ(extract_identifiers(bytes_of("a\0b\0a\0"s)), (Strings{"a", "b", "a"}));
  // No terminator before the end of the range.
  EXPECT_EQ(extract_identifiers(bytes_of("abc"s)), Strings{});
  EXPECT_EQ(extract_identifiers({}), Strings{});
  // A NUL right after a run's end is consumed with it: "x\0\0y\0" gives both.
  EXPECT_EQ(extract_identifiers(bytes_of("x\0\0y\0"s)), (Strings{"x", "y"}));
}

TEST(FsdbNames, DeriveScopes) {
  EXPECT_EQ(derive_scopes({"b.x", "a.c.d", "a.e"}), (Strings{"a", "a.c", "b"}));
  EXPECT_EQ(derive_scopes({"flat", "other"}), Strings{});
  EXPECT_EQ(derive_scopes({"a.b.c", "a.b.d", "a.b"}), (Strings{"a", "a.b"}));
  // Byte order: upper case before lower case.
  EXPECT_EQ(derive_scopes({"b.x", "B.x", "_.x"}), (Strings{"B", "_", "b"}));
}

std::vector<uint8_t> tail_of(std::string_view body) {
  std::vector<uint8_t> t(body.begin(), body.end());
  t.push_back(0x00);
  return t;
}

TEST(FsdbNames, TailSequences) {
  using namespace std::string_literals;
  // A sequence after 0x02 collects until a non-printable byte; the identifier rules are the
  // character rules only (no exclusion words, no segment rule).
  EXPECT_EQ(tail_names(tail_of("\x02top.clk\0top..x\0run.log\0bad name\0"s)),
            (Strings{"top.clk", "top..x", "run.log"}));
  // After 0x04 0x02 the strings are passed over.
  EXPECT_EQ(tail_names(tail_of("\x04\x02skip\0me\0\x03\x02keep\0"s)), (Strings{"keep"}));
  // 0x04 before 0x02 at the very first byte of the tail has no predecessor to look at.
  EXPECT_EQ(tail_names(tail_of("\x02"
                               "a\0"s)),
            (Strings{"a"}));
  // The 0x02 must be followed by a letter ('_' does not start a sequence).
  EXPECT_EQ(tail_names(tail_of("\x02_a\0\x02"
                               "9\0"s)),
            Strings{});
  // A run ended by a byte other than NUL ends the sequence; scanning resumes at that byte,
  // which may start the next sequence.
  EXPECT_EQ(tail_names(tail_of("\x02"
                               "ab\x02"
                               "cd\0"s)),
            (Strings{"cd"}));
  // An empty string ends the sequence.
  EXPECT_EQ(tail_names(tail_of("\x02"
                               "ab\0\0cd\0"s)),
            (Strings{"ab"}));
}

TEST(FsdbNames, TailRunReachingTheEndStopsTheScan) {
  using namespace std::string_literals;
  const auto b = bytes_of("\x02"
                          "ab\0cd"s);
  EXPECT_EQ(tail_names(b), (Strings{"ab"}));
  // A 0x02 as the very last byte starts nothing.
  EXPECT_EQ(tail_names(bytes_of("\x02"s)), Strings{});
}

} // namespace
} // namespace wavesift::fsdb
