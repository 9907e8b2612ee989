#include "readers/fst/reader.hpp"

#include <cmath>
#include <cstring>

#include "readers/fst/codecs.hpp"
#include "util/text.hpp"

namespace wavesift::fst {
namespace {

bool known_block_type(uint8_t t) {
  return t <= 8 || t == 254 || t == 255;
}

// a + b, or false when it overflows.
bool add(uint64_t a, uint64_t b, uint64_t &out) {
  return !__builtin_add_overflow(a, b, &out);
}

double double_from(const uint8_t *p, bool big_endian) {
  uint8_t b[8];
  for (int k = 0; k < 8; ++k)
    b[k] = big_endian ? p[7 - k] : p[k];
  double d;
  std::memcpy(&d, b, 8);
  return d;
}

// A fixed-size text field: up to its first zero byte (or all but its last byte).
Status fixed_text(Bytes field, std::string &out) {
  const void *zero = std::memchr(field.data(), 0, field.size());
  const size_t n = zero ? static_cast<const uint8_t *>(zero) - field.data() : field.size() - 1;
  const std::string_view s(reinterpret_cast<const char *>(field.data()), n);
  if (!text::valid_utf8(s)) return errors::utf8();
  out.assign(s);
  return {};
}

} // namespace

Result<Reader> Reader::open_fd(int fd) {
  Reader r;
  if (!r.file_.load(fd)) return errors::io();
  r.data_ = r.file_.bytes();
  if (Status s = r.unwrap(); !s.ok()) return s.take_error();
  if (Status s = r.scan_blocks(); !s.ok()) return s.take_error();
  return r;
}

Result<Reader> Reader::open_bytes(Bytes data) {
  Reader r;
  r.owned_.assign(data.begin(), data.end());
  r.data_ = r.owned_;
  if (Status s = r.unwrap(); !s.ok()) return s.take_error();
  if (Status s = r.scan_blocks(); !s.ok()) return s.take_error();
  return r;
}

double Reader::to_double(const uint8_t *p) const {
  return double_from(p, big_endian_doubles_);
}

// A file that begins with the gzip wrapper block is replaced by its decompressed content.
Status Reader::unwrap() {
  Cursor c(data_);
  uint8_t type;
  if (!c.u8(type)) return c.error();
  if (!known_block_type(type)) return errors::block_type();
  if (type != static_cast<uint8_t>(BlockType::GzipWrapper)) return {};
  uint64_t section_length, uncompressed_length;
  if (!c.u64be(section_length) || !c.u64be(uncompressed_length)) return c.error();
  if (section_length == 0) return errors::not_finished_compressing();
  if (Status s = read_gzip_header(c); !s.ok()) return s;
  std::vector<uint8_t> body;
  if (Status s = inflate_wrapper(data_.subspan(c.pos()), uncompressed_length, body); !s.ok())
    return s;
  owned_ = std::move(body);
  data_ = owned_;
  file_ = MappedFile();
  return {};
}

// Walks the blocks in file order. Every step moves forward (a block's end lies after its type
// byte), so the walk ends on any input.
Status Reader::scan_blocks() {
  time_table_.emplace();
  Cursor c(data_);
  for (bool more = true; more;) {
    uint8_t raw;
    if (!c.u8(raw)) break;
    if (!known_block_type(raw)) return errors::block_type();
    const auto type = static_cast<BlockType>(raw);
    Status s;
    switch (type) {
    case BlockType::Header:
      s = read_header(c);
      break;
    case BlockType::ValueChanges:
    case BlockType::ValueChangesAlias:
    case BlockType::ValueChangesAlias2:
      s = read_block_info(c, type);
      break;
    case BlockType::Blackout:
      s = read_blackout(c);
      break;
    case BlockType::Geometry:
      s = read_geometry(c);
      break;
    case BlockType::Hierarchy:
    case BlockType::HierarchyLz4:
    case BlockType::HierarchyLz4Duo: {
      const uint64_t offset = c.pos();
      uint64_t length, next;
      if (!c.u64be(length)) return c.error();
      if (!add(offset, length, next)) return errors::io();
      c.seek(next);
      hierarchy_type_ = type;
      hierarchy_offset_ = offset;
      have_hierarchy_ = true;
      break;
    }
    case BlockType::GzipWrapper:
      return errors::block_type(); // only valid as the first block
    case BlockType::Skip: {
      const uint64_t offset = c.pos();
      uint64_t length, next;
      if (!c.u64be(length)) return c.error();
      if (length == 0) { // the writer stopped here
        more = false;
        break;
      }
      if (!add(offset, length, next)) return errors::io();
      c.seek(next);
      break;
    }
    }
    if (!s.ok()) return s;
  }
  if (!have_geometry_) return errors::missing_geometry();
  if (!have_hierarchy_) return errors::missing_hierarchy();
  if (!have_header_) return errors::io();
  return {};
}

Status Reader::read_header(Cursor &c) {
  Header h;
  uint64_t section_length;
  Bytes endian_test;
  if (!c.u64be(section_length) || !c.u64be(h.start_time) || !c.u64be(h.end_time) ||
      !c.bytes(8, endian_test))
    return c.error();
  // The writer stores e in its native byte order.
  if (double_from(endian_test.data(), false) == M_E)
    big_endian_doubles_ = false;
  else if (double_from(endian_test.data(), true) == M_E)
    big_endian_doubles_ = true;
  else
    return errors::file_type();
  uint8_t timescale;
  Bytes version, date;
  if (!c.u64be(h.memory_used_by_writer) || !c.u64be(h.scope_count) || !c.u64be(h.var_count) ||
      !c.u64be(h.max_handle) || !c.u64be(h.value_change_block_count) || !c.u8(timescale) ||
      !c.bytes(kVersionSize, version))
    return c.error();
  h.timescale_exponent = static_cast<int8_t>(timescale);
  if (Status s = fixed_text(version, h.version); !s.ok()) return s;
  if (!c.bytes(kDateSize, date)) return c.error();
  if (Status s = fixed_text(date, h.date); !s.ok()) return s;
  if (!c.u8(h.file_type)) return c.error();
  if (h.file_type > kMaxFileType) return errors::file_type();
  if (!c.u64be(h.time_zero)) return c.error();
  header_ = std::move(h);
  have_header_ = true;
  return {};
}

Status Reader::read_geometry(Cursor &c) {
  uint64_t section_length, uncompressed, handles;
  if (!c.u64be(section_length) || !c.u64be(uncompressed) || !c.u64be(handles)) return c.error();
  if (section_length < 24) return errors::io();
  Bytes packed;
  if (!c.bytes(section_length - 24, packed)) return c.error();
  std::vector<uint8_t> plain;
  if (Status s = read_maybe_zlib(packed, uncompressed, plain); !s.ok()) return s;
  Cursor g(plain);
  lengths_.clear();
  is_real_.clear();
  // Every entry takes at least one byte, which bounds what a corrupt count can reserve.
  lengths_.reserve(std::min<uint64_t>(handles, plain.size()));
  for (uint64_t k = 0; k < handles; ++k) {
    uint32_t v;
    if (!g.varint32(v)) return g.error();
    // 0 marks a real (8 bytes); all ones a variable-length signal.
    lengths_.push_back(v == 0 ? 8 : v == UINT32_MAX ? 0 : v);
    is_real_.push_back(v == 0);
  }
  have_geometry_ = true;
  return {};
}

// Dump on/off times. The loader does not use them; they are checked as the format requires.
Status Reader::read_blackout(Cursor &c) {
  const uint64_t offset = c.pos();
  uint64_t length, next;
  uint32_t count;
  if (!c.u64be(length) || !c.varint32(count)) return c.error();
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t active;
    uint64_t delta;
    if (!c.u8(active) || !c.varint64(delta)) return c.error();
  }
  if (!add(offset, length, next)) return errors::io();
  c.seek(next);
  return {};
}

// The time section sits at the very end of a value-change block: compressed deltas, then
// three u64s (uncompressed length, compressed length, item count).
Status Reader::read_time_chain(uint64_t offset, uint64_t length, std::vector<uint64_t> &chain,
                               uint64_t &time_bytes) const {
  uint64_t tail;
  if (!add(offset, length, tail) || tail < 24) return errors::io();
  Cursor c(data_);
  c.seek(tail - 24);
  uint64_t uncompressed, compressed, items;
  if (!c.u64be(uncompressed) || !c.u64be(compressed) || !c.u64be(items)) return c.error();
  if (compressed > length || compressed > tail - 24) return errors::io();
  c.seek(tail - 24 - compressed);
  Bytes packed;
  if (!c.bytes(compressed, packed)) return c.error();
  std::vector<uint8_t> plain;
  if (Status s = read_maybe_zlib(packed, uncompressed, plain); !s.ok()) return s;
  Cursor t(plain);
  chain.clear();
  chain.reserve(std::min<uint64_t>(items, plain.size()));
  uint64_t time = 0;
  for (uint64_t k = 0; k < items; ++k) {
    uint64_t delta;
    if (!t.varint64(delta)) return t.error();
    time += delta;
    chain.push_back(time);
  }
  time_bytes = compressed;
  return {};
}

Status Reader::read_block_info(Cursor &c, BlockType type) {
  Block b;
  b.type = type;
  b.offset = c.pos();
  uint64_t memory;
  if (!c.u64be(b.length) || !c.u64be(b.start) || !c.u64be(b.end) || !c.u64be(memory))
    return c.error();
  std::vector<uint64_t> chain;
  if (Status s = read_time_chain(b.offset, b.length, chain, b.time_bytes); !s.ok()) return s;
  auto &table = *time_table_;
  if (table.empty() && (chain.empty() || chain.front() > b.start)) table.push_back(b.start);
  b.table_begin = table.size();
  b.table_count = chain.size();
  table.insert(table.end(), chain.begin(), chain.end());
  uint64_t next;
  if (!add(b.offset, b.length, next)) return errors::io();
  c.seek(next);
  // A header left at zero times (a writer that did not finish) takes them from the blocks.
  if (have_header_) {
    if (blocks_.empty()) {
      incomplete_header_ = header_.start_time == 0 && header_.end_time == 0;
      if (incomplete_header_) header_.start_time = b.start;
    }
    if (incomplete_header_) header_.end_time = b.end;
  }
  blocks_.push_back(b);
  return {};
}

} // namespace wavesift::fst
