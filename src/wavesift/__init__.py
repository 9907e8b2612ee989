"""wavesift: fast waveform-trace analysis (VCD, FST and more) with a C++ core.

`load` opens a trace of any supported format; `find`, `count` and `find_times` search it
with SystemVerilog-like expressions, which `expr` compiles into the engine's `PyExpr`;
`plot` draws a timing diagram around an index and `to_numpy` hands a signal to NumPy.
"""

from wavesift._core import PyExpr, PyTrace
from wavesift.export import to_numpy
from wavesift.expression import ExpressionError
from wavesift.loading import load
from wavesift.plot import plot
from wavesift.search import count, expr, find, find_times

__all__ = [
           "ExpressionError",
           "PyExpr",
           "PyTrace",
           "count",
           "expr",
           "find",
           "find_times",
           "load",
           "plot",
           "to_numpy",
]
