"""The expression language: SystemVerilog-like text compiled to `PyExpr` trees."""

from wavesift._core import PyExpr, PyTrace
from wavesift.expression.compile import compile_tree
from wavesift.expression.errors import ExpressionError
from wavesift.expression.parser import parse

__all__ = ["ExpressionError", "compile_expression", "parse"]


def compile_expression(trace: PyTrace, text: str, scope: str = "") -> PyExpr:
    """Parses `text` and builds its `PyExpr` for `trace`, names resolved from `scope`."""
    return compile_tree(parse(text), trace, scope, text)
