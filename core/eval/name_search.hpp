#pragma once
// Searching signal names by glob pattern or by substring regardless of case.
#include <string>
#include <string_view>
#include <vector>

#include "trace/trace.hpp"

namespace wavesift {

// '*' matches any bytes, '?' one byte, everything else itself; the whole name must match.
bool glob_match(std::string_view pattern, std::string_view name);
std::vector<std::string> find_signals_glob(const Trace &trace, std::string_view pattern);

// Full Unicode lower-case mapping (context-sensitive final sigma and special mappings such as
// U+0130 included).
std::string to_lower(std::string_view text);
std::vector<std::string> find_signals_containing(const Trace &trace, std::string_view substring);

} // namespace wavesift
