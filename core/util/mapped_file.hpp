#pragma once
// The bytes of a file: memory-mapped when it is a regular file, read otherwise.
#include <cstdint>
#include <span>
#include <vector>

namespace wavesift::fst {

class MappedFile {
public:
  MappedFile() = default;
  MappedFile(MappedFile &&other) noexcept { *this = std::move(other); }
  MappedFile &operator=(MappedFile &&other) noexcept;
  MappedFile(const MappedFile &) = delete;
  MappedFile &operator=(const MappedFile &) = delete;
  ~MappedFile() { release(); }

  // False when the file cannot be read (a directory, an I/O error).
  bool load(int fd);
  std::span<const uint8_t> bytes() const {
    return map_ ? std::span<const uint8_t>(static_cast<const uint8_t *>(map_), map_size_)
                : std::span<const uint8_t>(copy_);
  }

private:
  void release();
  void *map_ = nullptr;
  size_t map_size_ = 0;
  std::vector<uint8_t> copy_;
};

} // namespace wavesift::fst
