// Multi-block FST files from a real writer, compared with what GTKWave's fst2vcd prints for
// them: the same names, the same set of times, and at every time the value the last change
// at or before it gave (the last index of a repeated time holds it, however the changes at
// that time were spread over its indices).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "json_dump.hpp"
#include "test_values.hpp"
#include "readers/fst/fst.hpp"

namespace {

namespace fs = std::filesystem;
using namespace wavesift;

struct Oracle {
  std::vector<std::string> names;             // full names, declaration order
  std::map<std::string, std::string> code_of; // full name -> identifier code
  std::set<uint64_t> times;
  // identifier code -> (time, value) in file order
  std::map<std::string, std::vector<std::pair<uint64_t, SignalValue>>> changes;
};

SignalValue value_of(const std::string &chars) {
  fst::Value v;
  v.data = reinterpret_cast<const uint8_t *>(chars.data());
  v.size = chars.size();
  return fst::convert_value(v);
}

Oracle read_vcd(const fs::path &path) {
  Oracle o;
  std::ifstream in(path);
  std::string line;
  std::vector<std::string> scopes;
  uint64_t time = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string w;
    words >> w;
    if (w == "$scope") {
      std::string kind, name;
      words >> kind >> name;
      scopes.push_back(name);
    } else if (w == "$upscope") {
      scopes.pop_back();
    } else if (w == "$var") {
      std::string type, width, code, part, name;
      words >> type >> width >> code;
      while (words >> part && part != "$end")
        name += (name.empty() ? "" : " ") + part;
      std::string full;
      for (const auto &s : scopes)
        full += s + ".";
      full += name;
      o.names.push_back(full);
      o.code_of[full] = code;
    } else if (!w.empty() && w[0] == '#') {
      time = std::stoull(w.substr(1));
      o.times.insert(time);
    } else if (!w.empty() && (w[0] == 'b' || w[0] == 'r')) {
      std::string code;
      words >> code;
      const std::string body = w.substr(1);
      const SignalValue v =
          w[0] == 'r' ? SignalValue::of_real(std::strtod(body.c_str(), nullptr)) : value_of(body);
      o.changes[code].emplace_back(time, v);
    } else if (!w.empty() && w[0] != '$') {
      o.changes[w.substr(1)].emplace_back(time, value_of(w.substr(0, 1)));
    }
  }
  return o;
}

std::vector<std::string> fixtures() {
  std::vector<std::string> out;
  const fs::path dir = fs::path(__FILE__).parent_path() / "fixtures" / "fst";
  std::error_code ec;
  for (const auto &e : fs::directory_iterator(dir, ec))
    if (e.path().extension() == ".vcd" && e.path().stem().extension() == ".fst")
      out.push_back(e.path().stem().string());
  std::sort(out.begin(), out.end());
  return out;
}

class FstOracle : public ::testing::TestWithParam<std::string> {};

TEST_P(FstOracle, AgreesWithFst2vcd) {
  const fs::path dir = fs::path(__FILE__).parent_path() / "fixtures" / "fst";
  auto loaded = fst::from_file((dir / GetParam()).string());
  ASSERT_TRUE(loaded.ok()) << loaded.error();
  TraceData &t = loaded.value();
  t.store.seal();
  const Oracle o = read_vcd(dir / (GetParam() + ".vcd"));

  EXPECT_EQ(t.signal_names, o.names);
  ASSERT_TRUE(std::is_sorted(t.timestamps.begin(), t.timestamps.end()));
  EXPECT_EQ(std::set<uint64_t>(t.timestamps.begin(), t.timestamps.end()), o.times);
  EXPECT_GT(t.timestamps.size(), o.times.size()) << "expected repeated block boundaries";

  for (const std::string &name : o.names) {
    SCOPED_TRACE(name);
    const auto &changes = o.changes.at(o.code_of.at(name));
    const SignalId id = t.name_to_id.at(name);
    size_t next = 0;
    SignalValue want;
    for (size_t i = 0; i < t.timestamps.size(); ++i) {
      const uint64_t time = t.timestamps[i];
      if (i + 1 < t.timestamps.size() && t.timestamps[i + 1] == time) continue;
      while (next < changes.size() && changes[next].first <= time)
        want = changes[next++].second;
      const SignalValue got = t.store.get(id, i);
      ASSERT_TRUE(json_dump::matches(got, want))
          << "time " << time << ": got " << json_dump::describe(got) << ", want "
          << json_dump::describe(want);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FstOracle, ::testing::ValuesIn(fixtures()),
                         [](const auto &info) {
                           return wavesift::test_support::param_name(info.param);
                         });

} // namespace
