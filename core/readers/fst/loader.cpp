#include "readers/fst/fst.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "util/utf8.hpp"
#include "util/read_file.hpp"

namespace wavesift::fst {
namespace {

// Per byte: whether it makes a value four-state, and its four-state bit.
constexpr uint8_t kFourState = 1;
struct ByteClass {
  std::array<uint8_t, 256> flags{};
  std::array<uint8_t, 256> bit{};
};
constexpr ByteClass kClass = [] {
  ByteClass c{};
  for (unsigned b = 0; b < 256; ++b) {
    c.bit[b] = static_cast<uint8_t>(logic_bit_from_char(static_cast<char>(b)));
  }
  // X Z h l u w x z - make a value four-state (upper-case H L U W do not).
  for (char ch : std::string_view("XZhluwxz-"))
    c.flags[static_cast<uint8_t>(ch)] = kFourState;
  return c;
}();

uint8_t classify(const uint8_t *p, size_t n) {
  uint8_t flags = 0;
  for (size_t k = 0; k < n; ++k)
    flags |= kClass.flags[p[k]];
  return flags;
}

// Whether every byte is '0' or '1'; eight at a time.
bool all_binary(const uint8_t *p, size_t n) {
  size_t k = 0;
  for (; k + 8 <= n; k += 8) {
    uint64_t w;
    std::memcpy(&w, p + k, 8);
    if ((w ^ 0x3030303030303030ull) & 0xFEFEFEFEFEFEFEFEull) return false;
  }
  for (; k < n; ++k)
    if ((p[k] ^ 0x30) & 0xFE) return false;
  return true;
}

// '0'/'1' characters, most significant first, to an integer; only the last 64 count.
uint64_t pack_bits(const uint8_t *p, size_t n) {
  if (n > 64) {
    p += n - 64;
    n = 64;
  }
  uint64_t x = 0;
  size_t k = 0;
  for (; k < n % 8; ++k)
    x = (x << 1) | (p[k] & 1);
  for (; k < n; k += 8) {
    uint64_t w;
    std::memcpy(&w, p + k, 8);
    // Gathers bit 0 of each byte, first byte highest.
    const uint64_t byte = ((w & 0x0101010101010101ull) * 0x8040201008040201ull) >> 56;
    x = (x << 8) | byte;
  }
  return x;
}

// Converts without allocating per value: payloads go to reusable buffers.
class Converter {
public:
  ValueView view(const Value &v) {
    ValueView out;
    if (v.is_real) {
      out.tag = Tag::Real;
      out.real = v.real;
      return out;
    }
    // One-bit values are the common case.
    if (v.size == 1 && (v.data[0] == '0' || v.data[0] == '1'))
      return ValueView::of_int(v.data[0] - '0');
    if (v.size == 0) return out;
    if (all_binary(v.data, v.size)) return ValueView::of_int(pack_bits(v.data, v.size));
    const uint8_t flags = classify(v.data, v.size);
    if (flags & kFourState) {
      bits_.resize(v.size);
      for (size_t k = 0; k < v.size; ++k)
        bits_[k] = kClass.bit[v.data[k]];
      out.tag = Tag::Logic;
      out.data = bits_.data();
      out.size = bits_.size();
      return out;
    }
    text_.clear();
    append_lossy_utf8(text_, v.bytes());
    out.tag = Tag::Text;
    out.data = reinterpret_cast<const uint8_t *>(text_.data());
    out.size = text_.size();
    return out;
  }

private:
  std::vector<uint8_t> bits_;
  std::string text_;
};

// Index of `time` in an ascending list: the last entry equal to it, else the last one below
// it, else 0. Changes of one signal come in time order, so a remembered position usually
// answers at once.
class TimeIndex {
public:
  explicit TimeIndex(const std::vector<uint64_t> &times) : t_(times) {}

  size_t find(uint64_t time) {
    const size_t n = t_.size();
    size_t lo = 0, hi = n;
    if (hint_ < n && t_[hint_] <= time) {
      // Gallop forward from the last answer.
      size_t step = 1;
      lo = hint_;
      while (lo + step < n && t_[lo + step] <= time) {
        lo += step;
        step <<= 1;
      }
      hi = std::min(lo + step, n);
    }
    const auto it = std::upper_bound(t_.begin() + lo, t_.begin() + hi, time);
    hint_ = it == t_.begin() ? 0 : static_cast<size_t>(it - t_.begin()) - 1;
    return hint_;
  }

private:
  const std::vector<uint64_t> &t_;
  size_t hint_ = 0;
};

constexpr SignalId kUnmapped = SIZE_MAX;

class Builder {
public:
  void entry(const HierarchyEntry &e) {
    switch (e.kind) {
    case EntryKind::Scope: {
      // Joined with '.' even where names are empty: a stack of two empty names is ".".
      const bool nested = !path_lengths_.empty();
      path_lengths_.push_back(path_.size());
      if (nested) path_ += '.';
      path_ += e.name;
      if (scope_set_.insert(path_).second) t_.scopes.push_back(path_);
      break;
    }
    case EntryKind::UpScope:
      if (!path_lengths_.empty()) {
        path_.resize(path_lengths_.back());
        path_lengths_.pop_back();
      }
      break;
    case EntryKind::Var:
      var(e);
      break;
    default:
      break;
    }
  }

  void reserve_handles(size_t count) { by_handle_.assign(count + 1, kUnmapped); }

  SignalId id_of_handle(uint32_t handle) const {
    if (handle < by_handle_.size()) return by_handle_[handle];
    const auto it = other_handles_.find(handle);
    return it == other_handles_.end() ? kUnmapped : it->second;
  }

  TraceData &record() { return t_; }

private:
  void var(const HierarchyEntry &e) {
    std::string full;
    if (path_lengths_.empty()) {
      full.assign(e.name);
    } else {
      full.reserve(path_.size() + 1 + e.name.size());
      full = path_;
      full += '.';
      full += e.name;
    }
    if (t_.name_to_id.count(full)) return; // a second declaration of one name is ignored
    SignalId id = id_of_handle(e.handle);
    if (id == kUnmapped) {
      id = next_id_++;
      if (e.handle < by_handle_.size())
        by_handle_[e.handle] = id;
      else
        other_handles_[e.handle] = id;
    }
    t_.signal_names.push_back(full);
    t_.widths.emplace(full, e.length);
    t_.name_to_id.emplace(std::move(full), id);
  }

  TraceData t_;
  std::string path_;                 // the open scopes joined with '.'
  std::vector<size_t> path_lengths_; // path_ length before each open scope
  std::unordered_set<std::string> scope_set_;
  std::vector<SignalId> by_handle_; // handles the geometry knows
  std::unordered_map<uint32_t, SignalId> other_handles_;
  SignalId next_id_ = 0;
};

} // namespace

SignalValue convert_value(const Value &value) {
  Converter c;
  return to_value(c.view(value));
}

namespace {

Result<TraceData> load(Result<Reader> opened) {
  if (!opened.ok()) return Error{"FST open: " + opened.error()};
  Reader &reader = opened.value();

  Builder builder;
  builder.reserve_handles(reader.signal_count());
  if (Status s = reader.walk_hierarchy([&](const HierarchyEntry &e) { builder.entry(e); }); !s.ok())
    return Error{"FST hierarchy: " + s.text()};

  TraceData &t = builder.record();
  const auto &table = reader.time_table();
  t.timestamps = table ? *table : std::vector<uint64_t>{0};
  const size_t n = t.timestamps.size();

  Converter convert;
  TimeIndex index(t.timestamps);
  const auto change = [&](uint64_t time, uint32_t handle, const Value &v) {
    const SignalId id = builder.id_of_handle(handle);
    if (id == kUnmapped || n == 0) return;
    // The reader names the time step in the very table the timestamps copy, so the time need
    // not be looked at again (that read is a cache miss per change on long traces); search
    // only for a step the table does not have.
    const size_t i = v.step < n ? v.step : index.find(time);
    t.store.set_before_fill(id, i, convert.view(v)); // every column is filled below
  };
  if (Status s = reader.read_value_changes(change); !s.ok())
    return Error{"FST signals: " + s.text()};

  for (size_t i = 1; i < n; ++i)
    t.store.forward_fill(i);
  return std::move(t);
}

} // namespace

Result<TraceData> from_file(const std::string &path) {
  const int fd = open_for_reading(path);
  if (fd < 0) return Error{"Failed to open " + path + ": " + std::strerror(errno)};
  auto opened = Reader::open_fd(fd);
  ::close(fd);
  return load(std::move(opened));
}

Result<TraceData> from_bytes(std::span<const uint8_t> bytes) {
  return load(Reader::open_bytes(bytes));
}

} // namespace wavesift::fst
