#include "readers/vcd/vcd.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

#include "signal/bitpack.hpp"
#include "readers/vcd/codes.hpp"
#include "util/read_file.hpp"
#include "util/text.hpp"

namespace wavesift::vcd {
namespace {

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string join_scopes(const std::vector<std::string> &stack) {
  std::string path;
  for (size_t k = 0; k < stack.size(); ++k) {
    if (k) path += '.';
    path += stack[k];
  }
  return path;
}

// Unknown names read as zero bits wide in a VCD trace.
TraceData vcd_record() {
  TraceData t;
  t.unknown_width = 0;
  return t;
}

class Builder {
public:
  // One line of input, without its '\n'.
  void line(std::string_view raw) {
    const std::string_view s = text::trim(raw);
    if (s.empty()) return;
    const char c = s.front();
    if (c == '#') return time_line(s);
    if (c == '$') return keyword_line(s);
    if (in_dump_) value_line(s);
  }

  TraceData finish() {
    flush();
    return std::move(t_);
  }

private:
  void keyword_line(std::string_view s) {
    if (starts_with(s, "$scope")) {
      text::split_ws(s, tokens_, 3);
      if (tokens_.size() < 3) return;
      scope_stack_.emplace_back(tokens_[2]);
      std::string path = join_scopes(scope_stack_);
      if (scope_set_.insert(path).second) t_.scopes.push_back(std::move(path));
    } else if (starts_with(s, "$upscope")) {
      if (!scope_stack_.empty()) scope_stack_.pop_back();
    } else if (starts_with(s, "$var")) {
      var_line(s);
    }
  }

  void var_line(std::string_view s) {
    text::split_ws(s, tokens_, 5);
    if (tokens_.size() < 5) return;
    const auto size = parse_u64_decimal(tokens_[2]);
    const uint32_t width = size && *size <= UINT32_MAX ? static_cast<uint32_t>(*size) : 1;
    const std::string_view code = tokens_[3];
    std::string_view name = tokens_[4];
    if (const size_t bracket = name.find('['); bracket != std::string_view::npos)
      name = name.substr(0, bracket);
    std::string full = scope_stack_.empty() ? std::string() : join_scopes(scope_stack_) + ".";
    full += name;

    SignalId id;
    if (const SignalId *known = codes_.find(code)) {
      id = *known;
    } else {
      id = codes_.insert(code, next_id_++);
    }
    if (name_set_.insert(full).second) t_.signal_names.push_back(full);
    t_.widths[full] = width;
    t_.name_to_id[std::move(full)] = id;
  }

  void time_line(std::string_view s) {
    const auto t = parse_u64_decimal(text::trim(s.substr(1)));
    t_.timestamps.push_back(t.value_or(0));
    flush(); // queued writes belong to the previous index
    index_ = t_.timestamps.size() - 1;
    if (index_ != 0) t_.store.forward_fill(index_);
    in_dump_ = true;
  }

  void value_line(std::string_view s) {
    switch (s.front()) {
    case '0':
    case '1':
      return store(s.substr(1), ValueView::of_int(s.front() == '1'));
    case 'x':
    case 'X':
      return store(s.substr(1), ValueView());
    case 'z':
    case 'Z': {
      static const uint8_t z = static_cast<uint8_t>(LogicBit::Z);
      ValueView v;
      v.tag = Tag::Logic;
      v.data = &z;
      v.size = 1;
      return store(s.substr(1), v);
    }
    case 'b':
    case 'B':
      return vector_line(s);
    case 'r':
    case 'R':
      return real_line(s);
    default:
      return;
    }
  }

  void vector_line(std::string_view s) {
    const size_t space = s.find(' ');
    if (space == std::string_view::npos) return;
    const SignalId *id = lookup(text::trim(s.substr(space + 1)));
    if (!id) return;
    const std::string_view digits = s.substr(1, space - 1);
    if (digits.empty()) return queue(*id, ValueView());
    if (!has_xz_digit(digits)) return queue(*id, ValueView::of_int(pack_binary_digits(digits)));
    bits_.resize(digits.size());
    for (size_t k = 0; k < digits.size(); ++k)
      bits_[k] = static_cast<uint8_t>(logic_bit_from_char(digits[k]));
    ValueView v;
    v.tag = Tag::Logic;
    v.data = bits_.data();
    v.size = static_cast<uint32_t>(bits_.size());
    flush(); // the bits live in a buffer the next line reuses
    t_.store.set(*id, index_, v);
  }

  void real_line(std::string_view s) {
    const size_t space = s.find(' ');
    if (space == std::string_view::npos) return;
    const SignalId *id = lookup(text::trim(s.substr(space + 1)));
    if (!id) return;
    ValueView v;
    v.tag = Tag::Real;
    v.real = text::parse_real(s.substr(1, space - 1)).value_or(0.0);
    queue(*id, v);
  }

  void store(std::string_view code, const ValueView &v) {
    if (const SignalId *id = lookup(code)) queue(*id, v);
  }

  const SignalId *lookup(std::string_view code) const { return codes_.find(code); }

  // Writes wait a few lines in a queue while their column's header, then its tail, are fetched
  // into cache: a dump cycles through thousands of columns, and each write would otherwise
  // stall on both. The queue keeps their order and is emptied before the index moves on.
  // Queued values carry no pointer into the line.
  void queue(SignalId id, const ValueView &v) {
    if (pending_count_ == kQueueDepth) apply_oldest();
    const size_t slot = (pending_head_ + pending_count_) % kQueueDepth;
    pending_[slot] = Pending{id, v};
    ++pending_count_;
    t_.store.prefetch_column(id);
    const size_t middle = (pending_head_ + pending_count_ / 2) % kQueueDepth;
    t_.store.prefetch_tail(pending_[middle].id);
  }
  void apply_oldest() {
    const Pending &p = pending_[pending_head_];
    t_.store.set(p.id, index_, p.value);
    pending_head_ = (pending_head_ + 1) % kQueueDepth;
    --pending_count_;
  }
  void flush() {
    while (pending_count_)
      apply_oldest();
  }

  TraceData t_ = vcd_record();
  SignalId next_id_ = 0;
  std::vector<std::string> scope_stack_;
  std::unordered_set<std::string> scope_set_, name_set_;
  std::vector<std::string_view> tokens_;
  std::vector<uint8_t> bits_;
  CodeTable codes_;
  struct Pending {
    SignalId id;
    ValueView value;
  };
  static constexpr size_t kQueueDepth = 16;
  std::array<Pending, kQueueDepth> pending_{};
  size_t pending_head_ = 0, pending_count_ = 0;
  Index index_ = 0;
  bool in_dump_ = false;
};

// Feeds every '\n'-separated line of a stream of chunks to sink(line, spans_chunks); the last
// line may lack '\n'.
template <class Sink> class LineSplitter {
public:
  explicit LineSplitter(Sink sink) : sink_(sink) {}

  void feed(std::string_view chunk) {
    while (!chunk.empty()) {
      const void *nl = std::memchr(chunk.data(), '\n', chunk.size());
      if (!nl) {
        carry_.append(chunk);
        return;
      }
      const size_t len = static_cast<const char *>(nl) - chunk.data();
      if (carry_.empty()) {
        sink_(chunk.substr(0, len), false);
      } else {
        carry_.append(chunk.substr(0, len));
        sink_(std::string_view(carry_), true);
        carry_.clear();
      }
      chunk.remove_prefix(len + 1);
    }
  }

  void finish() {
    if (!carry_.empty()) sink_(std::string_view(carry_), true);
    carry_.clear();
  }

private:
  Sink sink_;
  std::string carry_;
};

} // namespace

Result<TraceData> from_file(const std::string &path) {
  const int fd = open_for_reading(path);
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Error{"Failed to open " + path + ": " + std::strerror(EISDIR)};
  }
  if (fd < 0) return Error{"Failed to open " + path + ": " + std::strerror(errno)};

  Builder builder;
  // A line that is not valid UTF-8 is skipped as if it were empty. A chunk that is all ASCII
  // needs no check per line.
  bool ascii_chunk = false;
  auto checked_line = [&builder, &ascii_chunk](std::string_view line, bool spans_chunks) {
    if ((ascii_chunk && !spans_chunks) || text::valid_utf8(line)) builder.line(line);
  };
  LineSplitter<decltype(checked_line)> lines(checked_line);
  std::vector<char> buffer(1 << 18);
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    // A read error ends the input; what was read so far is kept.
    if (n <= 0) break;
    const std::string_view chunk(buffer.data(), static_cast<size_t>(n));
    ascii_chunk = text::is_ascii(chunk);
    lines.feed(chunk);
  }
  lines.finish();
  ::close(fd);
  return builder.finish();
}

Result<TraceData> parse(std::string_view text) {
  Builder builder;
  auto line = [&builder](std::string_view l, bool) { builder.line(l); };
  LineSplitter<decltype(line)> lines(line);
  lines.feed(text);
  lines.finish();
  return builder.finish();
}

} // namespace wavesift::vcd
