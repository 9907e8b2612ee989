#pragma once
// Shared steps of the readers that harvest signal names from closed formats by byte pattern:
// finding NUL-terminated printable runs, and the scope paths that dotted names imply.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wavesift {

// Bytes that may open a run: 0x21 excludes a leading space (name candidates), 0x20 admits it.
inline constexpr uint8_t kRunStartVisible = 0x21;
inline constexpr uint8_t kRunStartSpace = 0x20;

// The next run at or after `pos` that opens with a byte in [first_min, 0x7E], continues over
// bytes 0x20 to 0x7E and is ended by a 0x00 inside `bytes`. A run ended by any other byte is
// passed over and scanning resumes after that byte; a run cut off by the end of `bytes` ends
// the scan. On return `pos` is just past the terminator of the run returned, or bytes.size().
// The view points into `bytes`.
std::optional<std::string_view> next_terminated_run(std::span<const uint8_t> bytes, size_t &pos,
                                                    uint8_t first_min = kRunStartVisible);

constexpr bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The VPD and WLF name rule for a NUL-terminated candidate: at least two characters, none of
// '/', '{', '(' or '@', and every '.'-separated segment non-empty and starting with a letter
// or '_'.
bool is_identifier(std::string_view candidate);
// The names in a byte range by that rule, in order of appearance, repeats included.
std::vector<std::string> extract_identifiers(std::span<const uint8_t> bytes);

// Scope paths are held in full, so a name of n dots costs O(n^2) bytes of scopes; this bound on
// their total keeps a crafted file from turning that into unbounded memory. No real design
// comes near it.
inline constexpr size_t kScopeByteBudget = size_t(256) << 20;

// Every proper dotted prefix of every name ("a.b.c" gives "a" and "a.b"), each once, in
// ascending byte order. New prefixes are taken name by name, shortest first, until their total
// length would exceed `byte_budget`; then no further prefix is taken.
std::vector<std::string> dotted_scopes(const std::vector<std::string> &names,
                                       size_t byte_budget = kScopeByteBudget);

} // namespace wavesift
