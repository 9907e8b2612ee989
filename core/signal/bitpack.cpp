#include "signal/bitpack.hpp"

#include <algorithm>

namespace wavesift {

bool has_xz_digit(std::string_view digits) {
  return digits.find_first_of("xXzZ") != std::string_view::npos;
}

uint64_t pack_binary_digits(std::string_view digits) {
  if (digits.size() > 64) digits.remove_prefix(digits.size() - 64);
  uint64_t n = 0;
  for (char c : digits)
    n = (n << 1) | (c == '1' ? 1 : 0);
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
