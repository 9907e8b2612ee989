// Decodes arbitrary bytes as an SHM transition file. The first byte is the number of design
// names; the rest is the file. Checks the decoder's promises and the values written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "trace/records.hpp"
#include "readers/shm/trn.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace wavesift;
  using namespace wavesift::shm;
  if (size < 1) return 0;
  const size_t names = data[0];
  const std::span<const uint8_t> file(data + 1, size - 1);
  auto decoded = decode_trn(file, names);
  if (!decoded) return 0;

  const auto &times = decoded->times;
  if (times.empty() || times[0] != 0 || !std::is_sorted(times.begin(), times.end()) ||
      std::adjacent_find(times.begin(), times.end()) != times.end())
    std::abort();
  if (decoded->events.size() > event_budget(file.size())) std::abort();
  for (const TrnEvent &e : decoded->events)
    if (e.id >= names || e.bit > 1 || !std::binary_search(times.begin(), times.end(), e.time))
      std::abort();

  // The file twice: the shared axis equals its own, and the values are the same.
  TraceData one, two;
  write_transitions(std::span(&*decoded, 1), names, one);
  const TrnFile copies[2] = {*decoded, *decoded};
  write_transitions(copies, names, two);
  if (one.timestamps != times || two.timestamps != times) std::abort();
  const Index last = times.size() - 1;
  for (SignalId id = 0; id < names; ++id) {
    for (const Index i : {Index{0}, last / 2, last}) {
      const SignalValue v = one.store.get(id, i);
      if (v.tag() != Tag::Int || v.as_int() > 1 || !(v == two.store.get(id, i))) std::abort();
    }
  }
  return 0;
}
