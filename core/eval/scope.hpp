#pragma once
// Navigating the dotted hierarchy of a trace's names: child scopes, signals of a scope, and
// short names resolved from a scope. The empty scope name is the top level.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/trace.hpp"

namespace wavesift {

// Direct child scopes, each once, in order of first appearance in scopes().
std::vector<std::string> local_scopes(const Trace &trace, std::string_view scope_name);
// Signals directly inside the scope, in signal_names() order.
std::vector<std::string> local_signals(const Trace &trace, std::string_view scope_name);
// scope.short_name when the trace has it; otherwise the first name that ends in short_name as
// whole components and begins with scope_name (a plain prefix test: topx.clk qualifies for top).
std::optional<std::string> resolve(const Trace &trace, std::string_view scope_name,
                                   std::string_view short_name);

} // namespace wavesift
