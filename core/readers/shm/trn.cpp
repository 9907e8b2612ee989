#include "readers/shm/trn.hpp"

#include <algorithm>
#include <set>

#include "trace/records.hpp"
#include "util/byte_order.hpp"

namespace wavesift::shm {
namespace {

constexpr uint32_t kMagic = 0xA19511BF;
constexpr uint32_t kBlockMark = 0x001B2200;
constexpr size_t kMinFileSize = 24;
constexpr size_t kBlockHeaderSize = 64;

uint8_t bit_of(uint8_t byte, unsigned k) {
  return (byte >> k) & 1;
}

// Bits 4 and 3 of a state byte: 01 and 10 are the two levels a one-bit signal starts at.
unsigned level_code(uint8_t byte) {
  return (byte >> 3) & 3;
}
bool is_level(uint8_t byte) {
  return level_code(byte) == 1 || level_code(byte) == 2;
}
bool is_high(uint8_t byte) {
  return level_code(byte) == 2;
}
// The other state encoding: bit 6 alone carries the level.
bool is_flag(uint8_t byte) {
  return byte == 0x00 || byte == 0x40;
}

struct Block {
  uint64_t span;    // T
  uint64_t changes; // n
  uint64_t end;     // E
  uint64_t s0, s1;
};

// Answers the per-block pattern questions in O(log n) so that many headers pointing at one
// large area cost no more than one.
class PatternIndex {
public:
  explicit PatternIndex(std::span<const uint8_t> d) : d_(d) {
    not_level_.resize(d.size() + 1);
    not_flag_.resize(d.size() + 1);
    for (size_t p = 0; p < d.size(); ++p) {
      not_level_[p + 1] = not_level_[p] + !is_level(d[p]);
      not_flag_[p + 1] = not_flag_[p] + !is_flag(d[p]);
      if (p + 1 < d.size() && d[p] == 0x01 && (d[p + 1] == 0x8F || d[p + 1] == 0x81))
        markers_.push_back(p);
      if (p + 2 < d.size() && d[p] >= 0x11 && d[p] <= 0x14 &&
          (d[p + 2] == 0x7C || d[p + 2] == 0x88 || d[p + 2] == 0xFC || d[p + 1] >= 0x40))
        selectors_.push_back(p);
    }
  }

  bool all_levels(size_t from, size_t count) const {
    return none_failing(not_level_, from, count, is_level);
  }
  bool all_flags(size_t from, size_t count) const {
    return none_failing(not_flag_, from, count, is_flag);
  }
  // First position p in [from, to) where bytes p, p + 1 are 01 8F or 01 81.
  std::optional<size_t> marker(size_t from, size_t to) const { return first(markers_, from, to); }
  // First position p in [from, to) where byte p is 11..14 and byte p + 2 is 7C, 88 or FC or
  // byte p + 1 is at least 40.
  std::optional<size_t> selector(size_t from, size_t to) const {
    return first(selectors_, from, to);
  }

private:
  // Counts are kept modulo 2^32 to hold memory at 4 bytes per file byte; that is exact for
  // ranges shorter than 2^32, and longer ones are checked byte by byte.
  bool none_failing(const std::vector<uint32_t> &prefix, size_t from, size_t count,
                    bool (*ok)(uint8_t)) const {
    if (count < (uint64_t{1} << 32)) return prefix[from + count] == prefix[from];
    for (size_t p = from; p < from + count; ++p)
      if (!ok(d_[p])) return false;
    return true;
  }

  static std::optional<size_t> first(const std::vector<size_t> &v, size_t from, size_t to) {
    const auto it = std::lower_bound(v.begin(), v.end(), from);
    if (it == v.end() || *it >= to) return std::nullopt;
    return *it;
  }

  std::span<const uint8_t> d_;
  std::vector<uint32_t> not_level_, not_flag_; // prefix counts of bytes failing each pattern
  std::vector<size_t> markers_, selectors_;
};

class Decoder {
public:
  Decoder(std::span<const uint8_t> d, size_t names)
      : d_(d), names_(names), budget_(event_budget(d.size())) {
    const uint32_t code = be32(d, 8);
    mult_ = code == 5 ? 10 : code == 6 ? 100 : 1000;
  }

  TrnFile run() {
    scan();
    if (!blocks_.empty()) {
      const PatternIndex index(d_);
      uint64_t sum = 0;
      for (size_t b = 0; b < blocks_.size(); ++b)
        if (!decode_block(index, blocks_[b], blocks_.size() - b - 1, sum)) break;
    }
    TrnFile out;
    out.times.push_back(0);
    for (const TrnEvent &e : events_)
      out.times.push_back(e.time);
    if (max_span_ != 0) out.times.push_back(conv(max_span_));
    std::sort(out.times.begin(), out.times.end());
    out.times.erase(std::unique(out.times.begin(), out.times.end()), out.times.end());
    out.events = std::move(events_);
    return out;
  }

private:
  uint64_t conv(uint64_t t) const { return t * mult_ / 1000; }

  void scan() {
    const size_t len = d_.size();
    for (size_t h = 0; h + kBlockHeaderSize <= len;) {
      if (be32(d_, h) != kBlockMark) {
        ++h;
        continue;
      }
      const Block b{be32(d_, h + 28), be32(d_, h + 40), be32(d_, h + 48), be32(d_, h + 52),
                    be32(d_, h + 56)};
      max_span_ = std::max(max_span_, b.span);
      if (b.changes != 0 && b.s0 < len && b.end <= len && b.s1 <= len && b.s1 >= b.s0)
        blocks_.push_back(b);
      h += kBlockHeaderSize;
    }
  }

  bool room(uint64_t count) const { return count <= budget_ - events_.size(); }

  void add(SignalId id, uint64_t time, uint8_t bit) {
    events_.push_back({id, time, bit});
    if (time != 0) moving_.insert(id);
  }

  // Returns false when the event budget is spent and decoding stops.
  bool decode_block(const PatternIndex &index, const Block &b, size_t later, uint64_t &sum) {
    const uint64_t remaining = names_ > sum ? names_ - sum : 0;
    const uint64_t d = b.s1 - b.s0;
    const uint64_t a = std::min(remaining, d);
    bool decoded = false;

    // The state area holds one byte per signal: its level at time 0.
    if (a > 0 && b.s0 + a <= d_.size()) {
      const bool levels = index.all_levels(b.s0, a);
      const bool flags = !levels && index.all_flags(b.s0, a);
      if (levels || flags) {
        if (!room(a)) return false;
        for (uint64_t k = 0; k < a; ++k) {
          const uint8_t byte = d_[b.s0 + k];
          add(sum + k, 0, levels ? is_high(byte) : bit_of(byte, 6));
        }
        decoded = true;
      }
    }

    bool vector_step = true;
    if (const auto single = single_change(index, b, d, sum)) {
      vector_step = false;
      if (*single) {
        if (!room(1)) return false;
        add(sum, conv(**single), is_high(d_[b.s0]) ? 0 : 1);
      }
    }

    bool toggles = true;
    if (vector_step && d >= 4 && !decoded) {
      const bool shape = b.changes + 2 <= d && d <= b.changes + 4;
      if (b.changes >= 2 && b.span != 0 && shape && b.s1 <= d_.size()) {
        if (!vector(b, remaining, sum)) return false;
        decoded = true;
      } else {
        toggles = false;
      }
    }

    if (toggles && decoded && b.changes != 0 && b.span != 0 && !moved(sum, a) && a > 0 &&
        sum < names_) {
      if (b.changes > (budget_ - events_.size()) / a) return false;
      for (uint64_t c = 1; c <= b.changes; ++c) {
        const uint64_t t = c * conv(b.span) / (b.changes + 1);
        for (uint64_t k = 0; k < a; ++k)
          add(sum + k, t, static_cast<uint8_t>((c & 1) ^ is_high(d_[b.s0 + k])));
      }
    }

    if (decoded) {
      sum += a;
    } else if (b.s0 == b.s1) {
      sum += 1;
    } else {
      // Spread the signals not yet placed over the blocks still to come.
      const uint64_t share = later > 0 ? (remaining > later ? remaining - later : 0) : remaining;
      sum += std::max<uint64_t>(1, share);
    }
    return true;
  }

  // A lone change of a lone signal, coded in the change area. Absent: the pattern is not
  // there (the vector step may still apply). Present: the vector step is skipped, and the
  // change's raw time, if one decodes.
  std::optional<std::optional<uint64_t>> single_change(const PatternIndex &index, const Block &b,
                                                       uint64_t d, uint64_t sum) const {
    if (b.end < b.s1 || b.end - b.s1 < 12) return std::nullopt;
    const uint64_t area = b.end - b.s1;
    const auto marker = index.marker(b.s1 + 4, b.s1 + 4 + (area - 6) + 1);
    if (!marker || *marker == b.s1 + 4) return std::nullopt;
    const uint64_t k = *marker - (b.s1 + 4);
    const auto selector = index.selector(b.s1 + 1, b.s1 + 1 + k);
    if (!selector || b.changes != 1 || d != 1 || sum >= names_) return std::nullopt;
    const uint64_t l = *selector - (b.s1 + 1);
    const size_t at = b.s1 + l;
    const uint64_t gap = k + 2 - l;
    unsigned w_code = 0;
    std::optional<uint64_t> w;
    switch (d_[at + 1]) {
    case 0x13:
      if (gap > 6) {
        const uint8_t c = d_[at + 8], p = d_[at + 7], q = d_[at + 5];
        w_code = bit_of(c, 2) | bit_of(c, 4) << 1 | bit_of(c, 6) << 2 | bit_of(p, 0) << 3 |
                 bit_of(p, 2) << 4 | bit_of(q, 5) << 5 | bit_of(q, 6) << 6;
        if (w_code != 0 && w_code != 127) w = (w_code * uint64_t{108} + b.span / 2) % 127;
      }
      break;
    case 0x12:
      if (gap > 4) {
        const uint8_t c = d_[at + 6], p = d_[at + 5], q = d_[at + 2];
        w_code = bit_of(c, 0) | bit_of(c, 2) << 1 | ((c >> 4) & 0xF) << 2 | bit_of(p, 1) << 6 |
                 bit_of(p, 2) << 7 | bit_of(p, 5) << 8 | bit_of(q, 5) << 9 | bit_of(q, 7) << 10;
        if (w_code != 0 && w_code != 2047) w = (w_code * uint64_t{1297} + b.span / 2) % 2047;
      }
      break;
    default:
      break;
    }
    if (w && *w > b.span) w.reset();
    return w;
  }

  // Up to eight signals packed into one byte per change, each change XORed onto the last.
  bool vector(const Block &b, uint64_t remaining, uint64_t sum) {
    if (sum >= names_) return true;
    const uint64_t g = std::min<uint64_t>(8, std::max<uint64_t>(remaining, 1));
    if (g * (b.changes + 1) > budget_ - events_.size()) return false;
    uint8_t v = d_[b.s0];
    for (uint64_t k = 0; k < g; ++k)
      add(sum + k, 0, bit_of(v, 7 - k));
    for (uint64_t j = 0; j < b.changes; ++j) {
      const uint8_t next = v ^ d_[b.s0 + 1 + j];
      const uint64_t t = (j + 1) * conv(b.span) / (b.changes + 1);
      for (uint64_t k = 0; k < g; ++k)
        if (bit_of(next, 7 - k) != bit_of(v, 7 - k)) add(sum + k, t, bit_of(next, 7 - k));
      v = next;
    }
    return true;
  }

  // Whether any signal in [from, from + count) already changed after time 0 in this file.
  bool moved(uint64_t from, uint64_t count) const {
    const auto it = moving_.lower_bound(from);
    return it != moving_.end() && *it - from < count;
  }

  std::span<const uint8_t> d_;
  size_t names_;
  uint64_t budget_;
  uint64_t mult_ = 1000;
  uint64_t max_span_ = 0;
  std::vector<Block> blocks_;
  std::vector<TrnEvent> events_;
  std::set<SignalId> moving_;
};

} // namespace

uint64_t event_budget(size_t file_size) {
  return kEventBudgetBase + 8 * uint64_t{file_size};
}

std::optional<TrnFile> decode_trn(std::span<const uint8_t> data, size_t names) {
  if (data.size() < kMinFileSize || be32(data, 0) != kMagic || names == 0) return std::nullopt;
  return Decoder(data, names).run();
}

void write_transitions(std::span<const TrnFile> files, size_t names, TraceData &record) {
  if (files.empty()) {
    record.timestamps = {0};
    return;
  }
  std::vector<uint64_t> times;
  size_t total = 0;
  for (const TrnFile &f : files) {
    times.insert(times.end(), f.times.begin(), f.times.end());
    total += f.events.size();
  }
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());

  struct Write {
    SignalId id;
    Index index;
    uint8_t bit;
  };
  std::vector<Write> writes;
  writes.reserve(total);
  for (const TrnFile &f : files)
    for (const TrnEvent &e : f.events) {
      const Index index = std::lower_bound(times.begin(), times.end(), e.time) - times.begin();
      writes.push_back({e.id, index, e.bit});
    }
  // Column by column in index order keeps the store's appends cheap; stability keeps the
  // later of two writes to one cell last.
  std::stable_sort(writes.begin(), writes.end(), [](const Write &x, const Write &y) {
    return x.id != y.id ? x.id < y.id : x.index < y.index;
  });

  SignalStore &store = record.store;
  size_t w = 0;
  for (SignalId id = 0; id < names; ++id) {
    const bool set_at_zero = w < writes.size() && writes[w].id == id && writes[w].index == 0;
    if (!set_at_zero) store.set(id, 0, ValueView::of_int(0));
    while (w < writes.size() && writes[w].id == id) {
      size_t last = w;
      while (last + 1 < writes.size() && writes[last + 1].id == id &&
             writes[last + 1].index == writes[w].index)
        ++last;
      store.set(id, writes[last].index, ValueView::of_int(writes[last].bit));
      w = last + 1;
    }
  }
  for (Index i = 1; i < times.size(); ++i)
    store.forward_fill(i);
  record.timestamps = std::move(times);
}

} // namespace wavesift::shm
