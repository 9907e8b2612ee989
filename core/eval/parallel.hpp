#pragma once
// Ordered parallel collection: split [0, n) into pieces, let each piece fill its own list on
// the worker pool, then join the lists once, in order.
#include <algorithm>
#include <cstdint>
#include <vector>

#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

namespace wavesift {

template <class T, class Fill>
std::vector<T> parallel_collect(uint64_t n, uint64_t min_piece, Fill &&fill) {
  // A few pieces per worker balance the load; each piece pays a fixed set-up cost.
  const uint64_t workers = static_cast<uint64_t>(tbb::this_task_arena::max_concurrency());
  const uint64_t piece = std::max<uint64_t>(min_piece, n / (8 * workers) + 1);
  const uint64_t pieces = (n + piece - 1) / piece;
  std::vector<std::vector<T>> parts(pieces);
  tbb::parallel_for(uint64_t{0}, pieces,
                    [&](uint64_t k) { fill(k * piece, std::min(n, (k + 1) * piece), parts[k]); });
  size_t total = 0;
  for (const auto &p : parts)
    total += p.size();
  std::vector<T> out;
  out.reserve(total);
  for (const auto &p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

} // namespace wavesift
