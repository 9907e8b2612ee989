#pragma once
// The messages an FST load may fail with: one of the three stage prefixes followed by one of
// the reader's error texts. Shared by the tests and the fuzz target.
#include <string_view>

namespace fst_messages {

inline bool known_reader_text(std::string_view t) {
  static constexpr std::string_view exact[] = {
      "failed to parse an integer",
      "failed to decompress with lz4",
      "failed to decompress with zlib",
      "failed to decode string",
      "I/O operation failed",
      "The FST file is still being compressed into its final GZIP wrapper.",
      "Unexpected block type",
      "Unexpected file type",
      "Unexpected vhdl variable type",
      "Unexpected vhdl data type",
      "Unexpected variable type",
      "Unexpected scope type",
      "Unexpected variable direction",
      "Unexpected attribute type",
      "Unexpected misc attribute type",
      "The FST file is incomplete: geometry block is missing.",
      "The FST file is incomplete: hierarchy block is missing.",
      "failed to read leb128 integer, more than the expected 32 bits",
      "failed to read leb128 integer, more than the expected 64 bits",
  };
  static constexpr std::string_view prefixes[] = {
      "failed to read a null terminated string because it exceeds the expected size of ",
      "failed to parse an enum table string: ",
      "failed to parse a gzip header: ",
      "failed to decompress gzip stream: ",
  };
  for (auto e : exact)
    if (t == e) return true;
  for (auto p : prefixes)
    if (t.starts_with(p)) return true;
  return false;
}

// A load failure message for an FST image (not "Failed to open", which needs a path).
inline bool known_message(std::string_view m) {
  for (std::string_view p : {"FST open: ", "FST hierarchy: ", "FST signals: "})
    if (m.starts_with(p)) return known_reader_text(m.substr(p.size()));
  return false;
}

} // namespace fst_messages
