#include "eval/changes.hpp"

#include "eval/parallel.hpp"

#include "signal/store.hpp"

namespace wavesift {
namespace {

std::vector<ChangedSignal> changed_where(const Trace &trace, Index index,
                                         const std::string_view *prefix) {
  if (index == 0) return {};
  const auto &names = trace.signal_names();
  const SignalStore &store = trace.store();
  const auto &ids = trace.name_ids();
  return parallel_collect<ChangedSignal>(
      names.size(), 256, [&](uint64_t begin, uint64_t end, std::vector<ChangedSignal> &out) {
        for (size_t k = begin; k < end; ++k) {
          if (prefix && !names[k].starts_with(*prefix)) continue;
          const SignalId id = ids[k];
          if (id == kNoSignal) continue;
          const ValueView before = store.peek(id, index - 1), after = store.peek(id, index);
          if (!values_equal(before, after)) out.push_back({k, before, after});
        }
      });
}

} // namespace

std::vector<ChangedSignal> changed_at(const Trace &trace, Index index) {
  return changed_where(trace, index, nullptr);
}

std::vector<ChangedSignal> changed_at_scope(const Trace &trace, Index index,
                                            std::string_view scope) {
  const std::string prefix = std::string(scope) + ".";
  const std::string_view p = prefix;
  return changed_where(trace, index, &p);
}

std::vector<Transition> transitions(const Trace &trace, std::string_view name) {
  std::vector<Transition> out;
  for_each_transition(trace, name, [&out](const Transition &t) {
    out.push_back(t);
    return true;
  });
  return out;
}

} // namespace wavesift
