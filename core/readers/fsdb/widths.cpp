#include "readers/fsdb/widths.hpp"

#include "readers/fsdb/inflate.hpp"

namespace wavesift::fsdb {

uint32_t width_of_type(uint8_t code) {
  switch (code) {
  case 'C':
  case 'D':
    return 8;
  case 'j':
    return 2;
  case 'x':
    return 16;
  case '}':
    return 32;
  default:
    return 1;
  }
}

namespace {

// Resumable walk over the inflated bytes; it only decides a step when the bytes the step looks
// at have arrived, or when the stream has ended.
class RecordWalker {
public:
  explicit RecordWalker(size_t names) : names_(names) {}

  bool done() const { return stopped_ || widths_.size() >= names_; }

  void feed(std::span<const uint8_t> chunk) {
    if (done()) return;
    buf_.insert(buf_.end(), chunk.begin(), chunk.end());
    walk(false);
    // Drop what the walk has passed so the buffer stays small.
    const size_t drop = std::min(pos_, buf_.size());
    if (drop >= 64 * 1024 || drop == buf_.size()) {
      buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(drop));
      pos_ -= drop;
    }
  }

  std::vector<uint32_t> finish() {
    if (!done()) walk(true);
    return std::move(widths_);
  }

private:
  void walk(bool final) {
    const size_t n = buf_.size();
    while (!done() && pos_ < n) {
      // A record looks at most four bytes ahead.
      if (!final && pos_ + 5 > n) return;
      switch (buf_[pos_]) {
      case 0x01: {
        if (pos_ + 2 >= n) {
          stopped_ = true;
          return;
        }
        const uint8_t code = buf_[pos_ + 2];
        widths_.push_back(width_of_type(code));
        pos_ += (code == 'C' || code == 'D') && pos_ + 4 < n ? 5 : 3;
        break;
      }
      case 0x02:
        pos_ += 4;
        break;
      case 0x21:
        stopped_ = true;
        return;
      default:
        pos_ += 1;
        break;
      }
    }
  }

  size_t names_;
  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
  bool stopped_ = false;
  std::vector<uint32_t> widths_;
};

} // namespace

std::optional<std::vector<uint32_t>> read_width_table(std::span<const uint8_t> stream,
                                                      size_t names) {
  RecordWalker walker(names);
  if (!inflate_stream(stream, [&](std::span<const uint8_t> chunk) { walker.feed(chunk); }))
    return std::nullopt;
  return walker.finish();
}

} // namespace wavesift::fsdb
