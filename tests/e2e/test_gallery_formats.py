"""The gallery of one piece of each format (tools/make_format_pieces.py
--issue), opened in the real magazine in a pseudo-terminal: every cell of
each piece's top-left window (and of its last rows, for a tall one) holds the
character and the colours its format gives it, as the drawing tool left them.

Colours are checked three ways: with COLORTERM=truecolor each cell's own
24-bit colour; with TERM=xterm-256color alone the nearest entry of the
256-colour palette (16 to 255; the first sixteen are every terminal's
own); with TERM=linux the nearest of the PC's sixteen (pyte reads 90-97 and
100-107 as their dark halves, so only the low three bits are compared).
Nearest is the least squared distance over red, green and blue, found here
by a walk over every entry.

The credits (hot key I) give the art's own size, the font the piece was
drawn for, and the five comment lines of 64 characters whole; nothing of a
SAUCE record shows on the piece's screen."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "..", "tools")
sys.path.insert(0, HERE)
sys.path.insert(0, TOOLS)
from issue_run import IssueRunTest  # noqa: E402
import make_format_pieces as pieces  # noqa: E402

PROMPT = "p r e s s  e  t o  e x t r a c t"
ROWS = 24  # the rows of a piece on the screen; row 25 holds the prompt

# The glyphs of code page 437's control codes and of 0x7F.
LOW = (" \u263a\u263b\u2665\u2666\u2663\u2660\u2022\u25d8\u25cb\u25d9\u2642\u2640\u266a\u266b\u263c"
       "\u25ba\u25c4\u2195\u203c\u00b6\u00a7\u25ac\u21a8\u2191\u2193\u2192\u2190\u221f\u2194\u25b2\u25bc")


def glyph(code):
    """The character a terminal shows for a PC character code; the blanks
    (0, space and 255) are all shown as a space."""
    if code in (0, 0x20, 0xFF):
        return " "
    if code < 0x20:
        return LOW[code]
    if code == 0x7F:
        return "\u2302"
    return bytes([code]).decode("cp437")


def entry256(index):
    if index >= 232:
        v = 8 + 10 * (index - 232)
        return v, v, v
    steps = (0, 0x5F, 0x87, 0xAF, 0xD7, 0xFF)
    i = index - 16
    return steps[i // 36], steps[i // 6 % 6], steps[i % 6]


def distance(a, b):
    return sum((x - y) ** 2 for x, y in zip(a, b))


def nearest(rgb, candidates):
    best = 0
    for i in range(1, len(candidates)):
        if distance(candidates[i], rgb) < distance(candidates[best], rgb):
            best = i
    return best


PALETTE256 = [entry256(i) for i in range(16, 256)]
NAMES = ["black", "blue", "green", "cyan", "red", "magenta", "brown", "white"]


def colour_ok(reported, rgb, mode):
    """Whether pyte's colour Reported is what the program must send for
    RGB in Mode: the colour itself, or an entry at the least distance from
    it (two entries may be as near, as the grey ramp's midpoints are)."""
    if mode == "truecolor":
        return reported == "%02x%02x%02x" % rgb
    if mode == "256":
        entries = ["%02x%02x%02x" % e for e in PALETTE256]
        if reported not in entries:
            return False
        best = distance(PALETTE256[nearest(rgb, PALETTE256)], rgb)
        return distance(PALETTE256[entries.index(reported)], rgb) == best
    best = distance(pieces.VGA_RGB[nearest(rgb, pieces.VGA_RGB)], rgb)
    return any(NAMES[i & 7] == reported and distance(pieces.VGA_RGB[i], rgb) == best for i in range(16))


def wanted(rgb, mode):
    if mode == "truecolor":
        return "%02x%02x%02x" % rgb
    if mode == "256":
        return "%02x%02x%02x" % PALETTE256[nearest(rgb, PALETTE256)]
    return NAMES[nearest(rgb, pieces.VGA_RGB) & 7]


MODES = {
    "truecolor": {},
    "256": {"COLORTERM": None},
    "16": {"COLORTERM": None, "TERM": "linux"},
}


class GalleryFormatsTest(IssueRunTest):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="quixmag-formats-")
        cls.issue = os.path.join(cls.root, "issue")
        subprocess.run([sys.executable, os.path.join(TOOLS, "make_format_pieces.py"), "--issue", cls.issue],
                       check=True, capture_output=True, timeout=120)
        cls.cells = pieces.gallery_cells()
        from harness import binary
        checked = subprocess.run([binary(), "--check", cls.issue], capture_output=True, text=True, timeout=120)
        assert checked.returncode == 0, "the checker passes the gallery of every format:\n" + checked.stdout

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, True)

    def open_gallery(self, mode):
        self.start("formats-" + mode, ["--silent", "--issue", self.issue], env=MODES[mode])
        self.term.wait_for_text("a r t i c l e s", timeout=30)
        self.term.key("home", "down", "down", "enter")
        self.section_menu()

    def open_piece(self, index):
        term = self.term
        term.key("home", *["down"] * index, "enter")
        term.wait_for_text(PROMPT, timeout=30)
        term.settle()

    def leave_piece(self):
        self.term.send("x")
        self.section_menu()

    def wrong_cells(self, name, top, mode, rows):
        """The cells of the window (rows Top.. of the piece) that differ from
        what the piece's format gives, as (column, row, what)."""
        expected = self.cells[name]
        wrong = []
        for y in range(rows):
            for x in range(80):
                ch, fore, back = expected[top + y][x]
                cell = self.term.cell(x + 1, y + 1)
                want = glyph(ch)
                if cell.data != want:
                    wrong.append((x + 1, top + y + 1, f"{cell.data!r} for {want!r}"))
                elif not colour_ok(cell.bg, back, mode):
                    wrong.append((x + 1, top + y + 1, f"background {cell.bg} for {wanted(back, mode)}"))
                elif want != " " and not colour_ok(cell.fg, fore, mode):
                    wrong.append((x + 1, top + y + 1, f"foreground {cell.fg} for {wanted(fore, mode)}"))
        return wrong

    def check_windows(self, name, mode):
        """The piece's first window, and its last rows when it is taller."""
        rows = len(self.cells[name])
        # A piece of 25 rows fits the screen as a screen does, its last row
        # under the prompt; a taller or wider one is a window to move.
        tall = rows > ROWS + 1
        moves = tall or len(self.cells[name][0]) > 80
        if moves:
            self.term.key("home")
            self.term.settle()
        wrong = self.wrong_cells(name, 0, mode, min(rows, ROWS))
        self.assertEqual(wrong[:5], [], f"{name} ({mode}): {len(wrong)} cells differ\n{self.term.dump()}")
        screen = self.term.text()
        for trace in ("SAUCE", "COMNT"):
            self.assertNotIn(trace, screen, f"{name}: the record shows")
        if rows < ROWS:
            below = [self.term.row(y).strip() for y in range(rows + 1, ROWS + 1)]
            self.assertEqual(below, [""] * (ROWS - rows), f"{name}: nothing is drawn below the art")
        if tall:
            self.term.key("end")
            self.term.settle()
            wrong = self.wrong_cells(name, rows - ROWS, mode, ROWS)
            self.assertEqual(wrong[:5], [], f"{name} ({mode}), last rows: {len(wrong)} cells differ")
            self.assertNotIn("SAUCE", self.term.text())

    def check_gallery(self, mode, names):
        self.open_gallery(mode)
        order = [piece for _, piece, _ in pieces.GALLERY]
        for name in names:
            with self.subTest(piece=name, mode=mode):
                self.open_piece(order.index(name))
                try:
                    self.check_windows(name, mode)
                finally:
                    self.leave_piece()
        self.term.key("end", "enter")
        self.term.wait_for_text("a r t i c l e s")
        self.term.send("x")
        self.assertEqual(self.term.wait_exit(), 0)

    def test_every_piece_in_true_colour(self):
        self.check_gallery("truecolor", [piece for _, piece, _ in pieces.GALLERY])

    def test_every_piece_in_the_nearest_of_256(self):
        self.check_gallery("256", [piece for _, piece, _ in pieces.GALLERY])

    def test_every_piece_in_the_nearest_of_16(self):
        self.check_gallery("16", [piece for _, piece, _ in pieces.GALLERY])

    def credits(self):
        """The rows inside the credits box (columns 8 to 73 of rows 4 to 19)."""
        self.term.send("i")
        self.term.wait_for_text("c r e d i t s")
        self.term.settle()
        rows = [self.term.row(y)[7:73] for y in range(4, 20)]
        self.term.send("x")
        self.term.wait_for_gone("c r e d i t s")
        return rows

    def test_the_credits_give_the_arts_own_size_its_font_and_every_comment(self):
        self.open_gallery("truecolor")
        order = [piece for _, piece, _ in pieces.GALLERY]
        # Pieces with a record: (file, columns, rows, what the font line
        # says). The record names a font for ANSI and binary text only; its
        # PCBoard and TundraDraw types have no field for one.
        want = [
            ("shore.ans", 80, 22, "IBM VGA"),
            ("gradient.ans", 80, 30, "IBM VGA"),
            ("harbour.bin", 160, 30, "IBM VGA"),
            ("lighthouse.xb", 80, 40, "its own, 256 glyphs of 16 rows, shown here in the standard glyphs"),
            ("dusk.tnd", 80, 30, ""),
            ("board.pcb", 80, 25, ""),
        ]
        for name, cols, rows, font in want:
            with self.subTest(piece=name):
                self.open_piece(order.index(name))
                try:
                    credits = self.credits()
                finally:
                    self.leave_piece()
                text = " ".join(" ".join(credits).split())
                self.assertIn(f"size : {cols} columns x {rows} rows", text, credits)
                self.assertIn(f"font : {font} flags :".replace("  ", " "), text, credits)
                if name == "shore.ans":
                    for line in pieces.SHORE_COMMENTS:
                        self.assertIn(line, [row[:64] for row in credits], "a comment line whole, on a row of its own")
                    self.assertIn("flags : bright backgrounds", text)
        self.term.key("end", "enter")
        self.term.wait_for_text("a r t i c l e s")
        self.term.send("x")
        self.assertEqual(self.term.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
