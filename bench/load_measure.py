"""Timing and memory of one trace load, shared by the load benchmarks."""

import os
import resource
import time


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def measure_load(load, path):
    """Loads path with load(path); returns (trace, seconds, resident bytes it holds, peak RSS)."""
    base = rss_bytes()
    start = time.perf_counter()
    trace = load(path)
    seconds = time.perf_counter() - start
    held = rss_bytes() - base
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
    return trace, seconds, held, peak
