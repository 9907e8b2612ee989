// PyTrace methods for change, scope, name-search and statistics queries, snapshots and the two
// bit-field helpers.
#include "classes.hpp"
#include "convert.hpp"
#include "eval/changes.hpp"
#include "eval/name_search.hpp"
#include "eval/scope.hpp"
#include "eval/stats.hpp"
#include "host/binding.hpp"
#include "host/gc_pause.hpp"
#include "host/owned.hpp"

namespace pymod {
namespace {

using host::Owned;
namespace ws = wavesift;

// A list of 3-tuples (head, old value, new value).
template <class Record, class Head>
PyObject *triples(const std::vector<Record> &records, Head head) {
  Owned list(PyList_New(static_cast<Py_ssize_t>(records.size())));
  if (!list) return nullptr;
  for (size_t k = 0; k < records.size(); ++k) {
    Owned first(head(records[k]));
    Owned before(value_to_py(records[k].old_value));
    Owned after(value_to_py(records[k].new_value));
    if (!first || !before || !after) return nullptr;
    PyObject *t = PyTuple_Pack(3, first.get(), before.get(), after.get());
    if (!t) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), t);
  }
  return list.release();
}

PyObject *changed_list(PyObject *self, const std::vector<ws::ChangedSignal> &changes) {
  const auto &names = trace_of(self).signal_names();
  return triples(changes, [&](const ws::ChangedSignal &c) {
    const std::string &n = names[c.name];
    return PyUnicode_FromStringAndSize(n.data(), static_cast<Py_ssize_t>(n.size()));
  });
}

PyObject *changed_at(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.changed_at", {"index"}};
  PyObject *a[1];
  uint64_t index;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "index", index)) return nullptr;
  return changed_list(self, ws::changed_at(trace_of(self), index));
}

PyObject *changed_at_scope(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.changed_at_scope", {"index", "scope"}};
  PyObject *a[2];
  uint64_t index;
  std::string_view scope;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "index", index) ||
      !host::arg_str(a[1], "scope", scope))
    return nullptr;
  return changed_list(self, ws::changed_at_scope(trace_of(self), index, scope));
}

PyObject *transitions(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.transitions", {"name"}};
  PyObject *a[1];
  std::string_view name;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], "name", name)) return nullptr;
  // Converted while walking: no intermediate list of records.
  Owned list(PyList_New(0));
  if (!list) return nullptr;
  bool ok = true;
  const host::GcPause gc;
  ws::for_each_transition(trace_of(self), name, [&](const ws::Transition &t) {
    Owned index(PyLong_FromSize_t(t.index));
    Owned before(value_to_py(t.old_value));
    Owned after(value_to_py(t.new_value));
    Owned tuple(index && before && after ? PyTuple_New(3) : nullptr);
    ok = static_cast<bool>(tuple);
    if (ok) {
      PyTuple_SET_ITEM(tuple.get(), 0, index.release());
      PyTuple_SET_ITEM(tuple.get(), 1, before.release());
      PyTuple_SET_ITEM(tuple.get(), 2, after.release());
      ok = PyList_Append(list.get(), tuple.get()) == 0;
    }
    return ok;
  });
  return ok ? list.release() : nullptr;
}

// Values of the signals whose names begin with prefix, keyed by the rest of the name.
PyObject *snapshot_with_prefix(PyObject *self, uint64_t index, std::string_view prefix) {
  Owned dict(PyDict_New());
  if (!dict) return nullptr;
  const ws::Trace &t = trace_of(self);
  const auto &names = t.signal_names();
  for (size_t k = 0; k < names.size(); ++k) {
    const std::string &name = names[k];
    const ws::SignalId id = t.name_ids()[k];
    if (!name.starts_with(prefix) || id == ws::kNoSignal) continue;
    Owned key(PyUnicode_FromStringAndSize(name.data() + prefix.size(),
                                          static_cast<Py_ssize_t>(name.size() - prefix.size())));
    Owned value(value_to_py(t.store().peek(id, index)));
    if (!key || !value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
  }
  return dict.release();
}

PyObject *snapshot(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.snapshot", {"index"}};
  PyObject *a[1];
  uint64_t index;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "index", index)) return nullptr;
  return snapshot_with_prefix(self, index, "");
}

PyObject *snapshot_scope(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.snapshot_scope", {"index", "scope"}};
  PyObject *a[2];
  uint64_t index;
  std::string_view scope;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "index", index) ||
      !host::arg_str(a[1], "scope", scope))
    return nullptr;
  return snapshot_with_prefix(self, index, std::string(scope) + ".");
}

PyObject *signal_stats(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.signal_stats", {"name"}};
  PyObject *a[1];
  std::string_view name;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], "name", name)) return nullptr;
  const ws::SignalStats s = ws::compute_stats(trace_of(self), name);
  return Py_BuildValue("(KKKKKKK)", s.min, s.max, s.sum, s.count, s.transitions, s.num_x, s.num_z);
}

PyObject *resolve(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.resolve", {"scope_name", "short_name"}};
  PyObject *a[2];
  std::string_view scope, short_name;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], "scope_name", scope) ||
      !host::arg_str(a[1], "short_name", short_name))
    return nullptr;
  const auto full = ws::resolve(trace_of(self), scope, short_name);
  if (!full) Py_RETURN_NONE;
  return PyUnicode_FromStringAndSize(full->data(), static_cast<Py_ssize_t>(full->size()));
}

using NameQuery = std::vector<std::string> (*)(const ws::Trace &, std::string_view);

template <NameQuery Query, const char *Function, const char *Param>
PyObject *name_query(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{Function, {Param}};
  PyObject *a[1];
  std::string_view text;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], Param, text)) return nullptr;
  return list_of_strings(Query(trace_of(self), text));
}

PyObject *bit_slice_val(PyObject *, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.bit_slice_val", {"val", "high", "low"}};
  PyObject *a[3];
  uint64_t val;
  uint32_t high, low;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "val", val) ||
      !host::arg_u32(a[1], "high", high) || !host::arg_u32(a[2], "low", low))
    return nullptr;
  return PyLong_FromUnsignedLongLong(ws::bit_slice(val, high, low));
}

PyObject *sign_extend_val(PyObject *, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{"PyTrace.sign_extend_val", {"val", "width"}};
  PyObject *a[2];
  uint64_t val;
  uint32_t width;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_u64(a[0], "val", val) ||
      !host::arg_u32(a[1], "width", width))
    return nullptr;
  // Only a set sign bit changes anything: the bits above it become ones.
  if (width >= 1 && width <= 63 && ((val >> (width - 1)) & 1)) val |= ~uint64_t{0} << width;
  return PyLong_FromLongLong(static_cast<long long>(val));
}

constexpr char kScopeName[] = "scope_name", kPattern[] = "pattern", kSubstring[] = "substring";
constexpr char kLocalScopes[] = "PyTrace.local_scopes", kLocalSignals[] = "PyTrace.local_signals",
               kGlob[] = "PyTrace.find_signals_glob",
               kContaining[] = "PyTrace.find_signals_containing";

} // namespace

void add_query_methods(std::vector<PyMethodDef> &m) {
  m.push_back(host::method<changed_at>(
      "changed_at", "changed_at($self, index)\n--\n\nGet all signals that changed value at a "
                    "specific index.\nReturns list of (name, old_value, new_value) tuples."));
  m.push_back(host::method<changed_at_scope>(
      "changed_at_scope", "changed_at_scope($self, index, scope)\n--\n\nGet signals that "
                          "changed at index within a scope."));
  m.push_back(host::method<transitions>(
      "transitions", "transitions($self, name)\n--\n\nGet all transitions for a signal: "
                     "[(index, old, new), ...]"));
  m.push_back(host::method<snapshot>(
      "snapshot", "snapshot($self, index)\n--\n\nSnapshot: get all signal values at a specific "
                  "index as a dict.\nUses signal_value_by_id for O(1) access per signal."));
  m.push_back(host::method<snapshot_scope>(
      "snapshot_scope", "snapshot_scope($self, index, scope)\n--\n\nSnapshot within a "
                        "scope.\nUses signal_value_by_id for O(1) access per signal."));
  m.push_back(host::method<signal_stats>(
      "signal_stats", "signal_stats($self, name)\n--\n\nCompute stats for a signal: (min, max, "
                      "sum, count, transitions, num_x, num_z)"));
  m.push_back(host::method<resolve>("resolve", "resolve($self, scope_name, short_name)\n--\n\n"));
  m.push_back(host::method<name_query<ws::local_scopes, kLocalScopes, kScopeName>>(
      "local_scopes", "local_scopes($self, scope_name)\n--\n\n"));
  m.push_back(host::method<name_query<ws::local_signals, kLocalSignals, kScopeName>>(
      "local_signals", "local_signals($self, scope_name)\n--\n\n"));
  m.push_back(host::method<name_query<ws::find_signals_glob, kGlob, kPattern>>(
      "find_signals_glob",
      "find_signals_glob($self, pattern)\n--\n\nFind signals matching a glob pattern."));
  m.push_back(host::method<name_query<ws::find_signals_containing, kContaining, kSubstring>>(
      "find_signals_containing", "find_signals_containing($self, substring)\n--\n\nFind "
                                 "signals containing a substring (case-insensitive)."));
  m.push_back(
      host::method<bit_slice_val>("bit_slice_val", "bit_slice_val($self, val, high, low)\n--\n\n"));
  m.push_back(host::method<sign_extend_val>("sign_extend_val",
                                            "sign_extend_val($self, val, width)\n--\n\n"));
}

} // namespace pymod
