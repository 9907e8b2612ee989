// Fuzzes the FST container reader through the whole loader. Any input must load or fail with
// one of the documented messages; a crash, a hang or any other outcome is a finding.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../tests/cpp/fst_messages.hpp"
#include "readers/fst/fst.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  auto loaded = wavesift::fst::from_bytes({data, size});
  if (!loaded.ok()) {
    if (!fst_messages::known_message(loaded.error())) std::abort();
    return 0;
  }
  auto &t = loaded.value();
  if (t.signal_names.size() != t.name_to_id.size() || t.widths.size() != t.name_to_id.size())
    std::abort();
  t.store.seal();
  return 0;
}
