"""Writes a large, realistic VCD file for benchmarks.

Thousands of signals of widths 1 to 128 in a hierarchy of cores and units: a clock that
toggles every step, slow and busy control bits, counters, buses that go to x and z now and
then, wide data words and a few reals. A sidecar FILE.json records the number of value changes.

usage: python bench/gen_vcd.py OUT.vcd [--size-mb 1000] [--signals 5000] [--seed 1]
"""

import argparse
import json
import os
import random

IDENT_CHARS = [chr(c) for c in range(33, 127)]


def ident(n):
    out = ""
    while True:
        out += IDENT_CHARS[n % 94]
        n //= 94
        if n == 0:
            return out


def make_signals(rng, count):
    signals = []  # (scope path, name, width, kind, code)
    cores = max(1, count // 500)
    for k in range(count):
        core, unit = k % cores, (k // cores) % 8
        scope = f"top.core{core}.unit{unit}"
        r = rng.random()
        if k == 0:
            kind, width = "clock", 1
        elif r < 0.55:
            kind, width = "bit", 1
        elif r < 0.70:
            kind, width = "counter", rng.choice([4, 8, 12, 16, 32])
        elif r < 0.90:
            kind, width = "bus", rng.choice([2, 3, 8, 16, 24, 32, 48, 64])
        elif r < 0.99:
            kind, width = "wide", rng.choice([65, 96, 100, 128])
        else:
            kind, width = "real", 64
        signals.append((scope, f"s{k}", width, kind, ident(k)))
    return signals


def value_pool(rng, width, kind, code):
    """A few ready-made value lines per signal, so writing stays cheap."""
    if kind == "real":
        return [f"r{rng.uniform(-1e3, 1e3):.6g} {code}" for _ in range(16)]
    pool = []
    for _ in range(16):
        digits = format(rng.getrandbits(width), f"0{width}b")
        if kind in ("bus", "wide") and rng.random() < 0.15:
            digits = rng.choice("xz") * width if rng.random() < 0.5 else \
                digits[: width // 2] + "x" * (width - width // 2)
        pool.append(f"b{digits} {code}")
    return pool


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--size-mb", type=float, default=1000)
    ap.add_argument("--signals", type=int, default=5000)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    signals = make_signals(rng, args.signals)

    header = ["$date generated $end", "$version wavesift bench/gen_vcd.py $end",
              "$timescale 1ps $end"]
    open_scopes = []
    for scope, name, width, kind, code in signals:
        parts = scope.split(".")
        while open_scopes and open_scopes != parts[: len(open_scopes)]:
            header.append("$upscope $end")
            open_scopes.pop()
        while len(open_scopes) < len(parts):
            header.append(f"$scope module {parts[len(open_scopes)]} $end")
            open_scopes.append(parts[len(open_scopes)])
        vtype = "real" if kind == "real" else "wire"
        rng_txt = f" [{width - 1}:0]" if width > 1 and kind != "real" else ""
        header.append(f"$var {vtype} {width} {code} {name}{rng_txt} $end")
    header += ["$upscope $end"] * len(open_scopes) + ["$enddefinitions $end"]

    scalar = [(c, 1 - 0.98 * rng.random() ** 3) for (_, _, w, k, c) in signals if k == "bit"]
    vectors = [value_pool(rng, w, k, c) for (_, _, w, k, c) in signals if k in ("bus", "wide", "real")]
    counters = [(w, c) for (_, _, w, k, c) in signals if k == "counter"]
    clock = signals[0][4]
    target = int(args.size_mb * 1e6)
    changes = 0
    with open(args.out, "w") as f:
        f.write("\n".join(header) + "\n#0\n$dumpvars\n")
        for _, _, w, k, c in signals:
            f.write(f"0{c}\n" if w == 1 else (f"r0 {c}\n" if k == "real" else f"b0 {c}\n"))
            changes += 1
        f.write("$end\n")
        written, step = f.tell(), 0
        count_bits = [0] * len(counters)
        while written < target:
            step += 1
            out = [f"#{step * 500}", f"{step & 1}{clock}"]
            # Busy bits toggle often, quiet ones rarely.
            for c, p in rng.sample(scalar, min(len(scalar), 40)):
                if rng.random() < p:
                    out.append(f"{rng.getrandbits(1)}{c}")
            if step % 2 == 0:
                for k in rng.sample(range(len(counters)), min(len(counters), 25)):
                    w, c = counters[k]
                    count_bits[k] = (count_bits[k] + 1) % (1 << w)
                    out.append(f"b{count_bits[k]:b} {c}")
                for pool in rng.sample(vectors, min(len(vectors), 12)):
                    out.append(rng.choice(pool))
            changes += len(out) - 1
            chunk = "\n".join(out) + "\n"
            f.write(chunk)
            written += len(chunk)
    with open(args.out + ".json", "w") as f:
        json.dump({"signals": len(signals), "steps": step + 1, "changes": changes,
                   "bytes": os.path.getsize(args.out)}, f)
    print(f"{args.out}: {os.path.getsize(args.out) / 1e6:.0f} MB, {step + 1} steps, "
          f"{changes} value changes")


if __name__ == "__main__":
    main()
