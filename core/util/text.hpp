#pragma once
// Text rules shared by the text readers: Unicode white space, UTF-8 validity, numbers.
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace wavesift::text {

// Length of the Unicode white-space character at the start of s (0 if none).
size_t leading_space_len(std::string_view s);
// Length of the Unicode white-space character that ends s (0 if none).
size_t trailing_space_len(std::string_view s);

inline std::string_view trim(std::string_view s) {
  // Most lines start and end with a visible ASCII character.
  if (!s.empty() && static_cast<unsigned char>(s.front()) - 0x21u < 0x5Eu &&
      static_cast<unsigned char>(s.back()) - 0x21u < 0x5Eu)
    return s;
  for (size_t n; !s.empty() && (n = leading_space_len(s)) != 0;)
    s.remove_prefix(n);
  for (size_t n; !s.empty() && (n = trailing_space_len(s)) != 0;)
    s.remove_suffix(n);
  return s;
}

// Splits at runs of white space; keeps at most max_tokens tokens.
void split_ws(std::string_view s, std::vector<std::string_view> &out, size_t max_tokens);

bool valid_utf8(std::string_view s);
bool is_ascii(std::string_view s);

// Decimal float: optional sign, digits with optional fraction, optional exponent, or
// inf / infinity / nan in any case. Out-of-range magnitudes round to infinity or zero.
std::optional<double> parse_real(std::string_view s);

} // namespace wavesift::text
