#pragma once
// Sorting the zlib streams found in a newer-layout file by what their bytes look like: name
// tables, value blocks, or something else (tool paths, record tables) to leave alone.
#include <cstddef>
#include <cstdint>
#include <span>

namespace wavesift::fsdb {

// How much of a stream the content tests look at.
inline constexpr size_t kClassifyWindow = 1024;

struct StreamFlags {
  bool marker = false;       // "8C" near the start: a value-block header
  size_t name_runs = 0;      // NUL-terminated printable runs of 3+ bytes near the start
  bool tool_words = false;   // simv, .log, csrc or daidir near the start
  bool record_table = false; // regular fixed-size records rather than names or values
  bool short_tail = false;   // a short stream ending in 21 00 00
  bool end_value = false;    // 0x21C1 at the end, or just before a last word
};

StreamFlags stream_flags(std::span<const uint8_t> d);

enum class StreamKind { Skip, NamesFirst, NamesSecond, NamesThird, Values };

// NamesSecond streams are also value blocks. A Values stream is used only when the file has
// no block table.
StreamKind classify(const StreamFlags &f);

} // namespace wavesift::fsdb
