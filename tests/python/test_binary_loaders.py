import pytest

from wavesift import PyTrace

LOADERS = ["from_fst", "from_fsdb", "from_vpd", "from_wlf", "from_shm"]


@pytest.mark.parametrize("loader", LOADERS)
def test_path_must_be_str(loader):
    with pytest.raises(TypeError) as info:
        getattr(PyTrace, loader)(1)
    assert str(info.value) == "argument 'path': 'int' object is not an instance of 'str'"
    assert getattr(PyTrace, loader).__text_signature__ == "(path)"


@pytest.mark.parametrize("loader, prefix", [
    ("from_fsdb", "Failed to read "), ("from_vpd", "Failed to read "),
    ("from_wlf", "Failed to read ")])
def test_missing_file(tmp_path, loader, prefix):
    path = str(tmp_path / "missing")
    with pytest.raises(ValueError) as info:
        getattr(PyTrace, loader)(path)
    assert str(info.value).startswith(prefix + path + ": ")


def test_wlf_zero_page_and_too_small(tmp_path):
    page = tmp_path / "zero.wlf"
    page.write_bytes(bytes(8192))
    t = PyTrace.from_wlf(str(page))
    assert t.signal_names() == [] and t.max_index() == 0
    small = tmp_path / "small.wlf"
    small.write_bytes(bytes(100))
    with pytest.raises(ValueError, match=r"^WLF file too small \(< 1 page\)$"):
        PyTrace.from_wlf(str(small))


def test_vpd_checks(tmp_path):
    small = tmp_path / "small.vpd"
    small.write_bytes(b"xx")
    with pytest.raises(ValueError, match="^VPD file too small$"):
        PyTrace.from_vpd(str(small))
    wrong = tmp_path / "wrong.vpd"
    wrong.write_bytes(b"\x12\x34\x56\x78" + bytes(200))
    with pytest.raises(ValueError) as info:
        PyTrace.from_vpd(str(wrong))
    assert str(info.value).startswith("Not a VPD file (magic=0x")


def test_fsdb_too_small(tmp_path):
    small = tmp_path / "small.fsdb"
    small.write_bytes(b"\x00" * 8)
    with pytest.raises(ValueError, match="^FSDB file too small$"):
        PyTrace.from_fsdb(str(small))


def test_shm_paths(tmp_path):
    empty = tmp_path / "empty.shm"
    empty.mkdir()
    with pytest.raises(ValueError) as info:
        PyTrace.from_shm(str(empty))
    assert str(info.value) == f"No .dsn/.trn in {empty}"
    with pytest.raises(ValueError) as info:
        PyTrace.from_shm(str(tmp_path / "missing.dsn"))
    assert str(info.value) == "DSN: No such file or directory"
    bad = tmp_path / "bad.dsn"
    bad.write_bytes(b"\x12\x34\x56\x78" + bytes(200))
    with pytest.raises(ValueError, match=r"^Bad DSN magic: 0x[0-9A-F]{8}$"):
        PyTrace.from_shm(str(bad))


@pytest.mark.parametrize("loader, prefix", [
    ("from_vcd", "Failed to open "), ("from_fst", "Failed to open "),
    ("from_fsdb", "Failed to read "), ("from_vpd", "Failed to read "),
    ("from_wlf", "Failed to read "), ("from_shm", "DSN: ")])
def test_path_with_nul_names_no_file(tmp_path, loader, prefix):
    # The part before the NUL exists, but a path with a NUL names no file at all.
    real = tmp_path / "t.vcd"
    real.write_text("$var wire 1 ! a $end\n#0\n1!\n")
    with pytest.raises(ValueError) as info:
        getattr(PyTrace, loader)(str(real) + "\x00junk")
    assert str(info.value).startswith(prefix) and str(info.value).endswith("Invalid argument")


def test_huge_range_is_a_memory_error():
    t = PyTrace.from_vcd_string("$var wire 1 ! a $end\n#0\n1!\n")
    with pytest.raises(MemoryError):
        t.signal_values_range("a", 0, 2**64 - 1)
