"""Loads a VCD and prints load speed, memory and the cost of a few accessor calls.

usage: python bench/load_vcd.py FILE.vcd     (FILE.vcd.json from gen_vcd.py adds per-change figures)
Run it alone: peak RSS is the process's, so nothing else should be loaded first.
"""

import json
import os
import sys
import time

from load_measure import measure_load

from wavesift import PyTrace


def per_call_ns(fn, calls):
    start = time.perf_counter()
    for _ in range(calls):
        fn()
    return (time.perf_counter() - start) / calls * 1e9


def main():
    path = sys.argv[1]
    size = os.path.getsize(path)
    meta_path = path + ".json"
    meta = json.load(open(meta_path)) if os.path.exists(meta_path) else {}
    trace, seconds, held, peak = measure_load(PyTrace.from_vcd, path)
    print(f"file            {size / 1e6:10.1f} MB")
    print(f"load            {seconds:10.2f} s   {size / 1e6 / seconds:8.1f} MB/s")
    print(f"peak RSS        {peak / 1e6:10.1f} MB   ({peak / size:.2f} x file)")
    print(f"trace resident  {held / 1e6:10.1f} MB   ({held / size:.2f} x file)")
    if "changes" in meta:
        print(f"per change      {held / meta['changes']:10.2f} bytes ({meta['changes']} changes)")
    names = trace.signal_names()
    mid = trace.max_index() // 2
    name = names[len(names) // 2]
    print(f"signals {len(names)}, indices {trace.max_index() + 1}")
    n = 200_000
    print(f"signal_value    {per_call_ns(lambda: trace.signal_value(name, mid), n):10.0f} ns/call")
    print(f"signal_id       {per_call_ns(lambda: trace.signal_id(name), n):10.0f} ns/call")
    print(f"timestamp       {per_call_ns(lambda: trace.timestamp(mid), n):10.0f} ns/call")
    print(f"signal_names    {per_call_ns(trace.signal_names, 20) / 1e6:10.2f} ms/call")


if __name__ == "__main__":
    main()
