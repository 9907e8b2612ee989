"""A first look at a trace: what it holds, and a few values read by name and by index.

usage: python examples/demo.py [trace.vcd]
"""

import sys

from wavesift import PyTrace

path = sys.argv[1] if len(sys.argv) > 1 else "examples/cpu.vcd"
trace = PyTrace.from_vcd(path)

names = trace.signal_names()
last = trace.max_index()
print(f"{path}: {len(names)} signals in {len(trace.scopes())} scopes, "
      f"{last + 1} time steps from t={trace.timestamp(0)} to t={trace.timestamp(last)}")

print("\nScopes:", ", ".join(trace.scopes()))
print("\nSignals:")
for name in names:
    print(f"  {name:<16} width {trace.signal_width(name):>3}  id {trace.signal_id(name)}")

print("\nValues at the first ten time steps (None: unknown or X/Z):")
shown = ["cpu.clk", "cpu.valid", "cpu.ready", "cpu.pc", "cpu.alu.acc"]
print("  index  time  " + "  ".join(f"{n.split('.')[-1]:>6}" for n in shown))
columns = [trace.signal_values_range(n, 0, 10) for n in shown]
for i in range(10):
    row = "  ".join(f"{str(col[i]):>6}" for col in columns)
    print(f"  {i:>5} {trace.timestamp(i):>5}  {row}")

handshakes = [i for i, (v, r) in enumerate(zip(trace.signal_values_range("cpu.valid", 0, last + 1),
                                               trace.signal_values_range("cpu.ready", 0, last + 1)))
              if v == 1 and r == 1]
print(f"\nvalid && ready holds at {len(handshakes)} time steps; the first at t="
      f"{trace.timestamp(handshakes[0])} with data=0x{trace.signal_value('cpu.data', handshakes[0]):08x}")
