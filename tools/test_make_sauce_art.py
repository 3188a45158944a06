#!/usr/bin/env python3
"""Checks of the SAUCE-tagged pieces: each record read back by its layout,
the art's rows against the record's width and lines, the look each piece
is drawn for, and the sample issue's copies against the generator.

Run:  python3 tools/test_make_sauce_art.py
"""

import struct
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_art  # noqa: E402
import make_sauce_art as s  # noqa: E402

SAMPLE = Path(__file__).resolve().parent.parent / "tests" / "sample-issue"


def split(blob):
    """(art, comment lines, record fields) of a file, by the record's layout."""
    rec = blob[-128:]
    assert rec[:7] == b"SAUCE00", rec[:7]
    fields = {
        "title": rec[7:42].rstrip(b" \0"), "author": rec[42:62].rstrip(b" \0"),
        "group": rec[62:82].rstrip(b" \0"), "date": rec[82:90],
        "font": rec[106:128].rstrip(b"\0"),
    }
    (fields["size"], fields["dtype"], fields["ftype"], fields["width"], fields["lines"], _t3, _t4,
     count, fields["flags"]) = struct.unpack("<IBBHHHHBB", rec[90:106])
    block = 5 + 64 * count if count else 0
    start = len(blob) - 128 - block
    comments = []
    if count:
        assert blob[start:start + 5] == b"COMNT"
        comments = [blob[start + 5 + 64 * i:start + 69 + 64 * i].rstrip(b" ") for i in range(count)]
    assert blob[start - 1] == 26, "no byte 26 before the comment block or record"
    return blob[:start - 1], comments, fields


BLOBS = {p["file"]: s.piece_bytes(p) for p in s.PIECES}


class Records(unittest.TestCase):
    def test_every_record_names_its_piece(self):
        for name, blob in BLOBS.items():
            art, comments, f = split(blob)
            self.assertEqual(f["group"], b"quix", name)
            self.assertTrue(f["title"] and f["author"], name)
            self.assertRegex(f["date"].decode("ascii"), r"^20[0-9]{2}(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01])$")
            self.assertEqual(f["size"], len(art), name)
            self.assertEqual((f["dtype"], f["ftype"]), (1, 1), name)  # character data, ANSI
            self.assertEqual(f["font"], b"IBM VGA", name)
            self.assertTrue(comments and all(comments), name)
            self.assertNotIn(26, art, name)
            make_art.check_bytes(art)

    def test_each_piece_carries_its_look(self):
        looks = {name: split(blob)[2] for name, blob in BLOBS.items()}
        spacing = lambda f: (f["flags"] >> 1) & 3  # noqa: E731
        aspect = lambda f: (f["flags"] >> 3) & 3  # noqa: E731
        self.assertEqual(spacing(looks["planlvl9.ans"]), 0b10)       # 9 pixels
        self.assertEqual(aspect(looks["phases.ans"]), 0b01)          # legacy, stretched
        self.assertEqual((looks["longcoast.ans"]["width"], looks["longcoast.ans"]["lines"]), (160, 25))
        self.assertEqual((looks["deepdown.ans"]["width"], looks["deepdown.ans"]["lines"]), (80, 300))
        for f in looks.values():
            self.assertEqual(f["flags"] & 1, 0)                      # no iCE colours
            self.assertNotEqual(spacing(f), 0b11)
            self.assertNotEqual(aspect(f), 0b11)


def cells_between_line_ends(art):
    """How many cells each run of the art between two CR LFs draws."""
    runs, count, i = [], 0, 0
    while i < len(art):
        if art[i] == 27:
            while chr(art[i]) not in "m":
                i += 1
        elif art[i:i + 2] == b"\r\n":
            runs.append(count)
            count = 0
            i += 1
        else:
            count += 1
        i += 1
    return runs + [count]


class Rows(unittest.TestCase):
    def test_rows_fill_the_record_and_stay_within_their_row(self):
        for name, blob in BLOBS.items():
            art, _c, f = split(blob)
            rows = max(f["lines"], 0)
            # The art draws no cell below its lines (decode raises) ...
            shown = s.decode(art, f["width"], rows)
            drawn_rows = [y for y, row in enumerate(shown) if any(cell != (s.SPACE, 7) for cell in row)]
            # ... reaches its last row (a screen piece leaves row 25 blank) ...
            self.assertEqual(drawn_rows[-1], rows - 1 if rows > 25 or f["width"] > 80 else 23, name)
            # ... and its full width.
            self.assertTrue(any(row[f["width"] - 1] != (s.SPACE, 7) for row in shown), name)
            # A row of the full width wraps by itself: a line end right after
            # one would leave a blank row in one renderer and not another.
            for n in cells_between_line_ends(art)[:-1]:
                self.assertFalse(n > 0 and n % f["width"] == 0, f"{name}: line end after {n} cells")

    def test_the_encoder_refuses_a_full_last_row_of_a_tall_piece(self):
        g = s.Grid(80, 30)
        for x in range(80):
            g.put(x, 29, s.FULL, s.WHITE)
        with self.assertRaises(ValueError):
            s.encode(g)


class Looks(unittest.TestCase):
    def test_the_nine_pixel_piece_is_mostly_line_drawing(self):
        art = split(BLOBS["planlvl9.ans"])[0]
        shown = s.decode(art, 80, 25)
        glyphs = [ch for row in shown for ch, _a in row if ch != s.SPACE]
        joining = sum(1 for ch in glyphs if 0xC0 <= ch <= 0xDF)
        self.assertGreater(joining, 400)
        self.assertGreater(joining / len(glyphs), 0.3)

    def test_the_legacy_moon_is_wider_than_tall_by_the_stretch(self):
        art = split(BLOBS["phases.ans"])[0]
        shown = s.decode(art, 80, 25)
        # Half-block pixels of the big moon: grey and white, above the phases.
        lit = set()
        for y in range(19):
            for x in range(80):
                ch, a = shown[y][x]
                fg, bg = a & 15, a >> 4
                top = fg if ch in (s.FULL, s.UPPER) else bg
                bottom = fg if ch in (s.FULL, s.LOWER) else bg
                for half, colour in ((0, top), (1, bottom)):
                    if colour in (s.WHITE, s.GREY, s.DGREY):
                        lit.add((x, 2 * y + half))
        xs, ys = [p[0] for p in lit], [p[1] for p in lit]
        width, height = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
        self.assertGreater(width, 30)
        self.assertAlmostEqual(width / height, 1.35, delta=0.08)


class Files(unittest.TestCase):
    def test_the_same_bytes_on_every_run(self):
        for p in s.PIECES:
            self.assertEqual(s.piece_bytes(p), BLOBS[p["file"]], p["file"])

    def test_the_sample_issue_holds_what_the_generator_writes(self):
        for name, blob in BLOBS.items():
            self.assertEqual((SAMPLE / name).read_bytes(), blob, f"{name}: run tools/make_sauce_art.py")


if __name__ == "__main__":
    unittest.main()
