#include "trace/fst.hpp"

namespace wavesift::fst {

// Placeholder until the FST reader lands.
Result<TraceData> from_file(const std::string &path) {
  return Error{"FST reader is not available yet: " + path};
}

} // namespace wavesift::fst
