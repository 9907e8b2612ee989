#include "signal/value.hpp"

#include <cmath>

namespace wavesift {

ValueView view_of(const SignalValue &value) {
  ValueView v;
  v.tag = value.tag();
  switch (v.tag) {
  case Tag::Int:
    v.num = value.as_int();
    break;
  case Tag::Wide:
    v.data = reinterpret_cast<const uint8_t *>(value.as_wide().data());
    v.size = static_cast<uint32_t>(value.as_wide().size());
    break;
  case Tag::Logic:
    v.data = reinterpret_cast<const uint8_t *>(value.as_logic().data());
    v.size = static_cast<uint32_t>(value.as_logic().size());
    break;
  case Tag::Real:
    v.real = value.as_real();
    break;
  case Tag::Text:
    v.data = reinterpret_cast<const uint8_t *>(value.as_text().data());
    v.size = static_cast<uint32_t>(value.as_text().size());
    break;
  case Tag::NoValue:
    break;
  }
  return v;
}

SignalValue to_value(const ValueView &v) {
  switch (v.tag) {
  case Tag::Int:
    return SignalValue::of_int(v.num);
  case Tag::Wide: {
    Words w(v.size);
    for (size_t k = 0; k < v.size; ++k)
      w[k] = v.word(k);
    return SignalValue::of_wide(std::move(w));
  }
  case Tag::Logic: {
    Bits b(v.size);
    for (size_t k = 0; k < v.size; ++k)
      b[k] = v.bit(k);
    return SignalValue::of_logic(std::move(b));
  }
  case Tag::Real:
    return SignalValue::of_real(v.real);
  case Tag::Text:
    return SignalValue::of_text(std::string(v.text()));
  case Tag::NoValue:
    break;
  }
  return SignalValue();
}

bool detail::payloads_equal(const ValueView &a, const ValueView &b) {
  switch (a.tag) {
  case Tag::Int:
    return a.num == b.num;
  case Tag::Wide:
    if (a.size != b.size) return false;
    return std::memcmp(a.data, b.data, 8 * a.size) == 0;
  case Tag::Logic:
    if (a.size != b.size) return false;
    if (a.packed == b.packed && !a.packed) return std::memcmp(a.data, b.data, a.size) == 0;
    for (size_t k = 0; k < a.size; ++k)
      if (a.bit(k) != b.bit(k)) return false;
    return true;
  case Tag::Real:
    return a.real == b.real;
  case Tag::Text:
    return a.text() == b.text();
  case Tag::NoValue:
    return true;
  }
  return false;
}

std::optional<uint64_t> parse_u64_decimal(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  uint64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (n > (UINT64_MAX - d) / 10) return std::nullopt;
    n = n * 10 + d;
  }
  return n;
}

std::optional<uint64_t> detail::to_u64_other(const ValueView &v) {
  switch (v.tag) {
  case Tag::Int:
    return v.num;
  case Tag::Wide:
    if (v.size == 0) return std::nullopt;
    return v.word(0);
  case Tag::Logic: {
    uint64_t n = 0;
    const size_t first_counted = v.size > 64 ? v.size - 64 : 0;
    for (size_t k = 0; k < v.size; ++k) {
      const LogicBit b = v.bit(k);
      if (b == LogicBit::X || b == LogicBit::Z) return std::nullopt;
      if (k >= first_counted) n = (n << 1) | (b == LogicBit::One ? 1 : 0);
    }
    return n;
  }
  case Tag::Real: {
    const double r = v.real;
    if (std::isnan(r) || r <= 0) return 0;
    if (r >= 18446744073709551616.0) return UINT64_MAX;
    return static_cast<uint64_t>(r);
  }
  case Tag::Text:
    return parse_u64_decimal(v.text());
  case Tag::NoValue:
    break;
  }
  return std::nullopt;
}

} // namespace wavesift
