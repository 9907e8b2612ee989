#include "eval/scope.hpp"

#include <algorithm>

namespace wavesift {

std::vector<std::string> local_scopes(const Trace &trace, std::string_view scope_name) {
  std::vector<std::string> out;
  auto add = [&out](std::string child) {
    if (std::find(out.begin(), out.end(), child) == out.end()) out.push_back(std::move(child));
  };
  const std::string prefix = std::string(scope_name) + ".";
  for (const std::string &s : trace.scopes()) {
    if (scope_name.empty()) {
      if (s.find('.') == std::string::npos) add(s);
    } else if (s.starts_with(prefix)) {
      const std::string_view rest = std::string_view(s).substr(prefix.size());
      add(std::string(scope_name) + "." + std::string(rest.substr(0, rest.find('.'))));
    }
  }
  return out;
}

std::vector<std::string> local_signals(const Trace &trace, std::string_view scope_name) {
  std::vector<std::string> out;
  const std::string prefix = scope_name.empty() ? "" : std::string(scope_name) + ".";
  for (const std::string &n : trace.signal_names())
    if (n.starts_with(prefix) && n.find('.', prefix.size()) == std::string::npos) out.push_back(n);
  return out;
}

std::optional<std::string> resolve(const Trace &trace, std::string_view scope_name,
                                   std::string_view short_name) {
  const std::string candidate = scope_name.empty()
                                    ? std::string(short_name)
                                    : std::string(scope_name) + "." + std::string(short_name);
  if (trace.signal_id(candidate)) return candidate;
  for (const std::string &n : trace.signal_names()) {
    if (!n.ends_with(short_name)) continue;
    const bool whole = n.size() == short_name.size() || n[n.size() - short_name.size() - 1] == '.';
    if (whole && n.starts_with(scope_name)) return n;
  }
  return std::nullopt;
}

} // namespace wavesift
