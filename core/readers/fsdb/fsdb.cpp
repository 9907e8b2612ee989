#include "readers/fsdb/fsdb.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "readers/fsdb/blocks.hpp"
#include "readers/fsdb/inflate.hpp"
#include "readers/fsdb/names.hpp"
#include "readers/fsdb/streams.hpp"
#include "readers/fsdb/widths.hpp"
#include "util/byte_order.hpp"
#include "util/read_file.hpp"

namespace wavesift::fsdb {
namespace {

using Bytes = std::span<const uint8_t>;

// Header fields.
constexpr size_t kMagicAt = 4;
constexpr size_t kTableGateAt = 40; // the block table is trusted only when this is small
constexpr uint32_t kTableGateMax = 84;
constexpr size_t kBlockTableAt = 264;
constexpr size_t kWidthTableAt = 272;
constexpr size_t kOlderNamesFrom = 272; // the older layout's fixed header holds no names
constexpr size_t kMinTableFile = 385;

// Block table: entry count at +22, 12-byte entries (offset, skipped word, size) from +24.
constexpr size_t kTableCountAt = 22;
constexpr size_t kTableEntriesAt = 24;
constexpr size_t kTableEntrySize = 12;

constexpr size_t kMaxScannedStreams = 20;
constexpr size_t kTailSize = 4096;

void add_name(TraceData &t, std::string name) {
  if (t.name_to_id.contains(name)) return;
  const SignalId id = t.signal_names.size();
  t.signal_names.push_back(name);
  t.widths.emplace(name, 1);
  t.name_to_id.emplace(std::move(name), id);
}

struct TableEntry {
  uint64_t offset = 0;
  uint64_t size = 0;
};

struct Layout {
  std::vector<TableEntry> entries;
  uint64_t width_table = 0;
};

Layout read_layout(Bytes b) {
  Layout out;
  const size_t n = b.size();
  if (n < kMinTableFile || le32(b, kTableGateAt) > kTableGateMax) return out;
  const uint64_t table = le64(b, kBlockTableAt);
  out.width_table = le64(b, kWidthTableAt);
  if (table == 0 || table >= n - kTableEntriesAt) return out;
  const size_t count = le16(b, table + kTableCountAt);
  for (size_t e = 0; e < count; ++e) {
    const size_t at = table + kTableEntriesAt + e * kTableEntrySize;
    if (at + kTableEntrySize > n) break;
    const uint64_t offset = le32(b, at);
    if (offset != 0 && offset < n) out.entries.push_back({offset, le32(b, at + 8)});
  }
  return out;
}

bool is_zlib_header(uint8_t a, uint8_t b) {
  return a == 0x78 && (b == 0x01 || b == 0x5E || b == 0x9C || b == 0xDA);
}

struct Stream {
  size_t pos = 0;
  std::vector<uint8_t> bytes;
};

std::vector<Stream> scan_streams(Bytes b, Inflater &inflater) {
  std::vector<Stream> out;
  const size_t n = b.size();
  for (size_t pos = 0; out.size() < kMaxScannedStreams && pos + 2 <= n;) {
    if (is_zlib_header(b[pos], b[pos + 1])) {
      if (auto r = inflater.try_decompress(b.subspan(pos))) {
        out.push_back({pos, std::move(r->bytes)});
        pos += std::max<size_t>(r->consumed, 2);
        continue;
      }
    }
    ++pos;
  }
  return out;
}

// A table block: the stream at the entry's offset, cut at its size, or two bytes later when
// that does not inflate (sizes sometimes leave out the checksum's last bytes).
std::optional<std::vector<uint8_t>> table_block(Bytes b, TableEntry e, Inflater &inflater) {
  const size_t n = b.size();
  const size_t end = static_cast<size_t>(std::min<uint64_t>(e.offset + e.size, n));
  if (auto r = inflater.try_decompress(b.subspan(e.offset, end - e.offset)))
    return std::move(r->bytes);
  const size_t wider = static_cast<size_t>(std::min<uint64_t>(e.offset + e.size + 2, n));
  if (auto r = inflater.try_decompress(b.subspan(e.offset, wider - e.offset)))
    return std::move(r->bytes);
  return std::nullopt;
}

void read_widths(Bytes b, uint64_t at, TraceData &t) {
  const size_t n = b.size();
  if (at == 0 || at >= n - 4) return;
  const uint64_t len = le32(b, at);
  if (len > n - (at + 4)) return;
  const auto widths = read_width_table(b.subspan(at + 4, len), t.signal_names.size());
  if (!widths) return;
  for (size_t k = 0; k < widths->size(); ++k)
    t.widths[t.signal_names[k]] = (*widths)[k];
}

} // namespace

TraceData parse_older(Bytes b) {
  TraceData t;
  for (std::string &name : extract_identifiers(b.subspan(std::min(b.size(), kOlderNamesFrom))))
    add_name(t, std::move(name));
  t.scopes = derive_scopes(t.signal_names);
  t.timestamps = {0};
  return t;
}

TraceData parse_modern(Bytes b) {
  const size_t n = b.size();
  Inflater inflater;
  const Layout layout = read_layout(b);
  const std::vector<Stream> streams = scan_streams(b, inflater);

  // Value blocks, in order: every table entry, then the streams the content tests pick.
  struct BlockRef {
    bool from_table;
    size_t index;
  };
  std::vector<BlockRef> blocks;
  for (size_t k = 0; k < layout.entries.size(); ++k)
    blocks.push_back({true, k});

  std::vector<uint64_t> table_offsets;
  for (const TableEntry &e : layout.entries)
    table_offsets.push_back(e.offset);
  std::sort(table_offsets.begin(), table_offsets.end());

  std::vector<size_t> name_groups[3];
  for (size_t k = 0; k < streams.size(); ++k) {
    // A stream the table points at is read through the table only.
    if (std::binary_search(table_offsets.begin(), table_offsets.end(), streams[k].pos)) continue;
    switch (classify(stream_flags(streams[k].bytes))) {
    case StreamKind::Skip:
      break;
    case StreamKind::NamesFirst:
      name_groups[0].push_back(k);
      break;
    case StreamKind::NamesSecond:
      name_groups[1].push_back(k);
      blocks.push_back({false, k});
      break;
    case StreamKind::NamesThird:
      name_groups[2].push_back(k);
      break;
    case StreamKind::Values:
      if (layout.entries.empty()) blocks.push_back({false, k});
      break;
    }
  }

  TraceData t;
  for (const auto &group : name_groups)
    for (const size_t k : group)
      for (std::string &name : extract_identifiers(streams[k].bytes))
        add_name(t, std::move(name));
  if (t.signal_names.empty() && n > kTailSize)
    for (std::string &name : tail_names(b.subspan(n - kTailSize)))
      add_name(t, std::move(name));

  read_widths(b, layout.width_table, t);

  // Table blocks are inflated only now, one at a time, so that a long table never holds more
  // than one block in memory. A repeated entry reuses the previous inflation.
  ValueTable table;
  const size_t names = t.signal_names.size();
  std::optional<std::vector<uint8_t>> last;
  const TableEntry *last_entry = nullptr;
  for (const BlockRef &ref : blocks) {
    Bytes bytes;
    if (ref.from_table) {
      const TableEntry &e = layout.entries[ref.index];
      if (!last_entry || last_entry->offset != e.offset || last_entry->size != e.size) {
        last = table_block(b, e, inflater);
        last_entry = &e;
      }
      if (!last) continue;
      bytes = *last;
    } else {
      bytes = streams[ref.index].bytes;
    }
    if (const auto block = parse_value_block(bytes)) table.add(*block, names);
  }
  t.timestamps.clear();
  table.finish(t);
  t.scopes = derive_scopes(t.signal_names);
  return t;
}

Result<TraceData> from_bytes(Bytes b) {
  if (b.size() <= 11) return Error{"FSDB file too small"};
  const uint32_t magic = be32(b, kMagicAt);
  if (magic == kOlderMagic) return parse_older(b);
  if (magic == kNewerMagic) return parse_modern(b);
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", magic);
  return Error{std::string("Not an FSDB file (magic=0x") + digits + ")"};
}

Result<TraceData> from_file(const std::string &path) {
  auto bytes = read_file(path);
  if (!bytes.ok()) return Error{bytes.error()};
  return from_bytes(bytes.value());
}

} // namespace wavesift::fsdb
