"""Hands a signal's changes to NumPy (the optional dependency: `pip install wavesift[numpy]`).

A signal is exported as its changes, not sampled at every index: a trace with millions of
steps and a signal that changes ten times gives arrays of ten entries.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, NamedTuple

from wavesift._core import PyExpr, PyTrace

if TYPE_CHECKING:
    import numpy as np

__all__ = ["SignalArrays", "to_numpy"]

_NAN = float("nan")  # a real with no value


class SignalArrays(NamedTuple):
    """The changes of one signal, as parallel arrays of the same length.

    `indices` (uint64): the index of each change, the first being the signal's first value.
    `times` (uint64): the timestamp of each of those indices, in the file's raw unit.
    `values`: uint64 for numeric signals (the low 64 bits of wider vectors), float64 for
    reals, object (Python str or None) for strings. Where a step has no number (no value, or
    X/Z bits) the entry is 0 (NaN for reals, None for strings) and `known` is False.
    `known` (bool): whether the value is a number (or text) rather than absent or X/Z.
    `z` (bool): whether the value has Z bits (an X value or no value has `known` and `z`
    both False).
    """

    indices: np.ndarray
    times: np.ndarray
    values: np.ndarray
    known: np.ndarray
    z: np.ndarray


def resolve_name(trace: PyTrace, name: str) -> str:
    """The full signal name `name` designates; `KeyError` when none or several."""
    if trace.signal_id(name) is not None:
        return name
    from wavesift.expression.names import SignalNames, UnresolvedName

    try:
        return SignalNames(trace, "").resolve(name)
    except UnresolvedName as error:
        hint = f"; {error.hint}" if error.hint else ""
        raise KeyError(f"{error.reason}{hint}") from None


def to_numpy(trace: PyTrace, name: str) -> SignalArrays:
    """The changes of signal `name` as NumPy arrays; see `SignalArrays`.

    `name` is a full name, or one that designates a single signal as in expressions (`pc`
    for `top.cpu.pc`, or without its bit range, `top.pc` for `top.pc [15:0]`). Raises
    `KeyError` for an unknown or ambiguous name and `ImportError` without NumPy.
    """
    try:
        import numpy as np
    except ImportError:
        raise ImportError("wavesift.to_numpy needs NumPy: pip install wavesift[numpy]") \
            from None
    name = resolve_name(trace, name)
    sid = trace.signal_id(name)
    assert sid is not None
    changes = [(index, new) for index, _, new in trace.transitions(name)]
    # The value held from index 0 is not a transition, but it is where the signal starts.
    if not changes or changes[0][0] != 0:
        changes.insert(0, (0, trace.signal_value(name, 0)))
    is_z = PyExpr.signal(sid).is_z()
    indices = np.fromiter((i for i, _ in changes), dtype=np.uint64, count=len(changes))
    times = np.fromiter((trace.timestamp(i) for i, _ in changes), dtype=np.uint64,
                        count=len(changes))
    known = np.fromiter((v is not None for _, v in changes), dtype=bool, count=len(changes))
    z = np.fromiter((v is None and bool(trace.eval_expr(is_z, i)) for i, v in changes),
                    dtype=bool, count=len(changes))
    raw = [v for _, v in changes]
    values: Any
    if any(isinstance(v, str) for v in raw):
        values = np.empty(len(raw), dtype=object)
        values[:] = raw
    elif any(isinstance(v, float) for v in raw):
        values = np.array([_NAN if v is None else float(v) for v in raw], dtype=np.float64)
    else:
        values = np.array([0 if v is None else v for v in raw], dtype=np.uint64)
    return SignalArrays(indices, times, values, known, z)

