#pragma once
// FST trace reader.
#include <string>

#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::fst {

Result<TraceData> from_file(const std::string &path);

} // namespace wavesift::fst
