"""The Windows zip as a reader unpacks it: one folder with quixmag.exe, its
readme, the licence and THIRD-PARTY.txt, which names every library linked
into the executable with its licence and carries the licences' texts.

    python3 tests/package/test_windows_zip.py dist/quixmag-1.0-windows.zip
"""

import re
import sys
import unittest
import zipfile
from pathlib import Path

TOP = Path(__file__).resolve().parents[2]
ZIP = None

# Each library linked into quixmag.exe, the licence it comes under (matched
# ignoring case: Debian's files write BSD-3-clause, and zlib/libpng for
# SDL2's zlib licence), and a sentence of that licence's text.
LIBRARIES = [
    ("libopenmpt", "BSD-3-Clause", "Neither the name of"),
    ("SDL2", "Zlib", "This notice may not be removed or altered from any source distribution"),
    ("zlib", "Zlib", "This notice may not be removed or altered from any source distribution"),
    ("minizip", "Zlib", "Copyright (C) 1998-2010 Gilles Vollant"),
    ("MinGW-w64 runtime", "ZPL-2.1", "Names of the copyright holders must not be used"),
    ("GCC", "GCC Runtime Library Exception", "GCC RUNTIME LIBRARY EXCEPTION"),
]


class WindowsZipTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ZIP) as archive:
            cls.files = {name: archive.read(name) for name in archive.namelist() if not name.endswith("/")}
        cls.top = Path(ZIP).name.removesuffix(".zip")

    def read(self, name):
        return self.files[f"{self.top}/{name}"]

    def notices(self):
        data = self.read("THIRD-PARTY.txt")
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""), "a line of THIRD-PARTY.txt does not end with CR LF")
        return data.decode("utf-8", "replace").replace("\r\n", "\n")

    def test_the_folder_holds_the_program_readme_licence_and_notices(self):
        self.assertEqual(sorted(self.files), sorted(f"{self.top}/{name}" for name in
                         ("quixmag.exe", "README.txt", "LICENSE.txt", "THIRD-PARTY.txt")))
        self.assertTrue(self.read("quixmag.exe").startswith(b"MZ"))

    def test_the_licence_is_the_repository_s_with_windows_line_ends(self):
        expected = (TOP / "LICENSE").read_bytes().replace(b"\n", b"\r\n")
        self.assertEqual(self.read("LICENSE.txt"), expected)
        text = self.read("LICENSE.txt").decode("utf-8")
        self.assertIn("MIT License", text)
        self.assertIn("Creative Commons Attribution 4.0 International", text)

    def test_every_library_is_named_with_its_licence(self):
        text = self.notices()
        summary = text.split("=" * 72)[0]
        self.assertIn("quixmag.exe", summary)
        for name, licence, _ in LIBRARIES:
            with self.subTest(library=name):
                self.assertRegex(summary, r"(?im)^  " + re.escape(name) + r"\b.*\b" + re.escape(licence),
                                 f"the list does not name {name} with {licence}")
                self.assertRegex(text, r"(?im)^" + re.escape(name) + r".*\nLicence: .*" + re.escape(licence))

    def test_every_library_s_section_carries_its_licence_text(self):
        text = self.notices()
        sections = text.split("=" * 72 + "\n")
        for name, _, sentence in LIBRARIES:
            with self.subTest(library=name):
                heading = [i for i, part in enumerate(sections) if part.startswith(name)]
                self.assertEqual(len(heading), 1, f"no single section for {name}")
                self.assertIn(sentence, sections[heading[0] + 1])
        # GCC's and MinGW's files point to the GNU licences under
        # /usr/share/common-licenses, which a Windows reader has not: their
        # texts are in the file.
        self.assertIn("GNU GENERAL PUBLIC LICENSE\n                       Version 3, 29 June 2007", text)


if __name__ == "__main__":
    if len(sys.argv) < 2 or not sys.argv[1].endswith(".zip"):
        sys.exit("usage: test_windows_zip.py ZIP")
    ZIP = sys.argv.pop(1)
    unittest.main()
