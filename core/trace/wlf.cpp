#include "trace/wlf.hpp"

namespace wavesift::wlf {

// Placeholder until the WLF reader lands.
Result<TraceData> from_file(const std::string &path) {
  return Error{"WLF reader is not available yet: " + path};
}

} // namespace wavesift::wlf
