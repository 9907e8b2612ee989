#pragma once
// SHM trace reader: a directory (or sibling pair) of one .dsn design file and .trn transition
// files. Names and scopes come from the design file, one-bit values and times from the
// transition files.
#include <string>

#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::shm {

Result<TraceData> from_file(const std::string &path);

} // namespace wavesift::shm
