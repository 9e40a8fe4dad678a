#!/usr/bin/env python3
"""Writes the demo project's font (examples/demo/Data/OsinMark.ttf): a tiny
TrueType font of our own, family "Osin Mark", whose every printable ASCII
character is one box. A face no system has, so a test can tell that the
setup registered it. Exactly reproducible; run it again after a change here.

    scripts/demo-font.py [FILE]
"""
import struct
import sys

FAMILY = "Osin Mark"
EM = 1000
FIRST, LAST = 0x20, 0x7E


def checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def box_glyph(x0, y0, x1, y1):
    """One closed contour of four on-curve points, coordinates as words."""
    points = [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]
    glyph = struct.pack(">hhhhh", 1, x0, y0, x1, y1) + struct.pack(">HH", 3, 0) + b"\x01" * 4
    prev = (0, 0)
    xs, ys = b"", b""
    for x, y in points:
        xs += struct.pack(">h", x - prev[0])
        ys += struct.pack(">h", y - prev[1])
        prev = (x, y)
    glyph += xs + ys
    return glyph + b"\0" * (len(glyph) % 2)


def cmap_table():
    """Format 4 for the Windows Unicode platform: FIRST..LAST all to glyph 1."""
    seg = 2
    ends, starts, deltas = [LAST, 0xFFFF], [FIRST, 0xFFFF], [0, 1]
    offsets = [seg * 2, 0]  # segment 0 reads glyphIdArray, just after idRangeOffset
    glyph_ids = [1] * (LAST - FIRST + 1)
    body = struct.pack(">HHHH", seg * 2, 2, 0, 2)  # segCountX2, searchRange, entrySelector, rangeShift
    body += struct.pack(">2H", *ends) + b"\0\0" + struct.pack(">2H", *starts)
    body += struct.pack(">2h", *deltas) + struct.pack(">2H", *offsets)
    body += struct.pack(">%dH" % len(glyph_ids), *glyph_ids)
    sub = struct.pack(">HHH", 4, 6 + len(body), 0) + body
    return struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub


def name_table():
    names = [(1, FAMILY), (2, "Regular"), (3, FAMILY + " Regular"), (4, FAMILY), (5, "Version 1.0"),
             (6, FAMILY.replace(" ", "") + "-Regular")]
    records, strings = b"", b""
    for name_id, text in names:
        data = text.encode("utf-16-be")
        records += struct.pack(">HHHHHH", 3, 1, 0x409, name_id, len(data), len(strings))
        strings += data
    return struct.pack(">HHH", 0, len(names), 6 + len(records)) + records + strings


def font():
    glyphs = [b"", box_glyph(100, 0, 500, 700)]
    advance = 600
    glyf, loca = b"", []
    for g in glyphs:
        loca.append(len(glyf) // 2)
        glyf += g
    loca.append(len(glyf) // 2)
    bbox = (100, 0, 500, 700)
    head = struct.pack(">IIIIHHqqhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0x000B, EM, 0, 0, *bbox, 0,
                       8, 2, 0, 0)
    hhea = struct.pack(">Ihhh" "Hhhh" "hhh" "hhhh" "hH", 0x00010000, 800, -200, 0, advance, 0, 100, 500, 1, 0, 0,
                       0, 0, 0, 0, 0, len(glyphs))
    maxp = struct.pack(">IHHHHHHHHHHHHHH", 0x00010000, len(glyphs), 4, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0)
    os2 = struct.pack(">HhHHH" "hhhhhhhh" "hh" "h", 3, advance, 400, 5, 0, 650, 700, 0, 140, 650, 700, 0, 480, 50,
                      250, 0)
    os2 += b"\0" * 10  # panose: any
    os2 += struct.pack(">IIII", 1, 0, 0, 0)  # Basic Latin
    os2 += b"OSIN" + struct.pack(">HHH", 0x40, FIRST, LAST)  # vendor; regular
    os2 += struct.pack(">hhhHH", 800, -200, 0, 800, 200)
    os2 += struct.pack(">II", 1, 0)  # code page 1252
    os2 += struct.pack(">hhHHH", 500, 700, 0, 0x20, 1)
    hmtx = b"".join(struct.pack(">Hh", advance, 100 if g else 0) for g in glyphs)
    post = struct.pack(">IIhhIIIII", 0x00030000, 0, -100, 50, 0, 0, 0, 0, 0)
    tables = {b"OS/2": os2, b"cmap": cmap_table(), b"glyf": glyf, b"head": head, b"hhea": hhea,
              b"hmtx": hmtx, b"loca": struct.pack(">%dH" % len(loca), *loca), b"maxp": maxp,
              b"name": name_table(), b"post": post}
    count = len(tables)
    power = 1
    while power * 2 <= count:
        power *= 2
    out = struct.pack(">IHHHH", 0x00010000, count, power * 16, power.bit_length() - 1, count * 16 - power * 16)
    offset = 12 + 16 * count
    directory, data, where = b"", b"", {}
    for tag in sorted(tables):
        body = tables[tag]
        where[tag] = offset + len(data)
        directory += struct.pack(">4sIII", tag, checksum(body), where[tag], len(body))
        data += body + b"\0" * (-len(body) % 4)
    whole = out + directory + data
    adjustment = (0xB1B0AFBA - checksum(whole)) & 0xFFFFFFFF
    at = where[b"head"] + 8  # checkSumAdjustment is the head table's third word
    return whole[:at] + struct.pack(">I", adjustment) + whole[at + 4:]


if __name__ == "__main__":
    path = sys.argv[1] if len(sys.argv) > 1 else "examples/demo/Data/OsinMark.ttf"
    with open(path, "wb") as f:
        f.write(font())
