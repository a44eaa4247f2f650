#!/usr/bin/env python3
"""Draws the window's pictures into resources/pictures/ (the outputs are committed):

  logo.bmp           121 x 80, 8 bits per pixel, 256-entry palette (help tab, top left)
  setup-mode.jpg     290 x 256 baseline JFIF, three components: switch at SETUP
  run-mode.jpg       290 x 256 baseline JFIF, three components: switch at RUN
  MAINICON.ico       32 x 32, 16 colours: the program's icon

The drawings are made with ImageMagick's `convert`; the bitmap and the icon are packed here so
that their palettes are exactly what the formats promise. Needs python3 and imagemagick.
Run: python3 resources/draw-pictures.py
"""

import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "pictures")
SANS_BOLD = "Liberation-Sans-Bold"


def convert(*args):
    return subprocess.run(["convert", *args], check=True, stdout=subprocess.PIPE).stdout


def rgb_pixels(args, width, height):
    """Runs a drawing and returns its pixels as a list of (r, g, b), row by row, top first."""
    data = convert(*args, "-depth", "8", "rgb:-")
    assert len(data) == width * height * 3, "unexpected picture size"
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


# --- logo: an 8-bit palette bitmap -------------------------------------------------------

def logo_palette():
    """A fixed 256-entry palette: the 6x6x6 colour cube and 40 further greys."""
    levels = [0, 51, 102, 153, 204, 255]
    palette = [(r, g, b) for r in levels for g in levels for b in levels]
    palette += [(round(i * 255 / 41),) * 3 for i in range(1, 41)]
    return palette


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(range(len(palette)),
                            key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))
    return cache[colour]


def write_bmp8(path, width, height, pixels, palette):
    stride = (width + 3) & ~3
    rows = []
    for y in reversed(range(height)):  # bottom-up
        row = bytes(pixels[y * width:(y + 1) * width])
        rows.append(row + b"\0" * (stride - width))
    bits = b"".join(rows)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(bits), 3780, 3780,
                       len(palette), 0)
    with open(path, "wb") as f:
        f.write(header + info + table + bits)


def draw_logo():
    width, height = 121, 80
    args = [
        "-size", f"{width}x{height}", "gradient:#0b2d6b-#2f6fd0",
        "-fill", "none", "-stroke", "#9be870", "-strokewidth", "2",
        "-draw", "arc 4,10 30,36 200,340",
        "-draw", "arc 9,15 25,31 200,340",
        "-stroke", "#e8e8e8", "-strokewidth", "2",
        "-draw", "line 17,24 17,44",
        "-stroke", "none", "-fill", "#c8c8c8",
        "-draw", "roundrectangle 6,44 28,70 3,3",
        "-fill", "#30c040", "-draw", "rectangle 10,50 13,53",
        "-fill", "#f04040", "-draw", "rectangle 16,50 19,53",
        "-fill", "white", "-font", SANS_BOLD, "-pointsize", "21",
        "-annotate", "+34+34", "ZEPHRA",
        "-fill", "#ffd84a", "-pointsize", "13", "-annotate", "+36+54", "2.4 GHz RF",
        "-fill", "#cfe0ff", "-pointsize", "10", "-annotate", "+36+70", "RS232 LINK",
    ]
    palette = logo_palette()
    with tempfile.NamedTemporaryFile(suffix=".ppm") as table:
        table.write(b"P6 256 1 255\n" + b"".join(bytes(c) for c in palette))
        table.flush()
        # Dithered to the palette by ImageMagick; the lookup below then finds exact entries.
        pixels = rgb_pixels(args + ["-dither", "FloydSteinberg", "-remap", table.name],
                            width, height)
    cache = {}
    indices = [nearest(palette, p, cache) for p in pixels]
    write_bmp8(os.path.join(OUT, "logo.bmp"), width, height, indices, palette)


# --- the two switch pictures: baseline JPEG ------------------------------------------------

def draw_switch_picture(name, knob_at_setup, caption):
    slot = (104, 96, 134, 168)          # the switch's slot, left top right bottom
    knob_top = 134 if knob_at_setup else 98
    knob = (107, knob_top, 131, knob_top + 32)
    arrow_y = knob_top + 16
    args = [
        "-size", "290x256", "xc:white",
        # board outline
        "-fill", "#2f7d46", "-stroke", "black", "-strokewidth", "2",
        "-draw", "roundrectangle 24,42 204,214 8,8",
        # antenna connector on the top edge: threaded barrel, nut and base
        "-fill", "#d9b13b", "-stroke", "#5a4510", "-strokewidth", "1",
        "-draw", "rectangle 60,10 78,30",
        "-draw", "line 60,15 78,15", "-draw", "line 60,20 78,20", "-draw", "line 60,25 78,25",
        "-draw", "polygon 54,30 84,30 88,36 84,42 54,42 50,36",
        # radio chip and connector pins for a little realism
        "-fill", "#202020", "-stroke", "none", "-draw", "rectangle 150,70 186,104",
        "-fill", "#c0c0c0",
        "-draw", "rectangle 40,190 46,206", "-draw", "rectangle 52,190 58,206",
        "-draw", "rectangle 64,190 70,206", "-draw", "rectangle 76,190 82,206",
        # slide switch: slot, knob, markings
        "-fill", "#e6e6e6", "-stroke", "black", "-strokewidth", "2",
        "-draw", "rectangle {},{} {},{}".format(*slot),
        "-fill", "#00e0f0", "-stroke", "#006070", "-strokewidth", "1",
        "-draw", "rectangle {},{} {},{}".format(*knob),
        "-stroke", "none", "-fill", "white", "-font", SANS_BOLD, "-pointsize", "14",
        "-gravity", "NorthWest",
        "-annotate", "+103+76", "RUN",
        "-annotate", "+95+172", "SETUP",
        # arrow pointing at the knob
        "-fill", "#d01010", "-stroke", "#d01010", "-strokewidth", "5",
        "-draw", f"line 270,{arrow_y} 152,{arrow_y}",
        "-strokewidth", "1",
        "-draw", f"polygon 136,{arrow_y} 158,{arrow_y - 12} 158,{arrow_y + 12}",
        # caption
        "-stroke", "none", "-fill", "black", "-pointsize", "18", "-gravity", "South",
        "-annotate", "+0+12", caption,
    ]
    path = os.path.join(OUT, name)
    convert(*args, "-strip", "-type", "TrueColor", "-colorspace", "sRGB",
            "-interlace", "none", "-sampling-factor", "2x2,1x1,1x1", "-quality", "90",
            "-units", "PixelsPerInch", "-density", "96", f"jpeg:{path}")


# --- the icon: 32 x 32, 16 colours ------------------------------------------------------------

# The Windows 16-colour palette.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_GREY, SILVER, RED, LIME, GREEN, WHITE = 0, 8, 7, 9, 10, 2, 15

GLYPHS = {  # 3 x 5 pixel letters
    "2": ["111", "001", "111", "100", "111"],
    ".": ["0", "0", "0", "0", "1"],
    "4": ["101", "101", "111", "001", "001"],
    "G": ["111", "100", "101", "101", "111"],
    "H": ["101", "101", "111", "101", "101"],
    "z": ["000", "111", "010", "100", "111"],
}


def draw_icon_pixels():
    size = 32
    pixels = [[None] * size for _ in range(size)]  # None = transparent

    def put(x, y, colour):
        if 0 <= x < size and 0 <= y < size:
            pixels[y][x] = colour

    # the module: a grey box with a dark outline and shadow
    for y in range(13, 31):
        for x in range(0, 25):
            edge = y in (13, 30) or x in (0, 24)
            put(x, y, BLACK if edge else SILVER)
    for x in range(1, 24):
        put(x, 14, WHITE)
        put(x, 29, DARK_GREY)
    for y in range(14, 30):
        put(1, y, WHITE)
        put(23, y, DARK_GREY)
    put(4, 26, LIME)  # power light
    put(5, 26, GREEN)
    # antenna rod
    for y in range(4, 13):
        put(20, y, DARK_GREY)
        put(21, y, BLACK)
    put(20, 3, BLACK)
    put(21, 3, BLACK)
    # radio waves: arcs right of the antenna tip
    import math
    for radius in (3, 6, 9):
        for step in range(-60, 61, 3):
            angle = math.radians(step)
            x = round(21 + radius * math.cos(angle))
            y = round(4 + radius * math.sin(angle))
            if x > 22:
                put(x, y, LIME)
    # the red text 2.4GHz on the box
    x = 2
    for character in "2.4GHz":
        glyph = GLYPHS[character]
        for row, bits in enumerate(glyph):
            for column, bit in enumerate(bits):
                if bit == "1":
                    put(x + column, 19 + row, RED)
        x += len(glyph[0]) + 1
    return pixels


def write_ico4(path, pixels):
    size = len(pixels)
    xor_rows = []
    and_rows = []
    for y in reversed(range(size)):  # bottom-up
        row = pixels[y]
        nibbles = [BLACK if c is None else c for c in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2)))
        mask = 0
        for c in row:
            mask = (mask << 1) | (1 if c is None else 0)
        and_rows.append(mask.to_bytes(size // 8, "big"))
    image = (struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0) +
             b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA) +
             b"".join(xor_rows) + b"".join(and_rows))
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


def main():
    os.makedirs(OUT, exist_ok=True)
    draw_logo()
    draw_switch_picture("setup-mode.jpg", True, "SETUP MODE SELECT")
    draw_switch_picture("run-mode.jpg", False, "RUN MODE SELECT")
    write_ico4(os.path.join(OUT, "MAINICON.ico"), draw_icon_pixels())


if __name__ == "__main__":
    main()
