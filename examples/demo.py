"""A first look at a trace: what it holds, values by name and index, a search, and what
changed around the first match.

usage: python examples/demo.py [trace.vcd]
"""

import sys

import wavesift
from wavesift import PyExpr, PyTrace

path = sys.argv[1] if len(sys.argv) > 1 else "examples/cpu.vcd"
trace = PyTrace.from_vcd(path)

names = trace.signal_names()
last = trace.max_index()
print(f"{path}: {len(names)} signals in {len(trace.scopes())} scopes, "
      f"{last + 1} time steps from t={trace.timestamp(0)} to t={trace.timestamp(last)}")

print("\nHierarchy:")
for scope in trace.local_scopes(""):
    print(f"  {scope}: {', '.join(n.split('.')[-1] for n in trace.local_signals(scope))}")
    for child in trace.local_scopes(scope):
        print(f"    {child}: {', '.join(n.split('.')[-1] for n in trace.local_signals(child))}")

print("\nValues at the first ten time steps (None: no value, or X/Z bits):")
shown = ["cpu.clk", "cpu.valid", "cpu.ready", "cpu.pc", "cpu.alu.acc"]
print("  index  time  " + "  ".join(f"{n.split('.')[-1]:>6}" for n in shown))
columns = [trace.signal_values_range(n, 0, 10) for n in shown]
for i in range(10):
    print(f"  {i:>5} {trace.timestamp(i):>5}  " + "  ".join(f"{str(c[i]):>6}" for c in columns))

# valid && ready on a rising clock edge: clk is 1 now and was 0 one step before.
sig = lambda name: PyExpr.signal(trace.signal_id(name))
one = PyExpr.const_int(1)
clk = sig("cpu.clk")
rising = clk.eq_(one).and_(clk.rel_eval(-1).eq_(PyExpr.const_int(0)))
handshake = sig("cpu.valid").eq_(one).and_(sig("cpu.ready").eq_(one)).and_(rising)
hits = trace.parallel_find(handshake)
print(f"\nvalid && ready on a rising clock edge: {trace.parallel_count(handshake)} matches; "
      f"first times {[trace.timestamp(i) for i in hits[:5]]}")
for index, (data, addr) in trace.find_with_values(handshake, ["cpu.data", "cpu.bus.addr"])[:3]:
    print(f"  t={trace.timestamp(index):>4}  data=0x{data:08x}  addr={addr}")

# The same search written as an expression.
text = "valid && ready && $rose(clk)"
assert wavesift.find(trace, text) == hits
print(f"wavesift.find(trace, {text!r}) gives the same {len(hits)} indices")

first = hits[0]
print(f"\nWhat changed at t={trace.timestamp(first)}:")
for name, old, new in trace.changed_at(first):
    print(f"  {name:<16} {old!s:>12} -> {new!s}")

print("\nStatistics (min, max, sum, count, transitions, X bits, Z bits):")
for name in ("cpu.alu.acc", "cpu.data", "cpu.bus.addr"):
    print(f"  {name:<14} {trace.signal_stats(name)}")
