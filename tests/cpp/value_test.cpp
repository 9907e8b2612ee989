#include <cmath>
#include <gtest/gtest.h>

#include "signal/bitpack.hpp"
#include "signal/value.hpp"
#include "test_values.hpp"

using namespace wavesift;
using wavesift::test_support::logic;

TEST(ParseBinaryStr, Table) {
  struct Case {
    const char *text;
    SignalValue expected;
  };
  const Case cases[] = {
      {"", SignalValue()},
      {"b", SignalValue()},
      {"B", SignalValue()},
      {"1010", SignalValue::of_int(10)},
      {"B1010", SignalValue::of_int(10)},
      {"b1020", SignalValue::of_int(8)},
      {"bx1", logic("x1")},
      {"b1-z", logic("1xz")},
      {"b10xz", logic("10xz")},
      {"bZ", logic("z")},
      {"b0000000000000000000000000000000000000000000000000000000000000000001",
       SignalValue::of_int(1)},
  };
  for (const Case &c : cases)
    EXPECT_EQ(parse_binary_str(c.text), c.expected) << c.text;
  EXPECT_EQ(parse_binary_str(std::string(70, '1')), SignalValue::of_int(UINT64_MAX));
  // Bits beyond the last 64 are dropped, never widened.
  EXPECT_EQ(parse_binary_str("1" + std::string(64, '0')), SignalValue::of_int(0));
}

TEST(ToU64, Table) {
  struct Case {
    SignalValue value;
    std::optional<uint64_t> expected;
  };
  const Case cases[] = {
      {SignalValue::of_int(7), 7},
      {logic("101"), 5},
      {logic("x1"), std::nullopt},
      {logic("1z"), std::nullopt},
      {logic(""), 0},
      {SignalValue::of_real(3.9), 3},
      {SignalValue::of_real(-1.5), 0},
      {SignalValue::of_real(NAN), 0},
      {SignalValue::of_real(1e30), UINT64_MAX},
      {SignalValue::of_real(18446744073709551616.0), UINT64_MAX},
      {SignalValue::of_text("+12"), 12},
      {SignalValue::of_text("18446744073709551615"), UINT64_MAX},
      {SignalValue::of_text("18446744073709551616"), std::nullopt},
      {SignalValue::of_text("-1"), std::nullopt},
      {SignalValue::of_text(" 1"), std::nullopt},
      {SignalValue::of_text("+"), std::nullopt},
      {SignalValue::of_text(""), std::nullopt},
      {SignalValue::of_wide({5, 7}), 5},
      {SignalValue::of_wide({}), std::nullopt},
      {SignalValue(), std::nullopt},
  };
  for (size_t k = 0; k < std::size(cases); ++k)
    EXPECT_EQ(to_u64(cases[k].value), cases[k].expected) << "case " << k;
  // Only the lowest 64 bits of a long all-binary vector count.
  EXPECT_EQ(to_u64(logic("1" + std::string(64, '0') + "1")), 1u);
}

TEST(ValueEquality, VariantsAndReals) {
  EXPECT_NE(SignalValue::of_real(NAN), SignalValue::of_real(NAN));
  EXPECT_EQ(SignalValue::of_real(0.0), SignalValue::of_real(-0.0));
  EXPECT_NE(SignalValue::of_int(0), logic("0"));
  EXPECT_NE(SignalValue::of_wide({5}), SignalValue::of_int(5));
  EXPECT_NE(SignalValue::of_wide({5}), SignalValue::of_wide({5, 0}));
  EXPECT_EQ(SignalValue(), SignalValue());
  EXPECT_EQ(SignalValue::of_text("a"), SignalValue::of_text("a"));
  EXPECT_NE(logic("10"), logic("100"));
}
