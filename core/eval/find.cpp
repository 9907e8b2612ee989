#include "eval/find.hpp"

#include <tbb/blocked_range.h>
#include <tbb/parallel_reduce.h>

#include "eval/parallel.hpp"

namespace wavesift {
namespace {

// Pieces of at least this many indices: each piece positions its own cursors once.
constexpr uint64_t kGrain = 1 << 14;

uint64_t search_end(const Trace &trace) {
  return static_cast<uint64_t>(trace.max_index()) + 1;
}

void append_range(std::vector<Index> &out, uint64_t first, uint64_t end) {
  for (uint64_t i = first; i < end; ++i)
    out.push_back(i);
}

} // namespace

std::vector<Index> find(const Trace &trace, const Expr &expr) {
  const Program program = Program::compile(*expr);
  std::vector<Index> out;
  scan_matches(trace, program, 0, search_end(trace),
               [&](uint64_t first, uint64_t end) { append_range(out, first, end); });
  return out;
}

std::vector<Index> parallel_find(const Trace &trace, const Expr &expr) {
  const Program program = Program::compile(*expr);
  return parallel_collect<Index>(
      search_end(trace), kGrain, [&](uint64_t begin, uint64_t end, std::vector<Index> &out) {
        scan_matches(trace, program, begin, end,
                     [&](uint64_t first, uint64_t stop) { append_range(out, first, stop); });
      });
}

size_t parallel_count(const Trace &trace, const Expr &expr) {
  const Program program = Program::compile(*expr);
  using Range = tbb::blocked_range<uint64_t>;
  return tbb::parallel_reduce(
      Range(0, search_end(trace), kGrain), size_t{0},
      [&](const Range &r, size_t count) {
        scan_matches(trace, program, r.begin(), r.end(),
                     [&](uint64_t first, uint64_t end) { count += end - first; });
        return count;
      },
      [](size_t a, size_t b) { return a + b; });
}

} // namespace wavesift
