#include "readers/wlf/wlf.hpp"

#include <algorithm>

#include "readers/names/identifier_scan.hpp"
#include "util/byte_order.hpp"
#include "util/read_file.hpp"

namespace wavesift::wlf {
namespace {

constexpr size_t kUsedLengthAt = 2;
constexpr size_t kSignalCountAt = 24;
constexpr size_t kStringsAt = 40;
constexpr size_t kNamePages = 3;
constexpr size_t kMinNameLimit = 1000;
constexpr size_t kRecordAreaAt = 16;
constexpr size_t kMinNonZero = 16;
constexpr uint8_t kPad = 0x00;
constexpr uint8_t kTimeStep = 0xFF;

bool value_marked(std::span<const uint8_t> page) {
  return page[0] == 0xFF && page[1] == 0xFF;
}

class Builder {
public:
  explicit Builder(size_t limit) : limit_(limit) { t_.timestamps.push_back(0); }

  void add_names(std::span<const uint8_t> area) {
    size_t pos = 0;
    while (const auto run = next_terminated_run(area, pos))
      if (is_identifier(*run)) add(*run);
  }

  // Records of one value page: padding, time steps and (id, value byte) pairs. The walk stops
  // before a record could reach past the record area, so it never leaves the page.
  void walk_records(std::span<const uint8_t> page) {
    const size_t end = std::min<size_t>(be16(page, kUsedLengthAt), kPageSize - kRecordAreaAt);
    if (end < 2) return; // no room for a record
    const auto area = page.subspan(kRecordAreaAt, end);
    const size_t names = t_.signal_names.size();
    size_t s = 0;
    do {
      const uint8_t c = area[s];
      if (c == kTimeStep) {
        ++index_;
        t_.timestamps.push_back(index_);
        s += 1;
      } else if (c != kPad && c < names) {
        t_.store.set(c, index_, ValueView::of_int(area[s + 1]));
        s += 2;
      } else {
        s += 1;
      }
    } while (s + 1 < end);
  }

  TraceData finish() {
    for (Index i = 1; i < t_.timestamps.size(); ++i)
      t_.store.forward_fill(i);
    t_.scopes = dotted_scopes(t_.signal_names);
    return std::move(t_);
  }

  size_t added() const { return t_.signal_names.size(); }

private:
  void add(std::string_view name) {
    if (t_.signal_names.size() >= limit_ || t_.name_to_id.contains(name)) return;
    const SignalId id = t_.signal_names.size();
    t_.signal_names.emplace_back(name);
    t_.name_to_id.emplace(name, id);
    t_.widths.emplace(name, 1);
  }

  size_t limit_;
  Index index_ = 0;
  TraceData t_;
};

bool is_value_page(std::span<const uint8_t> page) {
  if (!value_marked(page) || be16(page, kUsedLengthAt) < 2) return false;
  return size_t(std::count_if(page.begin(), page.end(), [](uint8_t b) { return b != 0; })) >=
         kMinNonZero;
}

} // namespace

std::string read_lpstr(std::span<const uint8_t> page, size_t &pos) {
  if (pos >= page.size()) return {};
  const size_t n = page[pos++];
  if (n == 0 || n > page.size() - pos) return {};
  const auto text = page.subspan(pos, n);
  if (!std::all_of(text.begin(), text.end(), [](uint8_t b) { return b >= 0x20 && b <= 0x7E; }))
    return {};
  pos += n;
  return std::string(text.begin(), text.end());
}

Result<TraceData> from_bytes(std::span<const uint8_t> bytes) {
  if (bytes.size() < kPageSize) return Error{"WLF file too small (< 1 page)"};
  const size_t pages = bytes.size() / kPageSize;
  auto page = [&](size_t k) { return bytes.subspan(k * kPageSize, kPageSize); };

  const auto header = page(0);
  const size_t used = std::min<size_t>(be16(header, kUsedLengthAt), kPageSize);
  const size_t expected = be16(header, kSignalCountAt);
  size_t pos = kStringsAt;
  for (int k = 0; k < 3; ++k)
    read_lpstr(header, pos); // header strings: only skipped

  Builder b(std::max(expected, kMinNameLimit));
  if (used > pos) b.add_names(header.subspan(pos, used - pos));
  if (b.added() < expected)
    for (size_t k = 1; k <= kNamePages && k < pages; ++k)
      if (!value_marked(page(k))) b.add_names(page(k));

  for (size_t k = 1; k < pages; ++k)
    if (is_value_page(page(k))) b.walk_records(page(k));
  return b.finish();
}

Result<TraceData> from_file(const std::string &path) {
  auto bytes = read_file(path);
  if (!bytes.ok()) return Error{bytes.error()};
  return from_bytes(bytes.value());
}

} // namespace wavesift::wlf
