// Walks arbitrary bytes as an SHM design file: no crash, no hang, and every harvested name
// obeys the identifier rule once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>

#include "readers/shm/dsn.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace wavesift::shm;
  const std::span<const uint8_t> bytes(data, size);
  const auto design = parse_dsn(bytes);
  if (!design.ok()) {
    if (size < 128) std::abort();
    return 0;
  }
  std::set<std::string> seen;
  for (const std::string &name : design.value().signal_names)
    if (!is_identifier(name) || !seen.insert(name).second) std::abort();
  for (const std::string &scope : design.value().scopes)
    if (scope.size() < 2) std::abort();
  // The string scan on its own, over a window that may run past the data.
  if (size >= 2) (void)extract_strings(bytes, data[0], data[1] * 64u);
  return 0;
}
