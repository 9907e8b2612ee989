#pragma once
// Compact byte form of values inside a SignalStore column.
//
// One header byte: below 0xF0 it is a small Int itself (so a one-bit change costs one byte);
// otherwise it names the variant and a payload follows. The form is canonical: two values
// encode to the same bytes exactly when they have the same representation, which lets the
// store merge runs by comparing bytes.
#include <cstdint>
#include <vector>

#include "signal/value.hpp"

namespace wavesift::codec {

inline constexpr uint8_t kSmallIntLimit = 0xF0;
inline constexpr uint8_t kInt = 0xF0, kWide = 0xF1, kLogic = 0xF2, kReal = 0xF3, kText = 0xF4,
                         kNoValue = 0xF5;

inline void put_varint(std::vector<uint8_t> &out, uint64_t x) {
  while (x >= 0x80) {
    out.push_back(static_cast<uint8_t>(x) | 0x80);
    x >>= 7;
  }
  out.push_back(static_cast<uint8_t>(x));
}

inline uint64_t get_varint(const uint8_t *&p) {
  uint64_t x = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t b = *p++;
    x |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return x;
  }
}

void encode_value(std::vector<uint8_t> &out, const ValueView &value);

// Reads one encoded value at p and moves p past it. The view points into the bytes.
ValueView decode_value(const uint8_t *&p);

namespace detail {
size_t encoded_size_long(const uint8_t *p);
}

// Length in bytes of the encoded value at p.
inline size_t encoded_size(const uint8_t *p) {
  return *p < kSmallIntLimit ? 1 : detail::encoded_size_long(p);
}

inline bool is_no_value(const uint8_t *p) {
  return *p == kNoValue;
}

} // namespace wavesift::codec
