"""Pixels for the end-to-end scenarios: screenshots read back, bitmap files
written (whole or damaged on purpose), and the colours the background's
drawing rules give.

Colours are (red, green, blue) tuples; configuration colours are $BBGGRR
integers (red in the low byte), as the setup reads them.
"""
import struct
import subprocess


class Image:
    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def row(self, y, x0=0, x1=None):
        x1 = self.width if x1 is None else x1
        i = y * self.width * 3
        d = self.data
        return [tuple(d[i + 3 * x:i + 3 * x + 3]) for x in range(x0, x1)]


def load(path, width=None, height=None):
    """The screenshot PATH as RGB, cropped to WIDTH x HEIGHT at the top left
    (a Wine desktop of its own sits there)."""
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True,
                          text=True).stdout.split()
    w, h = int(size[0]), int(size[1])
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    image = Image(w, h, data)
    if width is None:
        return image
    rows = b"".join(data[y * w * 3:(y * w + width) * 3] for y in range(height))
    return Image(width, height, rows)


def rgb(color):
    """A $BBGGRR colour as (red, green, blue)."""
    return (color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF)


def muldiv(a, b, c):
    """Windows' MulDiv: a x b / c rounded to the nearest, halves away from zero."""
    n = a * b
    q = (abs(n) * 2 + abs(c)) // (2 * abs(c))
    return q if (n >= 0) == (c > 0) else -q


def gradient_rows(height, top, bottom):
    """The colour of every row of a top-to-bottom background gradient of
    HEIGHT rows (height // 3 bands) between the $BBGGRR colours TOP and
    BOTTOM: band i spans round(step x i) to round(step + that) + 1 (Python's
    round is the half-to-even rounding of the rule), later bands cover the
    shared row, and each channel is first + MulDiv(i, last - first, bands)
    cut to 8 bits."""
    bands = max(2, min(height // 3, height))
    step = height / bands
    first, last = rgb(top), rgb(bottom)
    rows = [None] * height
    for i in range(bands):
        y0 = round(step * i)
        y1 = round(step + y0) + 1
        color = tuple((f + muldiv(i, l - f, bands)) & 0xFF for f, l in zip(first, last))
        for y in range(max(0, y0), min(height, y1)):
            rows[y] = color
    return rows


def bmp(width, height, pixels, bits=24, palette=None, top_down=False, core=False):
    """A bitmap file. PIXELS(x, y) gives (r, g, b) for 16, 24 and 32 bits
    (16 bits as 5-5-5) or a palette index for 1, 4 and 8 bits, with PALETTE
    a list of (r, g, b)."""
    rows = []
    for y in (range(height) if top_down else range(height - 1, -1, -1)):
        bits_row = 0
        nbits = 0
        row = bytearray()
        for x in range(width):
            p = pixels(x, y)
            if bits == 24:
                row += bytes((p[2], p[1], p[0]))
            elif bits == 32:
                row += bytes((p[2], p[1], p[0], 0))
            elif bits == 16:
                row += struct.pack("<H", (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | p[2] >> 3)
            else:
                bits_row = bits_row << bits | p
                nbits += bits
                if nbits == 8:
                    row.append(bits_row)
                    bits_row = nbits = 0
        if nbits:
            row.append(bits_row << (8 - nbits))
        row += bytes(-len(row) % 4)
        rows.append(bytes(row))
    image = b"".join(rows)
    entries = palette or []
    if core:
        header = struct.pack("<IHHHH", 12, width, height, 1, bits)
        colors = b"".join(bytes((b, g, r)) for r, g, b in entries)
    else:
        header = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits, 0,
                             len(image), 2835, 2835, len(entries), 0)
        colors = b"".join(bytes((b, g, r, 0)) for r, g, b in entries)
    offset = 14 + len(header) + len(colors)
    return b"BM" + struct.pack("<IHHI", offset + len(image), 0, 0, offset) + header + colors + image


def rle8(width, height, index, palette):
    """An 8-bit run-length bitmap file: each row (bottom-up) as runs of
    equal indexes, its first three pixels given one by one (absolute
    mode), then end of line; end of bitmap after the last."""
    runs = bytearray()
    for y in range(height - 1, -1, -1):
        row = [index(x, y) for x in range(width)]
        runs += bytes((0, 3)) + bytes(row[:3]) + b"\0"
        x = 3
        while x < width:
            n = 1
            while x + n < width and row[x + n] == row[x] and n < 255:
                n += 1
            runs += bytes((n, row[x]))
            x += n
        runs += b"\0\0"
    runs += b"\0\1"
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(runs), 2835, 2835, len(palette), 0)
    colors = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + len(header) + len(colors)
    return b"BM" + struct.pack("<IHHI", offset + len(runs), 0, 0, offset) + header + colors + bytes(runs)
