#!/usr/bin/env bash
# Converts a generated VCD to FST with GTKWave's vcd2fst, once per pack mode (LZ4, FastLZ,
# zlib), and times loading each FST (bench/fst_load.py) next to loading the VCD itself.
#
# usage: bench/fst_load.sh [SIZE_MB]      (default 200; files are kept in bench/data/)
# needs: vcd2fst (Debian package gtkwave) and the built module (pip install . or PYTHONPATH)
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-200}
mkdir -p bench/data
vcd=bench/data/fst_bench_${size}mb.vcd
[ -f "$vcd" ] || python3 bench/gen_vcd.py "$vcd" --size-mb "$size"
for mode in 4 F Z; do
  fst=bench/data/fst_bench_${size}mb.$mode.fst
  if [ ! -f "$fst" ]; then
    start=$(date +%s.%N)
    vcd2fst "-$mode" -v "$vcd" -f "$fst" > /dev/null
    echo "vcd2fst -$mode: $(awk "BEGIN { print $(date +%s.%N) - $start }") s"
  fi
  echo "== $fst"
  python3 bench/fst_load.py "$fst" "$vcd.json"
done
if [ -f bench/load_vcd.py ]; then
  echo "== $vcd"
  python3 bench/load_vcd.py "$vcd"
fi
