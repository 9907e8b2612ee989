#include "trace/fsdb.hpp"

namespace wavesift::fsdb {

// Placeholder until the FSDB reader lands.
Result<TraceData> from_file(const std::string &path) {
  return Error{"FSDB reader is not available yet: " + path};
}

} // namespace wavesift::fsdb
