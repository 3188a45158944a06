#!/usr/bin/env python3
"""Makes the web edition's screen font: the 256 glyphs of code page 437,
8x16 pixels each, as Debian's ansilove draws them in its default font, so
that the page draws a piece exactly as that renderer does.

    make_web_font.py OUT.bin [ANSILOVE]

ANSILOVE (by default /usr/bin/ansilove) is run as a program and nothing
else is known of it: it is handed a binary text screen (the BIN format, a
character byte and an attribute byte a cell, which draws every byte as its
glyph, the control codes 0x00-0x1F and 0x1A among them, which an ANSI file
would act on instead) of 16 rows of 16 cells holding the codes 0 to 255 in
bright white on black, and the glyphs are read back from the PNG picture it
writes. OUT is 256 glyphs of 16 bytes, one byte per pixel row, the leftmost
pixel in the highest bit. Fails when the picture is not the one that screen
must give: its size, colours other than the two, or the full block 0xDB and
the space 0x20 not drawn as they are on every PC.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

COLUMNS = 16
CELL_W, CELL_H = 8, 16
WHITE, BLACK = (0xFF, 0xFF, 0xFF), (0x00, 0x00, 0x00)


def read_png(path):
    """Width, height and the rows of (r, g, b) pixels of a PNG of 8-bit
    grey, RGB or RGBA, or of a palette of 1 to 8 bits, not interlaced."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG picture")
    pos, idat, palette = 8, b"", None
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunk)
        elif kind == b"PLTE":
            palette = [tuple(chunk[i:i + 3]) for i in range(0, len(chunk), 3)]
        elif kind == b"IDAT":
            idat += chunk
    channels = {0: 1, 2: 3, 3: 1, 6: 4}.get(colour)
    if channels is None or interlace or (colour != 3 and depth != 8):
        raise SystemExit(f"{path}: a kind of PNG this reader does not take (colour {colour}, depth {depth})")
    raw = zlib.decompress(idat)
    step = max(1, channels * depth // 8)
    stride = (width * channels * depth + 7) // 8
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - step] if x >= step else 0
            b, c = prev[x], (prev[x - step] if x >= step else 0)
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        if colour == 3:
            per = 8 // depth
            mask = (1 << depth) - 1
            rows.append([palette[(line[x // per] >> (8 - depth * (x % per + 1))) & mask] for x in range(width)])
        elif colour == 0:
            rows.append([(v, v, v) for v in line])
        else:
            rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
    return width, height, rows


def rendered_glyphs(ansilove, folder):
    """The 256 glyphs ansilove draws, as 256 lists of 16 row bytes."""
    screen = os.path.join(folder, "glyphs.bin")
    picture = os.path.join(folder, "glyphs.png")
    with open(screen, "wb") as f:
        f.write(b"".join(bytes([code, 0x0F]) for code in range(256)))
    done = subprocess.run([ansilove, "-q", "-t", "bin", "-c", str(COLUMNS), "-o", picture, screen],
                          capture_output=True, text=True, timeout=60)
    if done.returncode != 0 or not os.path.isfile(picture):
        raise SystemExit(f"{ansilove} could not draw the glyphs: {done.stdout}{done.stderr}")
    width, height, rows = read_png(picture)
    want = (COLUMNS * CELL_W, 256 // COLUMNS * CELL_H)
    if (width, height) != want:
        raise SystemExit(f"{ansilove} drew the glyphs {width}x{height} pixels, not {want[0]}x{want[1]}")
    others = {p for row in rows for p in row} - {WHITE, BLACK}
    if others:
        raise SystemExit(f"{ansilove} drew white on black with other colours too: {sorted(others)[:4]}")
    glyphs = []
    for code in range(256):
        x0, y0 = code % COLUMNS * CELL_W, code // COLUMNS * CELL_H
        glyphs.append([sum(0x80 >> x for x in range(CELL_W) if rows[y0 + y][x0 + x] == WHITE)
                       for y in range(CELL_H)])
    if glyphs[0xDB] != [0xFF] * CELL_H or glyphs[0x20] != [0] * CELL_H:
        raise SystemExit(f"{ansilove} does not draw the full block and the space as the PC does")
    return glyphs


def main(argv):
    if len(argv) not in (2, 3):
        raise SystemExit(__doc__)
    ansilove = argv[2] if len(argv) == 3 else "/usr/bin/ansilove"
    with tempfile.TemporaryDirectory(prefix="quixmag-font-") as folder:
        glyphs = rendered_glyphs(ansilove, folder)
    with open(argv[1], "wb") as f:
        f.write(bytes(row for glyph in glyphs for row in glyph))


if __name__ == "__main__":
    main(sys.argv)
