"""Splits expression text into tokens, close to SystemVerilog's lexical rules.

Literals are checked here, where their text and position are at hand: a sized literal must
fit its size, and nothing may be wider than the engine's 64-bit integer constants.
"""

import re
from dataclasses import dataclass
from typing import Literal

from wavesift.expression.errors import ExpressionError

Kind = Literal["name", "system", "int", "real", "string", "op", "end"]


@dataclass(frozen=True)
class Token:
    kind: Kind
    text: str  # the source text of the token
    offset: int  # 0-based position in the expression
    value: int | float | str | None = None  # literal value; a name's text without escapes


OPERATORS = ("&&", "||", "==", "!=", "<=", ">=", "!", "<", ">", "+", "-", "&", "|", "^",
             "(", ")", "[", "]", ":", ",", "@")

# Operators a SystemVerilog user may reach for that the engine cannot express.
UNSUPPORTED = {
    "===": "constants cannot hold X or Z, use '==' and $isunknown()",
    "!==": "constants cannot hold X or Z, use '!=' and $isunknown()",
    "<<": "use a part select such as x[7:4]",
    ">>": "use a part select such as x[7:4]",
    "**": "only + and - are arithmetic",
    "->": "write !a || b",
    "~": "there is no bitwise not, use x ^ 8'hFF with the width of x",
    "*": "only + and - are arithmetic",
    "/": "only + and - are arithmetic",
    "%": "only + and - are arithmetic",
    "?": "write (c && a) || (!c && b) for a condition",
    "=": "did you mean '=='?",
}

_IDENT = re.compile(r"[A-Za-z_][A-Za-z0-9_$]*(?:\.[A-Za-z_][A-Za-z0-9_$]*)*")
_SYSTEM = re.compile(r"\$[A-Za-z_][A-Za-z0-9_$]*")
_ESCAPED = re.compile(r"\\(\S+)")
_DECIMAL = re.compile(r"[0-9][0-9_]*")
_REAL = re.compile(r"[0-9][0-9_]*(?:\.[0-9][0-9_]*(?:[eE][+-]?[0-9]+)?|[eE][+-]?[0-9]+)")
_BASED = re.compile(r"'([sS]?)([bBoOdDhH])([0-9a-zA-Z_?]*)")
_BASES = {"b": (2, "01"), "o": (8, "01234567"), "d": (10, "0123456789"),
          "h": (16, "0123456789abcdef")}
_MAX = (1 << 64) - 1


def tokenize(text: str) -> list[Token]:
    """The tokens of `text`, ending with an "end" token; `ExpressionError` on bad input."""
    tokens: list[Token] = []
    pos = 0
    while True:
        while pos < len(text) and text[pos].isspace():
            pos += 1
        if pos == len(text):
            tokens.append(Token("end", "", pos))
            return tokens
        token = _next_token(text, pos)
        tokens.append(token)
        pos += len(token.text)


def _next_token(text: str, pos: int) -> Token:
    ch = text[pos]
    if ch in "0123456789'":
        return _number(text, pos)
    if ch == '"':
        return _string(text, pos)
    if ch == "\\":
        m = _ESCAPED.match(text, pos)
        if not m:
            raise ExpressionError("expected a name after '\\'", text, pos)
        return Token("name", m.group(0), pos, m.group(1))
    if ch == "$":
        m = _SYSTEM.match(text, pos)
        if not m:
            raise ExpressionError("expected a function name after '$'", text, pos)
        return Token("system", m.group(0), pos, m.group(0))
    m = _IDENT.match(text, pos)
    if m:
        if text.startswith(".", m.end()):
            raise ExpressionError("expected a name part after '.'", text, m.end() + 1)
        return Token("name", m.group(0), pos, m.group(0))
    for op in sorted(UNSUPPORTED, key=len, reverse=True):
        if text.startswith(op, pos) and not any(text.startswith(o, pos) and len(o) >= len(op)
                                                for o in OPERATORS):
            raise ExpressionError(f"'{op}' is not supported", text, pos, UNSUPPORTED[op])
    for op in OPERATORS:
        if text.startswith(op, pos):
            return Token("op", op, pos)
    raise ExpressionError(f"unexpected character {ch!r}", text, pos)


def _number(text: str, pos: int) -> Token:
    real = _REAL.match(text, pos)
    if real:
        source = real.group(0)
        return Token("real", source, pos, float(source.replace("_", "")))
    size_match = _DECIMAL.match(text, pos)
    end = size_match.end() if size_match else pos
    based = _BASED.match(text, end)
    if not based:
        if size_match is None:
            raise ExpressionError("expected a base (b, o, d or h) after \"'\"", text, pos + 1)
        source = size_match.group(0)
        value = int(source.replace("_", ""))
        if value > _MAX:
            raise ExpressionError("integer does not fit in 64 bits", text, pos)
        return Token("int", source, pos, value)
    source = text[pos:based.end()]
    base, allowed = _BASES[based.group(2).lower()]
    digits = based.group(3).replace("_", "").lower()
    digit_offset = based.start(3)
    if not digits:
        raise ExpressionError("expected digits after the base", text, digit_offset)
    for i, d in enumerate(based.group(3).lower()):
        if d in "xz?":
            raise ExpressionError("X and Z digits are not supported in constants", text,
                                  digit_offset + i, "test for them with $isunknown(x) or $isz(x)")
        if d != "_" and d not in allowed:
            raise ExpressionError(f"digit {d!r} is not valid in base {base}", text,
                                  digit_offset + i)
    value = int(digits, base)
    if size_match is not None:
        size = int(size_match.group(0).replace("_", ""))
        if size == 0:
            raise ExpressionError("a literal's size must be at least 1", text, pos)
        if size > 64:
            raise ExpressionError(f"{size}-bit literal is wider than the engine's 64-bit "
                                  "constants", text, pos)
        if value >> size:
            raise ExpressionError(f"value {value} does not fit in {size} bits", text, pos)
    elif value > _MAX:
        raise ExpressionError("literal does not fit in 64 bits", text, pos)
    return Token("int", source, pos, value)


def _string(text: str, pos: int) -> Token:
    escapes = {"n": "\n", "t": "\t", "\\": "\\", '"': '"'}
    out: list[str] = []
    i = pos + 1
    while i < len(text):
        ch = text[i]
        if ch == '"':
            return Token("string", text[pos:i + 1], pos, "".join(out))
        if ch == "\\":
            if i + 1 == len(text) or text[i + 1] not in escapes:
                raise ExpressionError("unknown escape in string (use \\n, \\t, \\\\ or \\\")",
                                      text, i)
            out.append(escapes[text[i + 1]])
            i += 2
            continue
        out.append(ch)
        i += 1
    raise ExpressionError("unterminated string", text, pos)
