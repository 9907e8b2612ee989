"""Loads an FST file and prints load time, memory and the size of the result.

usage: python bench/fst_load.py FILE.fst [SOURCE.vcd.json]
SOURCE.vcd.json (written by gen_vcd.py for the VCD the FST came from) adds per-change figures.
Run it alone: peak RSS is the process's, so nothing else should be loaded first.
"""

import json
import os
import sys

from load_measure import measure_load

from wavesift import PyTrace


def main():
    path = sys.argv[1]
    meta = json.load(open(sys.argv[2])) if len(sys.argv) > 2 and os.path.exists(sys.argv[2]) else {}
    size = os.path.getsize(path)
    trace, seconds, held, peak = measure_load(PyTrace.from_fst, path)
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
