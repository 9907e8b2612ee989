"""Turns the names written in an expression into the trace's full signal names.

A short name may match several signals; picking the first would silently search the wrong
signal, so such a name is refused with the candidates listed instead. Some writers keep a
vector's bit range in its name (`top.pc [15:0]`); an expression may leave the range out.
"""

import difflib
import re

from wavesift._core import PyTrace

_RANGE = re.compile(r" ?\[[0-9]+(?::[0-9]+)?\]$")


class UnresolvedName(LookupError):
    """A name that designates no signal, or more than one: `reason`, and a `hint`."""

    def __init__(self, reason: str, hint: str = "") -> None:
        super().__init__(reason)
        self.reason = reason
        self.hint = hint


class SignalNames:
    """Resolves names against one trace from one scope, remembering each answer."""

    def __init__(self, trace: PyTrace, scope: str) -> None:
        self.trace = trace
        self.scope = scope.strip(".")
        self._plain: dict[str, list[str]] | None = None
        self._resolved: dict[str, str] = {}

    @property
    def plain(self) -> dict[str, list[str]]:
        """Each signal name without a trailing bit range -> the full names that give it."""
        if self._plain is None:
            self._plain = {}
            for full in self.trace.signal_names():
                self._plain.setdefault(_RANGE.sub("", full), []).append(full)
        return self._plain

    def resolve(self, name: str) -> str:
        """The full name `name` designates; `UnresolvedName` when none or several.

        The rule of `PyTrace.resolve`, made strict: the scope-relative name if it exists, else
        the one signal inside the scope whose last components are `name`, else `name` as a
        full name.
        """
        if name not in self._resolved:
            self._resolved[name] = self._lookup(name)
        return self._resolved[name]

    def _lookup(self, name: str) -> str:
        scope = self.scope
        relative = f"{scope}.{name}" if scope else name
        if self.trace.signal_id(relative) is not None:
            return relative
        prefix = f"{scope}." if scope else ""
        matches = [full for plain, fulls in self.plain.items()
                   if plain.startswith(prefix) and (plain == name or plain.endswith("." + name))
                   for full in fulls]
        if len(matches) == 1:
            return matches[0]
        if matches:
            shown = ", ".join(matches[:5]) + (", ..." if len(matches) > 5 else "")
            raise UnresolvedName(f"ambiguous signal name '{name}'",
                                 f"it matches {shown}; write more of the name")
        # A full name outside the scope.
        if self.trace.signal_id(name) is not None:
            return name
        if len(self.plain.get(name, ())) == 1:
            return self.plain[name][0]
        where = f" in scope '{scope}'" if scope else ""
        raise UnresolvedName(f"unknown signal '{name}'{where}", self._suggestion(name))

    def _suggestion(self, name: str) -> str:
        """"did you mean X?" for the names closest to `name`, by full or last components."""
        written = f"{self.scope}.{name}" if self.scope else name
        close = difflib.get_close_matches(written, self.plain, n=3, cutoff=0.75)
        if not close:
            depth = name.count(".") + 1
            tails: dict[str, str] = {}
            for plain in self.plain:
                tails.setdefault(".".join(plain.split(".")[-depth:]), plain)
            close = [tails[t] for t in difflib.get_close_matches(name, tails, n=3, cutoff=0.6)]
        return "did you mean " + " or ".join(close) + "?" if close else ""
