"""Writes examples/handshake.wlf, a minimal synthetic WLF file for the user guide.

No simulator made it: it holds only the structures wavesift's WLF reader recovers (a header
page with NUL-terminated names, one value page with one-byte records), so the guide can show
what loading a WLF file gives. Real WLF files carry much more that the reader passes over.

usage: python examples/make_wlf_sample.py
"""

import pathlib

PAGE = 8192
NAMES = ["top.unused", "top.clk", "top.valid", "top.data"]  # id 0 never receives values
# (clk, valid, data) at each time step.
STEPS = [(0, 0, 0), (1, 0, 0), (0, 1, 0x3F), (1, 1, 0x3F), (0, 1, 0x40), (1, 1, 0x40),
         (0, 0, 0x40), (1, 0, 0x40)]


def header_page() -> bytes:
    page = bytearray(PAGE)
    names = b"".join(name.encode() + b"\0" for name in NAMES)
    area = 40 + 3  # three empty length-prefixed strings precede the names
    page[area:area + len(names)] = names
    page[2:4] = (area + len(names)).to_bytes(2, "big")  # used length of the page
    page[24:26] = len(NAMES).to_bytes(2, "big")  # expected signal count
    return bytes(page)


def value_page() -> bytes:
    records = bytearray()
    for step, values in enumerate(STEPS):
        if step:
            records.append(0xFF)  # next time step
        for signal_id, value in enumerate(values, start=1):
            records += bytes([signal_id, value])
    page = bytearray(PAGE)
    page[0:2] = b"\xff\xff"  # the value-page mark
    page[2:4] = (len(records) + 2).to_bytes(2, "big")
    page[16:16 + len(records)] = records
    return bytes(page)


if __name__ == "__main__":
    out = pathlib.Path(__file__).with_name("handshake.wlf")
    out.write_bytes(header_page() + value_page())
    print(f"wrote {out}")
