"""`to_numpy`: a signal's changes as NumPy arrays."""

from pathlib import Path

import pytest

from wavesift import PyTrace, load

np = pytest.importorskip("numpy")
from wavesift.export import to_numpy  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]

MIXED = """$scope module t $end
$var wire 4 ! v $end
$var real 64 # r $end
$var wire 1 % late $end
$var wire 72 & wide $end
$upscope $end
$enddefinitions $end
#0
bxx01 !
r0.5 #
b1 &
#10
b0011 !
#20
bzzzz !
r-2.25 #
1%
#30
b1111 !
b111111111111111111111111111111111111111111111111111111111111111111111111 &
"""


@pytest.fixture
def mixed():
    return PyTrace.from_vcd_string(MIXED)


def test_four_state_vector(mixed):
    a = to_numpy(mixed, "t.v")
    assert a.indices.dtype == np.uint64 and a.times.dtype == np.uint64
    assert a.values.dtype == np.uint64 and a.known.dtype == bool and a.z.dtype == bool
    assert a.indices.tolist() == [0, 1, 2, 3]
    assert a.times.tolist() == [0, 10, 20, 30]
    assert a.values.tolist() == [0, 3, 0, 15]
    assert a.known.tolist() == [False, True, False, True]    # X at 0, Z at 20
    assert a.z.tolist() == [False, False, True, False]


def test_real_signal(mixed):
    a = to_numpy(mixed, "t.r")
    assert a.values.dtype == np.float64
    assert a.indices.tolist() == [0, 2] and a.values.tolist() == [0.5, -2.25]
    assert a.known.all()


def test_signal_without_a_value_at_first_starts_unknown(mixed):
    a = to_numpy(mixed, "t.late")
    assert a.indices.tolist() == [0, 2]
    assert a.known.tolist() == [False, True] and a.values.tolist() == [0, 1]


def test_wide_vector_keeps_the_low_64_bits(mixed):
    a = to_numpy(mixed, "t.wide")
    assert a.values.tolist() == [1, 2**64 - 1] and a.values.dtype == np.uint64


def test_matches_the_trace_at_every_index():
    trace = load(Path(ROOT, "examples", "cpu.vcd"))
    for name in ["cpu.pc", "cpu.data", "cpu.bus.addr", "cpu.alu.temp", "cpu.clk"]:
        a = to_numpy(trace, name)
        assert np.all(np.diff(a.indices.astype(np.int64)) > 0)
        # The value in force at index i is that of the last change at or before i.
        for i in range(trace.max_index() + 1):
            k = int(np.searchsorted(a.indices, i, side="right")) - 1
            expected = trace.signal_value(name, i)
            if expected is None:
                assert not a.known[k], (name, i)
            else:
                assert a.known[k] and a.values[k] == expected, (name, i)


def test_unknown_name_is_a_key_error(mixed):
    with pytest.raises(KeyError, match="nope"):
        to_numpy(mixed, "t.nope")


def test_short_and_range_less_names():
    fst = load(Path(ROOT, "examples", "cpu.fst"))
    vcd = load(Path(ROOT, "examples", "cpu.vcd"))
    a, b = to_numpy(fst, "cpu.pc"), to_numpy(vcd, "pc")
    assert a.indices.tolist() == b.indices.tolist() and a.values.tolist() == b.values.tolist()


class _TextTrace:
    """A stand-in for a trace with a text-valued signal (FST strings), which VCD lacks."""

    def signal_id(self, name):
        return 0 if name == "t.state" else None

    def transitions(self, name):
        return [(2, "IDLE", None), (3, None, "BUSY")]

    def signal_value(self, name, index):
        return "IDLE"

    def timestamp(self, index):
        return index * 10

    def eval_expr(self, expr, index):
        return 0


def test_text_values_are_objects():
    a = to_numpy(_TextTrace(), "t.state")
    assert a.values.dtype == object
    assert a.values.tolist() == ["IDLE", None, "BUSY"]
    assert a.indices.tolist() == [0, 2, 3] and a.times.tolist() == [0, 20, 30]
    assert a.known.tolist() == [True, False, True]
