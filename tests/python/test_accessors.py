import math

import pytest

from wavesift import PyTrace


def test_names_scopes_times(small):
    assert small.signal_names() == ["top.clk", "top.data", "top.r", "top.data_alias", "top.cpu.pc"]
    assert small.scopes() == ["top", "top.cpu"]
    assert small.max_index() == 2
    assert [small.timestamp(i) for i in range(4)] == [0, 5, 7, 0]
    names = small.signal_names()
    names.append("x")
    assert "x" not in small.signal_names()


def test_values(small):
    assert [small.signal_value("top.clk", i) for i in range(4)] == [1, 0, 0, None]
    # A four-state value reads as None, but its number when it has no X/Z bit.
    assert small.signal_value("top.data", 0) is None
    assert small.signal_value_raw("top.data", 0) == 0
    assert small.signal_value("top.data", 2) == 255
    assert small.signal_value("top.r", 2) == 1.5
    assert small.signal_values_range("top.data", 1, 5) == [5, 255, None, None]
    assert small.signal_values_range("top.data", 3, 3) == []
    assert small.signal_values_range("top.data", 5, 2) == []
    assert small.signal_value(index=1, name="top.clk") == small.signal_value("top.clk", 1)


def test_ids_and_widths(small):
    assert small.signal_id("top.data") == small.signal_id("top.data_alias") == 1
    assert small.signal_width("top.data") == 8
    assert small.signal_width("top.cpu.pc") == 4


@pytest.mark.parametrize("name", ["nope", "TOP.clk", "top.clk "])
def test_unknown_names(small, name):
    assert small.signal_value(name, 0) is None
    assert small.signal_value_raw(name, 0) == 0
    assert small.signal_id(name) is None
    assert small.signal_width(name) == 0
    assert small.signal_values_range(name, 2, 5) == [None, None, None]


def test_logic_without_xz_reads_raw():
    t = PyTrace.from_vcd_string("$var wire 3 ! v $end\n#0\nb1z1 !\n#1\nbx !\n")
    assert t.signal_value("v", 0) is None and t.signal_value_raw("v", 0) == 0
    assert t.signal_value_raw("v", 1) == 0


@pytest.mark.parametrize("call, exc, text", [
    (lambda t: t.signal_value("a"), TypeError,
     "PyTrace.signal_value() missing 1 required positional argument: 'index'"),
    (lambda t: t.signal_values_range(), TypeError,
     "PyTrace.signal_values_range() missing 3 required positional arguments: "
     "'name', 'start', and 'end'"),
    (lambda t: t.signal_value(), TypeError,
     "PyTrace.signal_value() missing 2 required positional arguments: 'name' and 'index'"),
    (lambda t: t.signal_value("a", 1, 2), TypeError,
     "PyTrace.signal_value() takes 2 positional arguments but 3 were given"),
    (lambda t: t.signal_id("a", 1), TypeError,
     "PyTrace.signal_id() takes 1 positional arguments but 2 were given"),
    (lambda t: t.signal_value("a", name="b"), TypeError,
     "PyTrace.signal_value() got multiple values for argument 'name'"),
    (lambda t: t.signal_value("a", 0, other=1), TypeError,
     "PyTrace.signal_value() got an unexpected keyword argument 'other'"),
    (lambda t: t.signal_value(1, 0), TypeError,
     "argument 'name': 'int' object is not an instance of 'str'"),
    (lambda t: t.signal_value(None, 0), TypeError,
     "argument 'name': 'NoneType' object is not an instance of 'str'"),
    (lambda t: t.signal_value("a", 1.0), TypeError,
     "argument 'index': 'float' object cannot be interpreted as an integer"),
    (lambda t: t.signal_value("a", -1), OverflowError, None),
    (lambda t: t.timestamp(2**64), OverflowError, None),
    (lambda t: PyTrace.from_vcd(123), TypeError,
     "argument 'path': 'int' object is not an instance of 'str'"),
    (lambda t: PyTrace.from_vcd_string(b"#0"), TypeError,
     "argument 'data': 'bytes' object is not an instance of 'str'"),
    (lambda t: t.max_index(1), TypeError, None),
])
def test_argument_errors(small, call, exc, text):
    with pytest.raises(exc) as info:
        call(small)
    assert type(info.value) is exc
    if text is not None:
        assert str(info.value) == text


def test_argument_type_error_keeps_cause(small):
    with pytest.raises(TypeError) as info:
        small.signal_value("a", "1")
    assert isinstance(info.value.__cause__, TypeError)
    assert str(info.value).startswith("argument 'index': ")


def test_str_subclass_and_index_like_arguments(small):
    class Name(str):
        pass

    class Idx:
        def __index__(self):
            return 2

    assert small.signal_value(Name("top.data"), Idx()) == 255
    assert small.signal_value("top.clk", True) == 0


def test_loading_errors(tmp_path):
    missing = tmp_path / "missing.vcd"
    with pytest.raises(ValueError) as info:
        PyTrace.from_vcd(str(missing))
    assert str(info.value) == f"Failed to open {missing}: No such file or directory"
    with pytest.raises(TypeError):
        PyTrace.from_vcd(missing)  # a Path is not a str
    with pytest.raises(UnicodeEncodeError):
        PyTrace.from_vcd("\udcff")


def test_from_vcd_file_and_static_on_instance(tmp_path, small):
    path = tmp_path / "t.vcd"
    path.write_bytes(b"$var wire 1 ! a $end\r\n#10\r\n1!\r\n#20\r\n\xff\xfe\r\n0!\r\n")
    t = small.from_vcd(str(path))
    assert t.signal_names() == ["a"]
    assert [t.timestamp(i) for i in range(2)] == [10, 20]
    assert t.signal_values_range("a", 0, 2) == [1, 0]


def test_empty_and_garbage_traces():
    t = PyTrace.from_vcd_string("")
    assert (t.signal_names(), t.scopes(), t.max_index(), t.timestamp(0)) == ([], [], 0, 0)
    t = PyTrace.from_vcd_string("\x00" * 100 + "#\x00\n$var\n" + "b" * 10000)
    assert t.max_index() == 0


def test_wide_and_real_values():
    t = PyTrace.from_vcd_string("$var real 64 ! r $end\n#0\nrnan !\n#1\nr-0.0 !\n")
    assert math.isnan(t.signal_value("r", 0))
    assert math.copysign(1, t.signal_value("r", 1)) == -1
