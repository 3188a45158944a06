#!/usr/bin/env python3
"""Makes the web edition's icons from the magazine's own screen font: the
letter q at twice the font's size in bright yellow, with a black drop
shadow, over a strip of the four shade glyphs in bright cyan, all on the
VGA text mode's blue. The mark is 32x32 pixels of font; every icon is it
scaled by a whole number, so its pixels stay square and sharp.

    make_icons.py FONT.bin OUTDIR

FONT.bin is the site's font: 256 glyphs of 16 bytes, one byte per pixel
row, the leftmost pixel in the highest bit (tools/make_web_font.py). OUTDIR
receives:

    favicon.ico           32x32, the mark pixel for pixel (a PNG inside)
    icon-192.png          the mark at 6x
    icon-512.png          the mark at 16x
    icon-maskable-512.png the mark at 9x in the middle of a full blue square,
                          inside the central circle (40% of the size as
                          radius) that a launcher's mask always keeps

The PNGs are 8-bit palette images of the 16 VGA colours, written with zlib
alone.
"""
import os
import struct
import sys
import zlib

# The 16 colours of the VGA text mode, in attribute order.
VGA = [(0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
       (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
       (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
       (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF)]
BLACK, BLUE, BRIGHT_CYAN, YELLOW = 0, 1, 11, 14

MARK = 32          # the mark's side, in font pixels
GLYPH_BYTES = 16   # an 8x16 glyph
LETTER = ord("q")
LETTER_ROWS = range(5, 15)  # the rows of the cell a lowercase letter with a descender uses
SHADES = (0xB0, 0xB1, 0xB2, 0xDB)  # light, medium and dark shade, full block
SHADE_TOP, SHADE_ROWS = 25, 6      # the strip: the top rows of the shade glyphs

# Each icon: its file, the mark's scale, and its side in pixels.
ICONS = [("icon-192.png", 6, 192), ("icon-512.png", 16, 512), ("icon-maskable-512.png", 9, 512)]
FAVICON = "favicon.ico"


def read_font(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) != 256 * GLYPH_BYTES:
        raise SystemExit(f"{path}: {len(data)} bytes, not 256 glyphs of {GLYPH_BYTES}")
    return data


def lit(font, code, row, column):
    return bool(font[code * GLYPH_BYTES + row] & (0x80 >> column))


def mark(font):
    """The mark as MARK rows of MARK colour indices."""
    pixels = [[BLUE] * MARK for _ in range(MARK)]

    def letter(left, top, colour):
        for y, row in enumerate(LETTER_ROWS):
            for x in range(8):
                if lit(font, LETTER, row, x):
                    for dy in (0, 1):
                        for dx in (0, 1):
                            pixels[top + 2 * y + dy][left + 2 * x + dx] = colour

    letter(10, 4, BLACK)   # the shadow, one font pixel down and right
    letter(9, 3, YELLOW)
    for i, code in enumerate(SHADES):
        for y in range(SHADE_ROWS):
            for x in range(8):
                pixels[SHADE_TOP + y][i * 8 + x] = BRIGHT_CYAN if lit(font, code, y, x) else BLUE
    return pixels


def placed(pixels, scale, side, background=BLUE):
    """Pixels scaled by Scale in the middle of a Side-pixel square."""
    inset = (side - len(pixels) * scale) // 2
    out = [[background] * side for _ in range(side)]
    for y, row in enumerate(pixels):
        for x, colour in enumerate(row):
            for dy in range(scale):
                line = out[inset + y * scale + dy]
                line[inset + x * scale:inset + (x + 1) * scale] = [colour] * scale
    return out


def png(pixels):
    """An 8-bit palette PNG of the VGA colours."""
    height, width = len(pixels), len(pixels[0])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(row) for row in pixels)  # filter type 0 on every row
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", bytes(c for colour in VGA for c in colour))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(image, side):
    """An icon file with one image, a PNG, as browsers read them."""
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def main(argv):
    if len(argv) != 3:
        raise SystemExit(__doc__)
    font = read_font(argv[1])
    os.makedirs(argv[2], exist_ok=True)
    picture = mark(font)
    files = {name: png(placed(picture, scale, side)) for name, scale, side in ICONS}
    files[FAVICON] = ico(png(picture), MARK)
    for name, data in files.items():
        with open(os.path.join(argv[2], name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv)
