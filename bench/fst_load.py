"""Loads an FST file and prints load time, memory and the size of the result.

usage: python bench/fst_load.py FILE.fst [SOURCE.vcd.json]
SOURCE.vcd.json (written by gen_vcd.py for the VCD the FST came from) adds per-change figures.
Run it alone: peak RSS is the process's, so nothing else should be loaded first.
"""

import json
import os
import resource
import sys
import time

from wavesift import PyTrace


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def main():
    path = sys.argv[1]
    meta = json.load(open(sys.argv[2])) if len(sys.argv) > 2 and os.path.exists(sys.argv[2]) else {}
    size = os.path.getsize(path)
    base = rss_bytes()
    start = time.perf_counter()
    trace = PyTrace.from_fst(path)
    seconds = time.perf_counter() - start
    held = rss_bytes() - base
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
    print(f"file            {size / 1e6:10.1f} MB")
    print(f"load            {seconds:10.2f} s   {size / 1e6 / seconds:8.1f} MB/s of FST")
    print(f"peak RSS        {peak / 1e6:10.1f} MB")
    print(f"trace resident  {held / 1e6:10.1f} MB")
    if "changes" in meta:
        changes = meta["changes"]
        print(f"changes/s       {changes / seconds / 1e6:10.2f} M   ({changes} changes)")
        print(f"per change      {held / changes:10.2f} bytes")
    print(f"signals {len(trace.signal_names())}, indices {trace.max_index() + 1}")


if __name__ == "__main__":
    main()
