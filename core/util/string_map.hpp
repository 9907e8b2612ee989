#pragma once
// Hash map keyed by std::string that can be searched with a string_view without a copy.
#include <string>
#include <string_view>
#include <unordered_map>

namespace wavesift {

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

template <class V>
using StringMap = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

template <class V> const V *find_in(const StringMap<V> &map, std::string_view key) {
  const auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

} // namespace wavesift
