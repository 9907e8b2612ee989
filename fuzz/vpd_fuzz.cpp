// Arbitrary bytes through the VPD reader, and the finished record through the Trace interface.
#include <cstddef>
#include <cstdint>
#include <span>

#include "trace/records.hpp"
#include "readers/vpd/vpd.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  auto r = wavesift::vpd::from_bytes(std::span<const uint8_t>(data, size));
  if (!r.ok()) return 0;
  const auto &names = r.value().signal_names;
  if (names.size() != r.value().name_to_id.size() || r.value().timestamps.size() != 1)
    __builtin_trap();
  const wavesift::TracePtr t = wavesift::share(std::move(r.value()));
  for (const auto &name : t->signal_names())
    if (!t->signal_id(name) || t->signal_width(name) != 1 || !t->signal_value(name, 0).is_none())
      __builtin_trap();
  return 0;
}
