// The small codecs of the FST reader: FastLZ, lossy UTF-8, varints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "readers/fst/cursor.hpp"
#include "readers/fst/fastlz.hpp"
#include "util/utf8.hpp"

namespace {

using namespace wavesift::fst;

std::string fastlz(const std::vector<uint8_t> &in, size_t max_out, bool *ok = nullptr) {
  std::vector<uint8_t> out;
  const bool good = fastlz_decompress(in, max_out, out);
  if (ok) *ok = good;
  return good ? std::string(out.begin(), out.end()) : "<error>";
}

TEST(FstCodecs, FastLzLevels) {
  std::string abc;
  for (int k = 0; k < 90; ++k)
    abc += "abc";
  // Level 1: literals "abc", then 6 bytes from 3 back (control 4 << 5, distance byte 2).
  EXPECT_EQ(fastlz({0x02, 'a', 'b', 'c', 0x80, 0x02}, 100), "abcabcabc");
  // Level 1 long match: length code 7, one extra length byte.
  EXPECT_EQ(fastlz({0x02, 'a', 'b', 'c', 0xE0, 10, 0x02}, 100), abc.substr(0, 3 + 6 + 10 + 3));
  // Level 2 (level bits in the first byte): length bytes of 255 continue the length.
  EXPECT_EQ(fastlz({0x22, 'a', 'b', 'c', 0xE0, 255, 1, 0x02}, 1000), abc.substr(0, 3 + 265));
  // Level 2 far match: distance 8192 + 16-bit offset.
  std::vector<uint8_t> far{0x20 | 31};
  std::string want;
  for (int k = 0; k < 32; ++k)
    far.push_back(static_cast<uint8_t>('A' + k % 26));
  for (int k = 0; k < 32; ++k)
    want += static_cast<char>('A' + k % 26);
  // Pad the output past 8192 bytes with a long run of 'Z' (a match of distance 1).
  far.push_back(0); // literal "Z"
  far.push_back('Z');
  want += 'Z';
  size_t pad = 8200;
  while (pad > 0) {
    const size_t n = std::min<size_t>(pad, 6 + 254 + 3);
    far.push_back(0xE0);
    size_t extra = n - 9;
    far.push_back(static_cast<uint8_t>(extra));
    far.push_back(0); // distance 1
    want += std::string(n, 'Z');
    pad -= n;
  }
  // Copy 3 bytes from the very start: distance = 8192 + far offset.
  const size_t distance = want.size();
  const size_t off = distance - 8192;
  far.insert(far.end(),
             {0x20 | 31, 255, static_cast<uint8_t>(off >> 8), static_cast<uint8_t>(off)});
  want += want.substr(0, 3);
  EXPECT_EQ(fastlz(far, 20000), want);
}

TEST(FstCodecs, FastLzRejectsBadStreams) {
  bool ok = true;
  fastlz({}, 10, &ok);
  EXPECT_FALSE(ok);
  fastlz({0x40, 'a'}, 10, &ok); // level 3
  EXPECT_FALSE(ok);
  fastlz({0x00, 'a', 0x80, 0x05}, 10, &ok); // match reaching before the output
  EXPECT_FALSE(ok);
  fastlz({0x05, 'a', 'b'}, 10, &ok); // literal run past the input
  EXPECT_FALSE(ok);
  fastlz({0x02, 'a', 'b', 'c', 0x80, 0x02}, 5, &ok); // output larger than allowed
  EXPECT_FALSE(ok);
}

TEST(FstCodecs, LossyUtf8ReplacesMaximalSubparts) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain", "plain"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {"a\xF0\x9F\x98", "a\xEF\xBF\xBD"},                       // truncated 4-byte sequence
      {"\xE0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},                 // overlong: two subparts
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // surrogate
      {"\xFFx\x80", "\xEF\xBF\xBDx\xEF\xBF\xBD"},
  };
  for (const auto &c : cases) {
    std::string out;
    append_lossy_utf8(out, c.in);
    EXPECT_EQ(out, c.out);
  }
}

TEST(FstCodecs, VarintLimits) {
  const std::vector<uint8_t> five{0xFF, 0xFF, 0xFF, 0xFF, 0x7F}; // top bits dropped
  Cursor c(five);
  uint32_t v;
  ASSERT_TRUE(c.varint32(v));
  EXPECT_EQ(v, UINT32_MAX);
  const std::vector<uint8_t> six{0x80, 0x80, 0x80, 0x80, 0x80, 0x01};
  Cursor d(six);
  EXPECT_FALSE(d.varint32(v));
  EXPECT_EQ(d.error().message, "failed to read leb128 integer, more than the expected 32 bits");
  const std::vector<uint8_t> cut{0x80};
  Cursor e(cut);
  EXPECT_FALSE(e.varint32(v));
  EXPECT_EQ(e.error().message, "I/O operation failed");
  const std::vector<uint8_t> neg{0x7B}; // -5
  Cursor f(neg);
  int64_t s;
  ASSERT_TRUE(f.svarint64(s));
  EXPECT_EQ(s, -5);
}

} // namespace
