// Feeds arbitrary bytes to the FSDB reader, and the same bytes to the value-block decoder
// directly (the fuzzer rarely builds a zlib stream around a block by itself).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "readers/fsdb/fsdb.hpp"
#include "readers/fsdb/blocks.hpp"

using namespace wavesift;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);

  auto result = fsdb::from_bytes(bytes);
  if (result.ok()) {
    const TraceData &t = result.value();
    // Times are distinct and ascending, and start at 0.
    if (t.timestamps.empty() || t.timestamps[0] != 0 ||
        std::adjacent_find(t.timestamps.begin(), t.timestamps.end(), std::greater_equal<>()) !=
            t.timestamps.end())
      __builtin_trap();
    if (t.signal_names.size() != t.name_to_id.size() || t.widths.size() != t.name_to_id.size())
      __builtin_trap();
    const TracePtr trace = share(std::move(result.value()));
    for (const std::string &name : trace->signal_names())
      (void)trace->signal_value(name, trace->max_index());
  }

  if (const auto block = fsdb::parse_value_block(bytes)) {
    fsdb::ValueTable table;
    const size_t names = size % 23;
    table.add(*block, names);
    table.add(*block, names); // a second block over times the first already wrote
    TraceData t;
    table.finish(t);
  }
  return 0;
}
