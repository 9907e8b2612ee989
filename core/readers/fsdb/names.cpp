#include "readers/fsdb/names.hpp"

#include <algorithm>
#include <string_view>

namespace wavesift::fsdb {
namespace {

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool starts_like_name(char c) {
  return is_letter(c) || c == '_';
}

bool is_name_char(char c) {
  if (is_letter(c) || is_digit(c)) return true;
  switch (c) {
  case '$':
  case '.':
  case ':':
  case '[':
  case ']':
  case '_':
    return true;
  default:
    return false;
  }
}

// File and tool names that sit next to signal names in the same tables.
bool has_excluded_word(std::string_view s) {
  static constexpr std::string_view kWords[] = {".log", ".tcl", ".fsdb", "simv", "csrc", "daidir"};
  for (std::string_view w : kWords)
    if (s.find(w) != std::string_view::npos) return true;
  return false;
}

bool segments_well_formed(std::string_view s) {
  size_t start = 0;
  for (;;) {
    const size_t dot = s.find('.', start);
    const std::string_view seg =
        s.substr(start, dot == std::string_view::npos ? s.npos : dot - start);
    if (seg.empty() || !starts_like_name(seg.front())) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

} // namespace

bool is_identifier_text(std::string_view s) {
  if (s.empty() || !starts_like_name(s.front())) return false;
  return std::all_of(s.begin(), s.end(), is_name_char);
}

std::vector<std::string> extract_identifiers(std::span<const uint8_t> bytes) {
  std::vector<std::string> out;
  for_each_terminated_run(bytes, [&](size_t start, size_t len) {
    const std::string_view s(reinterpret_cast<const char *>(bytes.data()) + start, len);
    if (is_identifier_text(s) && !has_excluded_word(s) && segments_well_formed(s))
      out.emplace_back(s);
  });
  return out;
}

std::vector<std::string> derive_scopes(const std::vector<std::string> &names) {
  std::vector<std::string> scopes;
  for (const std::string &name : names) {
    // Every '.' ends one proper prefix: a.b.c gives a and a.b.
    for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', dot + 1))
      scopes.emplace_back(name, 0, dot);
  }
  std::sort(scopes.begin(), scopes.end());
  scopes.erase(std::unique(scopes.begin(), scopes.end()), scopes.end());
  return scopes;
}

std::vector<std::string> tail_names(std::span<const uint8_t> r) {
  const size_t n = r.size();
  auto printable = [&](size_t i) { return r[i] >= 0x20 && r[i] <= 0x7E; };
  std::vector<std::string> out;
  size_t i = 0;
  while (i < n) {
    if (!(i + 1 < n && r[i] == 0x02 && is_letter(static_cast<char>(r[i + 1])))) {
      ++i;
      continue;
    }
    const bool pass_over = i != 0 && r[i - 1] == 0x04;
    size_t j = i + 1;
    for (;;) {
      if (j >= n || !printable(j)) break;
      size_t k = j;
      while (k < n && printable(k))
        ++k;
      if (k == n) return out;
      if (r[k] != 0x00) {
        j = k;
        break;
      }
      const std::string_view s(reinterpret_cast<const char *>(r.data()) + j, k - j);
      if (!pass_over && is_identifier_text(s)) out.emplace_back(s);
      j = k + 1;
    }
    i = j; // the byte that ended the sequence may start the next one
  }
  return out;
}

} // namespace wavesift::fsdb
