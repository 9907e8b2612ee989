import os
import random
import sys

import pytest

from wavesift import PyExpr as E
from wavesift import PyTrace


def random_vcd(rng, steps, signals=3):
    codes = "!#$%"[:signals]
    lines = [f"$var wire 4 {c} s{k} $end" for k, c in enumerate(codes)]
    for t in range(steps):
        lines.append(f"#{t}")
        for c in codes:
            if rng.random() < 0.3:
                lines.append(rng.choice([f"b{rng.getrandbits(4):b} {c}", f"bx1 {c}", f"x{c}"]))
    return PyTrace.from_vcd_string("\n".join(lines) + "\n")


def random_expr(rng, depth):
    if depth == 0 or rng.random() < 0.3:
        return rng.choice([lambda: E.signal(rng.randrange(4)), lambda: E.const_int(rng.randrange(5)),
                           E.always_true])()
    pick = rng.randrange(6)
    a = random_expr(rng, depth - 1)
    if pick == 0:
        return a.rel_eval(rng.randrange(-3, 4))
    if pick == 1:
        return a.not_()
    op = rng.choice(["and_", "or_", "eq_", "neq", "gt_", "lt_", "add", "bit_xor"])
    return getattr(a, op)(random_expr(rng, depth - 1))


def test_searches_agree_with_eval():
    rng = random.Random(5)
    for _ in range(40):
        t = random_vcd(rng, rng.randrange(0, 300))
        for _ in range(5):
            e = random_expr(rng, 3)
            expected = [i for i in range(t.max_index() + 1) if t.eval_expr_bool(e, i)]
            assert t.find(e) == expected
            assert t.parallel_find(e) == expected
            assert t.parallel_count(e) == len(expected)
            got = t.find_with_values(e, ["s0", "nope", "s2"])
            assert [i for i, _ in got] == expected
            assert all(v == [t.signal_value("s0", i), None, t.signal_value("s2", i)]
                       for i, v in got)


def test_find_with_values_edges():
    empty = PyTrace.from_vcd_string("")
    assert empty.find(E.always_true()) == [0]
    assert empty.find_with_values(E.always_true(), ["a", "b"]) == [(0, [None, None])]
    t = PyTrace.from_vcd_string("$var wire 1 ! a $end\n#0\n1!\n#1\n0!\n#2\n1!\n")
    assert t.find_with_values(E.signal(0), []) == [(0, []), (2, [])]
    assert t.find_with_values(E.signal(0), ("a",)) == [(0, [1]), (2, [1])]
    with pytest.raises(TypeError) as info:
        t.find_with_values(E.signal(0), "a")
    assert str(info.value) == "argument 'signal_names': Can't extract `str` to `Vec`"
    with pytest.raises(TypeError) as info:
        t.find_with_values(E.signal(0), 5)
    assert str(info.value) == "argument 'signal_names': 'int' object is not an instance of 'Sequence'"
    with pytest.raises(TypeError) as info:
        t.find_with_values(E.signal(0), ["a", 1])
    assert str(info.value) == "argument 'signal_names': 'int' object is not an instance of 'str'"


def test_search_argument_errors():
    t = PyTrace.from_vcd_string("")
    with pytest.raises(TypeError) as info:
        t.eval_expr("x", -1)  # expr is checked before index
    assert str(info.value) == "argument 'expr': 'str' object is not an instance of 'PyExpr'"
    with pytest.raises(OverflowError):
        t.eval_expr(E.always_true(), -1)
    with pytest.raises(TypeError):
        t.find(None)
    assert t.eval_expr(expr=E.always_true(), index=0) == 1


def test_doc_strings():
    assert PyTrace.find.__text_signature__ == "($self, expr)"
    assert PyTrace.find.__doc__ is None
    assert PyTrace.find_with_values.__doc__ == (
        "Find with value extraction in one pass: returns list of (index, [values]) tuples.\n"
        "Resolves signal IDs once upfront, uses signal_value_by_id in the hot loop.")
    assert "parallel" in PyTrace.parallel_find.__doc__
    assert E.slice.__text_signature__ == "($self, high, low)"
    assert E.signal.__text_signature__ == "(id)"


@pytest.mark.skipif(not hasattr(os, "fork"), reason="needs fork")
@pytest.mark.filterwarnings("ignore::DeprecationWarning")
def test_parallel_queries_after_fork():
    t = PyTrace.from_vcd_string("$var wire 1 ! a $end\n" + "".join(
        f"#{i}\n{i % 2}!\n" for i in range(100_000)))
    e = E.signal(0)
    assert t.parallel_count(e) == 50_000
    pid = os.fork()
    if pid == 0:
        ok = t.parallel_count(e) == 50_000 and len(t.parallel_find(e)) == 50_000
        os._exit(0 if ok else 1)
    _, status = os.waitpid(pid, 0)
    assert os.waitstatus_to_exitcode(status) == 0
