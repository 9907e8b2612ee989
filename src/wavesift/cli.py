"""The `wavesift` command line: ask a trace a question from a shell, a CI job or an agent.

Every subcommand takes the trace file first and prints a human-readable table, or with
`--json` exactly one JSON document (the schema is in docs/cli.md). Exit codes: 0 success,
1 when `find --fail-if-none` matched nothing, 2 for usage and load errors (one line on
stderr).
"""

from __future__ import annotations

import argparse
import json
import math
import os
import sys
import time
from collections.abc import Callable, Sequence
from typing import Any, NoReturn, TextIO

from wavesift._core import PyExpr, PyTrace
from wavesift.expression import ExpressionError
from wavesift.expression.names import SignalNames, UnresolvedName
from wavesift.loading import detect_format, load
from wavesift.search import expr as compile_expr

SCHEMA_VERSION = 1

PLOT_DEFAULT_LIMIT = 10  # pictures `find --plot` writes when no --limit is given

EXIT_OK = 0
EXIT_NONE_FOUND = 1
EXIT_USAGE = 2


class UsageError(Exception):
    """A bad argument or an unreadable trace: reported on one line, exit code 2."""


class _Parser(argparse.ArgumentParser):
    # argparse prints the whole usage block; scripts and agents want one line they can show.
    def error(self, message: str) -> NoReturn:
        raise UsageError(f"{message} (see '{self.prog} --help')")


# ---------------------------------------------------------------------------------------------
# Values


def json_value(value: Any) -> Any:
    """A trace value as JSON can hold it: non-finite reals become the strings JSON lacks."""
    if isinstance(value, float) and not math.isfinite(value):
        return "nan" if math.isnan(value) else ("inf" if value > 0 else "-inf")
    return value


def value_state(trace: PyTrace, name: str, index: int, value: Any) -> str:
    """"value", or for a value without a number "z" (a Z bit) or "x" (X bits, or none)."""
    if value is not None:
        return "value"
    sid = trace.signal_id(name)
    if sid is not None and trace.eval_expr(PyExpr.signal(sid).is_z(), index):
        return "z"
    return "x"


def text_value(value: Any, state: str = "x") -> str:
    """A value for a human: decimal, with hexadecimal for numbers past 9; x or z if none."""
    if value is None:
        return state
    if isinstance(value, bool):
        return str(int(value))
    if isinstance(value, int):
        return f"{value} (0x{value:x})" if value > 9 else str(value)
    if isinstance(value, float):
        return repr(value)
    return json.dumps(value)


# ---------------------------------------------------------------------------------------------
# Trace access helpers


def load_trace(path: str, stderr: TextIO) -> PyTrace:
    """Loads `path`, telling a person at a terminal how long it took."""
    interactive = stderr.isatty()
    start = time.monotonic()
    if interactive:
        stderr.write(f"loading {path} ...")
        stderr.flush()
    try:
        trace = load(path)
    except FileNotFoundError:
        raise UsageError(f"cannot load {path}: no such file") from None
    except IsADirectoryError:
        raise UsageError(f"cannot load {path}: it is a directory") from None
    except PermissionError:
        raise UsageError(f"cannot load {path}: permission denied") from None
    except (ValueError, OSError) as error:
        raise UsageError(f"cannot load {path}: {_one_line(str(error))}") from None
    finally:
        if interactive:
            stderr.write(f"\rloaded {path} in {time.monotonic() - start:.2f} s\n")
            stderr.flush()
    return trace


def _one_line(text: str) -> str:
    lines = [line for line in text.splitlines() if line.strip()]
    return lines[0] if lines else text


def resolve_signal(trace: PyTrace, name: str, scope: str = "") -> str:
    """The full name `name` designates (full, short, or without its bit range)."""
    try:
        return SignalNames(trace, scope).resolve(name)
    except UnresolvedName as error:
        hint = f"; {error.hint}" if error.hint else ""
        raise UsageError(f"{error.reason}{hint}") from None


def _signal_id(trace: PyTrace, name: str) -> int:
    sid = trace.signal_id(name)
    assert sid is not None, name  # names reach here resolved
    return sid


def check_scope(trace: PyTrace, scope: str) -> str:
    scope = scope.strip(".")
    if scope and scope not in set(trace.scopes()):
        raise UsageError(f"unknown scope '{scope}'")
    return scope


def check_index(trace: PyTrace, index: int) -> int:
    last = trace.max_index()
    if index < 0 or index > last:
        raise UsageError(f"index {index} is outside the trace (0..{last})")
    return index


def index_at_time(trace: PyTrace, when: int) -> int:
    """The last index whose time is at or before `when` (the value in force then)."""
    low, high = 0, trace.max_index()
    if when < trace.timestamp(0):
        raise UsageError(f"time {when} is before the trace starts (at {trace.timestamp(0)})")
    while low < high:
        middle = (low + high + 1) // 2
        if trace.timestamp(middle) <= when:
            low = middle
        else:
            high = middle - 1
    return low


def compile_condition(trace: PyTrace, text: str, scope: str) -> PyExpr:
    try:
        return compile_expr(trace, text, scope=scope)
    except ExpressionError as error:
        raise UsageError(f"bad expression: {_one_line(str(error))}") from None


def _time_range(trace: PyTrace) -> dict[str, int]:
    return {"start": trace.timestamp(0), "end": trace.timestamp(trace.max_index())}


# ---------------------------------------------------------------------------------------------
# Subcommands: each returns (JSON document, human text, exit code)

Result = tuple[dict[str, Any], str, int]


def cmd_info(trace: PyTrace, args: argparse.Namespace) -> Result:
    doc = {"file": args.file, "format": detect_format(args.file),
           "signals": len(trace.signal_names()), "scopes": len(trace.scopes()),
           "indices": trace.max_index() + 1, "max_index": trace.max_index(),
           "time": _time_range(trace)}
    text = _table(["field", "value"], [
        ["file", doc["file"]], ["format", doc["format"]], ["signals", doc["signals"]],
        ["scopes", doc["scopes"]], ["indices", f"{doc['indices']} (0..{doc['max_index']})"],
        ["time", f"{doc['time']['start']} .. {doc['time']['end']}"]])
    return doc, text, EXIT_OK


def cmd_signals(trace: PyTrace, args: argparse.Namespace) -> Result:
    if args.glob is not None:
        names = trace.find_signals_glob(args.glob)
    elif args.contains is not None:
        names = trace.find_signals_containing(args.contains)
    else:
        names = trace.signal_names()
    rows = [{"name": n, "width": trace.signal_width(n)} for n in names]
    doc = {"count": len(rows), "signals": rows}
    text = _table(["name", "width"], [[r["name"], r["width"]] for r in rows])
    return doc, text, EXIT_OK


def cmd_scopes(trace: PyTrace, args: argparse.Namespace) -> Result:
    if args.scope is None:
        every = trace.scopes()
        doc: dict[str, Any] = {"scope": None, "scopes": every, "signals": []}
        return doc, _table(["scope"], [[s] for s in every]), EXIT_OK
    scope = check_scope(trace, args.scope)
    scopes, signals = trace.local_scopes(scope), trace.local_signals(scope)
    doc = {"scope": scope, "scopes": scopes, "signals": signals}
    rows = [[s, "scope"] for s in scopes] + [[s, "signal"] for s in signals]
    return doc, _table(["name", "kind"], rows), EXIT_OK


def cmd_value(trace: PyTrace, args: argparse.Namespace) -> Result:
    name = resolve_signal(trace, args.name)
    if args.index is not None:
        index = check_index(trace, args.index)
    else:
        index = index_at_time(trace, args.time)
    value = trace.signal_value(name, index)
    state = value_state(trace, name, index, value)
    doc = {"signal": name, "width": trace.signal_width(name), "index": index,
           "time": trace.timestamp(index), "value": json_value(value), "state": state}
    text = _table(["signal", "index", "time", "value"],
                  [[name, index, doc["time"], text_value(value, state)]])
    return doc, text, EXIT_OK


def cmd_find(trace: PyTrace, args: argparse.Namespace) -> Result:
    scope = check_scope(trace, args.scope)
    condition = compile_condition(trace, args.expr, scope)
    value_names = [resolve_signal(trace, n, scope) for n in _split_names(args.values)]
    indices = trace.parallel_find(condition)
    shown = len(indices) if args.limit is None else min(args.limit, len(indices))
    # Values are read for the listed matches only: a search may match millions of steps.
    listed = [(index, [trace.signal_value(n, index) for n in value_names])
              for index in indices[:shown]]
    matches = [{"index": index, "time": trace.timestamp(index),
                "values": {n: json_value(v) for n, v in zip(value_names, values)}}
               for index, values in listed]
    doc: dict[str, Any] = {"expression": args.expr, "scope": scope, "count": len(indices),
                           "limit": args.limit, "truncated": shown < len(indices),
                           "matches": matches}
    if args.plot is not None:
        # Without --limit, a loose condition could otherwise write thousands of files.
        pictures = shown if args.limit is not None else min(shown, PLOT_DEFAULT_LIMIT)
        doc["plots"] = _plot_matches(trace, args, value_names, indices[:pictures], scope)
    rows = [[index, trace.timestamp(index)]
            + [text_value(v, value_state(trace, n, index, v)) for n, v in zip(value_names, values)]
            for index, values in listed]
    text = _table(["index", "time"] + value_names, rows)
    text += f"\n{len(indices)} match{'es' if len(indices) != 1 else ''}"
    if doc["truncated"]:
        text += f" ({shown} shown)"
    for path in doc.get("plots", []):
        text += f"\nwrote {path}"
    code = EXIT_NONE_FOUND if args.fail_if_none and not indices else EXIT_OK
    return doc, text, code


def _plot_matches(trace: PyTrace, args: argparse.Namespace, value_names: list[str],
                  indices: list[int], scope: str) -> list[str]:
    from wavesift.plot import names_in_expression

    try:
        os.makedirs(args.plot, exist_ok=True)
    except OSError as error:
        raise UsageError(f"--plot: cannot create {args.plot}: {error.strerror}") from None
    names = list(dict.fromkeys(names_in_expression(trace, args.expr, scope) + value_names))
    if not names:
        raise UsageError("--plot: the expression names no signal to draw")
    suffix = ".png" if args.plot_format == "png" else ".svg"
    paths = []
    for index in indices:
        path = os.path.join(args.plot, f"match-{index:08d}{suffix}")
        _draw(trace, names, index, args.window, path, f"{args.expr} @ index {index}")
        paths.append(path)
    return paths


def cmd_count(trace: PyTrace, args: argparse.Namespace) -> Result:
    scope = check_scope(trace, args.scope)
    total = trace.parallel_count(compile_condition(trace, args.expr, scope))
    doc = {"expression": args.expr, "scope": scope, "count": total}
    return doc, str(total), EXIT_OK


def cmd_changes(trace: PyTrace, args: argparse.Namespace) -> Result:
    index = check_index(trace, args.index)
    scope = check_scope(trace, args.scope)
    changed = trace.changed_at_scope(index, scope) if scope else trace.changed_at(index)
    rows = []
    text_rows = []
    for name, old, new in changed:
        rows.append({"signal": name, "old": json_value(old), "new": json_value(new)})
        old_state = value_state(trace, name, index - 1, old) if index > 0 else "x"
        text_rows.append([name, text_value(old, old_state),
                          text_value(new, value_state(trace, name, index, new))])
    doc = {"index": index, "time": trace.timestamp(index), "scope": scope,
           "count": len(rows), "changes": rows}
    return doc, _table(["signal", "old", "new"], text_rows), EXIT_OK


def cmd_transitions(trace: PyTrace, args: argparse.Namespace) -> Result:
    name = resolve_signal(trace, args.name)
    found = trace.transitions(name)
    shown = found if args.limit is None else found[:args.limit]
    rows = [{"index": i, "time": trace.timestamp(i), "old": json_value(old),
             "new": json_value(new)} for i, old, new in shown]
    doc = {"signal": name, "count": len(found), "limit": args.limit,
           "truncated": len(shown) < len(found), "transitions": rows}
    text_rows = [[r["index"], r["time"],
                  text_value(old, value_state(trace, name, i - 1, old) if i > 0 else "x"),
                  text_value(new, value_state(trace, name, i, new))]
                 for r, (i, old, new) in zip(rows, shown)]
    text = _table(["index", "time", "old", "new"], text_rows)
    text += f"\n{len(found)} transition{'s' if len(found) != 1 else ''}"
    if doc["truncated"]:
        text += f" ({len(shown)} shown)"
    return doc, text, EXIT_OK


def cmd_stats(trace: PyTrace, args: argparse.Namespace) -> Result:
    name = resolve_signal(trace, args.name)
    changes = trace.transitions(name)
    low, high, total, count = _value_stats(trace, name, changes)
    # X and Z are counted per index, and the sum above exactly: the engine's own figures
    # wrap modulo 2**64 and count X/Z bits of wide vectors rather than steps.
    signal = PyExpr.signal(_signal_id(trace, name))
    num_z = trace.parallel_count(signal.is_z())
    num_x = trace.parallel_count(signal.is_x().and_(signal.is_z().not_()))
    doc = {"signal": name, "width": trace.signal_width(name), "indices": trace.max_index() + 1,
           "count": count, "min": low, "max": high, "sum": total,
           "mean": total / count if count else None,
           "transitions": len(changes), "x": num_x, "z": num_z}
    text = _table(["field", "value"], [[k, "-" if v is None else v] for k, v in doc.items()])
    return doc, text, EXIT_OK


def _value_stats(trace: PyTrace, name: str, changes: list[tuple[int, Any, Any]]
                 ) -> tuple[Any, Any, int | float, int]:
    """(min, max, sum, count) over the indices where `name` holds a number (an integer or
    a finite real), each value weighted by the steps it holds; min and max None if none."""
    runs = [(i, new) for i, _, new in changes]
    if not runs or runs[0][0] != 0:
        runs.insert(0, (0, trace.signal_value(name, 0)))
    ends = [i for i, _ in runs[1:]] + [trace.max_index() + 1]
    low: Any = None
    high: Any = None
    total: int | float = 0
    count = 0
    for (start, value), end in zip(runs, ends):
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            continue
        if isinstance(value, float) and not math.isfinite(value):
            continue
        low = value if low is None else min(low, value)
        high = value if high is None else max(high, value)
        total += value * (end - start)
        count += end - start
    return low, high, total, count


def cmd_snapshot(trace: PyTrace, args: argparse.Namespace) -> Result:
    index = check_index(trace, args.index)
    scope = check_scope(trace, args.scope)
    values = trace.snapshot_scope(index, scope) if scope else trace.snapshot(index)
    doc = {"index": index, "time": trace.timestamp(index), "scope": scope,
           "count": len(values), "values": {k: json_value(v) for k, v in values.items()}}
    prefix = f"{scope}." if scope else ""
    text_rows = [[k, text_value(v, value_state(trace, prefix + k, index, v))]
                 for k, v in values.items()]
    return doc, _table(["signal", "value"], text_rows), EXIT_OK


def _draw(trace: PyTrace, names: list[str], index: int, window: int, output: str,
          title: str | None = None) -> None:
    from wavesift.plot import plot

    try:
        plot(trace, names, index, window=window, output=output, title=title)
    except (ImportError, ValueError) as error:
        raise UsageError(str(error)) from None
    except OSError as error:
        raise UsageError(f"cannot write {output}: {error.strerror or error}") from None


def cmd_plot(trace: PyTrace, args: argparse.Namespace) -> Result:
    index = check_index(trace, args.index)
    names = [resolve_signal(trace, n, args.scope) for n in args.names]
    _draw(trace, names, index, args.window, args.output)
    doc = {"output": args.output, "index": index, "signals": names,
           "window": args.window}
    return doc, f"wrote {args.output}", EXIT_OK


def _split_names(text: str | None) -> list[str]:
    if not text:
        return []
    return [part.strip() for part in text.split(",") if part.strip()]


def _table(header: list[str], rows: list[list[Any]]) -> str:
    cells = [[str(c) for c in header]] + [[str(c) for c in row] for row in rows]
    widths = [max(len(row[i]) for row in cells) for i in range(len(header))]
    lines = ["  ".join(c.ljust(w) for c, w in zip(row, widths)).rstrip() for row in cells]
    lines.insert(1, "  ".join("-" * w for w in widths))
    return "\n".join(lines)


# ---------------------------------------------------------------------------------------------
# Argument parsing


def _non_negative(text: str) -> int:
    try:
        # Decimal first, so that "010" is ten rather than refused as an octal-looking literal.
        number = int(text, 10) if text.strip().lstrip("+-").isdigit() else int(text, 0)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not an integer: {text!r}") from None
    if number < 0:
        raise argparse.ArgumentTypeError(f"must not be negative: {text}")
    return number


def _positive(text: str) -> int:
    number = _non_negative(text)
    if number == 0:
        raise argparse.ArgumentTypeError("must be at least 1")
    return number


def build_parser() -> argparse.ArgumentParser:
    parser = _Parser(prog="wavesift",
                     description="Query waveform traces (VCD, FST, ...) from the shell.",
                     epilog="Exit codes: 0 success, 1 find --fail-if-none matched nothing, "
                            "2 usage or load error. JSON schema: docs/cli.md.")
    common = _Parser(add_help=False)
    common.add_argument("file", metavar="FILE",
                        help="the trace file (VCD, VCD.gz, FST, or the best-effort formats)")
    # Accepted before or after the subcommand; SUPPRESS keeps the subcommand's default from
    # overwriting a --json given before it.
    common.add_argument("--json", action="store_true", default=argparse.SUPPRESS,
                        help="print one JSON document (schema in docs/cli.md)")
    parser.add_argument("--json", action="store_true",
                        help="print one JSON document (schema in docs/cli.md)")
    sub = parser.add_subparsers(dest="command", metavar="COMMAND", parser_class=_Parser)
    sub.required = True

    def add(name: str, handler: Callable[[PyTrace, argparse.Namespace], Result],
            help_text: str) -> argparse.ArgumentParser:
        command = sub.add_parser(name, parents=[common], help=help_text,
                                 description=help_text)
        command.set_defaults(handler=handler)
        return command

    add("info", cmd_info, "format, signal and scope counts, time range, index count")

    command = add("signals", cmd_signals, "list signals and their widths")
    which = command.add_mutually_exclusive_group()
    which.add_argument("--glob", metavar="P", help="only names matching the glob P (* and ?)")
    which.add_argument("--contains", metavar="S", help="only names containing S (any case)")

    command = add("scopes", cmd_scopes,
                  "list every scope, or the child scopes and signals of SCOPE")
    command.add_argument("scope", nargs="?", metavar="SCOPE")

    command = add("value", cmd_value, "the value of a signal at an index or a time")
    command.add_argument("name", metavar="NAME")
    when = command.add_mutually_exclusive_group(required=True)
    when.add_argument("--index", type=_non_negative, metavar="I")
    when.add_argument("--time", type=_non_negative, metavar="T",
                      help="the value in force at time T (the file's raw unit)")

    command = add("find", cmd_find, "every index where an expression holds")
    command.add_argument("expr", metavar="EXPR",
                         help="a condition, e.g. '$rose(clk) && valid && ready'")
    command.add_argument("--values", metavar="N,...",
                         help="comma-separated signals whose values to show at each match")
    command.add_argument("--limit", type=_non_negative, metavar="K",
                         help="show at most K matches (the count is still the total)")
    command.add_argument("--scope", default="", metavar="S",
                         help="resolve short names from scope S")
    command.add_argument("--fail-if-none", action="store_true",
                         help="exit with status 1 when nothing matches")
    command.add_argument("--plot", metavar="DIR",
                         help="write one timing diagram per shown match into DIR (at most "
                         f"{PLOT_DEFAULT_LIMIT} without --limit)")
    command.add_argument("--plot-format", choices=["svg", "png"], default="svg",
                         help="picture format for --plot (png needs cairosvg)")
    command.add_argument("--window", type=_non_negative, default=10, metavar="N",
                         help="indices drawn on each side of a match (default 10)")

    command = add("count", cmd_count, "how many indices satisfy an expression")
    command.add_argument("expr", metavar="EXPR")
    command.add_argument("--scope", default="", metavar="S",
                         help="resolve short names from scope S")

    command = add("changes", cmd_changes, "the signals that changed at an index")
    command.add_argument("index", type=_non_negative, metavar="INDEX")
    command.add_argument("--scope", default="", metavar="S", help="only signals inside S")

    command = add("transitions", cmd_transitions, "every change of one signal")
    command.add_argument("name", metavar="NAME")
    command.add_argument("--limit", type=_non_negative, metavar="K",
                         help="show at most K transitions (the count is still the total)")

    command = add("stats", cmd_stats, "min, max, mean, transitions and X/Z counts of a signal")
    command.add_argument("name", metavar="NAME")

    command = add("snapshot", cmd_snapshot, "every signal's value at an index")
    command.add_argument("index", type=_non_negative, metavar="INDEX")
    command.add_argument("--scope", default="", metavar="S",
                         help="only signals inside S, named relative to it")

    command = add("plot", cmd_plot, "draw signals around an index as a timing diagram")
    command.add_argument("names", nargs="+", metavar="NAME")
    command.add_argument("--index", type=_non_negative, required=True, metavar="I")
    command.add_argument("--window", type=_non_negative, default=10, metavar="N",
                         help="indices drawn on each side of I (default 10)")
    command.add_argument("-o", "--output", required=True, metavar="OUT",
                         help="the picture to write: .svg, or .png (needs cairosvg)")
    command.add_argument("--scope", default="", metavar="S",
                         help="resolve short names from scope S")
    return parser


def main(argv: Sequence[str] | None = None, stdout: TextIO | None = None,
         stderr: TextIO | None = None) -> int:
    """Runs the command line on `argv` (default: sys.argv[1:]) and returns the exit code."""
    stdout = sys.stdout if stdout is None else stdout
    stderr = sys.stderr if stderr is None else stderr
    parser = build_parser()
    try:
        try:
            args = parser.parse_args(argv)
        except SystemExit as exit_:  # --help, and argparse's own exits
            return int(exit_.code or 0) if isinstance(exit_.code, int) else EXIT_USAGE
        # Refused before a possibly long load.
        if args.command == "plot":
            _check_picture_path(args.output)
        if args.command == "find" and args.plot is not None and args.plot_format == "png":
            _check_picture_path("match.png")
        trace = load_trace(args.file, stderr)
        doc, text, code = args.handler(trace, args)
        assert isinstance(code, int)
    except UsageError as error:
        stderr.write(f"wavesift: error: {_one_line(str(error))}\n")
        return EXIT_USAGE
    except KeyboardInterrupt:
        stderr.write("wavesift: interrupted\n")
        return 130
    try:
        if args.json:
            body = {"schema": SCHEMA_VERSION, "command": args.command, **doc}
            stdout.write(json.dumps(body, allow_nan=False) + "\n")
        else:
            stdout.write(text + "\n")
        stdout.flush()
    except BrokenPipeError:
        # A reader such as `head` went away: not an error of ours.
        _silence_stdout()
    return code


def _check_picture_path(path: str) -> None:
    from wavesift.plot import picture_format, png_converter

    try:
        if picture_format(path) == "png":
            png_converter()
    except (ValueError, ImportError) as error:
        raise UsageError(str(error)) from None


def _silence_stdout() -> None:
    try:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
    except (OSError, ValueError):
        pass


if __name__ == "__main__":
    sys.exit(main())
