#!/usr/bin/env python3
"""Checks make_icons.py: the icons are PNG files a browser can read, of the
sizes the web manifest names, drawn in the VGA colours from the glyphs of
the font they are given; the maskable one keeps its mark inside the circle
a launcher's mask leaves.

    python3 tools/test_make_icons.py [-v]

The site's own font is used too when FONT_BIN names it or a web build's
site holds it (build-web/site/font.bin).
"""
import os
import shutil
import struct
import sys
import tempfile
import unittest
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import make_icons  # noqa: E402

BLUE, YELLOW, CYAN, BLACK = (0x00, 0x00, 0xAA), (0xFF, 0xFF, 0x55), (0x55, 0xFF, 0xFF), (0x00, 0x00, 0x00)


def decode_png(data):
    """Rows of RGB triples of an 8-bit palette or RGB PNG, all filters."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "no PNG signature"
    pos, chunks, idat = 8, {}, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        assert crc == zlib.crc32(kind + body), f"bad CRC in {kind}"
        if kind == b"IDAT":
            idat += body
        chunks[kind] = body
        pos += 12 + length
    assert b"IEND" in chunks
    width, height, depth, colour = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    assert depth == 8 and colour in (2, 3), (depth, colour)
    per = 3 if colour == 2 else 1
    raw, stride, rows, prev = zlib.decompress(idat), width * per, [], bytearray(width * per)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b, c = line[i - per] if i >= per else 0, prev[i], prev[i - per] if i >= per else 0
            p = a + b - c
            pred = [0, a, b, (a + b) // 2,
                    a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c)
                    else c][kind]
            line[i] = (line[i] + pred) & 0xFF
        prev = line
        if colour == 3:
            palette = chunks[b"PLTE"]
            rows.append([tuple(palette[3 * v:3 * v + 3]) for v in line])
        else:
            rows.append([tuple(line[i:i + 3]) for i in range(0, stride, 3)])
    return rows


def test_font(letter_rows):
    """A font whose q is LetterRows (rows 5 to 14), with shade-like glyphs."""
    font = bytearray(256 * 16)
    for i, bits in enumerate(letter_rows):
        font[ord("q") * 16 + 5 + i] = bits
    for code, bits in ((0xB0, 0x88), (0xB1, 0xAA), (0xB2, 0xEE), (0xDB, 0xFF)):
        font[code * 16:code * 16 + 16] = bytes([bits]) * 16
    return bytes(font)


# An asymmetric q: a mirrored or shifted copy would not match.
ODD_Q = [0x00, 0xF8, 0x80, 0x80, 0xE0, 0x80, 0x84, 0x80, 0x80, 0x00]


def make(font):
    with tempfile.TemporaryDirectory(prefix="quixmag-icons-") as folder:
        path = os.path.join(folder, "font.bin")
        with open(path, "wb") as f:
            f.write(font)
        make_icons.main(["make_icons.py", path, folder])
        out = {}
        for name in ("icon-192.png", "icon-512.png", "icon-maskable-512.png", "favicon.ico"):
            with open(os.path.join(folder, name), "rb") as f:
                out[name] = f.read()
        return out


def favicon_png(ico):
    reserved, kind, count = struct.unpack("<HHH", ico[:6])
    width, height, _, _, _, _, size, offset = struct.unpack("<BBBBHHII", ico[6:22])
    assert (reserved, kind, count, width, height, offset, size) == (0, 1, 1, 32, 32, 22, len(ico) - 22)
    return decode_png(ico[offset:offset + size])


def shape(rows, colour):
    """The pixels of Colour, moved to their bounding box's corner."""
    points = {(x, y) for y, row in enumerate(rows) for x, c in enumerate(row) if c == colour}
    if not points:
        return set()
    left, top = min(x for x, _ in points), min(y for _, y in points)
    return {(x - left, y - top) for x, y in points}


def doubled_glyph(rows):
    points = {(2 * x + dx, 2 * y + dy) for y, bits in enumerate(rows) for x in range(8)
              if bits & (0x80 >> x) for dx in (0, 1) for dy in (0, 1)}
    left, top = min(x for x, _ in points), min(y for _, y in points)
    return {(x - left, y - top) for x, y in points}


class Icons(unittest.TestCase):
    def test_each_icon_has_its_size_and_is_the_favicon_scaled_by_a_whole_number(self):
        icons = make(test_font(ODD_Q))
        small = favicon_png(icons["favicon.ico"])
        for name, side, scale in (("icon-192.png", 192, 6), ("icon-512.png", 512, 16)):
            with self.subTest(name):
                rows = decode_png(icons[name])
                self.assertEqual((len(rows), len(rows[0])), (side, side))
                self.assertTrue(all(rows[y][x] == small[y // scale][x // scale]
                                    for y in range(side) for x in range(side)))

    def test_the_letter_is_the_fonts_q_doubled_with_its_shadow_down_and_right(self):
        fonts = [ODD_Q]
        real = os.environ.get("FONT_BIN") or str(HERE.parent / "build-web" / "site" / "font.bin")
        if os.path.isfile(real):
            with open(real, "rb") as f:
                fonts.append(f.read()[ord("q") * 16 + 5:ord("q") * 16 + 15])
        for rows in fonts:
            with self.subTest(rows=rows.hex() if isinstance(rows, bytes) else rows):
                icon = favicon_png(make(test_font(rows))["favicon.ico"])
                self.assertEqual(shape(icon, YELLOW), doubled_glyph(rows))
                shadow = [(x, y) for y, row in enumerate(icon) for x, c in enumerate(row) if c == BLACK]
                self.assertTrue(shadow)
                self.assertTrue(all(icon[y - 1][x - 1] == YELLOW for x, y in shadow))
        used = {c for row in icon for c in row}
        self.assertEqual(used, {BLUE, YELLOW, CYAN, BLACK})

    def test_the_maskable_icon_keeps_its_mark_in_the_safe_circle_on_a_full_background(self):
        rows = decode_png(make(test_font(ODD_Q))["icon-maskable-512.png"])
        self.assertEqual((len(rows), len(rows[0])), (512, 512))
        for x, y in ((0, 0), (511, 0), (0, 511), (511, 511)):
            self.assertEqual(rows[y][x], BLUE)
        marked = [(x, y) for y, row in enumerate(rows) for x, c in enumerate(row) if c != BLUE]
        self.assertIn(YELLOW, {rows[y][x] for x, y in marked})
        # The mask's safe zone: a circle of 40% of the side around the middle.
        far = max((x + 0.5 - 256) ** 2 + (y + 0.5 - 256) ** 2 for x, y in marked) ** 0.5
        self.assertLessEqual(far, 0.4 * 512)
        self.assertGreater(far, 0.3 * 512, "the mark is not needlessly small")

    def test_a_font_of_another_size_is_refused_with_its_size(self):
        folder = tempfile.mkdtemp(prefix="quixmag-icons-")
        self.addCleanup(shutil.rmtree, folder, True)
        path = os.path.join(folder, "font.bin")
        with open(path, "wb") as f:
            f.write(bytes(256 * 14))
        with self.assertRaises(SystemExit) as refused:
            make_icons.main(["make_icons.py", path, folder])
        self.assertIn("3584 bytes", str(refused.exception))
        self.assertFalse(os.path.exists(os.path.join(folder, "favicon.ico")))


if __name__ == "__main__":
    unittest.main()
