"""Per-index queries on a wide trace: changed_at, changed_at_scope and snapshot over tens of
thousands of signals, and scope and name queries.

usage: python bench/queries_bench.py [FILE.vcd]   (default: generates 50,000 signals, ~60 MB)
"""

import os
import subprocess
import sys
import time

from wavesift import PyTrace


def per_call_ms(fn, calls=20):
    start = time.perf_counter()
    for _ in range(calls):
        result = fn()
    return (time.perf_counter() - start) / calls * 1e3, result


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "bench/data/wide50k.vcd"
    if not os.path.exists(path):
        os.makedirs("bench/data", exist_ok=True)
        subprocess.run([sys.executable, "bench/gen_vcd.py", path, "--signals", "50000",
                        "--size-mb", "60"], check=True)
    t = PyTrace.from_vcd(path)
    names = t.signal_names()
    mid = t.max_index() // 2
    print(f"{path}: {len(names)} signals, {t.max_index() + 1} indices")
    ms, changed = per_call_ms(lambda: t.changed_at(mid))
    print(f"changed_at            {ms:8.2f} ms  ({len(changed)} changed)")
    scope = t.local_scopes("")[0]
    ms, changed = per_call_ms(lambda: t.changed_at_scope(mid, scope))
    print(f"changed_at_scope      {ms:8.2f} ms  ({len(changed)} changed in {scope})")
    ms, snap = per_call_ms(lambda: t.snapshot(mid), 5)
    print(f"snapshot              {ms:8.2f} ms  ({len(snap)} values)")
    ms, _ = per_call_ms(lambda: {n: None for n in names}, 5)
    print(f"  (a dict of as many None values built in Python: {ms:.2f} ms)")
    ms, _ = per_call_ms(lambda: t.find_signals_glob("top.core1*.s1*"), 5)
    print(f"find_signals_glob     {ms:8.2f} ms")
    ms, _ = per_call_ms(lambda: t.find_signals_containing("CORE7"), 5)
    print(f"find_signals_contain. {ms:8.2f} ms")
    ms, _ = per_call_ms(lambda: t.resolve("top", names[-1].rsplit(".", 1)[1]), 5)
    print(f"resolve (scan)        {ms:8.2f} ms")


if __name__ == "__main__":
    main()
