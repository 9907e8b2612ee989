#pragma once
// Binary digit strings (as text readers see them) to values.
#include <string_view>

#include "signal/value.hpp"

namespace wavesift {

// "b10xz" -> Logic, "b1010" -> Int 10 (last 64 digits, any non-'1' digit counts as 0),
// "" or "b" -> NoValue. Never produces Wide.
SignalValue parse_binary_str(std::string_view text);

// Whether a digit string holds any of x, X, z, Z (and so reads as four-state).
bool has_xz_digit(std::string_view digits);

// Shift digits in most significant first; only the last 64 count; '1' is one, all else zero.
uint64_t pack_binary_digits(std::string_view digits);

} // namespace wavesift
