#include "trace/shm.hpp"

namespace wavesift::shm {

// Placeholder until the SHM reader lands.
Result<TraceData> from_file(const std::string &path) {
  return Error{"SHM reader is not available yet: " + path};
}

} // namespace wavesift::shm
