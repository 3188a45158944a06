#!/usr/bin/env python3
"""Checks of the artwork generator: the ANSI writer, the byte rules and SAUCE.

Run:  python3 tools/test_make_art.py
"""

import random
import struct
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_art as m  # noqa: E402


def random_canvas(seed, ice):
    rng = random.Random(seed)
    c = m.Canvas(ice=ice)
    glyphs = [m.SPACE, m.LIGHT, m.MEDIUM, m.DARK, m.FULL, m.UPPER, m.LOWER, ord("a"), 0xFE]
    for y in range(m.H):
        # Some rows end in blanks, some are full, some are empty.
        length = rng.choice([0, m.W, rng.randrange(1, m.W)])
        for x in range(length):
            bg = rng.randrange(16 if ice else 8)
            c.put(x, y, rng.choice(glyphs), rng.randrange(16), bg)
    return c


class WriterRoundTrip(unittest.TestCase):
    def test_random_canvases_decode_to_what_was_drawn(self):
        for seed in range(60):
            for ice in (False, True):
                c = random_canvas(seed, ice)
                data = m.encode(c)
                m.check_bytes(data)
                m.verify(c, data)          # raises on any differing cell

    def test_full_row_wraps_without_line_break(self):
        c = m.Canvas()
        c.fill(0, 0, m.W - 1, 0, m.FULL, m.YELLOW, m.BLACK)
        c.put(0, 1, "x", m.WHITE)
        data = m.encode(c)
        row0_end = data.index(b"x")
        self.assertNotIn(b"\r\n", data[:row0_end])
        self.assertEqual(m.decode(data)[1][0][0], ord("x"))

    def test_bottom_row_never_ends_in_line_feed(self):
        c = m.Canvas()
        c.put(3, m.H - 1, "z", m.WHITE)
        data = m.encode(c)
        self.assertFalse(data.rstrip(b"\x1b[0m").endswith(b"\n"))
        self.assertEqual(m.decode(data)[m.H], [(m.SPACE, 7)] * m.W)

    def test_ice_background_changes_reset_before_setting_blink(self):
        # Light blue, then light red, then plain red: every step must survive
        # the rule that a background code clears the blink bit.
        c = m.Canvas(ice=True)
        for x, bg in enumerate([m.LBLUE, m.LRED, m.RED, m.WHITE, m.WHITE]):
            c.put(x, 0, "o", m.BLACK, bg)
        data = m.encode(c)
        attrs = [a for _ch, a in m.decode(data)[0][:5]]
        self.assertEqual(attrs, [0x90, 0xC0, 0x40, 0xF0, 0xF0])

    def test_bright_background_refused_without_ice(self):
        c = m.Canvas()
        c.put(0, 0, "x", m.WHITE, m.LBLUE)
        with self.assertRaises(ValueError):
            m.encode(c)


class ByteRules(unittest.TestCase):
    def test_forbidden_bytes(self):
        for bad in (b"ab!c", b"x|07y", b"|23", b"a\x1ab", b"\x07"):
            with self.assertRaises(ValueError, msg=bad):
                m.check_bytes(bad)

    def test_allowed_bytes(self):
        for good in (b"|ab", b"|24x", b"|7", b"\x1b[1;33m\xdb\r\n"):
            m.check_bytes(good)


class HalfBlocks(unittest.TestCase):
    def test_pairs_without_ice_keep_dark_backgrounds(self):
        for top in range(16):
            for bot in range(16):
                ch, fg, bg = m.pair_cell(top, bot)
                self.assertLess(bg, 8)
                c = m.Canvas()
                c.put(0, 0, ch, fg, bg)
                if top < 8 or bot < 8 or top == bot:
                    self.assertEqual((c.colour_at(0, 0, 0), c.colour_at(0, 0, 1)), (top, bot))

    def test_ramp_ends(self):
        self.assertEqual(m.ramp_cell([m.BLACK, m.BLUE], 0.0), (m.SPACE, m.GREY, m.BLACK))
        self.assertEqual(m.ramp_cell([m.BLACK, m.LBLUE], 1.0), (m.FULL, m.LBLUE, m.BLACK))
        self.assertEqual(m.ramp_cell([m.BLACK, m.BLUE], 0.5), (m.MEDIUM, m.BLUE, m.BLACK))


class Sauce(unittest.TestCase):
    def test_layout(self):
        rec = m.sauce("title", "nyx", "quix", "20240611", 1234, True)
        self.assertEqual(len(rec), 128)
        self.assertEqual(rec[:7], b"SAUCE00")
        self.assertEqual(rec[7:42].rstrip(), b"title")
        self.assertEqual(rec[42:62].rstrip(), b"nyx")
        self.assertEqual(rec[62:82].rstrip(), b"quix")
        self.assertEqual(rec[82:90], b"20240611")
        size, dtype, ftype, w, h, _t3, _t4, comments, flags = struct.unpack("<IBBHHHHBB", rec[90:106])
        self.assertEqual((size, dtype, ftype, w, h, comments, flags), (1234, 1, 1, 80, 25, 0, 1))
        self.assertEqual(m.sauce("t", "a", "g", "20240611", 1, False)[105], 0)

    def test_look_and_comments(self):
        blob = m.sauce("wide", "tern", "quix", "20261218", 99, False, width=160, lines=300, spacing=9,
                       aspect="legacy", font="IBM VGA50", comments=["first line", "second \u2502 line"])
        self.assertEqual(len(blob), 5 + 2 * 64 + 128)
        self.assertEqual(blob[:5], b"COMNT")
        self.assertEqual(blob[5:69], b"first line".ljust(64))
        self.assertEqual(blob[69:133], b"second \xb3 line".ljust(64))
        rec = blob[133:]
        self.assertEqual(rec[:7], b"SAUCE00")
        w, h, comments, flags = struct.unpack("<HH4xBB", rec[96:106])
        # Flags: bits 1-2 = 10 (9 pixels), bits 3-4 = 01 (legacy aspect).
        self.assertEqual((w, h, comments, flags), (160, 300, 2, 0b01100))
        self.assertEqual(rec[106:128], b"IBM VGA50".ljust(22, b"\0"))
        square8 = m.sauce("t", "a", "g", "20240611", 1, True, spacing=8, aspect="square")
        self.assertEqual(square8[105], 0b10011)

    def test_refuses_what_a_record_cannot_hold(self):
        ok = dict(title="t", author="a", group="g", date="20240611", size=1, ice=False)
        for bad in (dict(title="x" * 36), dict(author="tab\there"), dict(date="2024-6-1"), dict(width=0),
                    dict(width=1001), dict(comments=["y" * 65]), dict(font="f" * 23)):
            with self.assertRaises(ValueError, msg=bad):
                m.sauce(**{**ok, **bad})


class Pieces(unittest.TestCase):
    def test_every_piece_builds_and_obeys_the_file_rules(self):
        names = set()
        for name, fn, title, author in m.PIECES:
            names.add(name)
            c = fn()
            data = m.encode(c)
            m.check_bytes(data)
            m.verify(c, data)
            # A piece that is mostly empty is a broken generator, not art.
            drawn = sum(1 for row in c.cells for cell in row if not m._is_blank(cell))
            self.assertGreater(drawn, m.W * m.H // 2, name)
            self.assertTrue(title and author)
        self.assertEqual(names, {f"art{i}.ans" for i in range(1, 11)})
        self.assertEqual(sum(1 for _n, fn, _t, _a in m.PIECES if fn().ice), 1)


if __name__ == "__main__":
    unittest.main()
