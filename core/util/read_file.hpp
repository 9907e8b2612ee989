#pragma once
// Whole-file reads for the readers that decode a file from memory.
#include <cstdint>
#include <string>
#include <vector>

#include "util/result.hpp"

namespace wavesift {

// The file's bytes, or "Failed to read <path>: <system error text>".
Result<std::vector<uint8_t>> read_file(const std::string &path);

} // namespace wavesift
