#pragma once
// A loaded trace as every query sees it: read-only, shareable between threads.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "signal/store.hpp"

namespace wavesift {

inline constexpr SignalId kNoSignal = SIZE_MAX;

class Trace {
public:
  virtual ~Trace() = default;

  virtual const std::vector<std::string> &signal_names() const = 0;
  virtual const std::vector<std::string> &scopes() const = 0;
  virtual const std::vector<uint64_t> &timestamps() const = 0;
  virtual uint32_t signal_width(std::string_view name) const = 0;
  virtual std::optional<SignalId> signal_id(std::string_view name) const = 0;
  // The id of every name of signal_names(), in the same order (kNoSignal where a reader left
  // a name without one): queries that visit every signal use it instead of a lookup per name.
  virtual const std::vector<SignalId> &name_ids() const = 0;
  // The value columns, for queries that scan with cursors.
  virtual const SignalStore &store() const = 0;

  // Number of indices minus one; 0 also for a trace without indices.
  Index max_index() const {
    const auto &t = timestamps();
    return t.empty() ? 0 : t.size() - 1;
  }
  uint64_t timestamp(Index i) const {
    const auto &t = timestamps();
    return i < t.size() ? t[i] : 0;
  }
  SignalValue signal_value(std::string_view name, Index i) const {
    const auto id = signal_id(name);
    return id ? store().get(*id, i) : SignalValue();
  }
  std::vector<SignalValue> signal_values_range(std::string_view name, Index start, Index end) const;
  SignalValue signal_value_by_id(SignalId id, Index i) const { return store().get(id, i); }
};

using TracePtr = std::shared_ptr<const Trace>;

} // namespace wavesift
