#pragma once
// SHM trace reader.
#include <string>

#include "trace/records.hpp"
#include "util/result.hpp"

namespace wavesift::shm {

Result<TraceData> from_file(const std::string &path);

} // namespace wavesift::shm
