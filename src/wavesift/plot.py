"""Timing diagrams of a few signals around one index, as SVG (standard library) or PNG.

Each index of the window gets a column of the same width: indices are the trace's time
steps, and times are irregular, so the axis is labelled with each column's time instead of
being drawn to scale. One-bit signals are lines, wider ones labelled segments; X values are
red bands, Z values a line at mid height; the chosen index is highlighted.
"""

from __future__ import annotations

import importlib
import json
import math
import os
from collections.abc import Sequence
from types import ModuleType
from xml.sax.saxutils import escape

from wavesift._core import PyExpr, PyTrace

__all__ = ["names_in_expression", "picture_format", "plot", "png_converter", "wavejson"]

_LABEL_WIDTH_MIN = 90
_ROW = 34  # height of one signal's row
_WAVE = 20  # height of the wave inside a row
_TOP = 40  # room for the title
_AXIS = 34  # room for the time axis
_CHAR = 7.2  # width of one character of the 11px monospace font, with a margin
_MAX_WIDTH = 1600
_FONT = "DejaVu Sans Mono, Menlo, Consolas, monospace"

_COLOUR_LINE = "#1b5e20"
_COLOUR_BUS = "#e8f5e9"
_COLOUR_X = "#d32f2f"
_COLOUR_X_FILL = "#ffcdd2"
_COLOUR_Z = "#1565c0"
_COLOUR_MARK = "#fdd835"


def picture_format(path: str | os.PathLike[str]) -> str:
    """"svg", "png" or "json" (WaveJSON), from the file name's suffix; else `ValueError`."""
    suffix = os.path.splitext(os.fspath(path))[1].lower()
    if suffix in (".svg", ".png", ".json"):
        return suffix[1:]
    raise ValueError(f"cannot write a picture named {os.fspath(path)!r}: "
                     "the name must end in .svg, .png or .json (WaveJSON)")


def names_in_expression(trace: PyTrace, text: str, scope: str = "") -> list[str]:
    """The full names of the signals `text` reads, in order of appearance, each once."""
    from wavesift.expression import parse
    from wavesift.expression.names import SignalNames
    from wavesift.expression.syntax import Name, children

    resolver = SignalNames(trace, scope)
    found: list[str] = []
    pending = [parse(text)]
    while pending:
        node = pending.pop()
        if isinstance(node, Name):
            found.append(resolver.resolve(node.text))
        pending.extend(reversed(children(node)))
    return list(dict.fromkeys(found))


def plot(trace: PyTrace, names: Sequence[str], index: int, window: int = 10,
         output: str | os.PathLike[str] | None = None, title: str | None = None) -> str:
    """Draws `names` over indices `index - window` to `index + window` (clipped to the trace).

    Returns the SVG text; with `output`, also writes it there, as SVG or (for a `.png`
    name) as PNG, which needs the optional `cairosvg` package. Names are full, or short as in
    expressions; an unknown or ambiguous one raises `ValueError`, as does an index past the
    end of the trace.
    """
    if isinstance(names, str):
        names = [names]
    if not names:
        raise ValueError("plot needs at least one signal name")
    names, start, end = _window(trace, names, index, window)
    kind = picture_format(output) if output is not None else None
    svg = _Diagram(trace, names, index, start, end, title).render()
    if output is not None:
        if kind == "png":
            _write_png(svg, os.fspath(output))
        else:
            text = svg
            if kind == "json":
                text = json.dumps(_wavejson(trace, names, index, start, end, title),
                                  indent=1) + "\n"
            with open(output, "w", encoding="utf-8") as file:
                file.write(text)
    return svg


def wavejson(trace: PyTrace, names: Sequence[str], index: int, window: int = 10,
             title: str | None = None) -> dict[str, object]:
    """The same window as WaveDrom's WaveJSON, for the WaveDrom editor and renderers.

    One wave character per index: `0`/`1` for one-bit values, `=` (with its label in
    `data`) for other values, `x` and `z`, and `.` while a value holds. The tick labels are
    the indices; `foot` gives the times of the first and last index.
    """
    names, start, end = _window(trace, names, index, window)
    return _wavejson(trace, names, index, start, end, title)


def _window(trace: PyTrace, names: Sequence[str], index: int,
            window: int) -> tuple[list[str], int, int]:
    """Full names of the signals and the first and last index drawn, clipped to the trace."""
    from wavesift.export import resolve_name

    try:
        full = [resolve_name(trace, name) for name in names]
    except KeyError as error:
        raise ValueError(error.args[0]) from None
    last = trace.max_index()
    if index < 0 or index > last:
        raise ValueError(f"index {index} is outside the trace (0..{last})")
    if window < 0:
        raise ValueError("window must not be negative")
    return full, max(0, index - window), min(last, index + window)


def _wavejson(trace: PyTrace, names: list[str], index: int, start: int, end: int,
              title: str | None) -> dict[str, object]:
    rows: list[dict[str, object]] = []
    for name in names:
        states = _signal_states(trace, name, start, end)
        one_bit = _is_one_bit(trace, name, states)
        wave, data = [], []
        previous: tuple[str, object] | None = None
        for state in states:
            kind, value = state
            if previous is not None and state == previous \
                    and type(value) is type(previous[1]):
                wave.append(".")
            elif kind != "v":
                wave.append(kind)
            elif one_bit:
                wave.append(str(value))
            else:
                wave.append("=")
                data.append(_bus_text(value))
            previous = state
        row: dict[str, object] = {"name": name, "wave": "".join(wave)}
        if data:
            row["data"] = data
        rows.append(row)
    return {"signal": rows,
            "head": {"text": title or f"index {index}, time {trace.timestamp(index)}",
                     "tick": start},
            "foot": {"text": f"indices {start}..{end}, times {trace.timestamp(start)}.."
                             f"{trace.timestamp(end)}; values in hexadecimal"}}


def png_converter() -> ModuleType:
    """The `cairosvg` module that writes PNG; `ImportError` saying how to get it."""
    try:
        cairosvg = importlib.import_module("cairosvg")
    except ImportError:
        raise ImportError("PNG output needs the cairosvg package (pip install cairosvg); "
                          "write .svg instead") from None
    except OSError as error:  # cairosvg is present but the cairo library is not
        raise ImportError(f"PNG output needs the cairo library ({error}); "
                          "write .svg instead") from None
    return cairosvg


def _write_png(svg: str, path: str) -> None:
    png_converter().svg2png(bytestring=svg.encode("utf-8"), write_to=path)


class _Diagram:
    def __init__(self, trace: PyTrace, names: list[str], index: int, start: int, end: int,
                 title: str | None) -> None:
        self.trace = trace
        self.names = names
        self.index = index
        self.start = start
        self.end = end
        self.columns = end - start + 1
        self.label_width = max(_LABEL_WIDTH_MIN,
                               int(max(len(n) for n in names) * _CHAR) + 24)
        self.column = max(8.0, min(64.0, (_MAX_WIDTH - self.label_width - 20) / self.columns))
        self.width = int(self.label_width + self.column * self.columns + 20)
        self.height = _TOP + _ROW * len(names) + _AXIS
        when = trace.timestamp(index)
        self.title = title or f"index {index}, time {when}"
        self.parts: list[str] = []

    def x(self, index: float) -> float:
        return self.label_width + (index - self.start) * self.column

    def render(self) -> str:
        out = self.parts
        out.append(f'<svg xmlns="http://www.w3.org/2000/svg" width="{self.width}" '
                   f'height="{self.height}" viewBox="0 0 {self.width} {self.height}" '
                   f'font-family="{_FONT}" font-size="11">')
        out.append(f'<rect width="{self.width}" height="{self.height}" fill="white"/>')
        out.append(f'<text x="8" y="20" font-size="13" font-weight="bold">'
                   f'{escape(self.title)}</text>')
        out.append(f'<text x="{self.width - 8}" y="20" text-anchor="end" fill="#777">'
                   'bus values in hexadecimal</text>')
        bottom = _TOP + _ROW * len(self.names)
        for i in range(self.start, self.end + 2):
            x = self.x(i)
            out.append(f'<line x1="{x:.1f}" y1="{_TOP - 6}" x2="{x:.1f}" y2="{bottom + 4}" '
                       'stroke="#e0e0e0" stroke-width="1"/>')
        for row, name in enumerate(self.names):
            self._signal(row, name)
        # Drawn over the waves, translucent, so bus segments do not hide it.
        mark = self.x(self.index)
        out.append(f'<rect class="highlight" x="{mark:.1f}" y="{_TOP - 6}" '
                   f'width="{self.column:.1f}" height="{bottom - _TOP + 10}" '
                   f'fill="{_COLOUR_MARK}" fill-opacity="0.3" stroke="#f9a825"/>')
        self._axis(bottom)
        out.append("</svg>")
        return "\n".join(out) + "\n"

    def _signal(self, row: int, name: str) -> None:
        top = _TOP + row * _ROW + (_ROW - _WAVE) / 2
        self.parts.append(f'<g class="signal" data-name="{escape(name, {chr(34): "&quot;"})}">')
        self.parts.append(f'<text x="8" y="{top + _WAVE / 2 + 4:.1f}">{escape(name)}</text>')
        states = _signal_states(self.trace, name, self.start, self.end)
        one_bit = _is_one_bit(self.trace, name, states)
        if one_bit:
            self._bit(top, states)
        else:
            self._bus(top, states)
        self.parts.append("</g>")

    def _runs(self, states: list[tuple[str, object]]) -> list[tuple[int, int, str, object]]:
        """Runs of equal states: (first index, last index + 1, kind, value)."""
        runs: list[tuple[int, int, str, object]] = []
        for offset, (kind, value) in enumerate(states):
            i = self.start + offset
            if runs and runs[-1][2] == kind and runs[-1][3] == value \
                    and type(runs[-1][3]) is type(value):
                first, _, _, _ = runs[-1]
                runs[-1] = (first, i + 1, kind, value)
            else:
                runs.append((i, i + 1, kind, value))
        return runs

    def _bit(self, top: float, states: list[tuple[str, object]]) -> None:
        high, low, middle = top, top + _WAVE, top + _WAVE / 2
        points: list[tuple[float, float]] = []
        for first, stop, kind, value in self._runs(states):
            x0, x1 = self.x(first), self.x(stop)
            if kind == "x":
                self._x_band(x0, x1, high, low)
                points = self._flush(points)
                continue
            y = middle if kind == "z" else (high if value else low)
            if kind == "z":
                points = self._flush(points)
                self.parts.append(f'<line class="z" x1="{x0:.1f}" y1="{y:.1f}" x2="{x1:.1f}" '
                                  f'y2="{y:.1f}" stroke="{_COLOUR_Z}" stroke-width="2"/>')
                continue
            if points:
                points.append((x0, y))
            points.extend([(x0, y), (x1, y)])
        self._flush(points)

    def _flush(self, points: list[tuple[float, float]]) -> list[tuple[float, float]]:
        if points:
            text = " ".join(f"{x:.1f},{y:.1f}" for x, y in points)
            self.parts.append(f'<polyline class="bit" points="{text}" fill="none" '
                              f'stroke="{_COLOUR_LINE}" stroke-width="2"/>')
        return []

    def _x_band(self, x0: float, x1: float, high: float, low: float) -> None:
        self.parts.append(f'<rect class="x" x="{x0:.1f}" y="{high:.1f}" '
                          f'width="{x1 - x0:.1f}" height="{low - high:.1f}" '
                          f'fill="{_COLOUR_X_FILL}" stroke="{_COLOUR_X}" stroke-width="1"/>')
        self._label((x0 + x1) / 2, (high + low) / 2, x1 - x0, "X", _COLOUR_X)

    def _bus(self, top: float, states: list[tuple[str, object]]) -> None:
        high, low, middle = top, top + _WAVE, top + _WAVE / 2
        for first, stop, kind, value in self._runs(states):
            x0, x1 = self.x(first), self.x(stop)
            if kind == "x":
                self._x_band(x0, x1, high, low)
            elif kind == "z":
                self.parts.append(f'<line class="z" x1="{x0:.1f}" y1="{middle:.1f}" '
                                  f'x2="{x1:.1f}" y2="{middle:.1f}" stroke="{_COLOUR_Z}" '
                                  'stroke-width="2"/>')
                self._label((x0 + x1) / 2, middle - 5, x1 - x0, "Z", _COLOUR_Z)
            else:
                slant = min(4.0, (x1 - x0) / 4)
                shape = (f"{x0:.1f},{middle:.1f} {x0 + slant:.1f},{high:.1f} "
                         f"{x1 - slant:.1f},{high:.1f} {x1:.1f},{middle:.1f} "
                         f"{x1 - slant:.1f},{low:.1f} {x0 + slant:.1f},{low:.1f}")
                # The title shows the whole value on hover where the label is cut short.
                self.parts.append(f'<polygon class="bus" points="{shape}" '
                                  f'fill="{_COLOUR_BUS}" stroke="{_COLOUR_LINE}" '
                                  f'stroke-width="1.5"><title>{escape(_bus_text(value))}'
                                  '</title></polygon>')
                self._label((x0 + x1) / 2, middle, x1 - x0, _bus_text(value), "black")

    def _label(self, x: float, y: float, room: float, text: str, colour: str) -> None:
        """Centred text, shortened with an ellipsis when its segment is too narrow."""
        fits = int((room - 10) / _CHAR)
        if fits < 1:
            return
        if len(text) > fits:
            text = text[:fits - 1] + "…" if fits > 1 else "…"
        self.parts.append(f'<text x="{x:.1f}" y="{y + 4:.1f}" text-anchor="middle" '
                          f'fill="{colour}">{escape(text)}</text>')

    def _axis(self, bottom: float) -> None:
        y = bottom + 6
        self.parts.append(f'<line x1="{self.x(self.start):.1f}" y1="{y}" '
                          f'x2="{self.x(self.end + 1):.1f}" y2="{y}" stroke="black"/>')
        self.parts.append(f'<text x="8" y="{y + 14}" fill="#555">time</text>')
        labels = [str(self.trace.timestamp(i)) for i in range(self.start, self.end + 1)]
        longest = max(len(t) for t in labels) * _CHAR + 14
        step = max(1, math.ceil(longest / self.column))
        for offset, text in enumerate(labels):
            i = self.start + offset
            if offset % step and i != self.index:
                continue
            if i != self.index and abs(i - self.index) < step:
                continue  # keep the highlighted index's label readable
            x = self.x(i)
            weight = ' font-weight="bold"' if i == self.index else ""
            self.parts.append(f'<line x1="{x:.1f}" y1="{y}" x2="{x:.1f}" y2="{y + 4}" '
                              'stroke="black"/>')
            self.parts.append(f'<text class="time" x="{x:.1f}" y="{y + 14}" '
                              f'text-anchor="middle"{weight}>{escape(text)}</text>')


def _signal_states(trace: PyTrace, name: str, start: int,
                   end: int) -> list[tuple[str, object]]:
    """Per index from start to end: ("v", value), ("x", None) or ("z", None)."""
    values = trace.signal_values_range(name, start, end + 1)
    sid = trace.signal_id(name)
    assert sid is not None
    is_z = PyExpr.signal(sid).is_z()
    states: list[tuple[str, object]] = []
    for offset, value in enumerate(values):
        if value is not None:
            states.append(("v", value))
        elif trace.eval_expr(is_z, start + offset):
            states.append(("z", None))
        else:
            states.append(("x", None))
    return states


def _is_one_bit(trace: PyTrace, name: str, states: list[tuple[str, object]]) -> bool:
    # Some closed-format readers report width 1 for wider values: trust the values too.
    return trace.signal_width(name) == 1 and all(
        kind != "v" or (type(value) is int and value in (0, 1)) for kind, value in states)


def _bus_text(value: object) -> str:
    if isinstance(value, bool):
        return str(int(value))
    if isinstance(value, int):
        return f"{value:x}" if value > 9 else str(value)
    if isinstance(value, float):
        return f"{value:g}"
    return str(value)
