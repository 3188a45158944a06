"""Debian's ansilove as the web tests' reference renderer: what it draws for
a piece or for a screen of cells, and the glyphs it draws, read back from
its PNG pictures with a reader of the tests' own.

  ANSILOVE   the renderer (default /usr/bin/ansilove)
"""
import functools
import os
import struct
import subprocess
import tempfile
import zlib

ANSILOVE = os.environ.get("ANSILOVE", "/usr/bin/ansilove")


def read_png(path):
    """Width, height and a pixel function of a PNG of 8-bit RGB(A) or of a
    palette of 1 to 8 bits, as ansilove writes them."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, palette = 8, b"", None
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
        elif kind == b"PLTE":
            palette = [tuple(chunk[i:i + 3]) for i in range(0, len(chunk), 3)]
        elif kind == b"IDAT":
            idat += chunk
    raw = zlib.decompress(idat)
    step = {2: 3, 3: 1, 6: 4}[colour] * max(1, depth // 8)
    stride = (width * depth + 7) // 8 if colour == 3 else width * step
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
        rows.append(bytes(line))
        prev = line

    def pixel(x, y):
        row = rows[y]
        if colour != 3:
            return tuple(row[x * step:x * step + 3])
        per = 8 // depth
        index = (row[x // per] >> (8 - depth * (x % per + 1))) & ((1 << depth) - 1)
        return palette[index]
    return width, height, pixel


def ansilove(piece, out, *options):
    """ansilove's picture of the file Piece (written to Out), read back."""
    subprocess.run([ANSILOVE, *options, piece, "-o", out], check=True, capture_output=True, timeout=60)
    return read_png(out)


def draw_cells(cells, columns, nine=False):
    """ansilove's picture of a screen of (character, attribute) cells,
    Columns a row, as a binary text screen (every byte a glyph; attribute
    bit 7 a bright background), in 9-pixel cells with Nine."""
    with tempfile.TemporaryDirectory(prefix="quixmag-reference-") as folder:
        path = os.path.join(folder, "cells.bin")
        with open(path, "wb") as f:
            f.write(b"".join(bytes(cell) for cell in cells))
        return ansilove(path, os.path.join(folder, "cells.png"), "-t", "bin", "-i", "-c", str(columns),
                        "-b", "9" if nine else "8")


@functools.lru_cache(maxsize=None)
def glyphs():
    """The 16 rows of each of the 256 glyphs ansilove draws: the codes 0 to
    255 bright white on black, 16 cells a row."""
    _, _, pixel = draw_cells([(code, 0x0F) for code in range(256)], 16)
    return [bytes(sum(0x80 >> x for x in range(8) if pixel(code % 16 * 8 + x, code // 16 * 16 + y) == (255, 255, 255))
                  for y in range(16)) for code in range(256)]
