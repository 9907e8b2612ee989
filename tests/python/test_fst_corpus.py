"""Every FST file of the real-trace corpus (tests/data/corpus) loads through PyTrace.from_fst to its expected dump.

The dumps (X.fst.json.gz) are described in the corpus README. Python sees four-state values as
None, so those compare as None here; the C++ corpus test checks their bits.
"""

import gzip
import json
import math
import pathlib

import pytest

from wavesift import PyTrace

CORPUS = pathlib.Path(__file__).resolve().parents[1] / "data" / "corpus"
FILES = sorted(p.name for p in CORPUS.glob("*.fst"))



def python_value(entry):
    if entry is None:
        return None
    (kind, v), = entry.items()
    if kind == "int":
        return v
    if kind == "real":
        return float(v)  # also "nan", "inf", "-inf"
    if kind == "text":
        return v
    return None  # logic


def same(got, want):
    if isinstance(want, float) and isinstance(got, float):
        if math.isnan(want) or math.isnan(got):
            return math.isnan(want) and math.isnan(got)
        return got == want or abs(got - want) <= 4e-16 * max(abs(got), abs(want))
    return type(got) is type(want) and got == want


@pytest.mark.parametrize("name", FILES)
def test_fst_matches_dump(name):
    dump = json.load(gzip.open(CORPUS / (name + ".json.gz")))
    trace = PyTrace.from_fst(str(CORPUS / name))
    assert trace.signal_names() == dump["signal_names"]
    assert trace.scopes() == dump["scopes"]
    times = dump["timestamps"]
    assert trace.max_index() == dump["max_index"]
    assert [trace.timestamp(i) for i in range(len(times))] == times
    ambiguous = set(dump.get("ambiguous_indices", []))
    for signal, info in dump["signals"].items():
        assert trace.signal_id(signal) == info["id"], signal
        assert trace.signal_width(signal) == info["width"], signal
        got = trace.signal_values_range(signal, 0, len(times))
        changes = dict((i, python_value(v)) for i, v in info["values"])
        want = None
        for i in range(len(times)):
            want = changes.get(i, want)
            if i not in ambiguous:
                assert same(got[i], want), (signal, i, got[i], want)


def test_missing_file_and_not_fst(tmp_path):
    with pytest.raises(ValueError, match="^Failed to open "):
        PyTrace.from_fst(str(tmp_path / "missing.fst"))
    text = tmp_path / "x.fst"
    text.write_text("$scope module top $end\n")
    with pytest.raises(ValueError, match="^FST open: Unexpected block type$"):
        PyTrace.from_fst(str(text))
