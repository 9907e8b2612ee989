#pragma once
// The width table of a newer-layout file: one zlib stream of records, one per signal in name
// order, each a 0x01 tag, a byte, and a type code that fixes the width.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace wavesift::fsdb {

// Width in bits for a record's type code.
uint32_t width_of_type(uint8_t code);

// Walks the records of the inflated table; answers the widths of the first names in order
// (at most `names` of them). Nothing when the stream does not inflate to its end. The table
// is inflated chunk by chunk, so a stream that expands hugely costs time, not memory.
std::optional<std::vector<uint32_t>> read_width_table(std::span<const uint8_t> stream,
                                                      size_t names);

} // namespace wavesift::fsdb
