// The hierarchy block: decompression and the walk over its entries.
#include <algorithm>
#include <cstring>

#include "readers/fst/codecs.hpp"
#include "readers/fst/reader.hpp"
#include "signal/value.hpp"
#include "util/text.hpp"

namespace wavesift::fst {
namespace {

// A zero-terminated string of fewer than `limit` bytes, UTF-8 unless `raw`.
Status read_cstr(Cursor &c, Bytes data, size_t limit, std::string_view &out, bool raw = false) {
  const uint64_t pos = c.pos();
  const uint64_t avail = c.remaining();
  const size_t scan = static_cast<size_t>(std::min<uint64_t>(avail, limit));
  const uint8_t *begin = data.data() + pos;
  const void *zero = scan ? std::memchr(begin, 0, scan) : nullptr;
  if (!zero) {
    if (avail < limit) return errors::io();
    return errors::cstring_too_long(limit,
                                    std::string_view(reinterpret_cast<const char *>(begin), limit));
  }
  const size_t n = static_cast<const uint8_t *>(zero) - begin;
  out = std::string_view(reinterpret_cast<const char *>(begin), n);
  c.seek(pos + n + 1);
  if (!raw && !text::valid_utf8(out)) return errors::utf8();
  return {};
}

// "name count name1 .. nameN value1 .. valueN", split at single spaces.
Status check_enum_table(std::string_view value) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t space = value.find(' ', start);
    parts.push_back(value.substr(start, space - start));
    if (space == std::string_view::npos) break;
    start = space + 1;
  }
  if (parts.size() < 2) return errors::enum_table("not enough spaces", value);
  const auto count = parse_u64_decimal(parts[1]);
  if (!count) return errors::parse_int();
  const uint64_t expected = *count * 2; // wraps on absurd counts, which then never match
  const uint64_t got = parts.size() - 2;
  if (got != expected)
    return errors::enum_table(
        "expected " + std::to_string(expected) + " parts got " + std::to_string(got), value);
  return {};
}

Status check_misc(MiscType type, std::string_view name, uint64_t arg) {
  switch (type) {
  case MiscType::SupVar: {
    const auto var_type = static_cast<uint8_t>(arg >> kSupVarDataTypeBits);
    const auto data_type = static_cast<uint8_t>(arg & ((1u << kSupVarDataTypeBits) - 1));
    if (var_type > kMaxVhdlVarType) return errors::vhdl_var_type();
    if (data_type > kMaxVhdlDataType) return errors::vhdl_data_type();
    return {};
  }
  case MiscType::EnumTable:
    if (name.empty()) return {}; // a reference to a table by its handle
    return check_enum_table(name);
  default:
    return {};
  }
}

} // namespace

Status Reader::hierarchy_bytes(std::vector<uint8_t> &out) const {
  Cursor c(data_);
  c.seek(hierarchy_offset_);
  uint64_t section_length, uncompressed;
  if (!c.u64be(section_length) || !c.u64be(uncompressed)) return c.error();
  if (section_length < 16) return errors::io();
  const uint64_t compressed = section_length - 16;
  Bytes packed;
  switch (hierarchy_type_) {
  case BlockType::HierarchyLz4:
    if (!c.bytes(compressed, packed)) return c.error();
    return lz4_block(packed, uncompressed, out);
  case BlockType::HierarchyLz4Duo: {
    // LZ4 applied twice; the length after the first decompression comes first.
    uint64_t once;
    size_t used;
    if (!c.varint64(once, &used)) return c.error();
    if (compressed < used) return errors::io();
    if (!c.bytes(compressed - used, packed)) return c.error();
    std::vector<uint8_t> middle;
    if (Status s = lz4_block(packed, once, middle); !s.ok()) return s;
    return lz4_block(middle, uncompressed, out);
  }
  default: {
    // A gzip member: its 10-byte header, then raw deflate data.
    if (Status s = read_gzip_header(c); !s.ok()) return s;
    if (compressed < 10) return errors::io();
    if (!c.bytes(compressed - 10, packed)) return c.error();
    return inflate_raw(packed, uncompressed, out);
  }
  }
}

Status Reader::walk_hierarchy(HierarchyFn fn) const {
  std::vector<uint8_t> bytes;
  if (Status s = hierarchy_bytes(bytes); !s.ok()) return s;
  const Bytes data(bytes);
  Cursor c(data);
  uint32_t handles = 0;
  for (;;) {
    uint8_t tag;
    if (!c.u8(tag)) break; // the end of the hierarchy
    HierarchyEntry e;
    if (tag <= kMaxVarType) {
      e.kind = EntryKind::Var;
      e.type = tag;
      if (!c.u8(e.subtype)) return c.error();
      if (e.subtype > kMaxDirection) return errors::var_direction();
      if (Status s = read_cstr(c, data, kMaxNameSize, e.name); !s.ok()) return s;
      uint32_t length, alias;
      if (!c.varint32(length)) return c.error();
      // A port stores 3 * bits + 2 (the value's characters and delimiting spaces).
      e.length = tag == kVarTypePort ? (length - 2) / 3 : length;
      if (!c.varint32(alias)) return c.error();
      e.is_alias = alias != 0;
      e.handle = alias != 0 ? alias : ++handles;
    } else if (tag == kTagScope) {
      e.kind = EntryKind::Scope;
      if (!c.u8(e.type)) return c.error();
      if (e.type > kMaxScopeType) return errors::scope_type();
      if (Status s = read_cstr(c, data, kMaxNameSize, e.name); !s.ok()) return s;
      if (Status s = read_cstr(c, data, kMaxNameSize, e.component); !s.ok()) return s;
    } else if (tag == kTagUpScope) {
      e.kind = EntryKind::UpScope;
    } else if (tag == kTagAttributeBegin) {
      e.kind = EntryKind::AttributeBegin;
      if (!c.u8(e.type)) return c.error();
      if (e.type > kMaxAttributeType) return errors::attribute_type();
      if (!c.u8(e.subtype)) return c.error();
      const bool misc = e.type == static_cast<uint8_t>(AttributeType::Misc);
      if (misc && e.subtype > kMaxMiscType) return errors::misc_type();
      // Source stems store a varint (the path's id) where the name goes: it holds no zero
      // byte, but need not be UTF-8.
      const bool stem =
          misc && (e.subtype == static_cast<uint8_t>(MiscType::SourceStem) ||
                   e.subtype == static_cast<uint8_t>(MiscType::SourceInstantiationStem));
      const size_t limit = misc ? kMaxAttributeSize : kMaxNameSize;
      if (Status s = read_cstr(c, data, limit, e.name, stem); !s.ok()) return s;
      if (!c.varint64(e.arg)) return c.error();
      if (misc) {
        if (Status s = check_misc(static_cast<MiscType>(e.subtype), e.name, e.arg); !s.ok())
          return s;
      }
    } else if (tag == kTagAttributeEnd) {
      e.kind = EntryKind::AttributeEnd;
    } else {
      return errors::var_type();
    }
    fn(e);
  }
  return {};
}

} // namespace wavesift::fst
