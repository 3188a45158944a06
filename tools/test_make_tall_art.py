#!/usr/bin/env python3
"""The tall gallery piece of the sample issue: as tools/make_tall_art.py
draws it, taller than the screen, and full of the colour changes before
cursor-forward gaps that a scrolling screen must keep."""

import os
import re
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_tall_art  # noqa: E402

SAMPLE = os.path.join(HERE, "..", "tests", "sample-issue", "tidepool.ans")


class TallArt(unittest.TestCase):
    def test_the_sample_issue_holds_the_generators_piece(self):
        with open(SAMPLE, "rb") as f:
            self.assertEqual(f.read(), make_tall_art.piece(), "run make_tall_art.py --out " + SAMPLE)

    def test_taller_than_the_screen_and_no_wider_than_79(self):
        for rows in (40, 48, 60):
            data = make_tall_art.piece(rows=rows)
            self.assertTrue(data.endswith(b"\r\n\x1a"))
            lines = data[:-3].split(b"\r\n")
            self.assertEqual(len(lines), rows)
            for line in lines:
                visible = re.sub(rb"\x1b\[[0-9;]*m", b"", line)
                # Cursor-forward moves count as the columns they pass.
                width = 0
                for part in re.split(rb"(\x1b\[\d+C|\r)", visible):
                    m = re.fullmatch(rb"\x1b\[(\d+)C", part)
                    if part == b"\r":
                        width = 0
                    else:
                        width += int(m.group(1)) if m else len(part)
                    self.assertLessEqual(width, 79, line)

    def test_colour_changes_around_cursor_forward_gaps_in_red(self):
        data = make_tall_art.piece()
        self.assertRegex(data, rb"\x1b\[37m\x1b\[\d+C\x1b\[31;40m[\xdc\xdf]")
        self.assertRegex(data, rb"\x1b\[0m\x1b\[\d+C\x1b\[1;31;40m[\xdc\xdf]")


if __name__ == "__main__":
    unittest.main()
