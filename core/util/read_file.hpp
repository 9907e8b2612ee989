#pragma once
// Whole-file reads for the readers that decode a file from memory.
#include <cstdint>
#include <string>
#include <vector>

#include "util/result.hpp"

namespace wavesift {

// open(2) for reading. A path with a NUL byte names no file (the system would see only the part
// before it), so it fails with EINVAL instead of opening that shorter path.
int open_for_reading(const std::string &path);

// The file's bytes, or the system's description of why it could not be read.
Result<std::vector<uint8_t>> read_file_bytes(const std::string &path);

// The same, failing with "Failed to read <path>: <system error text>".
Result<std::vector<uint8_t>> read_file(const std::string &path);

} // namespace wavesift
