#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_jet_tabledef (tests/fuzz/corpus/jet_tabledef).

Each seed is byte 0 (the layout selector, see fuzz_jet_tabledef.cpp) and a
tiny file image with 256-byte pages: page 0 a Jet header (masked block with
a password), then table-definition pages built from the documented layout.
The seeds are made here from scratch; none is cut from a real database.
"""
import os
import struct
import sys

PAGE = 256


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 0xFF
        s[i], s[j] = s[j], s[i]
    out = bytearray()
    i = j = 0
    for b in data:
        i = (i + 1) & 0xFF
        j = (j + s[i]) & 0xFF
        s[i], s[j] = s[j], s[i]
        out.append(b ^ s[(s[i] + s[j]) & 0xFF])
    return bytes(out)


def header(jet3, password):
    page = bytearray(PAGE)
    page[0:4] = b"\x00\x01\x00\x00"
    page[4:20] = b"Standard Jet DB\x00"
    page[0x14] = 0 if jet3 else 1
    n = 126 if jet3 else 128
    block = bytearray(n)
    struct.pack_into("<H", block, 0x3C - 0x18, 949 if jet3 else 1252)
    date = 45366.39
    if jet3:
        pw = password.encode("ascii").ljust(20, b"\x00")
    else:
        struct.pack_into("<d", block, 0x72 - 0x18, date)
        mask = struct.pack("<I", int(date))
        raw = password.encode("utf-16-le").ljust(40, b"\x00")
        pw = bytes(b ^ mask[i % 4] for i, b in enumerate(raw))
    block[0x42 - 0x18:0x42 - 0x18 + len(pw)] = pw
    page[0x18:0x18 + n] = rc4(bytes([0xC7, 0xDA, 0x39, 0x6B]), bytes(block))
    return bytes(page)


def name(jet3, text):
    raw = text.encode("cp949" if jet3 else "utf-16-le")
    return (struct.pack("<B", len(raw)) if jet3 else struct.pack("<H", len(raw))) + raw


def tdef(jet3, columns, physical, logical, column_count=None):
    """columns: (type, number, length); physical: [[col numbers]], flags;
    logical: (number, physical, type, side, rel_index, rel_page, name)."""
    b = bytearray(43 if jet3 else 63)
    b[0:2] = b"\x02\x01"
    if jet3:
        struct.pack_into("<I", b, 12, 3)
        struct.pack_into("<BHHHII", b, 20, 0x4E, len(columns), 0, column_count or len(columns), len(logical),
                         len(physical))
    else:
        struct.pack_into("<I", b, 16, 3)
        struct.pack_into("<BHHHII", b, 40, 0x4E, len(columns), 0, column_count or len(columns), len(logical),
                         len(physical))
    b += bytes((8 if jet3 else 12) * len(physical))
    for typ, number, length in columns:
        entry = bytearray(18 if jet3 else 25)
        entry[0] = typ
        struct.pack_into("<H", entry, 1 if jet3 else 5, number)
        entry[13 if jet3 else 15] = 0x01 if typ != 10 else 0x02
        struct.pack_into("<H", entry, 16 if jet3 else 23, length)
        b += entry
    for i, _ in enumerate(columns):
        b += name(jet3, "c%d" % i)
    for cols, flags in physical:
        entry = bytearray(39 if jet3 else 52)
        base = 0 if jet3 else 4
        for k in range(10):
            number = cols[k] if k < len(cols) else 0xFFFF
            struct.pack_into("<HB", entry, base + 3 * k, number, 1)
        entry[38 if jet3 else 46] = flags
        b += entry
    for number, phys, typ, side, rel_index, rel_page, _ in logical:
        entry = bytearray(20 if jet3 else 28)
        base = 0 if jet3 else 4
        struct.pack_into("<iiBiiBBB", entry, base, number, phys, side, rel_index, rel_page, 0, 1, typ)
        b += entry
    for *_, text in logical:
        b += name(jet3, text)
    return bytes(b)


def pages(definition, first, chain_to=None):
    """Cuts a definition into pages starting at `first` (continuations lose
    nothing: their bytes follow an 8-byte header)."""
    out = []
    chunk, rest = definition[:PAGE], definition[PAGE:]
    while True:
        out.append(bytearray(chunk.ljust(PAGE, b"\x00")))
        if not rest:
            break
        chunk, rest = b"\x02\x01\x00\x00\x00\x00\x00\x00" + rest[:PAGE - 8], rest[PAGE - 8:]
    for i, p in enumerate(out[:-1]):
        struct.pack_into("<I", p, 4, first + i + 1)
    if chain_to is not None:
        struct.pack_into("<I", out[-1], 4, chain_to)
    return [bytes(p) for p in out]


def seed(selector, jet3, page_list):
    return bytes([selector]) + header(jet3, "password") + b"".join(page_list)


def main(folder):
    os.makedirs(folder, exist_ok=True)
    cols = [(4, 0, 4), (10, 1, 100)]
    simple = tdef(False, cols, [([0], 0x89)], [(0, 0, 1, 0, -1, 0, "PrimaryKey")])
    gap = tdef(False, cols + [(4, 2, 4)], [([2], 0x80), ([0], 0x89)],
               [(0, 1, 1, 0, -1, 0, "PrimaryKey"), (1, 0, 0, 0, -1, 0, "c2"), (2, 0, 2, 2, 0, 5, "OtherThis")])
    wide = tdef(False, [(4, i, 4) for i in range(12)], [([0, 1, 2], 0x81)], [(0, 0, 0, 0, -1, 0, "Wide")])
    seeds = {
        "jet4_simple": seed(0, False, pages(simple, 1)),
        "jet4_index_gap": seed(0, False, pages(gap, 1)),
        "jet4_two_pages": seed(0, False, pages(wide, 1)),
        "jet4_loop": seed(0, False, pages(simple, 1, chain_to=1)),
        "jet4_counts_past_end": seed(0, False, pages(tdef(False, cols, [([0], 0x89)], [], column_count=0x7FFF), 1)),
        "jet3_simple": seed(1, True, pages(tdef(True, cols, [([0], 0x01)], [(0, 0, 1, 0, -1, 0, "PrimaryKey")]), 1)),
        "wrong_page_type": seed(0, False, [(b"\x01\x01" + simple[2:PAGE]).ljust(PAGE, b"\x00")]),
    }
    for file_name, data in seeds.items():
        with open(os.path.join(folder, file_name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "jet_tabledef"))
