"""make_format_pieces.py --issue: the gallery of one piece of each format.
The cells the generator says each piece holds (gallery_cells, which the
end-to-end test of the gallery expects on the screen) are what Debian's
ansilove draws of the files it wrote, pixel for pixel, in the piece's own
font where it has one: the bytes really say what the drawing meant, in
every format.

Where ansilove reads a file otherwise than its format says, the picture is
taken so that it does not matter (see tests/web/test_formats.py): shore.ans
is drawn with -i (its record's iCE flag) and only its art's rows are
compared, as ansilove draws the record that follows it without a byte 26
as text; gradient.ans is compared with the picture of gradient_t.ans, as
ansilove knows no ESC[38;2 / ESC[38;5."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "tests", "web"))
import make_format_pieces as pieces  # noqa: E402
from reference import ANSILOVE, ansilove, glyphs  # noqa: E402

# Each piece: the issue's file ansilove draws, and its options.
REFERENCES = {
    "shore.ans": ("shore.ans", ["-c", "80", "-i"]),
    "gradient.ans": ("gradient_t.ans", ["-c", "80"]),
    "gradient_t.ans": ("gradient_t.ans", ["-c", "80"]),
    "harbour.bin": ("moorings.bin", ["-c", "160", "-i"]),
    "lighthouse.xb": ("lighthouse.xb", []),
    "reef.adf": ("reef.adf", []),
    "kelp.idf": ("kelp.idf", []),
    "dusk.tnd": ("dusk.tnd", []),
    "board.pcb": ("board.pcb", []),
}
OWN_FONTS = {"lighthouse.xb": pieces.lighthouse_font, "reef.adf": pieces.reef_font, "kelp.idf": pieces.kelp_font}


class GalleryOfFormatsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="quix-formats-")
        cls.issue = os.path.join(cls.root, "issue")
        subprocess.run([sys.executable, os.path.join(HERE, "make_format_pieces.py"), "--issue", cls.issue],
                       check=True, capture_output=True, timeout=120)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, True)

    def test_the_manifest_names_every_piece_and_nothing_of_the_samples(self):
        with open(os.path.join(self.issue, "issue.toml")) as f:
            manifest = f.read()
        arts = [line.split('"')[1] for line in manifest.splitlines() if line.startswith("art = ")]
        self.assertEqual(arts, [art for _, _, art in pieces.GALLERY])
        self.assertEqual(sorted(set(os.path.splitext(a)[1] for a in arts)),
                         [".adf", ".ans", ".bin", ".idf", ".pcb", ".tnd", ".xb"])
        self.assertFalse(os.path.exists(os.path.join(self.issue, "nightsky.ans")), "the sample's pieces are left out")
        self.assertIn("[[track]]", manifest)

    @unittest.skipUnless(os.path.exists(ANSILOVE), "ansilove is not installed")
    def test_ansilove_draws_each_piece_as_its_cells_say(self):
        standard = glyphs()
        cells = pieces.gallery_cells()
        for name, (file, options) in REFERENCES.items():
            with self.subTest(piece=name):
                width, height, pixel = ansilove(os.path.join(self.issue, file),
                                                os.path.join(self.root, name + ".png"), *options)
                font = OWN_FONTS[name]().glyphs if name in OWN_FONTS else standard
                rows = cells[name]
                self.assertEqual(width, len(rows[0]) * 8)
                self.assertGreaterEqual(height, len(rows) * 16)
                wrong = set()
                for y in range(len(rows) * 16):
                    for x in range(width):
                        ch, fore, back = rows[y // 16][x // 8]
                        ink = font[ch][y % 16] & (0x80 >> (x % 8))
                        if pixel(x, y) != (fore if ink else back):
                            wrong.add((x // 8 + 1, y // 16 + 1))
                self.assertEqual(sorted(wrong)[:5], [], f"{len(wrong)} cells differ")

    def test_the_shore_keeps_its_record_right_after_the_art(self):
        with open(os.path.join(self.issue, "shore.ans"), "rb") as f:
            data = f.read()
        self.assertIn(b"\x1b[0;5;1;44;34m", data, "iCE colours written as blink, bold, background, foreground")
        block = data[-128 - 5 - 5 * 64:-128]
        self.assertTrue(block.startswith(b"COMNT"))
        self.assertNotEqual(data[-128 - len(block) - 1], 0x1A, "no byte 26 before the comments")
        self.assertEqual(data[-128 + 104], 5, "five comment lines")
        self.assertEqual([block[5 + 64 * i:5 + 64 * (i + 1)].decode() for i in range(5)], pieces.SHORE_COMMENTS)


if __name__ == "__main__":
    unittest.main()
