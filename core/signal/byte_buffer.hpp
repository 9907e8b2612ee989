#pragma once
// A growable byte array for the store's columns: appends without zero-filling first, and
// copies and moves like a value.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace wavesift {

class ByteBuffer {
public:
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer &o) { *this = o; }
  ByteBuffer(ByteBuffer &&o) noexcept { swap(o); }
  ByteBuffer &operator=(const ByteBuffer &o) {
    if (this != &o) {
      resize(0);
      std::memcpy(append(o.size_), o.data_, o.size_);
    }
    return *this;
  }
  ByteBuffer &operator=(ByteBuffer &&o) noexcept {
    swap(o);
    return *this;
  }
  ~ByteBuffer() { std::free(data_); }

  const uint8_t *data() const { return data_; }
  uint8_t *data() { return data_; }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }

  // Grows by n bytes and returns where they start; their content is for the caller to write.
  uint8_t *append(size_t n) {
    if (capacity_ - size_ < n) reserve(size_ + n > 2 * capacity_ ? size_ + n : 2 * capacity_);
    uint8_t *out = data_ + size_;
    size_ += n;
    return out;
  }
  // Shrinking only; growing goes through append.
  void resize(size_t n) {
    if (n <= size_) size_ = n;
  }
  void shrink_to_fit() {
    if (size_ < capacity_) set_capacity(size_);
  }

private:
  void reserve(size_t n) { set_capacity(n < 16 ? 16 : n); }
  void set_capacity(size_t n) {
    if (n == 0) {
      std::free(data_);
      data_ = nullptr;
      capacity_ = 0;
      return;
    }
    void *p = std::realloc(data_, n);
    if (!p) throw std::bad_alloc();
    data_ = static_cast<uint8_t *>(p);
    capacity_ = n;
  }
  void swap(ByteBuffer &o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(capacity_, o.capacity_);
  }

  uint8_t *data_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
};

} // namespace wavesift
