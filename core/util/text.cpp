#include "util/text.hpp"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace wavesift::text {
namespace {

bool ascii_space(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Code point is one of the non-ASCII White_Space characters.
bool unicode_space(uint32_t cp) {
  return cp == 0x85 || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) ||
         cp == 0x2028 || cp == 0x2029 || cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

uint32_t decode_at(std::string_view s, size_t pos, size_t len) {
  const auto *p = reinterpret_cast<const unsigned char *>(s.data()) + pos;
  if (len == 2) return ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
  return ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
}

bool eq_nocase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

bool all_digits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

} // namespace

size_t leading_space_len(std::string_view s) {
  const auto c = static_cast<unsigned char>(s[0]);
  if (c < 0x80) return ascii_space(c) ? 1 : 0;
  // White space beyond ASCII is two (U+0085, U+00A0) or three bytes long.
  if (c == 0xC2 && s.size() >= 2) return unicode_space(decode_at(s, 0, 2)) ? 2 : 0;
  if ((c == 0xE1 || c == 0xE2 || c == 0xE3) && s.size() >= 3)
    return unicode_space(decode_at(s, 0, 3)) ? 3 : 0;
  return 0;
}

size_t trailing_space_len(std::string_view s) {
  const size_t n = s.size();
  const auto c = static_cast<unsigned char>(s[n - 1]);
  if (c < 0x80) return ascii_space(c) ? 1 : 0;
  if (n >= 2 && static_cast<unsigned char>(s[n - 2]) == 0xC2)
    return unicode_space(decode_at(s, n - 2, 2)) ? 2 : 0;
  if (n >= 3) {
    const auto lead = static_cast<unsigned char>(s[n - 3]);
    if (lead == 0xE1 || lead == 0xE2 || lead == 0xE3)
      return unicode_space(decode_at(s, n - 3, 3)) ? 3 : 0;
  }
  return 0;
}

void split_ws(std::string_view s, std::vector<std::string_view> &out, size_t max_tokens) {
  out.clear();
  size_t i = 0;
  while (i < s.size() && out.size() < max_tokens) {
    size_t n;
    while (i < s.size() && (n = leading_space_len(s.substr(i))) != 0)
      i += n;
    if (i >= s.size()) break;
    const size_t begin = i;
    while (i < s.size() && leading_space_len(s.substr(i)) == 0)
      ++i;
    out.push_back(s.substr(begin, i - begin));
  }
}

bool is_ascii(std::string_view s) {
  const char *p = s.data(), *end = p + s.size();
  uint64_t any = 0;
  for (; end - p >= 8; p += 8) {
    uint64_t w;
    __builtin_memcpy(&w, p, 8);
    any |= w;
  }
  for (; p < end; ++p)
    any |= static_cast<unsigned char>(*p);
  return (any & 0x8080808080808080ull) == 0;
}

bool valid_utf8(std::string_view s) {
  const auto *p = reinterpret_cast<const unsigned char *>(s.data());
  const auto *end = p + s.size();
  while (p < end) {
    // ASCII runs are the common case: check eight bytes at a time.
    while (end - p >= 8) {
      uint64_t w;
      __builtin_memcpy(&w, p, 8);
      if (w & 0x8080808080808080ull) break;
      p += 8;
    }
    if (p >= end) break;
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    size_t len;
    uint32_t cp, min;
    if (c >= 0xC2 && c <= 0xDF)
      len = 2, cp = c & 0x1F, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
      len = 3, cp = c & 0x0F, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
      len = 4, cp = c & 0x07, min = 0x10000;
    else
      return false;
    if (static_cast<size_t>(end - p) < len) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((p[k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    p += len;
  }
  return true;
}

std::optional<double> parse_real(std::string_view s) {
  std::string_view body = s;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
  if (eq_nocase(body, "inf") || eq_nocase(body, "infinity") || eq_nocase(body, "nan")) {
    const double v = eq_nocase(body, "nan") ? __builtin_nan("") : __builtin_inf();
    return s.front() == '-' ? -v : v;
  }
  // Grammar: (digits | digits '.' digits? | '.' digits) ([eE] sign? digits)?
  std::string_view mantissa = body, exponent;
  if (const size_t e = body.find_first_of("eE"); e != std::string_view::npos) {
    mantissa = body.substr(0, e);
    exponent = body.substr(e + 1);
    if (!exponent.empty() && (exponent.front() == '+' || exponent.front() == '-'))
      exponent.remove_prefix(1);
    if (exponent.empty() || !all_digits(exponent)) return std::nullopt;
  }
  const size_t dot = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, dot);
  const std::string_view frac = dot == std::string_view::npos ? "" : mantissa.substr(dot + 1);
  if (!all_digits(whole) || !all_digits(frac) || (whole.empty() && frac.empty()))
    return std::nullopt;

  const std::string_view number = s.front() == '+' ? s.substr(1) : s;
  double v = 0;
  const auto r = std::from_chars(number.data(), number.data() + number.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow gives infinity and underflow zero, correctly signed, as strtod reports them.
    const std::string copy(number);
    errno = 0;
    v = std::strtod(copy.c_str(), nullptr);
  }
  return v;
}

} // namespace wavesift::text
