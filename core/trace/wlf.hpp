#pragma once
// WLF trace reader.
#include <string>

#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::wlf {

Result<TraceData> from_file(const std::string &path);

} // namespace wavesift::wlf
