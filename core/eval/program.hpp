#pragma once
// An expression tree compiled to a flat post-order program, and its evaluator.
//
// Compiling walks the tree once with an explicit stack and gives every distinct (subtree,
// index context) one register, so shared subtrees are evaluated once per index. An index
// context is the chain of RelEval offsets above a node: the root context reads index i, a
// RelEval child reads its parent's index plus the offset, valid only inside 0..max_index.
//
// The evaluator reads signals through one cursor per leaf (ascending indices cost O(1)) and
// allocates nothing per index. After eval(i), stable_until(i) tells the first index after i
// at which any input may change, so scans can skip the indices in between.
#include <cstdint>
#include <vector>

#include "eval/expr.hpp"
#include "signal/store.hpp"

namespace wavesift {

struct Instruction {
  ExprKind kind;
  uint32_t ctx = 0;           // index context this node is evaluated in
  uint32_t a = 0, b = 0;      // operand registers
  uint32_t child_ctx = 0;     // RelEval: the context of its child
  uint32_t cursor = 0;        // Signal: its cursor slot
  uint32_t high = 0, low = 0; // Slice
  SignalId signal = 0;        // Signal
  ValueView constant;         // Const: a view into the tree, which outlives the program
};

struct IndexContext {
  uint32_t parent = 0;
  int64_t offset = 0;
  int64_t total = 0;    // sum of offsets from the root
  bool total_ok = true; // false when that sum overflows: such a context is never in range
};

class Program {
public:
  // Constants are read in place: the tree must outlive the program.
  static Program compile(const ExprNode &root);

  std::vector<Instruction> code;      // post-order; the last instruction is the result
  std::vector<IndexContext> contexts; // parents come before children; 0 is the root
  uint32_t signal_reads = 0;
};

class Evaluator {
public:
  Evaluator(const Trace &trace, const Program &program);
  // The value at index i; views stay valid until the next call.
  ValueView eval(uint64_t i);
  // After eval(i): the first index > i whose value may differ (UINT64_MAX: none).
  uint64_t stable_until(uint64_t i) const;

private:
  const Program &program_;
  int64_t max_index_;
  std::vector<ValueView> regs_;
  std::vector<ColumnCursor> cursors_;
  std::vector<uint64_t> run_end_; // per cursor, in its context's index space
  std::vector<__int128> ctx_index_;
  std::vector<uint8_t> ctx_valid_;
};

} // namespace wavesift
