"""wavesift: fast waveform-trace analysis (VCD, FST and more) with a C++ core."""

from wavesift._core import PyExpr, PyTrace

__all__ = ["PyTrace", "PyExpr"]
