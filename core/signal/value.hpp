#pragma once
// One value of one signal at one time index, and a cheap read-only view of a value.
//
// SignalValue owns its payload and copies deeply. ValueView reads either a SignalValue or a
// value encoded inside a SignalStore without allocating; a view must not outlive its owner.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace wavesift {

enum class LogicBit : uint8_t { Zero = 0, One = 1, X = 2, Z = 3 };

// Character to four-state bit: 0, 1, z/Z; everything else is unknown.
constexpr LogicBit logic_bit_from_char(char c) {
  switch (c) {
  case '0':
    return LogicBit::Zero;
  case '1':
    return LogicBit::One;
  case 'z':
  case 'Z':
    return LogicBit::Z;
  default:
    return LogicBit::X;
  }
}

struct NoValue {
  bool operator==(const NoValue &) const = default;
};

// Variant order is the value's tag.
enum class Tag : uint8_t { Int = 0, Wide = 1, Logic = 2, Real = 3, Text = 4, NoValue = 5 };

using Words = std::vector<uint64_t>; // least significant word first
using Bits = std::vector<LogicBit>;  // most significant bit first

class SignalValue {
public:
  SignalValue() : v_(NoValue{}) {}
  static SignalValue of_int(uint64_t x) { return SignalValue(Storage(std::in_place_index<0>, x)); }
  static SignalValue of_wide(Words w) {
    return SignalValue(Storage(std::in_place_index<1>, std::move(w)));
  }
  static SignalValue of_logic(Bits b) {
    return SignalValue(Storage(std::in_place_index<2>, std::move(b)));
  }
  static SignalValue of_real(double r) { return SignalValue(Storage(std::in_place_index<3>, r)); }
  static SignalValue of_text(std::string s) {
    return SignalValue(Storage(std::in_place_index<4>, std::move(s)));
  }

  Tag tag() const { return static_cast<Tag>(v_.index()); }
  bool is_none() const { return tag() == Tag::NoValue; }
  uint64_t as_int() const { return std::get<0>(v_); }
  const Words &as_wide() const { return std::get<1>(v_); }
  const Bits &as_logic() const { return std::get<2>(v_); }
  double as_real() const { return std::get<3>(v_); }
  const std::string &as_text() const { return std::get<4>(v_); }

private:
  using Storage = std::variant<uint64_t, Words, Bits, double, std::string, NoValue>;
  explicit SignalValue(Storage v) : v_(std::move(v)) {}
  Storage v_;
};

// Read-only view of a value, 16 bytes. Payload-bearing variants point at their owner's bytes.
struct ValueView {
  Tag tag = Tag::NoValue;
  bool packed = false; // Logic: two bits per element (store form), else one byte each
  uint32_t size = 0;   // Wide: words; Logic: elements; Text: bytes
  union {
    uint64_t num = 0;    // Int
    double real;         // Real
    const uint8_t *data; // Wide: little-endian words; Logic: elements; Text: UTF-8
  };

  static ValueView of_int(uint64_t x) {
    ValueView v;
    v.tag = Tag::Int;
    v.num = x;
    return v;
  }

  LogicBit bit(size_t k) const {
    if (!packed) return static_cast<LogicBit>(data[k]);
    return static_cast<LogicBit>((data[k >> 2] >> ((k & 3) * 2)) & 3);
  }
  uint64_t word(size_t k) const {
    uint64_t w;
    std::memcpy(&w, data + 8 * k, 8);
    return w;
  }
  std::string_view text() const { return {reinterpret_cast<const char *>(data), size}; }
};

static_assert(sizeof(ValueView) == 16, "views are passed and stored by value on hot paths");

ValueView view_of(const SignalValue &value);
SignalValue to_value(const ValueView &view);

namespace detail {
bool payloads_equal(const ValueView &a, const ValueView &b);
}

// Same variant and same content; reals by IEEE comparison (NaN is unequal to itself).
inline bool values_equal(const ValueView &a, const ValueView &b) {
  if (a.tag != b.tag) return false;
  if (a.tag == Tag::Int) return a.num == b.num;
  return detail::payloads_equal(a, b);
}
inline bool operator==(const SignalValue &a, const SignalValue &b) {
  return values_equal(view_of(a), view_of(b));
}

namespace detail {
std::optional<uint64_t> to_u64_other(const ValueView &value);
}

// The numeric reading of a value, absent when it has none.
inline std::optional<uint64_t> to_u64(const ValueView &value) {
  if (value.tag == Tag::Int) return value.num;
  return detail::to_u64_other(value);
}
inline std::optional<uint64_t> to_u64(const SignalValue &value) {
  return to_u64(view_of(value));
}

// to_u64 for hot loops: the number in `out`, false when there is none (no optional to copy).
inline bool numeric_view(const ValueView &value, uint64_t &out) {
  if (value.tag == Tag::Int) {
    out = value.num;
    return true;
  }
  const auto n = detail::to_u64_other(value);
  out = n.value_or(0);
  return n.has_value();
}

// Decimal text with an optional leading '+', fitting in 64 bits; nothing else.
std::optional<uint64_t> parse_u64_decimal(std::string_view text);

} // namespace wavesift
