"""Compiles a syntax tree into the engine's `PyExpr` tree for one trace.

Names are resolved and widths checked here, because only the trace knows them. The tree is
walked with an explicit stack, so no input can exhaust Python's recursion.
"""

from collections.abc import Callable

from wavesift._core import PyExpr, PyTrace
from wavesift.expression.errors import ExpressionError
from wavesift.expression.names import SignalNames, UnresolvedName
from wavesift.expression.syntax import (
    Binary,
    Call,
    Chain,
    Literal,
    Name,
    Node,
    Select,
    Shift,
    Unary,
    children,
)

_BINARY: dict[str, Callable[[PyExpr, PyExpr], PyExpr]] = {
    "==": PyExpr.eq_, "!=": PyExpr.neq, "<": PyExpr.lt_, "<=": PyExpr.lte, ">": PyExpr.gt_,
    ">=": PyExpr.gte, "-": PyExpr.sub}
_CHAIN: dict[str, Callable[[PyExpr, PyExpr], PyExpr]] = {
    "&&": PyExpr.and_, "||": PyExpr.or_, "&": PyExpr.bit_and, "|": PyExpr.bit_or,
    "^": PyExpr.bit_xor, "+": PyExpr.add}


def compile_tree(tree: Node, trace: PyTrace, scope: str, text: str) -> PyExpr:
    """The `PyExpr` for `tree`, parsed from `text`, with names resolved from `scope`."""
    return _Compiler(trace, scope, text).run(tree)


class _Compiler:
    def __init__(self, trace: PyTrace, scope: str, text: str) -> None:
        self.trace = trace
        self.names = SignalNames(trace, scope)
        self.text = text

    def run(self, tree: Node) -> PyExpr:
        done: dict[int, PyExpr] = {}
        stack: list[tuple[Node, bool]] = [(tree, False)]
        while stack:
            node, expanded = stack.pop()
            if expanded:
                operands = [done.pop(id(child)) for child in children(node)]
                done[id(node)] = self.build(node, operands)
            else:
                stack.append((node, True))
                stack.extend((child, False) for child in reversed(children(node)))
        return done[id(tree)]

    def full_name(self, node: Name) -> str:
        try:
            return self.names.resolve(node.text)
        except UnresolvedName as error:
            raise ExpressionError(error.reason, self.text, node.offset, error.hint) from None

    def build(self, node: Node, operands: list[PyExpr]) -> PyExpr:
        if isinstance(node, Name):
            signal_id = self.trace.signal_id(self.full_name(node))
            assert signal_id is not None
            return PyExpr.signal(signal_id)
        if isinstance(node, Literal):
            if isinstance(node.value, str):
                return PyExpr.const_str(node.value)
            if isinstance(node.value, float):
                return PyExpr.const_float(node.value)
            return PyExpr.const_int(node.value)
        if isinstance(node, Unary):
            (operand,) = operands
            return operand.not_() if node.op == "!" else PyExpr.const_int(0).sub(operand)
        if isinstance(node, Binary):
            return _BINARY[node.op](*operands)
        if isinstance(node, Chain):
            return _balanced(operands, _CHAIN[node.op])
        if isinstance(node, Select):
            self.check_select(node)
            return operands[0].slice(node.high, node.low)
        if isinstance(node, Shift):
            return operands[0].rel_eval(node.steps)
        return _call(node, operands)

    def check_select(self, node: Select) -> None:
        """A select beyond a signal's width would quietly read 0: refuse it.

        A width of 1 is not trusted: some closed-format readers give every signal width 1
        while holding wider values.
        """
        if not isinstance(node.operand, Name):
            return
        full = self.full_name(node.operand)
        width = self.trace.signal_width(full)
        if width > 1 and node.high >= width:
            raise ExpressionError(f"bit {node.high} is outside {full}, which is {width} bits "
                                  "wide", self.text, node.offset)


def _balanced(items: list[PyExpr], combine: Callable[[PyExpr, PyExpr], PyExpr]) -> PyExpr:
    """Combines `items` pairwise, so a chain of n operands is log2(n) levels deep."""
    while len(items) > 1:
        paired = [combine(items[i], items[i + 1]) for i in range(0, len(items) - 1, 2)]
        items = paired + items[len(items) - len(items) % 2:]
    return items[0]


def _has_previous() -> PyExpr:
    """True at every index that has a previous one (false at index 0)."""
    return PyExpr.always_true().rel_eval(-1)


def _call(node: Call, operands: list[PyExpr]) -> PyExpr:
    x = operands[0]
    name = node.name
    if name == "$signed":
        return x.signed()
    if name == "$isx":
        return x.is_x()
    if name == "$isunknown":
        return x.is_x().or_(x.is_z())
    if name == "$isz":
        return x.is_z()
    if name == "$past":
        steps = node.args[1] if len(node.args) == 2 else Literal(1, node.offset)
        assert isinstance(steps, Literal) and isinstance(steps.value, int)
        return x.rel_eval(-steps.value)
    if name in ("$rose", "$fell"):
        now, before = (1, 0) if name == "$rose" else (0, 1)
        bit = x.slice(0, 0)
        return bit.eq_(PyExpr.const_int(now)).and_(
            bit.rel_eval(-1).eq_(PyExpr.const_int(before)))
    previous = x.rel_eval(-1)
    assert name in ("$changed", "$stable")
    compared = x.neq(previous) if name == "$changed" else x.eq_(previous)
    return compared.and_(_has_previous())
