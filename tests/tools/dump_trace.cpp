// Prints a loaded trace as JSON in the corpus dump format (see tests/data/corpus/README.md), so that
// tests can compare whole traces with the expected dumps of real files.
//   dump_trace vcd|fst|fsdb|vpd|wlf|shm PATH
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_set>

#include "readers/fsdb/fsdb.hpp"
#include "readers/fst/fst.hpp"
#include "readers/shm/shm.hpp"
#include "readers/vcd/vcd.hpp"
#include "readers/vpd/vpd.hpp"
#include "readers/wlf/wlf.hpp"

using namespace wavesift;

namespace {

std::string json_string(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string json_value(const ValueView &v) {
  switch (v.tag) {
  case Tag::Int:
    return "{\"int\": " + std::to_string(v.num) + "}";
  case Tag::Wide: {
    // Big integers as decimal text; the checker reads them back with Python's int().
    std::string digits = "0";
    for (size_t k = v.size; k-- > 0;) {
      // digits = digits * 2^64 + word, in base 10
      const uint64_t w = v.word(k);
      for (int bit = 63; bit >= 0; --bit) {
        int carry = (w >> bit) & 1;
        for (size_t d = digits.size(); d-- > 0;) {
          int x = (digits[d] - '0') * 2 + carry;
          digits[d] = static_cast<char>('0' + x % 10);
          carry = x / 10;
        }
        if (carry) digits.insert(digits.begin(), static_cast<char>('0' + carry));
      }
    }
    return "{\"int\": " + digits + "}";
  }
  case Tag::Logic: {
    std::string bits;
    for (size_t k = 0; k < v.size; ++k)
      bits += "01xz"[static_cast<int>(v.bit(k))];
    return "{\"logic\": \"" + bits + "\"}";
  }
  case Tag::Real: {
    if (std::isnan(v.real)) return "{\"real\": \"nan\"}";
    if (std::isinf(v.real)) return v.real > 0 ? "{\"real\": \"inf\"}" : "{\"real\": \"-inf\"}";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v.real);
    return std::string("{\"real\": ") + buf + "}";
  }
  case Tag::Text:
    return "{\"text\": " + json_string(v.text()) + "}";
  case Tag::NoValue:
    break;
  }
  return "null";
}

std::string changes(const Trace &t, SignalId id) {
  ColumnCursor cursor(t.store().column(id));
  std::string out = "[";
  ValueView prev;
  for (Index i = 0; i <= t.max_index(); ++i) {
    const ValueView v = cursor.at(i);
    if (i == 0 || !values_equal(prev, v)) {
      if (i) out += ", ";
      out += "[" + std::to_string(i) + ", " + json_value(v) + "]";
    }
    prev = v;
  }
  return out + "]";
}

template <class Record> TracePtr load(Result<Record> r) {
  if (!r.ok()) {
    std::fprintf(stderr, "%s\n", r.error().c_str());
    std::exit(1);
  }
  return share(std::move(r.value()));
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dump_trace vcd|fst|fsdb|vpd|wlf|shm PATH\n");
    return 2;
  }
  const std::string format = argv[1], path = argv[2];
  TracePtr t;
  if (format == "vcd")
    t = load(vcd::from_file(path));
  else if (format == "fst")
    t = load(fst::from_file(path));
  else if (format == "fsdb")
    t = load(fsdb::from_file(path));
  else if (format == "vpd")
    t = load(vpd::from_file(path));
  else if (format == "wlf")
    t = load(wlf::from_file(path));
  else if (format == "shm")
    t = load(shm::from_file(path));
  else
    return 2;

  std::string out = "{\"format\": " + json_string(format) + ", \"signal_names\": [";
  for (size_t k = 0; k < t->signal_names().size(); ++k)
    out += (k ? ", " : "") + json_string(t->signal_names()[k]);
  out += "], \"scopes\": [";
  for (size_t k = 0; k < t->scopes().size(); ++k)
    out += (k ? ", " : "") + json_string(t->scopes()[k]);
  out += "], \"timestamps\": [";
  for (size_t k = 0; k < t->timestamps().size(); ++k)
    out += (k ? ", " : "") + std::to_string(t->timestamps()[k]);
  out += "], \"max_index\": " + std::to_string(t->max_index()) + ", \"signals\": {";
  std::unordered_set<SignalId> named;
  for (size_t k = 0; k < t->signal_names().size(); ++k) {
    const std::string &name = t->signal_names()[k];
    const SignalId id = *t->signal_id(name);
    named.insert(id);
    out += (k ? ", " : "") + json_string(name) + ": {\"id\": " + std::to_string(id) +
           ", \"width\": " + std::to_string(t->signal_width(name)) +
           ", \"values\": " + changes(*t, id) + "}";
  }
  out += "}, \"unnamed_ids\": {";
  bool first = true;
  for (SignalId id = 0; id < t->store().id_bound(); ++id) {
    if (named.count(id) || !t->store().has_column(id)) continue;
    out += (first ? "\"" : ", \"") + std::to_string(id) + "\": " + changes(*t, id);
    first = false;
  }
  out += "}}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
