"""The syntax tree of an expression, before any signal name is looked up.

Chains of one associative operator (`a && b && c`) are kept as one n-ary node so that the
engine receives a balanced tree rather than one as deep as the chain is long.
"""

from dataclasses import dataclass


@dataclass(frozen=True)
class Name:
    text: str
    offset: int


@dataclass(frozen=True)
class Literal:
    value: int | float | str
    offset: int


@dataclass(frozen=True)
class Unary:
    op: str  # "!" or "-"
    operand: "Node"
    offset: int


@dataclass(frozen=True)
class Binary:
    op: str
    left: "Node"
    right: "Node"
    offset: int


@dataclass(frozen=True)
class Chain:
    op: str  # one of ASSOCIATIVE
    operands: tuple["Node", ...]
    offset: int


@dataclass(frozen=True)
class Select:
    """`x[high:low]`, or `x[bit]` with high == low."""
    operand: "Node"
    high: int
    low: int
    offset: int


@dataclass(frozen=True)
class Shift:
    """`x@offset`: x at another time step."""
    operand: "Node"
    steps: int
    offset: int


@dataclass(frozen=True)
class Call:
    name: str  # with its "$"
    args: tuple["Node", ...]
    offset: int


Node = Name | Literal | Unary | Binary | Chain | Select | Shift | Call

# The engine evaluates both operands of every node and its integer operations wrap, so
# these operators can be regrouped freely.
ASSOCIATIVE = frozenset({"&&", "||", "&", "|", "^", "+"})


def children(node: Node) -> tuple[Node, ...]:
    """The direct sub-trees of `node`, left to right."""
    if isinstance(node, (Unary, Select, Shift)):
        return (node.operand,)
    if isinstance(node, Binary):
        return (node.left, node.right)
    if isinstance(node, Chain):
        return node.operands
    if isinstance(node, Call):
        return node.args
    return ()
