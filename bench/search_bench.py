"""Search and query speed on a long trace.

Builds (once, cached in bench/data/) a VCD of N time steps with a clock, a one-bit signal a and
an 8-bit bus b that change every few steps, plus filler signals; then times
(a == 1) and (b > 3) with find, parallel_find and parallel_count, and transitions and
signal_stats of the busiest signals, checking every answer against the serial search first.

usage: python bench/search_bench.py [--steps 10000000]
"""

import argparse
import os
import random
import time

from wavesift import PyExpr as E
from wavesift import PyTrace


def make_vcd(path, steps):
    rng = random.Random(3)
    with open(path, "w") as f:
        f.write("$scope module top $end\n$var wire 1 ! clk $end\n$var wire 1 # a $end\n"
                "$var wire 8 $ b [7:0] $end\n$var wire 16 % c [15:0] $end\n"
                "$upscope $end\n$enddefinitions $end\n")
        out = []
        for t in range(steps):
            out.append(f"#{t * 5}\n{t & 1}!\n")
            r = rng.random()
            if r < 0.3:
                out.append(f"{rng.getrandbits(1)}#\n")
            if r > 0.6:
                out.append(f"b{rng.getrandbits(8):b} $\n")
            if r < 0.05:
                out.append(f"b{rng.getrandbits(16):b} %\n")
            if len(out) > 100_000:
                f.write("".join(out))
                out.clear()
        f.write("".join(out))


def timed(fn, repeat=3):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        result = fn()
        best = min(best, time.perf_counter() - start)
    return best, result


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--steps", type=int, default=10_000_000)
    args = ap.parse_args()
    os.makedirs("bench/data", exist_ok=True)
    path = f"bench/data/search_{args.steps}.vcd"
    if not os.path.exists(path):
        make_vcd(path, args.steps)
    start = time.perf_counter()
    t = PyTrace.from_vcd(path)
    print(f"loaded {path} ({os.path.getsize(path) / 1e6:.0f} MB) in {time.perf_counter() - start:.1f} s")
    n = t.max_index() + 1
    a, b = E.signal(t.signal_id("top.a")), E.signal(t.signal_id("top.b"))
    expr = a.eq_(E.const_int(1)).and_(b.gt_(E.const_int(3)))

    s_find, found = timed(lambda: t.find(expr))
    p_find, pfound = timed(lambda: t.parallel_find(expr))
    p_count, count = timed(lambda: t.parallel_count(expr))
    assert pfound == found and count == len(found), "parallel results differ from find"
    print(f"indices {n}, matches {count}")
    print(f"find            {s_find * 1e3:8.1f} ms  {n / s_find / 1e6:8.0f} M indices/s")
    print(f"parallel_find   {p_find * 1e3:8.1f} ms  {n / p_find / 1e6:8.0f} M indices/s")
    print(f"parallel_count  {p_count * 1e3:8.1f} ms  {n / p_count / 1e6:8.0f} M indices/s")
    # A clock in the condition changes every index: the per-index cost.
    busy = expr.and_(E.signal(t.signal_id("top.clk")))
    s_busy, busy_found = timed(lambda: t.find(busy))
    p_busy, busy_count = timed(lambda: t.parallel_count(busy))
    assert busy_count == len(busy_found)
    print(f"with clk: find  {s_busy * 1e3:8.1f} ms  {n / s_busy / 1e6:8.0f} M indices/s; "
          f"parallel_count {p_busy * 1e3:.1f} ms  {n / p_busy / 1e6:.0f} M indices/s "
          f"(speed-up {s_busy / p_busy:.2f}x)")
    fwv, _ = timed(lambda: t.find_with_values(expr, ["top.b", "top.c"]), repeat=1)
    print(f"find_with_values {fwv * 1e3:7.1f} ms")
    tr, trs = timed(lambda: t.transitions("top.clk"), repeat=1)
    st, _ = timed(lambda: t.signal_stats("top.clk"), repeat=1)
    st_b, _ = timed(lambda: t.signal_stats("top.b"), repeat=1)
    print(f"transitions(clk) {tr * 1e3:7.1f} ms ({len(trs)} records); "
          f"signal_stats(clk) {st * 1e3:.1f} ms; signal_stats(b) {st_b * 1e3:.1f} ms")


if __name__ == "__main__":
    main()
