#pragma once
// VPD trace reader.
#include <string>

#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::vpd {

Result<TraceData> from_file(const std::string &path);

} // namespace wavesift::vpd
