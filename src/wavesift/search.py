"""Searches written as expression text: the short path from a question to its answer."""

from wavesift._core import PyExpr, PyTrace
from wavesift.expression import compile_expression

Condition = str | PyExpr


def expr(trace: PyTrace, text: str, scope: str = "") -> PyExpr:
    """Compiles `text` into a `PyExpr` for `trace`.

    Names are full (`top.cpu.valid`) or relative to `scope` (`valid` with scope="top.cpu");
    a short name may also be the last components of exactly one signal in the scope.
    Raises `ValueError` naming the column for malformed text and unknown names.
    """
    if not isinstance(scope, str):
        raise TypeError(f"scope must be a str, not {type(scope).__name__}")
    return compile_expression(trace, text, scope)


def _compiled(trace: PyTrace, condition: Condition, scope: str) -> PyExpr:
    return condition if isinstance(condition, PyExpr) else expr(trace, condition, scope)


def find(trace: PyTrace, condition: Condition, scope: str = "") -> list[int]:
    """Every index (time step) where `condition`, text or `PyExpr`, holds; ascending."""
    return trace.parallel_find(_compiled(trace, condition, scope))


def count(trace: PyTrace, condition: Condition, scope: str = "") -> int:
    """How many indices satisfy `condition`, without building the list of them."""
    return trace.parallel_count(_compiled(trace, condition, scope))


def find_times(trace: PyTrace, condition: Condition, scope: str = "") -> list[int]:
    """The timestamps (the file's raw time units) of the indices where `condition` holds."""
    return [trace.timestamp(i) for i in find(trace, condition, scope)]
