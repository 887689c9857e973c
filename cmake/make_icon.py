#!/usr/bin/env python3
"""Draws the programs' icon and writes it as a Windows .ico file.

The picture: a portal frame (two columns and a beam on a light plate) carrying a mass, the
red disc at the middle of the beam. Drawn at 16, 24, 32, 48 and 256 pixels, supersampled for
smooth edges, and stored as 32-bit images with alpha (the largest as PNG, which keeps it
small).

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)
SUPERSAMPLE = {256: 2}  # samples per pixel side; 4 for the smaller sizes

PLATE = (0xE8, 0xEF, 0xF7)
EDGE = (0x2B, 0x3E, 0x5C)
FRAME = (0x1F, 0x2D, 0x45)
MASS = (0xC8, 0x1E, 0x1E)


def inside_rounded_square(x, y, lo, hi, radius):
    """Whether (x, y), in units of the icon's side, lies on the rounded plate."""
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(x, y):
    """The colour (r, g, b, a) of the point (x, y), both from 0 to 1, y downwards."""
    # The mass first: it hangs in front of the beam.
    if (x - 0.5) ** 2 + (y - 0.52) ** 2 <= 0.13 ** 2:
        return MASS + (255,)
    beam = 0.26 <= y <= 0.36 and 0.16 <= x <= 0.84
    columns = 0.26 <= y <= 0.86 and (0.16 <= x <= 0.26 or 0.74 <= x <= 0.84)
    ground = 0.84 <= y <= 0.88 and 0.08 <= x <= 0.92
    if beam or columns or ground:
        return FRAME + (255,)
    if inside_rounded_square(x, y, 0.02, 0.98, 0.16):
        if not inside_rounded_square(x, y, 0.06, 0.94, 0.13):
            return EDGE + (255,)
        return PLATE + (255,)
    return (0, 0, 0, 0)


def pixels(size):
    """Rows of (b, g, r, a) from the top, each pixel the mean of its supersamples."""
    rows = []
    n = SUPERSAMPLE.get(size, 4)
    for row in range(size):
        line = []
        for column in range(size):
            total = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = colour_at((column + (sx + 0.5) / n) / size,
                                           (row + (sy + 0.5) / n) / size)
                    total[0] += b * a
                    total[1] += g * a
                    total[2] += r * a
                    total[3] += a
            alpha = total[3] / (n * n)
            if total[3] == 0:
                line.append((0, 0, 0, 0))
            else:
                line.append(tuple(round(c / total[3]) for c in total[:3]) + (round(alpha),))
        rows.append(line)
    return rows


def image(size):
    """One icon image: a BITMAPINFOHEADER, the colours bottom-up, then the 1-bit mask."""
    rows = pixels(size)
    colours = b"".join(bytes(p) for line in reversed(rows) for p in line)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for line in reversed(rows):
        bits = bytearray(stride)
        for column, p in enumerate(line):
            if p[3] == 0:
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    return header + colours + bytes(mask)


def png(size):
    """The image as a PNG file: 8-bit RGBA, rows from the top."""
    raw = b"".join(b"\0" + b"".join(bytes((p[2], p[1], p[0], p[3])) for p in line)
                   for line in pixels(size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    images = [png(size) if size == 256 else image(size) for size in SIZES]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, data in zip(SIZES, images):
        side = 0 if size == 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as out:
        out.write(directory + b"".join(images))


if __name__ == "__main__":
    main()
