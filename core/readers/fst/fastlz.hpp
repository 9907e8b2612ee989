#pragma once
// FastLZ decompression (levels 1 and 2), the format FST writers use for "F"-packed value
// changes. Written from the format description; no FastLZ library is packaged.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "readers/fst/cursor.hpp"

namespace wavesift::fst {

// Decompresses `in` into `out` (resized to the bytes produced). The output may not exceed
// `max_out` bytes. Returns false on malformed input.
bool fastlz_decompress(Bytes in, size_t max_out, std::vector<uint8_t> &out);

} // namespace wavesift::fst
