#include "readers/vpd/vpd.hpp"

#include <algorithm>
#include <cstdio>

#include "readers/names/identifier_scan.hpp"
#include "util/byte_order.hpp"
#include "util/read_file.hpp"

namespace wavesift::vpd {
namespace {

constexpr uint32_t kMagic = 0x12345678;
constexpr size_t kMinSize = 128;
constexpr size_t kOffsetTable = 48;
constexpr size_t kOffsetSlots = 20;
constexpr size_t kHeadSize = 128;

// Section starts: table slots that point past the header and inside the file, ascending, once.
std::vector<size_t> section_offsets(std::span<const uint8_t> bytes) {
  std::vector<size_t> offsets;
  for (size_t j = 0; j < kOffsetSlots; ++j) {
    const size_t at = kOffsetTable + 4 * j;
    if (bytes.size() < at + 4) break;
    const size_t v = le32(bytes, at);
    if (v > kHeadSize && v < bytes.size()) offsets.push_back(v);
  }
  std::sort(offsets.begin(), offsets.end());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
  return offsets;
}

// Name tables announce themselves by a folded-hierarchy or mask keyword in a head string, or
// else by a head already dense with names.
bool holds_names(std::span<const uint8_t> head) {
  size_t pos = 0;
  while (const auto run = next_terminated_run(head, pos, kRunStartSpace)) {
    if (run->size() < 3) continue;
    if (run->find("FoldedTop") != std::string_view::npos ||
        run->find("WithMask") != std::string_view::npos)
      return true;
  }
  size_t names = 0;
  pos = 0;
  while (const auto run = next_terminated_run(head, pos))
    if (is_identifier(*run) && ++names > 3) return true;
  return false;
}

void add_name(TraceData &t, std::string_view name) {
  if (t.name_to_id.contains(name)) return;
  const SignalId id = t.signal_names.size();
  t.signal_names.emplace_back(name);
  t.name_to_id.emplace(name, id);
  t.widths.emplace(name, 1);
}

} // namespace

Result<TraceData> from_bytes(std::span<const uint8_t> bytes) {
  if (bytes.size() < kMinSize) return Error{"VPD file too small"};
  if (const uint32_t magic = le32(bytes, 0); magic != kMagic) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", magic);
    return Error{std::string("Not a VPD file (magic=0x") + hex + ")"};
  }

  TraceData t;
  const std::vector<size_t> offsets = section_offsets(bytes);
  for (size_t k = 0; k < offsets.size(); ++k) {
    const size_t end = k + 1 < offsets.size() ? offsets[k + 1] : bytes.size();
    const auto section = bytes.subspan(offsets[k], end - offsets[k]);
    if (!holds_names(section.first(std::min(section.size(), kHeadSize)))) continue;
    size_t pos = 0;
    while (const auto run = next_terminated_run(section, pos))
      if (is_identifier(*run)) add_name(t, *run);
  }
  t.scopes = dotted_scopes(t.signal_names);
  t.timestamps = {0};
  return t;
}

Result<TraceData> from_file(const std::string &path) {
  auto bytes = read_file(path);
  if (!bytes.ok()) return Error{bytes.error()};
  return from_bytes(bytes.value());
}

} // namespace wavesift::vpd
