#include "trace/trace.hpp"

#include "trace/records.hpp"

namespace wavesift {

std::vector<SignalValue> Trace::signal_values_range(std::string_view name, Index start,
                                                    Index end) const {
  const auto id = signal_id(name);
  if (id) return store().get_range(*id, start, end);
  return std::vector<SignalValue>(end > start ? end - start : 0);
}

namespace {

class RecordTrace final : public Trace {
public:
  explicit RecordTrace(TraceData r) : r_(std::move(r)) {
    r_.store.seal();
    ids_.reserve(r_.signal_names.size());
    for (const std::string &n : r_.signal_names)
      ids_.push_back(signal_id(n).value_or(kNoSignal));
  }
  const std::vector<SignalId> &name_ids() const override { return ids_; }
  const std::vector<std::string> &signal_names() const override { return r_.signal_names; }
  const std::vector<std::string> &scopes() const override { return r_.scopes; }
  const std::vector<uint64_t> &timestamps() const override { return r_.timestamps; }
  const SignalStore &store() const override { return r_.store; }
  std::optional<SignalId> signal_id(std::string_view name) const override {
    const SignalId *id = find_in(r_.name_to_id, name);
    return id ? std::optional<SignalId>(*id) : std::nullopt;
  }
  uint32_t signal_width(std::string_view name) const override {
    const uint32_t *w = find_in(r_.widths, name);
    return w ? *w : r_.unknown_width;
  }

private:
  TraceData r_;
  std::vector<SignalId> ids_;
};

} // namespace

TracePtr share(TraceData record) {
  return std::make_shared<RecordTrace>(std::move(record));
}

} // namespace wavesift
