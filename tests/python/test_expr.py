import pytest

from wavesift import PyExpr, PyTrace

E = PyExpr


@pytest.fixture
def trace():
    return PyTrace.from_vcd_string(
        "$var wire 8 ! a $end\n$var wire 4 # x $end\n"
        "#0\nb1 !\nb1x !x\nb1x #\n#1\nb101 !\n#2\nb10101011 !\nb0 #\n")


def test_builders_evaluate(trace):
    a = E.signal(0)
    cases = [
        (a.eq_(E.const_int(5)), [0, 1, 0]),
        (a.neq(E.const_int(5)), [1, 0, 1]),
        (a.gt_(E.const_int(1)), [0, 1, 1]),
        (a.lt_(E.const_int(5)), [1, 0, 0]),
        (a.gte(E.const_int(5)), [0, 1, 1]),
        (a.lte(E.const_int(5)), [1, 1, 0]),
        (a.add(E.const_int(1)), [2, 6, 172]),
        (a.sub(E.const_int(2)), [2**64 - 1, 3, 169]),
        (a.bit_and(E.const_int(4)), [0, 4, 0]),
        (a.bit_or(E.const_int(2)), [3, 7, 171]),
        (a.bit_xor(E.const_int(1)), [0, 4, 170]),
        (a.slice(7, 4), [0, 0, 0xA]),
        (a.slice(low=4, high=7), [0, 0, 0xA]),
        (a.signed(), [1, 5, 0xAB]),
        (a.rel_eval(-1), [None, 1, 5]),
        (a.not_(), [0, 0, 0]),
        (E.signal(1).is_x(), [1, 1, 0]),
        (E.signal(1).is_z(), [0, 0, 0]),
        (E.signal(1).gt_(E.const_int(0)), [None, None, 0]),
        (E.signal(1), [None, None, 0]),
        (E.const_float(3), [3.0] * 3),
        (E.const_str("12").eq_(E.const_int(12)), [1] * 3),
        (E.always_true(), [1] * 3),
        (a.and_(a), [1, 1, 1]),
        (E.signal(9).or_(E.signal(9)), [0] * 3),
    ]
    for expr, expected in cases:
        got = [trace.eval_expr(expr, i) for i in range(3)]
        assert got == expected
        assert [type(v) for v in got] == [type(v) for v in expected]
        assert trace.find(expr) == [i for i in range(3) if trace.eval_expr_bool(expr, i)]


def test_eval_expr_bool_and_past_the_end(trace):
    assert trace.eval_expr_bool(E.signal(1), 0) is True  # the 1 bit of "1x"
    assert trace.eval_expr(E.signal(1), 0) is None
    assert trace.eval_expr(E.signal(0), 99) is None
    assert trace.eval_expr_bool(E.signal(0).eq_(E.const_int(5)), 1) is True


def test_operands_stay_usable():
    e = E.signal(1)
    n = e.not_()
    both = e.and_(e)
    t = PyTrace.from_vcd_string("$var wire 1 ! a $end\n$var wire 1 # b $end\n#0\n1#\n")
    assert t.eval_expr(e, 0) == 1 and t.eval_expr(n, 0) == 0 and t.eval_expr(both, 0) == 1
    assert e == e and e != E.signal(1) and hash(e) == hash(e)


@pytest.mark.parametrize("call, exc, text", [
    (lambda: E.signal(-1), OverflowError, None),
    (lambda: E.signal(2**64), OverflowError, None),
    (lambda: E.const_int(-1), OverflowError, None),
    (lambda: E.const_int(2**64), OverflowError, None),
    (lambda: E.const_float("x"), TypeError, "argument 'val': must be real number, not str"),
    (lambda: E.const_str(1), TypeError, "argument 'val': 'int' object is not an instance of 'str'"),
    (lambda: E.signal(0).slice(2**32, 0), OverflowError,
     "out of range integral type conversion attempted"),
    (lambda: E.signal(0).slice(0, -1), OverflowError,
     "out of range integral type conversion attempted"),
    (lambda: E.signal(0).rel_eval(2**63), OverflowError, None),
    (lambda: E.signal(0).and_(5), TypeError,
     "argument 'other': 'int' object is not an instance of 'PyExpr'"),
    (lambda: E.signal(0).and_(None), TypeError,
     "argument 'other': 'None' is not an instance of 'PyExpr'"),
    (lambda: E.signal(0).eq_(), TypeError,
     "PyExpr.eq_() missing 1 required positional argument: 'other'"),
    (lambda: E.always_true(1), TypeError, None),
    (lambda: E.signal(0).not_(1), TypeError, None),
    (lambda: E.signal(0) + E.signal(1), TypeError, None),
    (lambda: E.signal(0) < E.signal(1), TypeError, None),
    (lambda: E(), TypeError, None),
])
def test_builder_errors(call, exc, text):
    with pytest.raises(exc) as info:
        call()
    assert type(info.value) is exc
    if text:
        assert str(info.value) == text


def test_const_values():
    t = PyTrace.from_vcd_string("")

    class S(str):
        pass

    assert t.eval_expr(E.const_str(S("ab")), 0) == "ab"
    assert type(t.eval_expr(E.const_str(S("ab")), 0)) is str
    assert t.eval_expr(E.const_int(2**64 - 1), 0) == 2**64 - 1
    assert t.eval_expr(E.signal(2**64 - 1), 0) is None
    assert t.eval_expr(E.signal(0).slice(3, 5), 0) is None


def test_deep_and_exploding_trees():
    t = PyTrace.from_vcd_string("$var wire 1 ! a $end\n#0\n1!\n#1\n0!\n")
    e = E.signal(0)
    for _ in range(100_000):
        e = e.not_()
    assert t.find(e) == [0] and t.parallel_count(e) == 1
    del e
    e = E.signal(0).eq_(E.const_int(1))
    for _ in range(60):
        e = e.and_(e)
    assert t.parallel_find(e) == [0]
