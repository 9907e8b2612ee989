#include "signal/bitpack.hpp"

#include <algorithm>
#include <cstring>

namespace wavesift {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;

// Eight digit characters, all '0' or '1'?
bool all_binary(uint64_t w) {
  return (w & ~kOnes) == 0x30 * kOnes;
}

// Eight '0'/'1' characters to a byte, the first character as the top bit.
uint64_t pack8(uint64_t w) {
  return ((w & kOnes) * 0x8040201008040201ull) >> 56;
}

bool is_xz(char c) {
  return c == 'x' || c == 'X' || c == 'z' || c == 'Z';
}

} // namespace

bool has_xz_digit(std::string_view digits) {
  size_t i = 0;
  // Dumps are mostly plain 0/1 digits: skip them eight at a time.
  for (; i + 8 <= digits.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, digits.data() + i, 8);
    if (!all_binary(w)) break;
  }
  return std::any_of(digits.begin() + static_cast<ptrdiff_t>(i), digits.end(), is_xz);
}

uint64_t pack_binary_digits(std::string_view digits) {
  if (digits.size() > 64) digits.remove_prefix(digits.size() - 64);
  uint64_t n = 0;
  size_t i = 0;
  for (; i + 8 <= digits.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, digits.data() + i, 8);
    if (!all_binary(w)) break;
    n = (n << 8) | pack8(w);
  }
  for (; i < digits.size(); ++i)
    n = (n << 1) | (digits[i] == '1' ? 1 : 0);
  return n;
}

SignalValue parse_binary_str(std::string_view text) {
  if (!text.empty() && (text.front() == 'b' || text.front() == 'B')) text.remove_prefix(1);
  if (text.empty()) return SignalValue();
  if (has_xz_digit(text)) {
    Bits bits(text.size());
    std::transform(text.begin(), text.end(), bits.begin(), logic_bit_from_char);
    return SignalValue::of_logic(std::move(bits));
  }
  return SignalValue::of_int(pack_binary_digits(text));
}

} // namespace wavesift
