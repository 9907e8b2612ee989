"""Parses expression text into a syntax tree, with C precedence and SystemVerilog forms.

Nothing here looks at a trace: names stay text until `compile` resolves them, so every
purely syntactic fault is reported with its position before any lookup is made.
"""

import difflib

from wavesift.expression.errors import ExpressionError
from wavesift.expression.lexer import Token, tokenize
from wavesift.expression.syntax import (
    ASSOCIATIVE,
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

# Binding strength of the binary operators, loosest first (C and SystemVerilog order).
PRECEDENCE = {"||": 1, "&&": 2, "|": 3, "^": 4, "&": 5, "==": 6, "!=": 6,
              "<": 7, "<=": 7, ">": 7, ">=": 7, "+": 8, "-": 8}

# System functions: name -> (fewest, most) arguments.
FUNCTIONS = {"$signed": (1, 1), "$isunknown": (1, 1), "$isx": (1, 1), "$isz": (1, 1),
             "$past": (1, 2), "$rose": (1, 1), "$fell": (1, 1), "$changed": (1, 1),
             "$stable": (1, 1)}

# Bounds that keep the parser's recursion, and the tree handed to the engine, shallow.
MAX_NESTING = 64
MAX_DEPTH = 256

_U32_MAX = (1 << 32) - 1
# Larger step counts could overflow the engine's signed index sum; no trace is that long.
MAX_STEPS = 1 << 62


def parse(text: str) -> Node:
    """The syntax tree of `text`; `ExpressionError` (a `ValueError`) when malformed."""
    if not isinstance(text, str):
        raise TypeError(f"expression must be a str, not {type(text).__name__}")
    tree = _Parser(text).parse()
    _check_depth(tree, text)
    return tree


class _Parser:
    def __init__(self, text: str) -> None:
        self.text = text
        self.tokens = tokenize(text)
        self.pos = 0
        self.nesting = 0

    def parse(self) -> Node:
        if self.peek.kind == "end":
            raise self.error("empty expression", self.peek)
        node = self.expression()
        rest = self.peek
        if rest.kind != "end":
            raise self.error(f"unexpected {_describe(rest)}", rest)
        return node

    @property
    def peek(self) -> Token:
        return self.tokens[self.pos]

    def take(self) -> Token:
        token = self.tokens[self.pos]
        self.pos += 1
        return token

    def error(self, reason: str, token: Token) -> ExpressionError:
        return ExpressionError(reason, self.text, token.offset)

    def expect(self, op: str, context: str) -> Token:
        if self.peek.kind == "op" and self.peek.text == op:
            return self.take()
        raise self.error(f"expected '{op}' {context}, found {_describe(self.peek)}", self.peek)

    def expression(self) -> Node:
        return self.binary(1)

    def binary(self, min_precedence: int) -> Node:
        left = self.unary()
        while self.peek.kind == "op" and PRECEDENCE.get(self.peek.text, 0) >= min_precedence:
            op_token = self.take()
            op = op_token.text
            right = self.binary(PRECEDENCE[op] + 1)
            if op in ASSOCIATIVE:
                operands = left.operands if isinstance(left, Chain) and left.op == op else (left,)
                left = Chain(op, operands + (right,), op_token.offset)
            else:
                left = Binary(op, left, right, op_token.offset)
        return left

    def unary(self) -> Node:
        token = self.peek
        self.nesting += 1
        if self.nesting > MAX_NESTING:
            raise self.error(f"expression nests more than {MAX_NESTING} levels deep", token)
        try:
            if token.kind == "op" and token.text in ("!", "-", "+"):
                self.take()
                operand = self.unary()
                if token.text == "+":
                    return operand
                if token.text == "-" and isinstance(operand, Literal) \
                        and isinstance(operand.value, float):
                    return Literal(-operand.value, token.offset)
                return Unary(token.text, operand, token.offset)
            return self.postfix()
        finally:
            self.nesting -= 1

    def postfix(self) -> Node:
        node = self.primary()
        while self.peek.kind == "op" and self.peek.text in ("[", "@"):
            token = self.take()
            if token.text == "[":
                high = self.index("a bit number")
                low = high
                if self.peek.kind == "op" and self.peek.text == ":":
                    self.take()
                    low = self.index("a bit number")
                self.expect("]", "to close the select")
                if high < low:
                    raise self.error(f"part select [{high}:{low}] has its high bit below its low "
                                     "bit", token)
                node = Select(node, high, low, token.offset)
            else:
                node = Shift(node, self.steps(), token.offset)
        return node

    def index(self, what: str) -> int:
        token = self.peek
        if token.kind != "int":
            raise self.error(f"expected {what} (an integer literal), found {_describe(token)}",
                             token)
        self.take()
        assert isinstance(token.value, int)
        if token.value > _U32_MAX:
            raise self.error(f"bit number {token.value} is too large", token)
        return token.value

    def steps(self) -> int:
        """The signed step count after '@'."""
        sign = 1
        if self.peek.kind == "op" and self.peek.text in ("-", "+"):
            sign = -1 if self.take().text == "-" else 1
        token = self.peek
        if token.kind != "int":
            raise self.error(f"expected a step count after '@' (such as @-1), found "
                             f"{_describe(token)}", token)
        self.take()
        assert isinstance(token.value, int)
        if token.value > MAX_STEPS:
            raise self.error(f"step count is larger than {MAX_STEPS}", token)
        return sign * token.value

    def primary(self) -> Node:
        token = self.peek
        if token.kind == "name":
            self.take()
            assert isinstance(token.value, str)
            return Name(token.value, token.offset)
        if token.kind in ("int", "real", "string"):
            self.take()
            assert token.value is not None
            return Literal(token.value, token.offset)
        if token.kind == "system":
            return self.call()
        if token.kind == "op" and token.text == "(":
            self.take()
            node = self.expression()
            self.expect(")", "to close the '(' at column " + str(token.offset + 1))
            return node
        raise self.error(f"expected a signal name, a number or '(', found {_describe(token)}",
                         token)

    def call(self) -> Node:
        token = self.take()
        name = token.text
        if name not in FUNCTIONS:
            close = difflib.get_close_matches(name, FUNCTIONS, n=1)
            hint = f"did you mean {close[0]}?" if close else \
                f"known: {', '.join(sorted(FUNCTIONS))}"
            raise ExpressionError(f"unknown function {name}", self.text, token.offset, hint)
        self.expect("(", f"after {name}")
        args = [self.expression()]
        while self.peek.kind == "op" and self.peek.text == ",":
            self.take()
            args.append(self.expression())
        self.expect(")", f"to close the arguments of {name}")
        fewest, most = FUNCTIONS[name]
        if not fewest <= len(args) <= most:
            wanted = str(fewest) if fewest == most else f"{fewest} or {most}"
            raise self.error(f"{name} takes {wanted} argument{'s' if most > 1 else ''}, "
                             f"got {len(args)}", token)
        if name == "$past" and len(args) == 2:
            steps = args[1]
            if not (isinstance(steps, Literal) and isinstance(steps.value, int)
                    and 1 <= steps.value <= MAX_STEPS):
                raise ExpressionError("the step count of $past must be an integer literal from "
                                      f"1 to {MAX_STEPS}", self.text, steps.offset)
        return Call(name, tuple(args), token.offset)


def _describe(token: Token) -> str:
    return "the end of the expression" if token.kind == "end" else f"'{token.text}'"


def _check_depth(tree: Node, text: str) -> None:
    """Refuses trees deeper than MAX_DEPTH (walked without recursion)."""
    stack = [(tree, 1)]
    while stack:
        node, depth = stack.pop()
        if depth > MAX_DEPTH:
            raise ExpressionError(f"expression nests more than {MAX_DEPTH} levels deep", text,
                                  node.offset)
        stack.extend((child, depth + 1) for child in children(node))
