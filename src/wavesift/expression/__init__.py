"""The expression language: SystemVerilog-like text compiled to `PyExpr` trees.

Text goes through `lexer` (tokens, literal checks), `parser` (syntax tree, no trace needed)
and `compile` (names resolved, engine tree built). docs/guide.md gives the syntax and how
each construct maps onto the engine's rules.
"""

from wavesift._core import PyExpr, PyTrace
from wavesift.expression.compile import compile_tree
from wavesift.expression.errors import ExpressionError
from wavesift.expression.parser import parse

__all__ = ["ExpressionError", "compile_expression", "parse"]


def compile_expression(trace: PyTrace, text: str, scope: str = "") -> PyExpr:
    """Parses `text` and builds its `PyExpr` for `trace`, names resolved from `scope`."""
    return compile_tree(parse(text), trace, scope, text)
