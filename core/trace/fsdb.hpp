#pragma once
// FSDB trace reader.
#include <string>

#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::fsdb {

Result<TraceData> from_file(const std::string &path);

} // namespace wavesift::fsdb
