#include "util/mapped_file.hpp"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavesift::fst {

MappedFile &MappedFile::operator=(MappedFile &&other) noexcept {
  if (this != &other) {
    release();
    map_ = other.map_;
    map_size_ = other.map_size_;
    copy_ = std::move(other.copy_);
    other.map_ = nullptr;
    other.map_size_ = 0;
  }
  return *this;
}

void MappedFile::release() {
  if (map_) ::munmap(map_, map_size_);
  map_ = nullptr;
  map_size_ = 0;
  copy_.clear();
}

bool MappedFile::load(int fd) {
  release();
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    void *p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (p != MAP_FAILED) {
      ::madvise(p, static_cast<size_t>(st.st_size), MADV_WILLNEED);
      map_ = p;
      map_size_ = static_cast<size_t>(st.st_size);
      return true;
    }
  }
  // Not mappable (empty, a pipe, a device): read it.
  std::vector<uint8_t> buf(1 << 16);
  for (;;) {
    const ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    copy_.insert(copy_.end(), buf.data(), buf.data() + n);
  }
  return true;
}

} // namespace wavesift::fst
