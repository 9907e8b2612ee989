"""Timing-diagram pictures: SVG structure, PNG output, and `find --plot`."""

import io
import json
import struct
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

from wavesift import PyTrace, load
from wavesift.cli import main
from wavesift.plot import names_in_expression, plot

ROOT = Path(__file__).resolve().parents[2]
VCD = str(ROOT / "examples" / "cpu.vcd")
SVG = "{http://www.w3.org/2000/svg}"

FOUR_STATE = """$scope module t $end
$var wire 1 ! b $end
$var wire 4 # v $end
$upscope $end
$enddefinitions $end
#0
x!
bxxxx #
#10
1!
b0011 #
#20
z!
bzzzz #
#30
0!
b1010 #
"""


@pytest.fixture(scope="module")
def cpu():
    return load(VCD)


def _rows(svg):
    root = ET.fromstring(svg)
    return root, {g.get("data-name"): g for g in root.iter(SVG + "g")
                  if g.get("class") == "signal"}


def _texts(element):
    return [t.text for t in element.iter(SVG + "text")]


def test_svg_structure(cpu):
    svg = plot(cpu, ["clk", "cpu.pc", "cpu.data", "bus.addr"], 9, window=8)
    root, rows = _rows(svg)
    assert list(rows) == ["cpu.clk", "cpu.pc", "cpu.data", "cpu.bus.addr"]
    # 17 columns (indices 1..17); the width and height follow from them and the rows
    width, height = float(root.get("width")), float(root.get("height"))
    assert 17 * 8 < width <= 1600 and height >= 4 * 30
    assert [e.get("class") for e in rows["cpu.clk"]].count("bit") >= 1   # a line, not a bus
    pc_labels = _texts(rows["cpu.pc"])
    assert {"0", "4", "8", "c"} <= set(pc_labels)                   # hexadecimal labels
    assert "X" in _texts(rows["cpu.data"])                           # X before the transfer
    assert any(e.get("class") == "z" for e in rows["cpu.bus.addr"])  # Z before index 9
    highlight = [e for e in root.iter(SVG + "rect") if e.get("class") == "highlight"]
    assert len(highlight) == 1
    times = [t.text for t in root.iter(SVG + "text") if t.get("class") == "time"]
    assert "45" in times and times == sorted(times, key=int)


def test_bus_segments_split_at_changes(cpu):
    _, rows = _rows(plot(cpu, ["cpu.pc"], 9, window=8))
    # pc over indices 1..17 changes at 7, 9, 11, 13, 15, 17: seven segments
    assert sum(e.get("class") == "bus" for e in rows["cpu.pc"]) == 7


def test_four_state_one_bit_and_bus():
    trace = PyTrace.from_vcd_string(FOUR_STATE)
    _, rows = _rows(plot(trace, ["t.b", "t.v"], 1, window=2))
    bit = [e.get("class") for e in rows["t.b"]]
    assert bit.count("x") == 1 and bit.count("z") == 1 and bit.count("bit") == 2
    bus = [e.get("class") for e in rows["t.v"]]
    assert bus.count("x") == 1 and bus.count("z") == 1 and bus.count("bus") == 2
    assert "a" in _texts(rows["t.v"])


def test_window_is_clipped_to_the_trace(cpu):
    root, _ = _rows(plot(cpu, ["clk"], 0, window=3))
    times = [t.text for t in root.iter(SVG + "text") if t.get("class") == "time"]
    assert times[0] == "0" and len(times) <= 4


def test_names_are_escaped():
    trace = PyTrace.from_vcd_string("$scope module t $end\n$var wire 1 ! a<b>&c $end\n"
                                    "$upscope $end\n$enddefinitions $end\n#0\n1!\n")
    svg = plot(trace, ["t.a<b>&c"], 0)
    _, rows = _rows(svg)   # parses: the name did not break the XML
    assert list(rows) == ["t.a<b>&c"]


@pytest.mark.parametrize("names, index, kwargs, message", [
    (["nope"], 1, {}, "unknown signal"),
    ([], 1, {}, "at least one"),
    (["clk"], 401, {}, "outside the trace"),
    (["clk"], 1, {"output": "x.jpg"}, "must end in .svg, .png or .json"),
])
def test_errors(cpu, names, index, kwargs, message):
    with pytest.raises(ValueError, match=message):
        plot(cpu, names, index, **kwargs)


def test_writes_svg_file(cpu, tmp_path):
    out = tmp_path / "w.svg"
    svg = plot(cpu, ["clk", "pc"], 20, output=out)
    assert out.read_text(encoding="utf-8") == svg
    assert out.stat().st_size > 2000


def test_writes_png(cpu, tmp_path):
    pytest.importorskip("cairosvg")
    out = tmp_path / "w.png"
    plot(cpu, ["clk", "valid", "ready", "pc", "data"], 9, window=8, output=out)
    data = out.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    width, height = struct.unpack(">II", data[16:24])
    assert 800 < width <= 1600 and 150 < height < 400
    assert len(data) > 5000


def test_names_in_expression(cpu):
    assert names_in_expression(cpu, "$rose(clk) && valid && pc[3:0] == 4 && valid@-1") == \
        ["cpu.clk", "cpu.valid", "cpu.pc"]
    assert names_in_expression(cpu, "acc[7] && carry", "cpu.alu") == \
        ["cpu.alu.acc", "cpu.alu.carry"]


def _cli(*argv):
    out, err = io.StringIO(), io.StringIO()
    code = main([str(a) for a in argv], stdout=out, stderr=err)
    return code, out.getvalue(), err.getvalue()


def test_cli_plot(tmp_path):
    out = tmp_path / "p.svg"
    code, text, err = _cli("plot", VCD, "clk", "valid", "pc", "--index", 9, "-o", out,
                           "--json")
    assert code == 0, err
    doc = json.loads(text)
    assert doc["signals"] == ["cpu.clk", "cpu.valid", "cpu.pc"] and doc["output"] == str(out)
    _, rows = _rows(out.read_text())
    assert list(rows) == doc["signals"]


def test_cli_find_plot_writes_one_picture_per_shown_match(tmp_path):
    code, text, err = _cli("find", VCD, "$rose(clk) && valid && ready", "--limit", 3,
                           "--values", "data", "--plot", tmp_path / "pics", "--json")
    assert code == 0, err
    doc = json.loads(text)
    assert len(doc["plots"]) == 3
    for match, path in zip(doc["matches"], doc["plots"]):
        assert Path(path).name == f"match-{match['index']:08d}.svg"
        _, rows = _rows(Path(path).read_text())
        assert list(rows) == ["cpu.clk", "cpu.valid", "cpu.ready", "cpu.data"]


def test_cli_png_without_cairosvg_is_a_one_line_error(tmp_path, monkeypatch):
    import sys

    monkeypatch.setitem(sys.modules, "cairosvg", None)   # makes its import fail
    code, text, err = _cli("plot", VCD, "clk", "--index", 9, "-o", tmp_path / "p.png")
    assert code == 2 and text == "" and "cairosvg" in err and err.count("\n") == 1
    assert not (tmp_path / "p.png").exists()


def test_cli_find_plot_is_bounded_without_a_limit(tmp_path):
    code, text, err = _cli("find", VCD, "clk", "--plot", tmp_path, "--json")
    doc = json.loads(text)
    assert code == 0 and doc["count"] > 100 and len(doc["matches"]) == doc["count"]
    assert len(doc["plots"]) == 10 == len(list(tmp_path.iterdir()))


def test_wavejson_matches_the_trace(cpu):
    from wavesift.plot import wavejson

    doc = wavejson(cpu, ["clk", "pc", "data", "bus.addr"], 9, window=8)
    assert doc["head"]["tick"] == 1
    waves = {row["name"]: row for row in doc["signal"]}
    for name, row in waves.items():
        assert len(row["wave"]) == 17 and set(row["wave"]) <= set("01xz=.")
        assert row["wave"].count("=") == len(row.get("data", []))
        # Replaying the wave gives back the trace's value at every index
        labels = iter(row.get("data", []))
        current = None
        for offset, char in enumerate(row["wave"]):
            if char != ".":
                current = next(labels) if char == "=" else char
            value = cpu.signal_value(name, 1 + offset)
            if value is None:
                assert current in ("x", "z"), (name, offset)
            else:
                assert current == (f"{value:x}" if value > 9 else str(value)), (name, offset)
    assert waves["cpu.bus.addr"]["wave"].startswith("z")
    assert waves["cpu.data"]["wave"].startswith("x")


def test_cli_writes_wavejson(tmp_path):
    out = tmp_path / "w.json"
    code, _, err = _cli("plot", VCD, "clk", "pc", "--index", 9, "-o", out)
    assert code == 0, err
    doc = json.loads(out.read_text())
    assert [row["name"] for row in doc["signal"]] == ["cpu.clk", "cpu.pc"]
