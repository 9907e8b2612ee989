#pragma once
// Bounds-checked reading of FST bytes: big-endian integers, LEB128 varints, C strings.
//
// Every read either succeeds or leaves a fault behind (end of data, or a varint longer than its
// type allows) and returns false; `error()` turns the fault into the reader's error text. The
// position may be moved past the end (a later read then fails), as a seekable file allows.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "readers/fst/error.hpp"

namespace wavesift::fst {

using Bytes = std::span<const uint8_t>;

// Decodes an unsigned LEB128 varint of at most `max_bytes` bytes at [p, end); bits beyond the
// type's width in the last byte are dropped. Returns the bytes used, 0 at the end of data and
// max_bytes + 1 when the varint is too long.
template <class T, unsigned max_bytes>
inline size_t decode_varint(const uint8_t *p, const uint8_t *end, T &out) {
  T value = 0;
  for (unsigned k = 0; k < max_bytes; ++k) {
    if (p + k >= end) return 0;
    const uint8_t b = p[k];
    value |= static_cast<T>(static_cast<T>(b & 0x7F) << (7 * k));
    if (!(b & 0x80)) {
      out = value;
      return k + 1;
    }
  }
  return max_bytes + 1;
}

class Cursor {
public:
  enum class Fault : uint8_t { None, End, Leb128_32, Leb128_64 };

  Cursor() = default;
  explicit Cursor(Bytes data) : data_(data) {}

  uint64_t pos() const { return pos_; }
  size_t size() const { return data_.size(); }
  uint64_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  void seek(uint64_t pos) { pos_ = pos; }
  // Moves forward; false (and a fault) when that would overflow the position.
  bool skip(uint64_t n) {
    if (n > UINT64_MAX - pos_) return fail(Fault::End);
    pos_ += n;
    return true;
  }

  bool u8(uint8_t &out) {
    if (remaining() < 1) return fail(Fault::End);
    out = data_[pos_++];
    return true;
  }
  bool u64be(uint64_t &out) {
    if (remaining() < 8) return fail(Fault::End);
    uint64_t v = 0;
    for (int k = 0; k < 8; ++k)
      v = (v << 8) | data_[pos_ + k];
    pos_ += 8;
    out = v;
    return true;
  }
  bool varint32(uint32_t &out, size_t *used = nullptr) {
    return varint<uint32_t, 5>(out, used, Fault::Leb128_32);
  }
  bool varint64(uint64_t &out, size_t *used = nullptr) {
    return varint<uint64_t, 10>(out, used, Fault::Leb128_64);
  }
  // Signed LEB128: sign-extended from bit 6 of the last byte.
  bool svarint64(int64_t &out);
  // The next n bytes, which must all be present.
  bool bytes(uint64_t n, Bytes &out) {
    if (remaining() < n) return fail(Fault::End);
    out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
  }

  Fault fault() const { return fault_; }
  // The reader error for the last fault.
  Error error() const;

private:
  template <class T, unsigned max_bytes> bool varint(T &out, size_t *used, Fault too_long) {
    if (pos_ >= data_.size()) return fail(Fault::End);
    const uint8_t *p = data_.data() + pos_;
    const size_t n = decode_varint<T, max_bytes>(p, data_.data() + data_.size(), out);
    if (n == 0) return fail(Fault::End);
    if (n > max_bytes) return fail(too_long);
    pos_ += n;
    if (used) *used = n;
    return true;
  }
  bool fail(Fault f) {
    fault_ = f;
    return false;
  }

  Bytes data_;
  uint64_t pos_ = 0;
  Fault fault_ = Fault::None;
};

inline bool Cursor::svarint64(int64_t &out) {
  uint64_t value = 0;
  for (unsigned k = 0; k < 10; ++k) {
    uint8_t b;
    if (!u8(b)) return false;
    value |= static_cast<uint64_t>(b & 0x7F) << (7 * k);
    if (!(b & 0x80)) {
      const unsigned shift = 7 * (k + 1);
      if (shift < 64 && (b & 0x40)) value |= UINT64_MAX << shift;
      out = static_cast<int64_t>(value);
      return true;
    }
  }
  return fail(Fault::Leb128_64);
}

inline Error Cursor::error() const {
  switch (fault_) {
  case Fault::Leb128_32:
    return errors::leb128(32);
  case Fault::Leb128_64:
    return errors::leb128(64);
  default:
    return errors::io();
  }
}

} // namespace wavesift::fst
