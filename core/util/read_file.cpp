#include "util/read_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavesift {
namespace {

Error failure(int err) {
  return Error{std::strerror(err)};
}

} // namespace

int open_for_reading(const std::string &path) {
  if (path.find('\0') != std::string::npos) {
    errno = EINVAL;
    return -1;
  }
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

Result<std::vector<uint8_t>> read_file_bytes(const std::string &path) {
  const int fd = open_for_reading(path);
  if (fd < 0) return failure(errno);

  // The size from fstat only sizes the first buffer; the read loop runs to end of file, so a
  // file that grows, shrinks or reports size 0 (procfs) is still read as it is.
  struct stat st {};
  size_t capacity = 1 << 16;
  if (::fstat(fd, &st) == 0 && st.st_size > 0) capacity = static_cast<size_t>(st.st_size) + 1;

  std::vector<uint8_t> bytes(capacity);
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return failure(err);
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(used);
  return bytes;
}

Result<std::vector<uint8_t>> read_file(const std::string &path) {
  auto bytes = read_file_bytes(path);
  if (!bytes.ok()) return Error{"Failed to read " + path + ": " + bytes.error()};
  return bytes;
}

} // namespace wavesift
