#!/usr/bin/env python3
"""Makes the desktop's icon files from the program's icon, pictures/MAINICON.ico (drawn by
draw-pictures.py), into icons/<N>x<N>/zephra.png (the outputs are committed; the install puts
them in share/icons/hicolor/<N>x<N>/apps/).

The icon is pixel art, so larger sizes repeat its pixels (nearest neighbour) and keep the
look; 16 x 16 averages each 2 x 2 block instead, because dropping every other row and column
would leave the red text unreadable. Plain Python, no other tools, so the output is the same on
every machine. Run: python3 resources/draw-icons.py [output-dir]
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = (16, 32, 48, 64, 128, 256)


def read_ico(path):
    """Reads the first image of an icon with a 1, 4 or 8 bit palette and an AND mask.
    Returns rows of (r, g, b, a), top row first."""
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count < 1:
        raise ValueError(f"{path}: not an icon file")
    offset = struct.unpack_from("<I", data, 6 + 12)[0]
    header_size, width, double_height, _, bits = struct.unpack_from("<IiiHH", data, offset)
    height = double_height // 2
    if bits not in (1, 4, 8):
        raise ValueError(f"{path}: {bits} bits per pixel is not a palette image")
    colours = struct.unpack_from("<I", data, offset + 32)[0] or (1 << bits)
    table = offset + header_size
    palette = [tuple(reversed(data[table + 4 * i:table + 4 * i + 3])) for i in range(colours)]
    xor_stride = (width * bits + 31) // 32 * 4
    and_stride = (width + 31) // 32 * 4
    xor_start = table + 4 * colours
    and_start = xor_start + xor_stride * height
    rows = []
    for y in reversed(range(height)):  # stored bottom-up
        xor_row = data[xor_start + y * xor_stride:]
        and_row = data[and_start + y * and_stride:]
        row = []
        for x in range(width):
            bit = x * bits
            index = (xor_row[bit // 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1)
            transparent = (and_row[x // 8] >> (7 - x % 8)) & 1
            row.append(palette[index] + ((0,) if transparent else (255,)))
        rows.append(row)
    return rows


def nearest(rows, size):
    height, width = len(rows), len(rows[0])
    return [[rows[y * height // size][x * width // size] for x in range(size)]
            for y in range(size)]


def box_average(rows, factor):
    """Averages each factor x factor block, weighting colour by opacity so that transparent
    pixels do not darken the edges."""
    out = []
    for y in range(0, len(rows), factor):
        row = []
        for x in range(0, len(rows[0]), factor):
            block = [rows[y + j][x + i] for j in range(factor) for i in range(factor)]
            alpha = sum(p[3] for p in block)
            if alpha == 0:
                row.append((0, 0, 0, 0))
                continue
            colour = tuple((sum(p[c] * p[3] for p in block) + alpha // 2) // alpha
                           for c in range(3))
            row.append(colour + ((alpha + len(block) // 2) // len(block),))
        out.append(row)
    return out


def scaled(rows, size):
    width = len(rows[0])
    if size < width and width % size == 0:
        return box_average(rows, width // size)
    return nearest(rows, size)


def write_png(path, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body)))

    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "icons")
    icon = read_ico(os.path.join(HERE, "pictures", "MAINICON.ico"))
    for size in SIZES:
        folder = os.path.join(out, f"{size}x{size}")
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, "zephra.png"), scaled(icon, size))


if __name__ == "__main__":
    main()
