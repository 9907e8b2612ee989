"""wavesift: fast waveform-trace analysis (VCD, FST and more) with a C++ core.

`load` opens a trace of any supported format; `find`, `count` and `find_times` search it
with SystemVerilog-like expressions, which `expr` compiles into the engine's `PyExpr`.
"""

from wavesift._core import PyExpr, PyTrace
from wavesift.expression import ExpressionError
from wavesift.loading import load
from wavesift.search import count, expr, find, find_times

__all__ = ["PyTrace", "PyExpr", "ExpressionError", "load", "expr", "find", "count",
           "find_times"]
