#!/usr/bin/env python3
"""Draws the two tray icons, res/main.ico and res/alert.ico, from one bell drawing.

Each file holds one 16 x 16 image at 4 bits per pixel with the standard 16-colour
palette. Both images share one outline (AND mask): the first and last columns are
transparent and the colour under every transparent pixel is black, so a frame blended
from the two colour bitmaps can take its transparency from either mask.

    python3 res/draw-icons.py [output-directory]     (default: res/, beside it)
"""
import os
import struct
import sys

# '.' transparent, 'E' edge, 'M' body, 'H' highlight. Top row first.
BELL = [
    ".......EE.......",
    "......EMME......",
    ".....EEMMEE.....",
    "....EMHMMMME....",
    "...EMHMMMMMME...",
    "...EMHMMMMMME...",
    "...EMHMMMMMME...",
    "...EMHMMMMMME...",
    "..EMHMMMMMMMME..",
    "..EMHMMMMMMMME..",
    ".EMHMMMMMMMMMME.",
    ".EMMMMMMMMMMMME.",
    ".EEEEEEEEEEEEEE.",
    "......EMME......",
    ".......EE.......",
    "................",
]

# The standard 16-colour palette, as (red, green, blue), in index order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, TEAL, RED, LIME = 0, 1, 2, 6, 9, 10

# Palette index per drawing symbol. The normal bell is red with a maroon edge (its
# highlight stays red); the alert bell is green with a teal edge and a lime highlight.
NORMAL = {".": BLACK, "E": MAROON, "M": RED, "H": RED}
ALERT = {".": BLACK, "E": TEAL, "M": GREEN, "H": LIME}

SIZE = 16


def check_drawing():
    assert len(BELL) == SIZE, "the drawing has 16 rows"
    for row in BELL:
        assert len(row) == SIZE, "every row has 16 columns: %r" % row
        assert set(row) <= set(".EMH"), "unknown symbol in %r" % row
        assert row[0] == "." and row[-1] == ".", "first and last columns stay transparent"


def icon_bytes(colours):
    """One .ico file: ICONDIR, one ICONDIRENTRY, then the DIB (header, palette,
    4-bit colour rows and 1-bit mask rows, both bottom-up)."""
    xor_row = SIZE * 4 // 8              # 8 bytes, already a multiple of 4
    and_row = ((SIZE + 31) // 32) * 4    # 16 bits padded to 4 bytes
    xor_size = xor_row * SIZE
    and_size = and_row * SIZE

    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         xor_size + and_size, 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)

    xor = bytearray()
    mask = bytearray()
    for row in reversed(BELL):
        indices = [colours[c] for c in row]
        for x in range(0, SIZE, 2):
            xor.append((indices[x] << 4) | indices[x + 1])
        bits = 0
        for x, c in enumerate(row):
            if c == ".":
                bits |= 1 << (SIZE - 1 - x)
        mask += bits.to_bytes(SIZE // 8, "big") + bytes(and_row - SIZE // 8)
    assert len(xor) == xor_size and len(mask) == and_size

    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    check_drawing()
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else here
    for name, colours in (("main.ico", NORMAL), ("alert.ico", ALERT)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(icon_bytes(colours))


if __name__ == "__main__":
    main()
