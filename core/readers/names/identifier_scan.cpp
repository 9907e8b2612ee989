#include "readers/names/identifier_scan.hpp"

#include <algorithm>
#include <unordered_map>

namespace wavesift {
namespace {

constexpr bool printable(uint8_t b) {
  return b >= 0x20 && b <= 0x7E;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

} // namespace

std::optional<std::string_view> next_terminated_run(std::span<const uint8_t> bytes, size_t &pos,
                                                    uint8_t first_min) {
  const size_t n = bytes.size();
  while (pos < n) {
    const uint8_t b = bytes[pos];
    if (b < first_min || b > 0x7E) {
      ++pos;
      continue;
    }
    const size_t start = pos;
    size_t end = pos + 1;
    while (end < n && printable(bytes[end]))
      ++end;
    if (end == n) break; // cut off by the end of the range
    pos = end + 1;       // resume after the terminator, whatever it was
    if (bytes[end] == 0x00)
      return std::string_view(reinterpret_cast<const char *>(bytes.data()) + start, end - start);
  }
  pos = n;
  return std::nullopt;
}

// Scopes form a tree keyed by (parent scope, segment), so each name is walked once, segment by
// segment, instead of hashing every prefix from its first byte.
std::vector<std::string> dotted_scopes(const std::vector<std::string> &names, size_t byte_budget) {
  struct Key {
    size_t parent;
    std::string_view segment;
    bool operator==(const Key &) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key &k) const {
      return std::hash<std::string_view>{}(k.segment) ^ (k.parent * 0x9E3779B97F4A7C15ull);
    }
  };
  constexpr size_t kRoot = SIZE_MAX;
  std::unordered_map<Key, size_t, KeyHash> children; // segments are views into `names`
  std::vector<std::string> scopes;
  size_t used = 0;
  for (const std::string &name : names) {
    size_t parent = kRoot, from = 0;
    for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', from)) {
      const Key key{parent, std::string_view(name).substr(from, dot - from)};
      from = dot + 1;
      if (const auto it = children.find(key); it != children.end()) {
        parent = it->second;
        continue;
      }
      if (dot > byte_budget - used) return sorted(std::move(scopes));
      used += dot;
      parent = scopes.size();
      children.emplace(key, parent);
      scopes.emplace_back(name, 0, dot);
    }
  }
  return sorted(std::move(scopes));
}

bool is_identifier(std::string_view s) {
  if (s.size() < 2) return false;
  bool segment_start = true;
  for (const char c : s) {
    if (c == '/' || c == '{' || c == '(' || c == '@') return false;
    if (c == '.') {
      if (segment_start) return false; // empty segment
      segment_start = true;
      continue;
    }
    if (segment_start && !is_ascii_letter(c) && c != '_') return false;
    segment_start = false;
  }
  return !segment_start; // a trailing '.' leaves an empty last segment
}

std::vector<std::string> extract_identifiers(std::span<const uint8_t> bytes) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (const auto run = next_terminated_run(bytes, pos))
    if (is_identifier(*run)) out.emplace_back(*run);
  return out;
}

} // namespace wavesift
