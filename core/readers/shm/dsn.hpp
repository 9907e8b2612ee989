#pragma once
// The design file of an SHM database: a header and a chain of tagged big-endian records from
// which signal names and scope strings are harvested.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/result.hpp"

namespace wavesift::shm {

struct Design {
  std::vector<std::string> signal_names; // each once, in walk order
  std::vector<std::string> scopes;       // every occurrence, in walk order
};

// Walks the record chain. Fails only on a wrong magic in a file of 128 bytes or more.
Result<Design> parse_dsn(std::span<const uint8_t> data);

// The printable, NUL-terminated, valid UTF-8 strings that start in [from, to).
std::vector<std::string> extract_strings(std::span<const uint8_t> data, size_t from, size_t to);

// A letter or '_', then letters, digits and $ ( ) . [ ] _ only.
bool is_identifier(std::string_view s);

} // namespace wavesift::shm
