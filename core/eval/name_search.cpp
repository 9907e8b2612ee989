#include "eval/name_search.hpp"

#include <unicode/ucasemap.h>

#include <memory>

#include "util/text.hpp"

namespace wavesift {

bool glob_match(std::string_view pattern, std::string_view name) {
  size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  while (t < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[t])) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

std::vector<std::string> find_signals_glob(const Trace &trace, std::string_view pattern) {
  std::vector<std::string> out;
  for (const std::string &n : trace.signal_names())
    if (glob_match(pattern, n)) out.push_back(n);
  return out;
}

std::string to_lower(std::string_view text) {
  std::string out(text);
  if (text::is_ascii(text)) {
    for (char &c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  // ICU's root-locale mapping is the full Unicode one (SpecialCasing, final sigma).
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCaseMap, decltype(&ucasemap_close)> map(ucasemap_open("", 0, &status),
                                                           ucasemap_close);
  if (U_FAILURE(status)) return out;
  for (int attempt = 0; attempt < 2; ++attempt) {
    status = U_ZERO_ERROR;
    const int32_t n = ucasemap_utf8ToLower(map.get(), out.data(), static_cast<int32_t>(out.size()),
                                           text.data(), static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(static_cast<size_t>(n));
      continue;
    }
    out.resize(U_FAILURE(status) ? 0 : static_cast<size_t>(n));
    break;
  }
  return out;
}

std::vector<std::string> find_signals_containing(const Trace &trace, std::string_view substring) {
  std::vector<std::string> out;
  const std::string needle = to_lower(substring);
  for (const std::string &n : trace.signal_names())
    if (to_lower(n).find(needle) != std::string::npos) out.push_back(n);
  return out;
}

} // namespace wavesift
