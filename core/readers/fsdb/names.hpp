#pragma once
// Name recovery from raw bytes: printable runs that end in a NUL and look like hierarchical
// signal identifiers, and the scope paths implied by dotted names. Self-contained so that other
// heuristic readers can share it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wavesift::fsdb {

// Calls fn(start, length) for every run that starts with a byte 0x21..0x7E, continues over
// bytes 0x20..0x7E and is ended by a 0x00 inside the range. Scanning resumes right after the
// byte that ends a run, whether or not the run counted.
template <class Fn> void for_each_terminated_run(std::span<const uint8_t> bytes, Fn &&fn) {
  const size_t n = bytes.size();
  size_t p = 0;
  while (p < n) {
    if (bytes[p] < 0x21 || bytes[p] > 0x7E) {
      ++p;
      continue;
    }
    size_t q = p + 1;
    while (q < n && bytes[q] >= 0x20 && bytes[q] <= 0x7E)
      ++q;
    if (q < n && bytes[q] == 0x00) fn(p, q - p);
    p = q + 1;
  }
}

// Letters, digits and $ . : [ ] _, starting with a letter or '_'.
bool is_identifier_text(std::string_view s);

// The identifiers among the NUL-terminated runs of the range, in order, duplicates included.
// Besides is_identifier_text, a name must avoid tool and path words (.log, .tcl, .fsdb, simv,
// csrc, daidir) and every dot-separated segment must be non-empty and start with a letter or
// '_'.
std::vector<std::string> extract_identifiers(std::span<const uint8_t> bytes);

// Every proper dotted prefix of every name, each once, in ascending byte order.
std::vector<std::string> derive_scopes(const std::vector<std::string> &names);

// Names from the end of a file whose name tables were not found: sequences of NUL-terminated
// strings that follow a 0x02 byte and begin with a letter. A sequence right after a 0x04 byte
// is passed over, and a string ends the whole scan when the range ends inside it. Strings are
// kept when they pass is_identifier_text only.
std::vector<std::string> tail_names(std::span<const uint8_t> tail);

} // namespace wavesift::fsdb
