import math

import pytest

from wavesift import PyTrace

VCD = """$scope module top $end
$var wire 1 ! a $end
$var wire 4 # bus $end
$var real 64 % r $end
$scope module sub $end
$var wire 1 & b $end
$upscope $end
$upscope $end
$scope module topx $end
$var wire 1 ' a $end
$upscope $end
#0
0!
b0 #
rnan %
0&
0'
#10
1!
b1x #
1'
#20
1&
b11 #
#30
0!
"""


@pytest.fixture
def t():
    return PyTrace.from_vcd_string(VCD)


def test_changes(t):
    assert t.changed_at(0) == []
    changes = t.changed_at(1)
    assert [c[0] for c in changes] == ["top.a", "top.bus", "top.r", "topx.a"]
    assert changes[0] == ("top.a", 0, 1) and changes[1] == ("top.bus", 0, None)
    assert math.isnan(changes[2][1]) and math.isnan(changes[2][2])  # NaN never equals itself
    assert [c[0] for c in t.changed_at_scope(2, "top")] == ["top.bus", "top.r", "top.sub.b"]
    assert t.changed_at_scope(1, "top.sub") == []
    assert t.changed_at_scope(0, "top") == []
    # Past the end every signal with a value changes to None; beyond that nothing changes.
    assert [(n, new) for n, _, new in t.changed_at(4)] == [
        ("top.a", None), ("top.bus", None), ("top.r", None), ("top.sub.b", None), ("topx.a", None)]
    assert t.changed_at(5) == []


def test_transitions_and_stats(t):
    assert t.transitions("top.a") == [(1, 0, 1), (3, 1, 0)]
    assert t.transitions("top.bus") == [(1, 0, None), (2, None, 3)]
    assert [i for i, _, _ in t.transitions("top.r")] == [1, 2, 3]
    assert t.transitions("nope") == []
    assert t.signal_stats("top.a") == (0, 1, 2, 4, 2, 0, 0)
    assert t.signal_stats("top.bus") == (0, 3, 6, 3, 2, 1, 0)
    assert t.signal_stats("top.r") == (0, 0, 0, 0, 3, 0, 0)
    assert t.signal_stats("nope") == (0,) * 7
    one = PyTrace.from_vcd_string("$var wire 1 ! a $end\n#0\n1!\n")
    assert one.transitions("a") == [] and one.signal_stats("a") == (1, 1, 1, 1, 0, 0, 0)


def test_snapshots(t):
    snap = t.snapshot(1)
    assert list(snap) == t.signal_names()
    assert snap["top.a"] == 1 and snap["top.bus"] is None and math.isnan(snap["top.r"])
    assert set(t.snapshot(99).values()) == {None}
    assert t.snapshot_scope(2, "top") == {"a": 1, "bus": 3, "r": pytest.approx(math.nan, nan_ok=True),
                                         "sub.b": 1}
    assert t.snapshot_scope(2, "") == {}


def test_scope_and_name_queries(t):
    assert t.local_scopes("") == ["top", "topx"]
    assert t.local_scopes("top") == ["top.sub"]
    assert t.local_signals("top") == ["top.a", "top.bus", "top.r"]
    assert t.resolve("top", "b") == "top.sub.b"
    assert t.resolve("top", "zz") is None
    assert t.find_signals_glob("top.*") == ["top.a", "top.bus", "top.r", "top.sub.b"]
    assert t.find_signals_glob("*.a") == ["top.a", "topx.a"]
    assert t.find_signals_containing("BU") == ["top.bus"]


@pytest.mark.parametrize("val, high, low, expected", [
    (0xAB, 7, 4, 10), (0xAB, 3, 5, 0), (2**64 - 1, 63, 0, 2**64 - 1), (0xAB, 70, 64, 0),
    (0xAB, 100, 0, 0xAB)])
def test_bit_slice_val(t, val, high, low, expected):
    assert t.bit_slice_val(val, high, low) == expected


@pytest.mark.parametrize("val, width, expected", [
    (0xFF, 8, -1), (0x7F, 8, 127), (0x18, 4, -8), (0x1F0, 4, 496), (5, 0, 5), (2**64 - 1, 64, -1),
    (1, 1, -1), (2**63, 100, -(2**63))])
def test_sign_extend_val(t, val, width, expected):
    assert t.sign_extend_val(val, width) == expected


def test_query_argument_errors(t):
    with pytest.raises(OverflowError):
        t.bit_slice_val(-1, 1, 0)
    with pytest.raises(OverflowError) as info:
        t.sign_extend_val(1, 2**32)
    assert str(info.value) == "out of range integral type conversion attempted"
    with pytest.raises(TypeError) as info:
        t.changed_at_scope(1, 2)
    assert str(info.value) == "argument 'scope': 'int' object is not an instance of 'str'"
    with pytest.raises(TypeError):
        t.resolve("top")


def test_query_doc_strings():
    assert PyTrace.changed_at.__doc__ == ("Get all signals that changed value at a specific index.\n"
                                          "Returns list of (name, old_value, new_value) tuples.")
    assert PyTrace.signal_stats.__text_signature__ == "($self, name)"
    assert PyTrace.resolve.__doc__ is None
    assert PyTrace.resolve.__text_signature__ == "($self, scope_name, short_name)"
