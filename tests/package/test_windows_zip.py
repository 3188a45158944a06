"""The Windows zip as a reader unpacks it: one folder with quixmag.exe, its
readme, the licence and THIRD-PARTY.txt, which names every library linked
into the executable with its licence and carries the licences' texts; and
as an editor uses it: the checker, the runners, the sample issue and the
guide it carries ship the sample issue as three editions under Wine.

    python3 tests/package/test_windows_zip.py dist/quixmag-1.0-windows.zip
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
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
        top_level = sorted(name.removeprefix(self.top + "/") for name in self.files
                           if name.count("/") == 1)
        self.assertEqual(top_level, sorted(["quixmag.exe", "quixmag-check.exe", "README.txt", "LICENSE.txt",
                                            "THIRD-PARTY.txt", "making-an-issue.md"]))
        self.assertTrue(self.read("quixmag.exe").startswith(b"MZ"))
        self.assertTrue(self.read("quixmag-check.exe").startswith(b"MZ"))

    def test_it_carries_what_an_editor_needs(self):
        self.assertTrue(self.read("runners/quixmag").startswith(b"\x7fELF"), "the Linux runner")
        self.assertIn(f"{self.top}/runners/web/index.html", self.files)
        sample = (TOP / "tests" / "sample-issue")
        for path in sample.iterdir():
            with self.subTest(file=path.name):
                self.assertEqual(self.read(f"sample-issue/{path.name}"), path.read_bytes())
        guide = self.read("making-an-issue.md")
        self.assertEqual(guide, (TOP / "docs" / "making-an-issue.md").read_bytes().replace(b"\n", b"\r\n"))
        readme = self.read("README.txt").decode("utf-8")
        self.assertIn("quixmag.exe --pack", readme)

    def test_an_editor_ships_three_editions_under_wine(self):
        if not shutil.which("wine"):
            self.fail("wine is needed to run the Windows zip's programs")
        folder = Path(tempfile.mkdtemp(prefix="quixmag-windows-editor-"))
        self.addCleanup(shutil.rmtree, folder, True)
        with zipfile.ZipFile(ZIP) as archive:
            archive.extractall(folder)
        here = folder / self.top
        manifest = here / "sample-issue" / "issue.toml"
        manifest.write_text('name = "harbour news"\n' + manifest.read_text(encoding="ascii"), encoding="ascii")

        def wine(*args):
            return subprocess.run(["wine", "quixmag.exe", *args], cwd=here, capture_output=True, text=True,
                                  errors="replace", timeout=300)

        packed = wine("--pack", "sample-issue", "out\\harbour", "--linux", "--windows", "--web")
        self.assertEqual(packed.returncode, 0, packed.stdout + packed.stderr)
        self.assertIn("no problems", packed.stdout, "the checker ran first")
        linux, windows, web = here / "out" / "harbour", here / "out" / "harbour.exe", here / "out" / "harbour-web"
        self.assertTrue(linux.read_bytes().startswith(b"\x7fELF"))
        self.assertTrue(windows.read_bytes().startswith(b"MZ"))
        for edition in (linux, windows):
            with self.subTest(edition=edition.name):
                listing = subprocess.run(["unzip", "-l", str(edition)], capture_output=True, text=True)
                self.assertIn("issue.toml", listing.stdout)
        with zipfile.ZipFile(web / "issue.zip") as pack:
            self.assertIn(b'name = "harbour news"', pack.read("issue.toml"))
        self.assertIn("<title>harbour news magazine</title>", (web / "index.html").read_text(encoding="utf-8"))
        # The Linux edition runs once it is marked executable on Linux, and
        # its help begins with the editor's name, from the pack it carries.
        os.chmod(linux, 0o755)
        helped = subprocess.run([str(linux), "--help"], stdin=subprocess.DEVNULL, capture_output=True,
                                text=True, errors="replace", timeout=60)
        self.assertEqual(helped.returncode, 0, helped.stderr)
        self.assertIn("h a r b o u r   n e w s   m a g a z i n e", helped.stdout)

        # A folder the checker refuses is not packed: its status comes back
        # through the started checker, and nothing is written.
        # (A line too long for the viewer: the magazine would read the
        # folder, only the checker refuses it.)
        text = here / "sample-issue" / "harbour.txt"
        text.write_bytes(text.read_bytes() + b"x" * 100 + b"\n")
        refused = wine("--pack", "sample-issue", "out\\again", "--windows")
        self.assertEqual(refused.returncode, 1, refused.stdout + refused.stderr)
        self.assertIn("harbour.txt", refused.stdout)
        self.assertFalse((here / "out" / "again.exe").exists())

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
