// Name harvesting shared by the VPD and WLF readers: the run scanner, the name rule and the
// scopes that dotted names imply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "readers/names/identifier_scan.hpp"
#include "readers/vpd/vpd.hpp"
#include "readers/wlf/wlf.hpp"

namespace wavesift {
namespace {

std::vector<uint8_t> bytes_of(std::string_view s) {
  return {s.begin(), s.end()};
}

std::vector<std::string> runs(std::string_view s, uint8_t first_min) {
  const auto b = bytes_of(s);
  std::vector<std::string> out;
  size_t pos = 0;
  while (const auto run = next_terminated_run(b, pos, first_min))
    out.emplace_back(*run);
  EXPECT_EQ(pos, b.size());
  return out;
}

using Strings = std::vector<std::string>;

TEST(TerminatedRuns, OnlyRunsEndedByNulInsideTheRange) {
  using namespace std::string_literals;
  // Another terminator drops the run and scanning resumes after it; a run cut off by the end
  // of the range is dropped; DEL and high bytes end a run like any other non-printable byte.
  EXPECT_EQ(runs("ab\0cd\x01"
                 "ef\0gh"s,
                 kRunStartVisible),
            (Strings{"ab", "ef"}));
  EXPECT_EQ(runs("ab\x7f"s
                 "cd\0x\x80y\0"s,
                 kRunStartVisible),
            (Strings{"cd", "y"}));
  EXPECT_EQ(runs("\0\0\x01 a b\0"s, kRunStartVisible), (Strings{"a b"}));
  EXPECT_EQ(runs(""s, kRunStartVisible), Strings{});
}

TEST(TerminatedRuns, LeadingSpaceOpensARunOnlyWhenAdmitted) {
  using namespace std::string_literals;
  EXPECT_EQ(runs("  ab\0"s, kRunStartVisible), (Strings{"ab"}));
  EXPECT_EQ(runs("  ab\0"s, kRunStartSpace), (Strings{"  ab"}));
  EXPECT_EQ(runs("a \0 \0"s, kRunStartSpace), (Strings{"a ", " "}));
}

struct NameCase {
  const char *text;
  bool accepted;
};

// Both readers take the same names; one table checks each.
const NameCase kNameCases[] = {
    {"ab", true},       {"a", false},    {"_x", true},    {"a.b", true},     {"a.b1", true},
    {"top.u1 x", true}, {"a b", true},   {"x-y", true},   {"top.n$1", true}, {"t=1", true},
    {"a.", false},      {"a..b", false}, {".a", false},   {"a.1", false},    {"a.1b", false},
    {"1abc", false},    {"a/b", false},  {"x(1)", false}, {"a{b", false},    {"u@1", false},
    {"a._b", true},     {"a. b", false}, {"Z9", true},    {"__", true},
};

TEST(NameRule, VpdAndWlfAcceptTheSameCandidates) {
  for (const auto &c : kNameCases) {
    EXPECT_EQ(vpd::is_identifier(c.text), c.accepted) << c.text;
    EXPECT_EQ(wlf::is_identifier(c.text), c.accepted) << c.text;
  }
}

TEST(NameRule, ExtractKeepsOrderAndRepeats) {
  using namespace std::string_literals;
  const auto b = bytes_of("top.cpu.clk\0a\0x\x01q\0a..b\0top.cpu.clk\0 sp ace\0tail"s);
  const Strings want{"top.cpu.clk", "top.cpu.clk", "sp ace"};
  EXPECT_EQ(vpd::extract_identifiers(b), want);
  EXPECT_EQ(wlf::extract_identifiers(b), want);
}

TEST(DottedScopes, ProperPrefixesOnceAndSorted) {
  EXPECT_EQ(dotted_scopes({"b.x", "a.c.d", "a.e", "flat", "a.c.f"}), (Strings{"a", "a.c", "b"}));
  // Same segment under different parents stays apart.
  EXPECT_EQ(dotted_scopes({"x.m.s", "y.m.s"}), (Strings{"x", "x.m", "y", "y.m"}));
  EXPECT_EQ(dotted_scopes({}), Strings{});
}

TEST(DottedScopes, BudgetStopsTakingNewPrefixes) {
  // a (1) and a.b (3) fit in 4 bytes; a.x would need 3 more.
  EXPECT_EQ(dotted_scopes({"a.b.c", "a.x.y"}, 4), (Strings{"a", "a.b"}));
  // Prefixes already taken cost nothing.
  EXPECT_EQ(dotted_scopes({"a.b.c", "a.b.d", "a.y.z"}, 7), (Strings{"a", "a.b", "a.y"}));

  // 50,000 levels would be ~2.5 GB of scope text; the budget bounds it and the walk stays linear.
  std::string deep = "a";
  for (int k = 0; k < 50000; ++k)
    deep += ".a";
  const size_t budget = size_t(1) << 20;
  const Strings scopes = dotted_scopes({deep}, budget);
  size_t total = 0;
  for (const auto &s : scopes)
    total += s.size();
  EXPECT_LE(total, budget);
  EXPECT_GT(scopes.size(), 900u);
  EXPECT_EQ(scopes.front(), "a");
}

} // namespace
} // namespace wavesift
