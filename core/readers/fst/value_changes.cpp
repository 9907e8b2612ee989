// Value-change blocks. Layout of one block after its section length, start and end times and
// traversal memory size:
//   frame: varints (plain length, packed length, handle count), zlib'd values at the start
//   changes: varint handle count, pack byte ('4' LZ4, 'F' FastLZ, else zlib), then one chain
//            per signal: varint plain length (0 = stored raw) and the packed chain
//   index: varint-coded chain offsets per handle, runs of absent handles and aliases,
//          followed by its own length as a u64
//   time section: packed time deltas, then three u64s (see read_time_chain)
// A chain is a sequence of (varint: time-index delta and flags, value) records.
#include <algorithm>
#include <array>
#include <cstring>

#include "readers/fst/codecs.hpp"
#include "readers/fst/fastlz.hpp"
#include "readers/fst/reader.hpp"

namespace wavesift::fst {
namespace {

// Where one signal's chain lies, relative to the start of the changes area.
struct Loc {
  uint64_t index = 0; // handle - 1
  uint64_t offset = 0;
  uint64_t length = 0; // 0: no data
  uint64_t alias = 0;  // the index whose chain this one shares
  bool is_alias = false;
};

// Characters of one-bit values whose flag bit is set.
constexpr char kNonBinary[8] = {'x', 'z', 'h', 'u', 'w', 'l', '-', '?'};

// The eight '0'/'1' characters of every byte value, most significant bit first.
const std::array<uint64_t, 256> kBitChars = [] {
  std::array<uint64_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    char c[8];
    for (int k = 0; k < 8; ++k)
      c[k] = static_cast<char>('0' + ((b >> (7 - k)) & 1));
    std::memcpy(&table[b], c, 8);
  }
  return table;
}();

void expand_bits(const uint8_t *packed, size_t bits, std::vector<uint8_t> &out) {
  const size_t bytes = (bits + 7) / 8;
  if (out.size() < bytes * 8) out.resize(bytes * 8);
  for (size_t k = 0; k < bytes; ++k)
    std::memcpy(out.data() + 8 * k, &kBitChars[packed[k]], 8);
}

bool add(uint64_t a, uint64_t b, uint64_t &out) {
  return !__builtin_add_overflow(a, b, &out);
}

// Decodes the chain index into the location of every handle that has data in the block.
Status parse_index(Bytes index, BlockType type, uint64_t area, std::vector<Loc> &locs) {
  locs.clear();
  Cursor c(index);
  uint64_t next = 0; // index of the next handle
  uint64_t prev_offset = 0;
  size_t prev_loc = SIZE_MAX;
  auto chain_at = [&](uint64_t offset) {
    // Offsets strictly increase; a chain runs to the next one.
    if (offset <= prev_offset) return false;
    if (prev_loc != SIZE_MAX) locs[prev_loc].length = offset - prev_offset;
    prev_offset = offset;
    prev_loc = locs.size();
    locs.push_back(Loc{next++, offset, 0, 0, false});
    return true;
  };
  auto alias_of = [&](uint64_t target) { locs.push_back(Loc{next++, 0, 0, target, true}); };
  if (type == BlockType::ValueChangesAlias2) {
    // Odd first byte: a signed varint; positive is an offset delta, negative names an alias
    // target (-v - 1), zero repeats the previous alias. Even: a run of absent handles.
    uint64_t prev_alias = 0;
    while (c.remaining() > 0) {
      if (index[c.pos()] & 1) {
        int64_t v;
        if (!c.svarint64(v)) return c.error();
        const int64_t shval = v >> 1;
        if (shval > 0) {
          if (!chain_at(prev_offset + static_cast<uint64_t>(shval))) return errors::io();
        } else {
          if (shval < 0) prev_alias = static_cast<uint32_t>(-shval - 1);
          alias_of(prev_alias);
        }
      } else {
        uint32_t v;
        if (!c.varint32(v)) return c.error();
        next += v >> 1;
      }
    }
  } else {
    // Odd: an offset delta; even: a run of absent handles; zero: an alias, 1-based target next.
    while (c.remaining() > 0) {
      uint32_t v;
      if (!c.varint32(v)) return c.error();
      if (v == 0) {
        uint32_t target;
        if (!c.varint32(target)) return c.error();
        alias_of(static_cast<uint32_t>(target - 1));
      } else if (v & 1) {
        if (!chain_at(prev_offset + (v >> 1))) return errors::io();
      } else {
        next += v >> 1;
      }
    }
  }
  if (prev_loc != SIZE_MAX) {
    if (area <= prev_offset) return errors::io();
    locs[prev_loc].length = area - prev_offset;
  }
  // Aliases share their target's chain; a target without one leaves the alias without data.
  for (Loc &l : locs) {
    if (!l.is_alias) continue;
    const auto it = std::lower_bound(locs.begin(), locs.end(), l.alias,
                                     [](const Loc &x, uint64_t i) { return x.index < i; });
    if (it != locs.end() && it->index == l.alias && !it->is_alias) {
      l.offset = it->offset;
      l.length = it->length;
    }
  }
  return {};
}

} // namespace

struct Reader::Scratch {
  std::vector<uint8_t> frame;
  std::vector<uint8_t> chain;
  std::vector<uint8_t> chars;
  std::vector<Loc> locs;
};

Status Reader::read_value_changes(ChangeFn fn) const {
  Scratch s;
  size_t delivered_blocks = 0;
  for (const Block &b : blocks_) {
    if (b.start > header_.end_time) continue; // outside the time range
    if (Status st = read_block(b, delivered_blocks++ == 0, fn, s); !st.ok()) return st;
  }
  return {};
}

Status Reader::deliver_frame(Bytes frame, uint64_t frame_handles, uint64_t time, ChangeFn fn,
                             Scratch &) const {
  const uint64_t n = std::min<uint64_t>(frame_handles, lengths_.size());
  size_t pos = 0;
  for (uint64_t k = 0; k < n; ++k) {
    const uint32_t len = lengths_[k];
    if (len == 0) continue; // variable-length signals have no initial value
    if (frame.size() - pos < len) return errors::io();
    Value v;
    if (is_real_[k]) {
      v.is_real = true;
      v.real = to_double(frame.data() + pos);
    } else {
      v.data = frame.data() + pos;
      v.size = len;
    }
    pos += len;
    v.step = 0; // the start time heads the table whenever the frame is delivered
    fn(time, static_cast<uint32_t>(k + 1), v);
  }
  return {};
}

Status Reader::read_block(const Block &b, bool first, ChangeFn fn, Scratch &s) const {
  const uint64_t *times = time_table_->data() + b.table_begin;
  const size_t count = b.table_count;
  // Changes at or after the first time past the end are not delivered.
  size_t limit = 0;
  while (limit < count && times[limit] <= header_.end_time)
    ++limit;

  Cursor c(data_);
  uint64_t pos, tail;
  if (!add(b.offset, 32, pos) || !add(b.offset, b.length, tail)) return errors::io();
  c.seek(pos);
  uint64_t frame_plain, frame_packed, frame_handles;
  if (!c.varint64(frame_plain) || !c.varint64(frame_packed) || !c.varint64(frame_handles))
    return c.error();
  if (frame_packed > b.length) return errors::io();
  Bytes frame;
  if (!c.bytes(frame_packed, frame)) return c.error();
  if (first && (count == 0 || times[0] > b.start)) {
    if (Status st = read_maybe_zlib(frame, frame_plain, s.frame); !st.ok()) return st;
    if (Status st = deliver_frame(s.frame, frame_handles, b.start, fn, s); !st.ok()) return st;
  }

  uint64_t change_handles;
  uint8_t pack;
  if (!c.varint64(change_handles)) return c.error();
  const uint64_t changes_start = c.pos();
  if (!c.u8(pack)) return c.error();

  // The index ends where the time section begins; its length precedes that.
  if (tail < b.time_bytes + 32) return errors::io();
  const uint64_t index_end = tail - 24 - b.time_bytes - 8;
  c.seek(index_end);
  uint64_t index_length;
  if (!c.u64be(index_length)) return c.error();
  if (index_length > index_end || index_end - index_length < changes_start) return errors::io();
  const uint64_t index_start = index_end - index_length;
  c.seek(index_start);
  Bytes index;
  if (!c.bytes(index_length, index)) return c.error();
  if (Status st = parse_index(index, b.type, index_start - changes_start, s.locs); !st.ok())
    return st;

  for (const Loc &l : s.locs) {
    if (l.length == 0 || l.index >= lengths_.size() || count == 0) continue;
    const Bytes raw = data_.subspan(changes_start + l.offset, l.length);
    Cursor h(raw);
    uint32_t plain;
    size_t used;
    if (!h.varint32(plain, &used)) return h.error();
    const Bytes body = raw.subspan(used);
    Bytes chain = body;
    if (plain != 0) {
      Status st;
      if (pack == '4')
        st = lz4_block(body, plain, s.chain);
      else if (pack == 'F')
        st = fastlz_decompress(body, plain, s.chain) ? Status() : errors::io();
      else
        st = inflate_zlib(body, plain, s.chain);
      if (!st.ok()) return st;
      chain = s.chain;
    }
    if (Status st = walk_chain(chain, l.index, b, limit, fn, s); !st.ok()) return st;
  }
  return {};
}

// One signal's records: a varint whose low bits are flags and whose rest is the time-index
// delta, then the value. One-bit signals pack the value into the varint itself.
Status Reader::walk_chain(Bytes chain, uint64_t index, const Block &b, size_t limit, ChangeFn fn,
                          Scratch &s) const {
  const uint64_t *times = time_table_->data() + b.table_begin;
  const size_t count = b.table_count;
  const uint8_t *p = chain.data();
  const uint8_t *const end = p + chain.size();
  const auto handle = static_cast<uint32_t>(index + 1);
  const uint32_t len = lengths_[index];
  const bool real = is_real_[index];
  uint64_t t = 0;
  Value v;
  uint8_t one;
  while (p < end) {
    uint32_t vli;
    const size_t n = decode_varint<uint32_t, 5>(p, end, vli);
    if (n == 0) return errors::io();
    if (n > 5) return errors::leb128(32);
    p += n;
    if (len == 1) {
      // bit 0 clear: value bit 1, delta from bit 2; set: character code bits 1-3, delta from 4.
      t += (vli & 1) ? vli >> 4 : vli >> 2;
      if (t >= count) return errors::io();
      if (t >= limit) break;
      one = (vli & 1) ? kNonBinary[(vli >> 1) & 7] : static_cast<uint8_t>('0' | ((vli >> 1) & 1));
      v.data = &one;
      v.size = 1;
      v.step = b.table_begin + t;
      fn(times[t], handle, v);
      continue;
    }
    t += vli >> 1;
    if (t >= count) return errors::io();
    if (t >= limit) break;
    if (len == 0) {
      uint32_t size;
      const size_t m = decode_varint<uint32_t, 5>(p, end, size);
      if (m == 0) return errors::io();
      if (m > 5) return errors::leb128(32);
      p += m;
      if (static_cast<size_t>(end - p) < size) return errors::io();
      v.data = p;
      v.size = size;
      p += size;
    } else if (real) {
      v.is_real = true;
      if (vli & 1) {
        if (end - p < 8) return errors::io();
        v.real = to_double(p);
        p += 8;
      } else {
        // A rare packed form: one byte whose bits, as '0'/'1' characters, are the double's
        // bytes (what GTKWave's reader does with it).
        if (end - p < 1) return errors::io();
        uint8_t chars[8];
        std::memcpy(chars, &kBitChars[*p], 8);
        v.real = to_double(chars);
        p += 1;
      }
    } else if (!(vli & 1)) {
      // Two-state: the bits packed eight to a byte, most significant first.
      const size_t bytes = (static_cast<size_t>(len) + 7) / 8;
      if (static_cast<size_t>(end - p) < bytes) return errors::io();
      expand_bits(p, len, s.chars);
      v.data = s.chars.data();
      v.size = len;
      p += bytes;
    } else {
      // Four-state and beyond: one character per bit.
      if (static_cast<size_t>(end - p) < len) return errors::io();
      v.data = p;
      v.size = len;
      p += len;
    }
    v.step = b.table_begin + t;
    fn(times[t], handle, v);
  }
  return {};
}

} // namespace wavesift::fst
