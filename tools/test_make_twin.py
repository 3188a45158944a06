#!/usr/bin/env python3
"""Checks make_twin.py: the twin of every shipped screen and piece shows
the screen's look-alike cell by cell, keeps the twin format, and passes
the issue checker in a twin's place.

    python3 tools/test_make_twin.py [-v]

The checker is CHECK_CONTENT, or check_content in build/ or build-check/.
"""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
sys.path.insert(0, str(HERE))

import make_twin  # noqa: E402
from screenlib import COLS, ROWS, Cell, decode  # noqa: E402

SAMPLE = ROOT / "tests" / "sample-issue"
SCREENS = sorted(p for folder in (ROOT / "content", SAMPLE) for p in folder.glob("*.ans")
                 if not p.stem.endswith("_asc"))


def checker() -> str | None:
    wanted = os.environ.get("CHECK_CONTENT")
    if wanted:
        return wanted
    for build in ("build", "build-check"):
        path = ROOT / build / "check_content"
        if path.is_file():
            return str(path)
    return None


def esc(seq: str) -> bytes:
    return b"\x1b[" + seq.encode()


class Format(unittest.TestCase):
    def test_every_twin_is_a_form_feed_seven_bit_text_and_the_end_mark(self) -> None:
        for path in SCREENS:
            with self.subTest(path.name):
                twin = make_twin.make_twin(path.read_bytes())
                self.assertEqual(twin[0], 12)
                self.assertEqual(twin[-1], 26)
                self.assertEqual(twin.count(26), 1)
                self.assertTrue(all(32 <= b <= 126 or b in (13, 10) for b in twin[1:-1]))
                played = decode(twin)
                self.assertFalse(played.scrolled)
                self.assertFalse(played.wrote_last_cell)

    def test_the_twin_shows_the_look_alike_of_every_cell(self) -> None:
        for path in SCREENS:
            with self.subTest(path.name):
                cells = decode(path.read_bytes()).cells
                shown = decode(make_twin.make_twin(path.read_bytes())).cells
                for y in range(ROWS):
                    for x in range(COLS):
                        if (x, y) == (COLS - 1, ROWS - 1):
                            continue
                        ch, fg, bg = make_twin.twin_cell(cells[y][x])
                        got = shown[y][x]
                        self.assertEqual((chr(got.ch), got.bg), (ch, bg), (x + 1, y + 1))
                        if ch != " ":
                            self.assertEqual(got.fg, fg, (x + 1, y + 1))


class LookAlikes(unittest.TestCase):
    """Glyphs and colours as a reader of the ANSI screen sees them."""

    def cell(self, data: bytes, x: int = 1, y: int = 1):
        return decode(make_twin.make_twin(data)).cells[y - 1][x - 1]

    def test_lines_shades_and_blocks(self) -> None:
        row = "".join(chr(b) for b in (0xDA, 0xC4, 0xBF, 0xB3, 0xCD, 0xBA, 0xC5, 0xB0, 0xB1, 0xB2))
        shown = decode(make_twin.make_twin(row.encode("latin-1"))).cells[0]
        self.assertEqual("".join(chr(c.ch) for c in shown[:10]), ".-.|=|+.:%")
        # A full block of a dark colour is a space on that colour; of a
        # bright one, a # in it.
        red = self.cell(esc("31m") + b"\xdb")
        self.assertEqual((chr(red.ch), red.bg), (" ", 4))
        yellow = self.cell(esc("1;33m") + b"\xdb")
        self.assertEqual((chr(yellow.ch), yellow.fg), ("#", 14))

    def test_bold_blink_and_reverse(self) -> None:
        bold = self.cell(esc("1;32m") + b"A")
        self.assertEqual((bold.fg, bold.bg), (10, 0))
        # A blinking (bright) background shows its base colour.
        blink = self.cell(esc("5;44m") + b"B")
        self.assertEqual(blink.bg, 1)
        rev = self.cell(esc("31;42;7m") + b"C")
        self.assertEqual((rev.fg, rev.bg), (2, 4))

    def test_cursor_moves_and_the_wrap(self) -> None:
        data = (esc("5;10H") + b"a" + esc("s") + esc("2B") + esc("3C") + b"b" + esc("u") + b"c" +
                esc("A") + esc("2D") + b"d" + b"\r\n" + b"e" + b"\x0c" + esc("3;1H") + b"x" * 81 + b"\x1a" + b"z")
        cells = decode(make_twin.make_twin(data)).cells

        def at(x: int, y: int) -> str:
            return chr(cells[y - 1][x - 1].ch)

        # The form feed cleared what came before it.
        self.assertEqual((at(10, 5), at(11, 5)), (" ", " "))
        self.assertEqual((at(1, 3), at(80, 3), at(1, 4)), ("x", "x", "x"))
        self.assertNotIn("z", "".join(chr(c.ch) for row in cells for c in row))

    def test_the_last_cell_is_never_written(self) -> None:
        # A screen with the whole of row 25 filled (as it is on the screen
        # of a drawing that scrolled): the twin keeps all but the last cell.
        cells = decode(b"").cells
        for x in range(COLS):
            cells[ROWS - 1][x] = Cell(ord("y"), 14, 0)
        played = decode(make_twin.to_twin(cells))
        self.assertFalse(played.scrolled)
        self.assertFalse(played.wrote_last_cell)
        self.assertEqual("".join(chr(c.ch) for c in played.cells[ROWS - 1]), "y" * 79 + " ")


class CheckerAcceptsTheTwins(unittest.TestCase):
    def test_each_twin_passes_the_checker_in_place_of_a_twin(self) -> None:
        check = checker()
        if not check:
            self.skipTest("no check_content built (set CHECK_CONTENT)")
        root = Path(tempfile.mkdtemp(prefix="quix-twin-"))
        self.addCleanup(shutil.rmtree, root, True)
        issue = root / "issue"
        shutil.copytree(SAMPLE, issue)
        # The twins of the sample's own screens, each in its own place.
        for path in SAMPLE.glob("*_asc.ans"):
            screen = SAMPLE / (path.stem[:-4] + ".ans")
            (issue / path.name).write_bytes(make_twin.make_twin(screen.read_bytes()))
        run = subprocess.run([check, str(issue)], capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stdout)
        # Every other screen and piece, in the place of the logo's twin (no
        # menu box there).
        own = {p.stem for p in SAMPLE.glob("*.ans")}
        for path in SCREENS:
            if path.parent == SAMPLE and path.stem in own and path.stem + "_asc" in own:
                continue
            with self.subTest(path.relative_to(ROOT)):
                (issue / "logo_asc.ans").write_bytes(make_twin.make_twin(path.read_bytes()))
                run = subprocess.run([check, str(issue)], capture_output=True, text=True, timeout=120)
                self.assertEqual(run.returncode, 0, run.stdout)


if __name__ == "__main__":
    unittest.main()
