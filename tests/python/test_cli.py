"""The `wavesift` command line, run in-process on the bundled examples.

Every `--json` document is checked against the schema docs/cli.md documents (SCHEMAS below,
a small validator so no extra package is needed).
"""

import io
import json
import os
import subprocess
import sys
from pathlib import Path

import pytest

from wavesift.cli import main

ROOT = Path(__file__).resolve().parents[2]
VCD = str(ROOT / "examples" / "cpu.vcd")
FST = str(ROOT / "examples" / "cpu.fst")
WLF = str(ROOT / "examples" / "handshake.wlf")

VALUE = ("integer", "number", "string", "null")
TIME_RANGE = {"type": "object", "required": {"start": "integer", "end": "integer"}}

# The documented schema of each command's document, as nested type descriptions: a type
# name, a tuple of allowed types, or a dict for an object / a list for an array.
SCHEMAS = {
    "info": {"file": "string", "format": "string", "signals": "integer", "scopes": "integer",
             "indices": "integer", "max_index": "integer", "time": TIME_RANGE},
    "signals": {"count": "integer",
                "signals": [{"type": "object",
                             "required": {"name": "string", "width": "integer"}}]},
    "scopes": {"scope": ("string", "null"), "scopes": ["string"], "signals": ["string"]},
    "value": {"signal": "string", "width": "integer", "index": "integer", "time": "integer",
              "value": VALUE, "state": ("value", "x", "z")},
    "find": {"expression": "string", "scope": "string", "count": "integer",
             "limit": ("integer", "null"), "truncated": "boolean",
             "matches": [{"type": "object",
                          "required": {"index": "integer", "time": "integer",
                                       "values": {"type": "map", "values": VALUE}}}]},
    "count": {"expression": "string", "scope": "string", "count": "integer"},
    "changes": {"index": "integer", "time": "integer", "scope": "string", "count": "integer",
                "changes": [{"type": "object",
                             "required": {"signal": "string", "old": VALUE, "new": VALUE}}]},
    "transitions": {"signal": "string", "count": "integer", "limit": ("integer", "null"),
                    "truncated": "boolean",
                    "transitions": [{"type": "object",
                                     "required": {"index": "integer", "time": "integer",
                                                  "old": VALUE, "new": VALUE}}]},
    "stats": {"signal": "string", "width": "integer", "indices": "integer",
              "count": "integer", "min": ("number", "null"), "max": ("number", "null"),
              "sum": "number", "mean": ("number", "null"), "transitions": "integer",
              "x": "integer", "z": "integer"},
    "snapshot": {"index": "integer", "time": "integer", "scope": "string",
                 "count": "integer", "values": {"type": "map", "values": VALUE}},
    "plot": {"output": "string", "index": "integer", "signals": ["string"],
             "window": "integer"},
}
OPTIONAL = {"find": {"plots": ["string"]}}


def _is(value, kind):
    if isinstance(kind, tuple):
        return any(_is(value, k) for k in kind)
    if isinstance(kind, list):
        return isinstance(value, list) and all(_is(v, kind[0]) for v in value)
    if isinstance(kind, dict):
        if kind.get("type") == "map":
            return isinstance(value, dict) and all(
                isinstance(k, str) and _is(v, kind["values"]) for k, v in value.items())
        return _matches(value, kind["required"])
    if kind == "integer":
        return isinstance(value, int) and not isinstance(value, bool)
    if kind == "number":
        return isinstance(value, (int, float)) and not isinstance(value, bool)
    if kind == "string":
        return isinstance(value, str)
    if kind == "boolean":
        return isinstance(value, bool)
    if kind == "null":
        return value is None
    return value == kind  # an enumerated constant


def _matches(doc, fields, optional=None):
    optional = optional or {}
    if not isinstance(doc, dict) or set(doc) - set(fields) - set(optional) \
            or set(fields) - set(doc):
        return False
    return all(_is(doc[k], kind) for k, kind in {**fields, **optional}.items() if k in doc)


def validate(doc):
    """Raises AssertionError when `doc` does not follow its command's documented schema."""
    assert doc.get("schema") == 1
    command = doc.get("command")
    assert command in SCHEMAS, command
    body = {k: v for k, v in doc.items() if k not in ("schema", "command")}
    assert _matches(body, SCHEMAS[command], OPTIONAL.get(command)), (command, body)


def run(*argv):
    out, err = io.StringIO(), io.StringIO()
    code = main([str(a) for a in argv], stdout=out, stderr=err)
    return code, out.getvalue(), err.getvalue()


def run_json(*argv):
    code, out, err = run(*argv, "--json")
    assert code == 0, err
    assert out.count("\n") == 1, "one JSON document on one line"
    doc = json.loads(out)
    validate(doc)
    return doc


# ---------------------------------------------------------------------------------------------
# Every command, with --json, against known values of the example


def test_info_on_each_format():
    for path, kind in [(VCD, "vcd"), (FST, "fst"), (str(ROOT / "examples/cpu.vcd.gz"),
                                                     "vcd.gz")]:
        doc = run_json("info", path)
        assert (doc["format"], doc["signals"], doc["scopes"]) == (kind, 13, 3)
        assert (doc["indices"], doc["max_index"], doc["time"]) == \
            (401, 400, {"start": 0, "end": 2000})
    assert run_json("info", WLF)["format"] == "wlf"


@pytest.mark.parametrize("options, names", [
    (["--glob", "cpu.bus.*"], ["cpu.bus.addr", "cpu.bus.wdata", "cpu.bus.we"]),
    (["--contains", "DATA"], ["cpu.data", "cpu.bus.wdata"]),
    (["--glob", "nothing.*"], []),
])
def test_signals_filters(options, names):
    doc = run_json("signals", VCD, *options)
    assert [s["name"] for s in doc["signals"]] == names
    assert doc["count"] == len(names)


def test_signals_lists_all_with_widths():
    doc = run_json("signals", VCD)
    widths = {s["name"]: s["width"] for s in doc["signals"]}
    assert doc["count"] == 13 and widths["cpu.pc"] == 16 and widths["cpu.clk"] == 1


def test_scopes_all_and_one():
    assert run_json("scopes", VCD)["scopes"] == ["cpu", "cpu.alu", "cpu.bus"]
    doc = run_json("scopes", VCD, "cpu.alu")
    assert doc["scope"] == "cpu.alu" and doc["scopes"] == []
    assert doc["signals"] == ["cpu.alu.acc", "cpu.alu.carry", "cpu.alu.temp"]


@pytest.mark.parametrize("path, name, where, signal, index, value, state", [
    (VCD, "cpu.pc", ["--index", 9], "cpu.pc", 9, 8, "value"),
    (VCD, "pc", ["--time", 45], "cpu.pc", 9, 8, "value"),
    (VCD, "pc", ["--time", 49], "cpu.pc", 9, 8, "value"),      # between steps: value in force
    (FST, "pc", ["--index", 9], "cpu.pc [15:0]", 9, 8, "value"),  # range left out of the name
    (VCD, "alu.temp", ["--index", 80], "cpu.alu.temp", 80, 25.75, "value"),
    (VCD, "data", ["--index", 0], "cpu.data", 0, None, "x"),
    (VCD, "bus.addr", ["--index", 0], "cpu.bus.addr", 0, None, "z"),
])
def test_value(path, name, where, signal, index, value, state):
    doc = run_json("value", path, name, *where)
    assert (doc["signal"], doc["index"], doc["value"], doc["state"]) == \
        (signal, index, value, state)


def test_find_with_values_and_limit():
    doc = run_json("find", VCD, "$rose(clk) && valid && ready", "--values", "pc,data",
                   "--limit", 3)
    assert doc["count"] == 89 and doc["truncated"] and doc["limit"] == 3
    assert doc["matches"] == [
        {"index": 9, "time": 45, "values": {"cpu.pc": 8, "cpu.data": 1930549411}},
        {"index": 11, "time": 55, "values": {"cpu.pc": 12, "cpu.data": 2095328386}},
        {"index": 17, "time": 85, "values": {"cpu.pc": 24, "cpu.data": 1363349907}}]


def test_find_scope_and_all_matches():
    doc = run_json("find", VCD, "acc[7] && carry", "--scope", "cpu.alu")
    assert doc["count"] == len(doc["matches"]) and not doc["truncated"]
    assert [m["index"] for m in doc["matches"][:4]] == [23, 24, 31, 32]
    assert doc["matches"][0]["values"] == {}


@pytest.mark.parametrize("expression, extra, code", [
    ("pc == 9999", ["--fail-if-none"], 1),
    ("pc == 9999", [], 0),
    ("pc == 8", ["--fail-if-none"], 0),
])
def test_find_fail_if_none(expression, extra, code):
    got, out, _ = run("find", VCD, expression, "--json", *extra)
    assert got == code
    validate(json.loads(out))  # the document is still printed for the CI log


def test_count_changes_transitions_stats_snapshot():
    assert run_json("count", VCD, "$rose(clk) && valid && ready")["count"] == 89
    doc = run_json("changes", VCD, 9, "--scope", "cpu.bus")
    assert doc["changes"] == [{"signal": "cpu.bus.addr", "old": None, "new": 8},
                              {"signal": "cpu.bus.wdata", "old": None, "new": 166},
                              {"signal": "cpu.bus.we", "old": 0, "new": 1}]
    assert run_json("changes", VCD, 9)["count"] == 10
    doc = run_json("transitions", VCD, "state", "--limit", 2)
    assert doc["count"] == 197 and doc["truncated"]
    assert doc["transitions"] == [{"index": 7, "time": 35, "old": 0, "new": 1},
                                  {"index": 9, "time": 45, "old": 1, "new": 2}]
    doc = run_json("stats", VCD, "cpu.pc")
    assert (doc["min"], doc["max"], doc["sum"], doc["count"], doc["transitions"]) == \
        (0, 788, 156024, 401, 197)
    assert doc["mean"] == pytest.approx(156024 / 401)
    doc = run_json("snapshot", VCD, 9, "--scope", "cpu.alu")
    assert doc["values"] == {"acc": 17, "carry": 1, "temp": 25.0}
    assert run_json("snapshot", VCD, 9)["count"] == 13


@pytest.mark.parametrize("name, count, low, high, x, z", [
    ("cpu.data", 258, 62483857, 4270887171, 143, 0),
    ("cpu.bus.addr", 178, 0, 252, 0, 223),
    ("cpu.alu.temp", 401, 25.0, 29.75, 0, 0),     # reals: over every index they hold
])
def test_stats_counts_and_extremes(name, count, low, high, x, z):
    doc = run_json("stats", VCD, name)
    assert (doc["count"], doc["min"], doc["max"], doc["x"], doc["z"]) == (count, low, high, x, z)
    assert doc["count"] + doc["x"] + doc["z"] == doc["indices"]


def test_stats_of_a_real_weights_each_value_by_its_steps(tmp_path):
    path = tmp_path / "r.vcd"
    path.write_text("$scope module t $end\n$var real 64 ! r $end\n$var wire 1 # c $end\n"
                    "$upscope $end\n$enddefinitions $end\n#0\nr1.0 !\n0#\n#1\n1#\n"
                    "#2\n0#\nr4.0 !\n")
    doc = run_json("stats", path, "t.r")
    assert (doc["count"], doc["min"], doc["max"], doc["sum"]) == (3, 1.0, 4.0, 6.0)


def test_stats_agree_with_the_engine_where_it_cannot_overflow():
    from wavesift import load

    trace = load(VCD)
    for name in trace.signal_names():
        if name == "cpu.alu.temp":      # a real: the engine's statistics leave it out
            continue
        low, high, total, count, changes, _, _ = trace.signal_stats(name)
        doc = run_json("stats", VCD, name)
        assert (doc["count"], doc["sum"], doc["transitions"]) == (count, total, changes), name
        if count:
            assert (doc["min"], doc["max"]) == (low, high), name


def test_stats_sum_does_not_wrap(tmp_path):
    path = tmp_path / "big.vcd"
    path.write_text("$scope module t $end\n$var wire 64 ! w $end\n$var wire 1 # c $end\n"
                    "$upscope $end\n$enddefinitions $end\n#0\nb" + "1" * 64 + " !\n0#\n"
                    "#1\n1#\n#2\n0#\n")
    doc = run_json("stats", path, "t.w")
    assert doc["sum"] == 3 * (2**64 - 1) and doc["mean"] == pytest.approx(2**64 - 1)


def test_stats_without_numeric_values_has_no_min_or_max(tmp_path):
    path = tmp_path / "x.vcd"
    path.write_text("$scope module t $end\n$var wire 4 ! v $end\n$upscope $end\n"
                    "$enddefinitions $end\n#0\nbxxxx !\n#5\nbzzzz !\n")
    doc = run_json("stats", path, "t.v")
    assert (doc["count"], doc["min"], doc["max"], doc["mean"]) == (0, None, None, None)


def test_non_finite_reals_stay_valid_json(tmp_path):
    path = tmp_path / "r.vcd"
    path.write_text("$scope module t $end\n$var real 64 ! r $end\n$upscope $end\n"
                    "$enddefinitions $end\n#0\nrnan !\n#5\nrinf !\n")
    assert [t["new"] for t in run_json("transitions", path, "t.r")["transitions"]] == ["inf"]
    assert run_json("value", path, "t.r", "--index", 0)["value"] == "nan"


# ---------------------------------------------------------------------------------------------
# Human-readable output


def test_human_tables():
    code, out, err = run("find", VCD, "$rose(clk) && valid && ready", "--values", "pc",
                         "--limit", "2")
    assert code == 0 and err == ""
    lines = out.splitlines()
    assert lines[0].split() == ["index", "time", "cpu.pc"]
    assert lines[2].split() == ["9", "45", "8"]
    assert lines[-1] == "89 matches (2 shown)"
    _, out, _ = run("changes", VCD, 9, "--scope", "cpu.bus")
    assert "cpu.bus.addr" in out and " z " in out   # Z shown as z, not as a blank
    _, out, _ = run("value", VCD, "data", "--index", 0)
    assert out.splitlines()[-1].split()[-1] == "x"
    _, out, _ = run("count", VCD, "valid")
    assert out == "258\n"


# ---------------------------------------------------------------------------------------------
# Errors: exit code 2, one line on stderr, nothing on stdout


@pytest.mark.parametrize("argv, message", [
    (["info", "no-such-file.vcd"], "no such file"),
    (["info", str(ROOT / "examples" / "demo.py")], "cannot tell the format"),
    (["value", VCD, "nope", "--index", "1"], "unknown signal 'nope'"),
    (["value", VCD, "pc", "--index", "401"], "outside the trace"),
    (["value", VCD, "pc"], "one of the arguments --index --time is required"),
    (["value", VCD, "pc", "--index", "-1"], "must not be negative"),
    (["value", VCD, "pc", "--index", "1", "--time", "5"], "not allowed with"),
    (["find", VCD, "valid && (ready"], "bad expression"),
    (["find", VCD, "valid", "--values", "pc,nope"], "unknown signal 'nope'"),
    (["find", VCD, "valid", "--scope", "cpu.nowhere"], "unknown scope"),
    (["changes", VCD, "99999"], "outside the trace"),
    (["snapshot", VCD, "1", "--scope", "cpu.nowhere"], "unknown scope"),
    (["signals", VCD, "--glob", "a", "--contains", "b"], "not allowed with"),
    (["stats", VCD, "pc."], "unknown signal"),
    (["plot", VCD, "clk", "--index", "1", "-o", "out.gif"], "must end in .svg, .png"),
    (["bogus"], "invalid choice"),
    ([], "required"),
])
def test_usage_and_load_errors(argv, message):
    code, out, err = run(*argv)
    assert code == 2
    assert out == ""
    assert err.startswith("wavesift: error: ") and message in err
    assert err.count("\n") == 1, err


def test_time_before_the_trace_starts(tmp_path):
    path = tmp_path / "late.vcd"
    path.write_text("$scope module t $end\n$var wire 1 ! a $end\n$upscope $end\n"
                    "$enddefinitions $end\n#10\n1!\n#20\n0!\n")
    code, out, err = run("value", path, "a", "--time", 5)
    assert code == 2 and out == "" and "before the trace starts" in err
    assert run_json("value", path, "a", "--time", 25)["value"] == 0


@pytest.mark.parametrize("argv", [
    ["--json", "count", VCD, "valid"],
    ["count", "--json", VCD, "valid"],
    ["count", VCD, "valid", "--json"],
])
def test_json_flag_anywhere(argv):
    code, out, _ = run(*argv)
    assert code == 0 and json.loads(out)["count"] == 258


def test_help_exits_zero(capsys):
    assert main(["--help"]) == 0
    assert "snapshot" in capsys.readouterr().out


def test_ambiguous_short_name_is_refused(tmp_path):
    path = tmp_path / "two.vcd"
    path.write_text("$scope module a $end\n$var wire 1 ! v $end\n$upscope $end\n"
                    "$scope module b $end\n$var wire 1 # v $end\n$upscope $end\n"
                    "$enddefinitions $end\n#0\n0!\n1#\n")
    code, _, err = run("value", path, "v", "--index", 0)
    assert code == 2 and "ambiguous" in err


def test_progress_only_on_a_terminal():
    class Terminal(io.StringIO):
        def isatty(self):
            return True

    err = Terminal()
    assert main(["count", VCD, "valid"], stdout=io.StringIO(), stderr=err) == 0
    assert "loaded" in err.getvalue() and " s\n" in err.getvalue()
    assert run("count", VCD, "valid")[2] == ""


# ---------------------------------------------------------------------------------------------
# As a program


def test_runs_as_a_module():
    env = dict(os.environ)
    result = subprocess.run([sys.executable, "-m", "wavesift.cli", "info", VCD, "--json"],
                            capture_output=True, text=True, env=env, timeout=120)
    assert result.returncode == 0, result.stderr
    validate(json.loads(result.stdout))
    result = subprocess.run([sys.executable, "-m", "wavesift.cli", "find", VCD, "pc == 9999",
                             "--fail-if-none"], capture_output=True, text=True, timeout=120)
    assert result.returncode == 1
    result = subprocess.run([sys.executable, "-m", "wavesift.cli", "info", "missing.vcd"],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 2 and result.stderr.count("\n") == 1



# ---------------------------------------------------------------------------------------------
# A generated benchmark trace: thousands of signals, X and Z, reals, wide words


@pytest.fixture(scope="module")
def bench_trace(tmp_path_factory):
    path = tmp_path_factory.mktemp("bench") / "bench.vcd"
    subprocess.run([sys.executable, str(ROOT / "bench" / "gen_vcd.py"), str(path),
                    "--size-mb", "20", "--signals", "1000"], check=True, capture_output=True,
                   timeout=300)
    return str(path)


def test_every_command_on_a_benchmark_trace(bench_trace, tmp_path):
    info = run_json("info", bench_trace)
    assert info["signals"] == 1000 and info["indices"] > 10_000
    signals = run_json("signals", bench_trace)["signals"]
    bit = next(s["name"] for s in signals if s["width"] == 1)
    bus = next(s["name"] for s in signals if 8 <= s["width"] <= 64)
    scope = bit.rsplit(".", 1)[0]
    assert bit in run_json("scopes", bench_trace, scope)["signals"]
    assert run_json("signals", bench_trace, "--glob", bit)["count"] == 1

    middle = info["max_index"] // 2
    at_index = run_json("value", bench_trace, bus, "--index", middle)
    at_time = run_json("value", bench_trace, bus, "--time", at_index["time"])
    assert at_time["value"] == at_index["value"] and at_time["state"] == at_index["state"]

    condition = f"$rose({bit}) && !$isunknown({bus})"
    total = run_json("count", bench_trace, condition)["count"]
    found = run_json("find", bench_trace, condition, "--values", bus, "--limit", 5)
    assert found["count"] == total > 0 and len(found["matches"]) == min(5, total)
    for match in found["matches"]:
        assert isinstance(match["values"][bus], int)

    changes = run_json("changes", bench_trace, middle, "--scope", scope)
    assert all(c["signal"].startswith(scope + ".") for c in changes["changes"])
    transitions = run_json("transitions", bench_trace, bus)
    assert transitions["count"] == len(transitions["transitions"]) > 0
    stats = run_json("stats", bench_trace, bus)
    assert stats["count"] + stats["x"] + stats["z"] == stats["indices"] == info["indices"]
    assert stats["transitions"] == transitions["count"]
    assert run_json("snapshot", bench_trace, middle)["count"] == 1000
    out = tmp_path / "bench.svg"
    assert run_json("plot", bench_trace, bit, bus, "--index", middle, "-o", out)["signals"] \
        == [bit, bus]
    assert out.stat().st_size > 1000


def test_reference_examples_show_real_output(monkeypatch):
    """The `$ wavesift ...` sessions of docs/cli.md print what they show."""
    import re
    import shlex

    monkeypatch.chdir(ROOT)
    text = (ROOT / "docs" / "cli.md").read_text(encoding="utf-8")
    checked = 0
    for block in re.findall(r"^```sh\n(.*?)^```", text, re.MULTILINE | re.DOTALL):
        for session in re.split(r"\n(?=\$ )", block.strip()):
            command, _, shown = session.partition("\n")
            if not command.startswith("$ wavesift ") or "||" in command:
                continue
            code, out, err = run(*shlex.split(command[len("$ wavesift "):]))
            assert (code, err) == (0, ""), command
            assert out.strip() == shown.strip(), command
            checked += 1
    assert checked >= 3
