#!/usr/bin/env python3
"""Draws the bitmaps of the demo project (examples/demo/Presetup): the page
headers and the tile of the background. 8-bit BMP files, small and exactly
reproducible; run it again after changing a colour here.

    scripts/demo-bitmaps.py [FOLDER]   (default examples/demo/Presetup)
"""
import math
import os
import struct
import sys


def write_bmp(path, width, height, palette, pixel):
    """An uncompressed 8-bit BMP; pixel(x, y) gives the palette index, y from the top."""
    row = (width + 3) & ~3
    bits = bytearray()
    for y in range(height - 1, -1, -1):  # stored bottom-up
        line = bytes(pixel(x, y) for x in range(width))
        bits += line + b"\0" * (row - width)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(bits), 2835, 2835, len(palette), 0)
    with open(path, "wb") as f:
        f.write(header + info + colours + bits)


def blend(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def header(path, light, deep):
    """A header: light on the left, where the title is drawn, growing deeper
    to the right, with a ring as the emblem near the right edge."""
    width, height, shades = 450, 64, 64
    palette = [blend((255, 255, 255), light, i / (shades - 1)) for i in range(shades)]
    palette += [deep, (255, 255, 255)]
    cx, cy, outer, inner = width - 44, height // 2, 22, 13

    def pixel(x, y):
        d = math.hypot(x - cx, y - cy)
        if inner <= d <= outer:
            return shades
        if d < inner - 4:
            return shades + 1
        return min(shades - 1, int((x / width) ** 1.5 * shades))

    write_bmp(path, width, height, palette, pixel)


def tile(path):
    """The background tile: a dark blue field with a faint diagonal weave."""
    size = 64
    palette = [(16, 32, 72), (24, 44, 96), (34, 58, 118)]

    def pixel(x, y):
        a, b = (x + y) % 32, (x - y) % 32
        return 2 if a < 2 or b < 2 else (1 if a < 6 or b < 6 else 0)

    write_bmp(path, size, size, palette, pixel)


def main(folder):
    header(os.path.join(folder, "Osin.bmp"), (150, 190, 240), (30, 80, 170))
    header(os.path.join(folder, "Legal.bmp"), (240, 200, 150), (170, 90, 30))
    header(os.path.join(folder, "Done.bmp"), (160, 225, 160), (40, 130, 50))
    tile(os.path.join(folder, "Back.bmp"))
    return 0


if __name__ == "__main__":
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "examples", "demo", "Presetup")))
