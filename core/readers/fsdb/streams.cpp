#include "readers/fsdb/streams.hpp"

#include <algorithm>
#include <string_view>

#include "readers/fsdb/names.hpp"
#include "util/byte_order.hpp"

namespace wavesift::fsdb {
namespace {

bool contains(std::string_view hay, std::string_view needle) {
  return hay.find(needle) != std::string_view::npos;
}

// Record tables: a 0x01 tag every three bytes with a type byte 0x40..0x7F two bytes later, or
// leading words whose low bits (tag byte aside) hold small numbers.
bool looks_like_record_table(std::span<const uint8_t> d) {
  const size_t n = d.size();
  if (n < 11) return false;
  size_t tagged = 0;
  for (size_t i = 0; i + 2 < n; i += 3)
    if (d[i] == 0x01 && d[i + 2] >= 0x40 && d[i + 2] <= 0x7F) ++tagged;
  if (tagged > 5) return true;
  if (n < 21) return false;
  const size_t words = (std::min<size_t>(n, 200) - 11 + 3) / 4;
  size_t small = 0;
  for (size_t j = 0; j < words; ++j) {
    const size_t at = 8 + 4 * j;
    if (at + 4 > n) break;
    if ((le32(d, at) & 0x00FFFFFCu) < 100) ++small;
  }
  return small > 3;
}

} // namespace

StreamFlags stream_flags(std::span<const uint8_t> d) {
  StreamFlags f;
  const size_t n = d.size();
  const std::span<const uint8_t> head = d.first(std::min(n, kClassifyWindow));
  const std::string_view text(reinterpret_cast<const char *>(head.data()), head.size());

  f.marker = contains(text, "8C");
  for_each_terminated_run(head, [&](size_t, size_t len) {
    if (len >= 3) ++f.name_runs;
  });
  if (n >= 4)
    f.tool_words = contains(text, "simv") || contains(text, ".log") || contains(text, "csrc");
  if (n >= 6 && !f.tool_words) f.tool_words = contains(text, "daidir");
  f.record_table = looks_like_record_table(d);
  f.short_tail = n >= 3 && n <= 119 && d[n - 3] == 0x21 && d[n - 2] == 0x00 && d[n - 1] == 0x00 &&
                 !f.tool_words;
  f.end_value =
      (n >= 4 && le32(d, n - 4) == 0x21C1) || (n >= 8 && !f.tool_words && le32(d, n - 8) == 0x21C1);
  return f;
}

StreamKind classify(const StreamFlags &f) {
  if (f.tool_words || f.record_table) return StreamKind::Skip;
  if (f.marker) return f.name_runs > 5 ? StreamKind::NamesSecond : StreamKind::Values;
  if (f.name_runs < 3) return f.end_value && !f.short_tail ? StreamKind::Values : StreamKind::Skip;
  return f.name_runs > 10 ? StreamKind::NamesFirst : StreamKind::NamesThird;
}

} // namespace wavesift::fsdb
