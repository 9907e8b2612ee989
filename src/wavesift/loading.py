"""`load`: one entry point for every trace format, chosen by what the file holds.

The content decides first, because file names lie (a `.dump` that is VCD, an FST renamed
`.vcd`); the name is consulted only when the content has no recognisable mark, as for an
empty VCD file or the closed formats whose headers carry no magic number.
"""

import gzip
import os
import re
import zlib
from collections.abc import Callable

from wavesift._core import PyTrace

_HEAD_SIZE = 4096
_WLF_PAGE = 8192
_FST_HEADER_LENGTH = 329  # the length field of FST's header block, which opens the file
_FST_GZIP_WRAPPER = 254  # block type of an FST file gzip-compressed as a whole
_FSDB_MAGICS = (b"\xfd\xe0\x99\xc1", b"\x1c\x3e\xd9\x48")  # at offset 4, older and newer layout
_VPD_MAGIC = b"\x78\x56\x34\x12"
_DSN_MAGIC = b"\xa1\x95\x11\xbf"
_GZIP_MAGIC = b"\x1f\x8b"
_VCD_START = re.compile(rb"\s*(\$[a-z]+\b|#[0-9])")

_BY_SUFFIX = {".vcd": "vcd", ".fst": "fst", ".fsdb": "fsdb", ".vpd": "vpd", ".wlf": "wlf",
              ".dsn": "shm", ".trn": "shm", ".shm": "shm"}

_LOADERS: dict[str, Callable[[str], PyTrace]] = {
    "vcd": PyTrace.from_vcd, "fst": PyTrace.from_fst, "fsdb": PyTrace.from_fsdb,
    "vpd": PyTrace.from_vpd, "wlf": PyTrace.from_wlf, "shm": PyTrace.from_shm}

FORMATS = ("vcd", "vcd.gz", "fst", "fsdb", "vpd", "wlf", "shm")


def load(path: str | os.PathLike[str]) -> PyTrace:
    """Loads the trace at `path`, whatever its format, and returns its `PyTrace`.

    Recognised: VCD text; FST (its header block, or the whole-file gzip wrapper); FSDB and
    VPD by their magic numbers; WLF by its 8192-byte page layout; SHM as a directory or a
    `.dsn`/`.trn` file; and gzip-compressed VCD (`.vcd.gz`).

    A `.vcd.gz` is decompressed in memory and parsed as text: while loading, it holds the
    whole uncompressed text twice (as bytes, then as a `str`), on top of the trace itself.
    Gunzip very large files and load the `.vcd` instead, which the reader streams from disk.

    Raises `FileNotFoundError` for a missing path, and `ValueError` when no format fits or
    the format's reader refuses the file (with the reader's message).
    """
    path = os.fspath(path)
    if not isinstance(path, str):
        raise TypeError(f"path must be a str or os.PathLike[str], not {type(path).__name__}")
    kind = detect_format(path)
    if kind == "vcd.gz":
        return _load_vcd_gz(path)
    return _LOADERS[kind](path)


def detect_format(path: str | os.PathLike[str]) -> str:
    """The format of the trace at `path`, one of `FORMATS`; `ValueError` when none fits."""
    path = os.fspath(path)
    if os.path.isdir(path):
        return "shm"
    with open(path, "rb") as file:
        head = file.read(_HEAD_SIZE)
        size = os.fstat(file.fileno()).st_size
    kind = _format_of_content(head, size)
    if kind is None:
        kind = _format_of_name(path, size)
    if kind is None:
        shown = head[:16].hex(" ") or "nothing: the file is empty"
        raise ValueError(
            f"cannot tell the format of {path}: it is not VCD text and its first bytes "
            f"({shown}) match no FST, FSDB, VPD, WLF or SHM header. Give it its format's "
            "suffix (.vcd, .fst, .fsdb, .vpd, .wlf, .dsn, .trn) or call a PyTrace.from_* "
            "loader directly.")
    return kind


def _format_of_content(head: bytes, size: int) -> str | None:
    if head.startswith(_GZIP_MAGIC):
        return "vcd.gz"
    if len(head) >= 9 and head[0] == 0 \
            and int.from_bytes(head[1:9], "big") == _FST_HEADER_LENGTH:
        return "fst"
    if head[:1] == bytes([_FST_GZIP_WRAPPER]) and len(head) >= 17:
        return "fst"
    if head[4:8] in _FSDB_MAGICS:
        return "fsdb"
    if head.startswith(_VPD_MAGIC):
        return "vpd"
    if head.startswith(_DSN_MAGIC):
        return "shm"
    if b"\0" not in head and _VCD_START.match(head):
        return "vcd"
    if _looks_like_wlf(head, size):
        return "wlf"
    return None


def _looks_like_wlf(head: bytes, size: int) -> bool:
    """Whole 8192-byte pages, and a header page whose used length fits in it."""
    if size < _WLF_PAGE or size % _WLF_PAGE or len(head) < 4:
        return False
    used = int.from_bytes(head[2:4], "big")
    return 40 <= used <= _WLF_PAGE


def _format_of_name(path: str, size: int) -> str | None:
    name = path.lower()
    if name.endswith(".vcd.gz"):
        return "vcd.gz"
    kind = _BY_SUFFIX.get(os.path.splitext(name)[1])
    # An empty file is a valid (empty) VCD, but no binary reader has anything to read.
    if kind is not None and kind != "vcd" and size == 0:
        return None
    return kind


def _load_vcd_gz(path: str) -> PyTrace:
    try:
        with gzip.open(path, "rb") as file:
            data = file.read()
    except (OSError, EOFError, zlib.error) as error:
        raise ValueError(f"{path}: not a readable gzip file ({error})") from None
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise ValueError(f"{path}: the decompressed VCD is not UTF-8 text ({error}); gunzip it "
                         "and load the .vcd file") from None
    del data
    # The VCD reader accepts any text, so a compressed file of another kind must stop here.
    if not _VCD_START.match(text[:_HEAD_SIZE].encode("utf-8", "replace")):
        raise ValueError(f"{path}: the gzip file does not hold VCD text")
    return PyTrace.from_vcd_string(text)
