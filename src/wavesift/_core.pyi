"""Type information for the native engine module `wavesift._core`.

Parameter names are those the methods accept as keywords. Integers are unsigned 64-bit
(indices, ids, constants) unless a method says otherwise; unknown names and indices past
the end never raise.
"""

from collections.abc import Sequence
from typing import Final, TypeAlias, final

Value: TypeAlias = int | float | str | None
"""A value as Python sees it: int (the low 64 bits of a vector), float (a real), str, or
None (no value, or a vector with X or Z bits)."""

__all__: Final[list[str]] = ["PyTrace", "PyExpr"]  # noqa: RUF022  (the module's own order)

@final
class PyTrace:
    """A loaded trace, read-only; made only by the `from_*` loaders."""

    @staticmethod
    def from_vcd(path: str) -> PyTrace:
        """Load a VCD file. Lenient: never fails on content. `ValueError` if unreadable."""
    @staticmethod
    def from_vcd_string(data: str) -> PyTrace:
        """Load VCD text held in memory."""
    @staticmethod
    def from_fst(path: str) -> PyTrace:
        """Load an FST file (every block kind and compression). `ValueError` on failure."""
    @staticmethod
    def from_fsdb(path: str) -> PyTrace:
        """Load an FSDB file, best effort: names, scopes, widths, some values."""
    @staticmethod
    def from_shm(path: str) -> PyTrace:
        """Load an SHM database: a directory, or its `.dsn` or `.trn` file."""
    @staticmethod
    def from_vpd(path: str) -> PyTrace:
        """Load a VPD file, best effort: signal names and scopes only."""
    @staticmethod
    def from_wlf(path: str) -> PyTrace:
        """Load a WLF file, best effort: names, scopes, one-byte values per step."""
    def signal_names(self) -> list[str]:
        """Full dotted names of every signal, in the trace's order."""
    def scopes(self) -> list[str]:
        """Full dotted names of every scope, in the trace's order."""
    def max_index(self) -> int:
        """The last time-step index (0 for a trace without steps)."""
    def timestamp(self, index: int) -> int:
        """The time of `index`, in the file's raw unit."""
    def signal_value(self, name: str, index: int) -> Value:
        """The value of `name` at `index`; None when absent or four-state."""
    def signal_value_raw(self, name: str, index: int) -> int:
        """The value of `name` at `index` as a number; 0 when it has none."""
    def signal_width(self, name: str) -> int:
        """The width of `name` in bits (0 for an unknown name)."""
    def signal_id(self, name: str) -> int | None:
        """The numeric id of `name` for `PyExpr.signal`, or None if unknown."""
    def signal_values_range(self, name: str, start: int, end: int) -> list[Value]:
        """The values of `name` at `start` up to but excluding `end`."""
    def find(self, expr: PyExpr) -> list[int]:
        """Every index where `expr` holds, ascending (one thread)."""
    def parallel_find(self, expr: PyExpr) -> list[int]:
        """Every index where `expr` holds, ascending, searched on all cores."""
    def parallel_count(self, expr: PyExpr) -> int:
        """How many indices satisfy `expr`, counted on all cores."""
    def eval_expr(self, expr: PyExpr, index: int) -> Value:
        """The value of `expr` at `index`."""
    def eval_expr_bool(self, expr: PyExpr, index: int) -> bool:
        """Whether `expr` holds at `index`."""
    def find_with_values(self, expr: PyExpr,
                         signal_names: Sequence[str]) -> list[tuple[int, list[Value]]]:
        """Every index where `expr` holds, with the values of `signal_names` there."""
    def changed_at(self, index: int) -> list[tuple[str, Value, Value]]:
        """Signals that changed at `index`: (name, old, new) tuples."""
    def changed_at_scope(self, index: int, scope: str) -> list[tuple[str, Value, Value]]:
        """Signals inside `scope` that changed at `index`: (name, old, new) tuples."""
    def transitions(self, name: str) -> list[tuple[int, Value, Value]]:
        """Every change of `name`: (index, old, new) tuples."""
    def snapshot(self, index: int) -> dict[str, Value]:
        """Every signal's value at `index`, keyed by full name."""
    def snapshot_scope(self, index: int, scope: str) -> dict[str, Value]:
        """The values at `index` of the signals inside `scope`, keyed relative to it."""
    def signal_stats(self, name: str) -> tuple[int, int, int, int, int, int, int]:
        """(min, max, sum, count, transitions, num_x, num_z) of `name`."""
    def resolve(self, scope_name: str, short_name: str) -> str | None:
        """The full name `short_name` designates from `scope_name`, or None."""
    def local_scopes(self, scope_name: str) -> list[str]:
        """The direct child scopes of `scope_name` ("" for the top level)."""
    def local_signals(self, scope_name: str) -> list[str]:
        """The signals directly inside `scope_name` ("" for the top level)."""
    def find_signals_glob(self, pattern: str) -> list[str]:
        """Signal names matching the glob `pattern` (`*` and `?`) as a whole."""
    def find_signals_containing(self, substring: str) -> list[str]:
        """Signal names containing `substring`, ignoring case."""
    def bit_slice_val(self, val: int, high: int, low: int) -> int:
        """Bits `high` down to `low` of `val` (0 when high < low or low >= 64)."""
    def sign_extend_val(self, val: int, width: int) -> int:
        """`val` read as a signed number of `width` bits (1 to 63; else unchanged)."""

@final
class PyExpr:
    """An expression tree over a trace's signals, built bottom-up and never changed.

    Python operators are not defined on it: combine expressions with the methods below.
    """

    @staticmethod
    def signal(id: int) -> PyExpr:
        """The signal with numeric `id` (from `PyTrace.signal_id`)."""
    @staticmethod
    def const_int(val: int) -> PyExpr:
        """An integer constant, 0 to 2**64 - 1."""
    @staticmethod
    def const_float(val: float) -> PyExpr:
        """A real constant."""
    @staticmethod
    def const_str(val: str) -> PyExpr:
        """A text constant."""
    @staticmethod
    def always_true() -> PyExpr:
        """The constant 1, true at every index."""
    def rel_eval(self, offset: int) -> PyExpr:
        """This expression `offset` steps away (-1: one step earlier); absent outside the trace."""
    def not_(self) -> PyExpr:
        """1 when this is not true (absent counts as not true), else 0."""
    def and_(self, other: PyExpr) -> PyExpr:
        """1 when both are true, else 0."""
    def or_(self, other: PyExpr) -> PyExpr:
        """1 when either is true, else 0."""
    def eq_(self, other: PyExpr) -> PyExpr:
        """1 when equal values, or equal numbers across kinds; two absent values are equal."""
    def neq(self, other: PyExpr) -> PyExpr:
        """The negation of `eq_`."""
    def gt_(self, other: PyExpr) -> PyExpr:
        """Unsigned 64-bit `self > other`; absent when either has no number."""
    def lt_(self, other: PyExpr) -> PyExpr:
        """Unsigned 64-bit `self < other`; absent when either has no number."""
    def gte(self, other: PyExpr) -> PyExpr:
        """Unsigned 64-bit `self >= other`; absent when either has no number."""
    def lte(self, other: PyExpr) -> PyExpr:
        """Unsigned 64-bit `self <= other`; absent when either has no number."""
    def add(self, other: PyExpr) -> PyExpr:
        """`self + other` modulo 2**64; absent when either has no number."""
    def sub(self, other: PyExpr) -> PyExpr:
        """`self - other` modulo 2**64; absent when either has no number."""
    def bit_and(self, other: PyExpr) -> PyExpr:
        """Bitwise and of the two numbers."""
    def bit_or(self, other: PyExpr) -> PyExpr:
        """Bitwise or of the two numbers."""
    def bit_xor(self, other: PyExpr) -> PyExpr:
        """Bitwise exclusive or of the two numbers."""
    def slice(self, high: int, low: int) -> PyExpr:
        """Bits `high` down to `low` of the number (bit 0 least significant)."""
    def signed(self) -> PyExpr:
        """The number unchanged (no sign extension: the node has no width)."""
    def is_x(self) -> PyExpr:
        """1 when the value is absent or has an X bit, else 0."""
    def is_z(self) -> PyExpr:
        """1 when the value has a Z bit, else 0."""
