#pragma once
// UTF-8 as the FST reader and loader need it.
#include <string>
#include <string_view>

namespace wavesift::fst {

// Appends `bytes` to `out`, replacing each maximal ill-formed subsequence by U+FFFD (the
// Unicode "substitution of maximal subparts" practice, as common lossy decoders do).
void append_lossy_utf8(std::string &out, std::string_view bytes);

} // namespace wavesift::fst
