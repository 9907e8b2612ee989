#pragma once
// Every index 0..max_index at which an expression holds, serially or on all cores.
//
// Each scan evaluates the expression only where one of its inputs may change and treats the
// indices in between as one stretch, so the cost follows the number of value changes rather
// than the number of indices.
#include <cstdint>
#include <vector>

#include "eval/expr.hpp"
#include "eval/program.hpp"

namespace wavesift {

std::vector<Index> find(const Trace &trace, const Expr &expr);
std::vector<Index> parallel_find(const Trace &trace, const Expr &expr);
size_t parallel_count(const Trace &trace, const Expr &expr);

// Calls on_match(first, end) for every stretch [first, end) of indices within [begin, end)
// at which the program's value is true.
template <class OnMatch>
void scan_matches(const Trace &trace, const Program &program, uint64_t begin, uint64_t end,
                  OnMatch &&on_match) {
  Evaluator evaluator(trace, program);
  for (uint64_t i = begin; i < end;) {
    const bool hit = is_true(evaluator.eval(i));
    const uint64_t next = std::min(evaluator.stable_until(i), end);
    if (hit) on_match(i, next);
    i = next;
  }
}

} // namespace wavesift
