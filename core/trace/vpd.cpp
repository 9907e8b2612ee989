#include "trace/vpd.hpp"

namespace wavesift::vpd {

// Placeholder until the VPD reader lands.
Result<TraceData> from_file(const std::string &path) {
  return Error{"VPD reader is not available yet: " + path};
}

} // namespace wavesift::vpd
