#pragma once
// Fixed-width integers at an offset of a byte range, in either byte order. Callers check that
// the bytes are there.
#include <cstddef>
#include <cstdint>
#include <span>

namespace wavesift {

inline uint16_t le16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline uint32_t le32(std::span<const uint8_t> b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}
inline uint64_t le64(std::span<const uint8_t> b, size_t at) {
  return uint64_t{le32(b, at)} | uint64_t{le32(b, at + 4)} << 32;
}
inline uint16_t be16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}
inline uint32_t be32(std::span<const uint8_t> b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 |
         uint32_t{b[at + 3]};
}

} // namespace wavesift
