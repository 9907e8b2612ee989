"""wavesift.load: the format comes from the content first and the name second, and a file
that fits no format is refused rather than read as an empty trace."""

import gzip
import pathlib
import runpy
import shutil

import pytest

import wavesift
from wavesift import PyTrace
from wavesift.loading import detect_format

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


def same_trace(a, b):
    names = a.signal_names()
    assert names == b.signal_names() and a.max_index() == b.max_index()
    last = a.max_index() + 1
    for name in names:
        assert a.signal_values_range(name, 0, last) == b.signal_values_range(name, 0, last)


def wlf_page(used=100):
    page = bytearray(8192)
    page[2:4] = used.to_bytes(2, "big")
    return bytes(page)


# Content that identifies a format, stored under a name that does not.
BY_CONTENT = [
    ("fsdb", bytes(4) + b"\x1c\x3e\xd9\x48" + bytes(600), PyTrace.from_fsdb),
    ("fsdb", bytes(4) + b"\xfd\xe0\x99\xc1" + bytes(600), PyTrace.from_fsdb),
    ("vpd", b"\x78\x56\x34\x12" + bytes(600), PyTrace.from_vpd),
    ("shm", b"\xa1\x95\x11\xbf" + bytes(600), PyTrace.from_shm),
    ("wlf", wlf_page() * 2, PyTrace.from_wlf),
]


@pytest.mark.parametrize("kind, content, loader", BY_CONTENT,
                         ids=[f"{k}-{i}" for i, (k, _, _) in enumerate(BY_CONTENT)])
def test_closed_formats_by_content(tmp_path, kind, content, loader):
    path = tmp_path / "trace.bin"
    path.write_bytes(content)
    assert detect_format(path) == kind
    same_trace(wavesift.load(path), loader(str(path)))


@pytest.mark.parametrize("example, renamed, loader", [
    ("cpu.vcd", "cpu.dump", PyTrace.from_vcd), ("cpu.fst", "cpu.vcd", PyTrace.from_fst),
    ("cpu-gzip.fst", "cpu", PyTrace.from_fst), ("cpu.vcd.gz", "cpu.fst", None)])
def test_open_formats_by_content_not_name(tmp_path, example, renamed, loader):
    path = tmp_path / renamed
    shutil.copy(EXAMPLES / example, path)
    # The gzip-compressed VCD must read exactly as the VCD it was made from.
    expected = loader(str(EXAMPLES / example)) if loader else \
        PyTrace.from_vcd(str(EXAMPLES / "cpu.vcd"))
    same_trace(wavesift.load(str(path)), expected)


@pytest.mark.parametrize("name, kind", [
    ("empty.vcd", "vcd"), ("x.wlf", "wlf"), ("x.dsn", "shm"), ("x.trn", "shm"),
    ("x.fsdb", "fsdb"), ("x.vpd", "vpd"), ("x.fst", "fst"), ("x.vcd.gz", "vcd.gz")])
def test_name_decides_when_content_has_no_mark(tmp_path, name, kind):
    path = tmp_path / name
    # Zero bytes carry no mark; an empty file is only a (valid, empty) VCD.
    path.write_bytes(b"" if kind == "vcd" else bytes(8192))
    assert detect_format(path) == kind


def test_shm_directory(tmp_path):
    assert detect_format(tmp_path) == "shm"
    with pytest.raises(ValueError, match="^No .dsn/.trn in "):
        wavesift.load(tmp_path)


def test_empty_vcd_loads_empty(tmp_path):
    path = tmp_path / "empty.vcd"
    path.write_bytes(b"")
    assert wavesift.load(path).signal_names() == []


@pytest.mark.parametrize("name, content", [
    ("notes.txt", b"hello, world\n"),
    ("blob", bytes(range(256))),
    ("empty.fst", b""),
    ("half.wlf.bin", wlf_page()[:5000]),
])
def test_unrecognised_file_is_refused(tmp_path, name, content):
    path = tmp_path / name
    path.write_bytes(content)
    with pytest.raises(ValueError, match="^cannot tell the format of .*match no FST, FSDB"):
        wavesift.load(path)


@pytest.mark.parametrize("content, message", [
    (gzip.compress(b"\x00\x01 not a trace"), "the gzip file does not hold VCD text"),
    (gzip.compress(b"$scope module \xff $end\n"), "the decompressed VCD is not UTF-8 text"),
    (gzip.compress((EXAMPLES / "cpu.vcd").read_bytes())[:-100], "not a readable gzip file"),
])
def test_bad_vcd_gz(tmp_path, content, message):
    path = tmp_path / "bad.vcd.gz"
    path.write_bytes(content)
    with pytest.raises(ValueError, match=message):
        wavesift.load(path)


def test_missing_file_and_wrong_type(tmp_path):
    with pytest.raises(FileNotFoundError):
        wavesift.load(tmp_path / "missing.vcd")
    with pytest.raises(TypeError):
        wavesift.load(42)


def test_wlf_sample_is_reproducible():
    namespace = runpy.run_path(str(EXAMPLES / "make_wlf_sample.py"), run_name="sample")
    content = namespace["header_page"]() + namespace["value_page"]()
    assert content == (EXAMPLES / "handshake.wlf").read_bytes()
    assert detect_format(EXAMPLES / "handshake.wlf") == "wlf"


def test_reader_errors_pass_through(tmp_path):
    path = tmp_path / "bad.vpd"
    path.write_bytes(b"\x78\x56\x34")
    with pytest.raises(ValueError, match="^VPD file too small$"):
        wavesift.load(path)
