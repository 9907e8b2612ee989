#pragma once
// Identifier code to signal id, for the VCD reader's hot loop.
//
// Nearly every value line looks its code up, so short codes (up to seven bytes, which covers
// 94^7 signals) live inline in one flat open-addressing table: one probe, usually one cache
// miss. Longer codes fall back to a string map.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "signal/store.hpp"
#include "util/string_map.hpp"

namespace wavesift::vcd {

class CodeTable {
public:
  const SignalId *find(std::string_view code) const {
    if (code.size() > 7) return find_in(long_codes_, code);
    if (slots_.empty()) return nullptr;
    const uint64_t key = pack(code);
    for (size_t i = hash(key) & mask_;; i = (i + 1) & mask_) {
      const Slot &s = slots_[i];
      if (s.key == key) return &s.id;
      if (s.key == 0) return nullptr;
    }
  }

  // Adds the code unless present; returns its id.
  SignalId insert(std::string_view code, SignalId id) {
    if (const SignalId *known = find(code)) return *known;
    if (code.size() > 7) {
      long_codes_.emplace(std::string(code), id);
      return id;
    }
    if (2 * (used_ + 1) > slots_.size()) grow();
    place(pack(code), id);
    ++used_;
    return id;
  }

private:
  struct Slot {
    uint64_t key = 0; // 0: empty (a packed key always has its length byte set)
    SignalId id = 0;
  };

  static uint64_t pack(std::string_view code) {
    uint64_t key = 0;
    std::memcpy(&key, code.data(), code.size());
    return key | (static_cast<uint64_t>(code.size() + 1) << 56);
  }
  static size_t hash(uint64_t key) {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdull;
    key ^= key >> 33;
    return static_cast<size_t>(key);
  }
  void place(uint64_t key, SignalId id) {
    size_t i = hash(key) & mask_;
    while (slots_[i].key != 0)
      i = (i + 1) & mask_;
    slots_[i] = Slot{key, id};
  }
  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    mask_ = slots_.size() - 1;
    for (const Slot &s : old)
      if (s.key) place(s.key, s.id);
  }

  std::vector<Slot> slots_;
  size_t mask_ = 0, used_ = 0;
  StringMap<SignalId> long_codes_;
};

} // namespace wavesift::vcd
