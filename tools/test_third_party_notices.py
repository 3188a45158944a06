"""Checks third_party_notices.py, which writes THIRD-PARTY.txt from the
libraries' Debian copyright files: each library is named with the licence of
its "Files: *" paragraph or the one given, every file is carried whole, the
common licence texts the files point to are appended once each, and a
library whose licence cannot be told stops the build instead of shipping
without one."""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SCRIPT = Path(__file__).resolve().parent / "third_party_notices.py"

# A machine-readable file whose first Files paragraph is not the main one.
MACHINE_READABLE = """\
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: libtune
Comment: the header paragraph names no licence of its own

Files: examples/*
Copyright: 2001 Someone Else
License: GPL-2+
 On Debian systems the full text is in /usr/share/common-licenses/GPL-2.

Files: *
Copyright: 1999 The Tune Authors
License: BSD-3-Clause
 Redistribution and use in source and binary forms are permitted
 provided that the three conditions hold.
"""

# A free-form file, as GCC's is, pointing to two names of one text and to
# another at the end of a sentence.
FREE_FORM = """\
The runtime is free software under the GNU General Public License, with
the Runtime Library Exception (included in this file).

The complete text is in `/usr/share/common-licenses/GPL', version 3 in
`/usr/share/common-licenses/GPL-3'. The lesser licence can be found in
/usr/share/common-licenses/LGPL-2.1.

RUNTIME LIBRARY EXCEPTION: you may combine the runtime with your program.
"""


class NoticesTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="quix-notices-")
        self.dir = Path(self.tmp.name)
        self.tune = self.write("tune-copyright", MACHINE_READABLE)
        self.runtime = self.write("runtime-copyright", FREE_FORM)
        self.common = self.dir / "common-licenses"
        self.common.mkdir()
        (self.common / "GPL-3").write_text("GNU GENERAL PUBLIC LICENSE\nVersion 3, the text\n")
        os.symlink("GPL-3", self.common / "GPL")
        (self.common / "GPL-2").write_text("GNU GENERAL PUBLIC LICENSE\nVersion 2, the text\n")
        (self.common / "LGPL-2.1").write_text("GNU LESSER GENERAL PUBLIC LICENSE\nVersion 2.1, the text\n")
        self.out = self.dir / "THIRD-PARTY.txt"

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, text):
        path = self.dir / name
        path.write_text(text)
        return path

    def run_maker(self, *entries, crlf=False):
        command = [sys.executable, str(SCRIPT), str(self.out), "--product", "tune.exe",
                   "--common-licenses", str(self.common), *entries]
        if crlf:
            command.append("--crlf")
        return subprocess.run(command, capture_output=True, text=True, timeout=60)

    def notices(self, *entries, crlf=False):
        run = self.run_maker(*entries, crlf=crlf)
        self.assertEqual(run.returncode, 0, run.stderr)
        return self.out.read_bytes().decode("utf-8")

    def summary(self, text):
        """The list of libraries and licences before the first section."""
        return text.split("=" * 72)[0]

    def test_each_library_is_named_with_its_licence_and_carried_whole(self):
        text = self.notices(f"libtune 1.2|{self.tune}",
                            f"the runtime|{self.runtime}|GPL-3+ with the Runtime Library Exception")
        summary = self.summary(text)
        self.assertIn("tune.exe", summary.splitlines()[0])
        self.assertRegex(summary, r"(?m)^  libtune 1\.2: BSD-3-Clause$")
        self.assertRegex(summary, r"(?m)^  the runtime: GPL-3\+ with the Runtime Library Exception$")
        self.assertNotIn("GPL-2+", summary)
        self.assertIn(MACHINE_READABLE.rstrip("\n"), text)
        self.assertIn(FREE_FORM.rstrip("\n"), text)
        self.assertIn("libtune 1.2\nLicence: BSD-3-Clause\n", text)

    def test_a_given_licence_overrides_the_files_paragraph(self):
        text = self.notices(f"libtune|{self.tune}|Zlib")
        self.assertRegex(self.summary(text), r"(?m)^  libtune: Zlib$")

    def test_common_licence_texts_are_appended_once_each(self):
        text = self.notices(f"libtune|{self.tune}", f"the runtime|{self.runtime}|GPL-3+")
        # GPL and GPL-3 are one text; GPL-2 and LGPL-2.1 (named at the end of
        # a sentence) are the others.
        self.assertEqual(text.count("Version 3, the text"), 1)
        self.assertEqual(text.count("Version 2, the text"), 1)
        self.assertEqual(text.count("Version 2.1, the text"), 1)
        self.assertLess(text.index(FREE_FORM.rstrip("\n")), text.index("Version 3, the text"))

    def test_a_free_form_file_without_a_given_licence_stops(self):
        run = self.run_maker(f"libtune|{self.tune}", f"the runtime|{self.runtime}")
        self.assertEqual(run.returncode, 1)
        self.assertIn("the runtime", run.stderr)
        self.assertIn("LIBRARY|FILE|LICENCE", run.stderr)
        self.assertFalse(self.out.exists())

    def test_a_missing_copyright_file_or_common_text_stops(self):
        run = self.run_maker(f"libtune|{self.dir / 'nowhere'}")
        self.assertEqual(run.returncode, 1)
        self.assertIn("libtune", run.stderr)
        (self.common / "LGPL-2.1").unlink()
        run = self.run_maker(f"the runtime|{self.runtime}|GPL-3+")
        self.assertEqual(run.returncode, 1)
        self.assertIn("LGPL-2.1", run.stderr)
        self.assertFalse(self.out.exists())
        self.assertEqual(list(self.dir.glob("*.part")), [])

    def test_crlf_ends_every_line(self):
        text = self.notices(f"libtune|{self.tune}", crlf=True)
        self.assertGreater(text.count("\r\n"), 10)
        self.assertEqual(text.count("\n"), text.count("\r\n"))


if __name__ == "__main__":
    unittest.main()
