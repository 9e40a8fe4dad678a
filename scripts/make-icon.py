#!/usr/bin/env python3
"""Draws the program icon (src/resources/osin.ico): an open box with an
arrow pointing into it, in the 16 standard colours, at 32x32 and 16x16, so
every Windows version from 95 on shows it. Run it again after changing the
drawing; the output is committed."""
import struct
import sys

# The standard 16-colour palette (BGR0), index: colour.
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128), (128, 128, 0),
    (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255), (255, 0, 0),
    (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, SILVER, BLUE, YELLOW, WHITE, DARK_YELLOW = 0, 4, 8, 7, 12, 11, 15, 3


def draw(size):
    """Pixel rows (top first) of palette indexes, None for transparent."""
    s = size / 32.0
    img = [[None] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                img[y][x] = c

    # The box: body, darker front rim, outline.
    rect(4, 16, 28, 30, DARK_YELLOW)
    rect(5, 17, 27, 29, YELLOW)
    rect(4, 16, 28, 18, BLACK)
    rect(6, 22, 26, 23, DARK_YELLOW)
    # The arrow: shaft and head, pointing down into the box.
    rect(13, 2, 19, 12, DARK_BLUE)
    rect(14, 3, 18, 12, BLUE)
    for i in range(6):
        rect(9 + i, 12 + i, 23 - i, 13 + i, DARK_BLUE if i < 5 else BLUE)
        if i < 5:
            rect(10 + i, 12 + i, 22 - i, 13 + i, BLUE)
    return img


def image(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes(c) + b"\0" for c in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is None else p for p in row]
        xor = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(xor + b"\0" * ((4 - len(xor) % 4) % 4))
        bits = 0
        mask = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b"\0" * ((4 - len(mask) % 4) % 4))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def main(out):
    images = [(32, image(32)), (16, image(16))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in images:
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    data += b"".join(img for _, img in images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "src/resources/osin.ico")
