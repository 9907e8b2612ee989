"""Loads every trace of the real-trace corpus with dump_trace and compares it with its expected dump.

usage: check_corpus.py DUMP_TRACE CORPUS_DIR EXTENSION...   (e.g. vcd, fst)
Exits non-zero and names every difference when a trace does not match.
"""

import gzip
import json
import math
import pathlib
import subprocess
import sys


def same_value(ours, expected, real_tolerance):
    if ours is None or expected is None:
        return ours is None and expected is None
    (kind, a), = ours.items()
    (kind_e, b), = expected.items()
    if kind != kind_e:
        return False
    if kind == "real":
        if isinstance(a, str) or isinstance(b, str):
            return a == b
        return a == b or math.isclose(a, b, rel_tol=real_tolerance, abs_tol=0.0)
    return a == b


def dense(changes, length):
    """Expands a change list to one value per index."""
    values = [None] * length
    for k, (index, value) in enumerate(changes):
        end = changes[k + 1][0] if k + 1 < len(changes) else length
        for i in range(index, min(end, length)):
            values[i] = value
    return values


def compare(ours, expected, real_tolerance):
    problems = []
    for key in ("signal_names", "scopes", "timestamps", "max_index"):
        if ours[key] != expected[key]:
            problems.append(f"{key}: ours {ours[key]!r:.300} expected {expected[key]!r:.300}")
    length = expected["max_index"] + 1
    skip = set(expected.get("ambiguous_indices", []))
    pairs = [(f"signal {name}", ours["signals"].get(name), sig)
             for name, sig in expected["signals"].items()]
    pairs += [(f"unnamed id {i}", {"values": ours["unnamed_ids"].get(i, [[0, None]])},
               {"values": values}) for i, values in expected.get("unnamed_ids", {}).items()]
    for label, mine, theirs in pairs:
        if mine is None:
            problems.append(f"{label}: missing")
            continue
        for key in ("id", "width"):
            if key in theirs and mine.get(key) != theirs[key]:
                problems.append(f"{label}: {key} ours {mine.get(key)} expected {theirs[key]}")
        a, b = dense(mine["values"], length), dense(theirs["values"], length)
        bad = [i for i in range(length)
               if i not in skip and not same_value(a[i], b[i], real_tolerance)]
        if bad:
            i = bad[0]
            problems.append(f"{label}: {len(bad)} indices differ, first {i}: "
                            f"ours {a[i]} expected {b[i]}")
    return problems


def main():
    tool, corpus, extensions = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3:]
    failures = 0
    checked = 0
    for ext in extensions:
        for path in sorted(corpus.glob(f"*.{ext}")):
            expected = json.load(gzip.open(f"{path}.json.gz"))
            run = subprocess.run([tool, ext, str(path)], capture_output=True, text=True)
            if run.returncode != 0:
                print(f"FAIL {path.name}: {run.stderr.strip()}")
                failures += 1
                continue
            problems = compare(json.loads(run.stdout), expected,
                               2e-16 if ext == "fst" else 0.0)
            checked += 1
            if problems:
                failures += 1
                print(f"FAIL {path.name}")
                for p in problems[:20]:
                    print(f"  {p}")
            else:
                print(f"ok   {path.name}")
    print(f"{checked} traces compared, {failures} failed")
    sys.exit(1 if failures or checked == 0 else 0)


if __name__ == "__main__":
    main()
