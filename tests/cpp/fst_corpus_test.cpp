// Every FST file of the real-trace corpus loads to its expected dump (X.fst.json.gz).
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

#include "json_dump.hpp"
#include "test_values.hpp"
#include "readers/fst/fst.hpp"

namespace {

namespace fs = std::filesystem;
using json_dump::Json;

std::vector<std::string> corpus_files() {
  std::vector<std::string> out;
  const fs::path dir(WAVESIFT_CORPUS_DIR);
  std::error_code ec;
  for (const auto &e : fs::directory_iterator(dir, ec))
    if (e.path().extension() == ".fst") out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class FstCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(FstCorpus, MatchesExpectedDump) {
  const std::string path = std::string(WAVESIFT_CORPUS_DIR) + "/" + GetParam();
  auto loaded = wavesift::fst::from_file(path);
  ASSERT_TRUE(loaded.ok()) << loaded.error();
  wavesift::TraceData &t = loaded.value();
  t.store.seal();
  const Json dump = json_dump::load(path + ".json.gz");

  std::vector<std::string> names;
  for (const Json &j : dump.at("signal_names").items)
    names.push_back(j.text);
  EXPECT_EQ(t.signal_names, names);
  std::vector<std::string> scopes;
  for (const Json &j : dump.at("scopes").items)
    scopes.push_back(j.text);
  EXPECT_EQ(t.scopes, scopes);
  std::vector<uint64_t> times;
  for (const Json &j : dump.at("timestamps").items)
    times.push_back(j.u64());
  ASSERT_EQ(t.timestamps, times);
  const size_t n = times.size();
  std::set<uint64_t> ambiguous;
  if (const Json *a = dump.find("ambiguous_indices"))
    for (const Json &j : a->items)
      ambiguous.insert(j.u64());

  EXPECT_EQ(t.name_to_id.size(), names.size());
  for (const auto &[name, sig] : dump.at("signals").members) {
    SCOPED_TRACE(name);
    const auto id = t.name_to_id.find(name);
    ASSERT_NE(id, t.name_to_id.end());
    EXPECT_EQ(id->second, sig.at("id").u64());
    EXPECT_EQ(t.widths.at(name), sig.at("width").u64());
    // Expand the change list to one value per index and compare index by index.
    const auto &changes = sig.at("values").items;
    size_t next = 0;
    wavesift::SignalValue want;
    int mismatches = 0;
    for (size_t i = 0; i < n; ++i) {
      while (next < changes.size() && changes[next].items.at(0).u64() == i)
        want = json_dump::expected_value(changes[next++].items.at(1));
      if (ambiguous.count(i)) continue;
      const auto got = t.store.get(id->second, i);
      if (!json_dump::matches(got, want) && mismatches++ < 5)
        ADD_FAILURE() << "index " << i << ": got " << json_dump::describe(got) << ", want "
                      << json_dump::describe(want);
    }
    EXPECT_EQ(next, changes.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, FstCorpus, ::testing::ValuesIn(corpus_files()),
                         [](const auto &info) {
                           return wavesift::test_support::param_name(info.param);
                         });

} // namespace
