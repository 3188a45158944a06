"""Checks the screen capture of make_pictures.py: cells read back from a
terminal emulator become an ANSI file that draws the same cells again."""

import re
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import pyte  # noqa: E402

from make_pictures import cells_to_ansi, cp437_table  # noqa: E402
from screenlib import decode  # noqa: E402


class Screen:
    """An emulated 80x25 terminal fed with bytes, read like the harness's."""

    def __init__(self, data: bytes):
        self.screen = pyte.Screen(80, 25)
        pyte.ByteStream(self.screen).feed(data)

    def cell(self, x, y):
        return self.screen.buffer[y - 1][x - 1]


def truecolour(fg: str, bg: str) -> str:
    rgb = lambda h: ";".join(str(int(h[i:i + 2], 16)) for i in (0, 2, 4))  # noqa: E731
    return f"\x1b[38;2;{rgb(fg)};48;2;{rgb(bg)}m"


class CaptureTest(unittest.TestCase):
    def test_glyphs_colours_and_places_survive_the_round_trip(self):
        # Yellow smiley on blue at 1,1; a white full block on red at 80,1;
        # a grey house on black at 40,13; the light shade at 1,25.
        data = ("\x1b[1;1H" + truecolour("ffff55", "0000aa") + "\u263a"
                + "\x1b[1;80H" + truecolour("ffffff", "aa0000") + "\u2588"
                + "\x1b[13;40H" + truecolour("aaaaaa", "000000") + "\u2302"
                + "\x1b[25;1H" + truecolour("55ffff", "000000") + "\u2591").encode()
        cells = decode(cells_to_ansi(Screen(data))).cells
        self.assertEqual((cells[0][0].ch, cells[0][0].fg, cells[0][0].bg), (0x01, 14, 1))
        self.assertEqual((cells[0][79].ch, cells[0][79].fg, cells[0][79].bg), (0xDB, 15, 4))
        self.assertEqual((cells[12][39].ch, cells[12][39].fg), (0x7F, 7))
        self.assertEqual((cells[24][0].ch, cells[24][0].fg), (0xB0, 11))
        self.assertEqual((cells[5][5].ch, cells[5][5].bg), (0x20, 0), "untouched cells stay blank")

    def test_a_bright_background_is_sent_as_blink_after_the_background_colour(self):
        data = ("\x1b[1;1H" + truecolour("000000", "ffff55") + "x").encode()
        sgr = re.findall(rb"\x1b\[([0-9;]*)m", cells_to_ansi(Screen(data)))
        self.assertIn(b"0;30;43;5", sgr)

    def test_code_page_437_has_255_distinct_glyphs(self):
        table = cp437_table()
        self.assertEqual(sorted(table.values()), list(range(1, 256)))
        self.assertEqual(table["\u263a"], 0x01)
        self.assertEqual(table["\u25ba"], 0x10)
        self.assertEqual(table["\u2580"], 0xDF)
        self.assertEqual(table["\u00a0"], 0xFF)

    def test_a_colour_outside_the_pc_palette_is_refused(self):
        data = ("\x1b[1;1H" + truecolour("123456", "000000") + "x").encode()
        with self.assertRaises(SystemExit):
            cells_to_ansi(Screen(data))


if __name__ == "__main__":
    unittest.main()
