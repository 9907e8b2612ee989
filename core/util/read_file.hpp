#pragma once
// Whole-file reads for the readers that decode a file from memory.
#include <cstdint>
#include <string>
#include <vector>

#include "util/result.hpp"

namespace wavesift {

// The file's bytes, or the system's description of why it could not be read.
Result<std::vector<uint8_t>> read_file_bytes(const std::string &path);

// The same, failing with "Failed to read <path>: <system error text>".
Result<std::vector<uint8_t>> read_file(const std::string &path);

} // namespace wavesift
