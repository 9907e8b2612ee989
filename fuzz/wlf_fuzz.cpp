// Arbitrary bytes through the WLF reader, and the finished record through the Trace interface.
// Inputs need a whole 8192-byte page to get past the size check: run with -max_len of a few
// pages (e.g. 40960).
#include <cstddef>
#include <cstdint>
#include <span>

#include "trace/records.hpp"
#include "readers/wlf/wlf.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  auto r = wavesift::wlf::from_bytes(std::span<const uint8_t>(data, size));
  if (!r.ok()) return 0;
  const auto &rec = r.value();
  if (rec.signal_names.size() != rec.name_to_id.size() || rec.timestamps.empty() ||
      rec.store.id_bound() > rec.signal_names.size())
    __builtin_trap();
  for (size_t i = 0; i < rec.timestamps.size(); ++i)
    if (rec.timestamps[i] != i) __builtin_trap();
  const wavesift::TracePtr t = wavesift::share(std::move(r.value()));
  const wavesift::Index last = t->max_index();
  // Values only go to ids 1 to 254; checking those names keeps each run short.
  const auto &names = t->signal_names();
  for (size_t k = 0; k < names.size() && k < 256; ++k) {
    const auto &name = names[k];
    if (t->signal_id(name) != k) __builtin_trap();
    // Once a signal has a value it keeps one at every later index.
    bool seen = false;
    for (const auto &v : t->signal_values_range(name, 0, last + 1)) {
      if (seen && v.is_none()) __builtin_trap();
      seen = seen || !v.is_none();
    }
  }
  return 0;
}
