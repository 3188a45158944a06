"""tools/copyright_for_build.py: the paragraphs of a copyright file that
cover what a build carries, nothing of them changed."""
import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "copyright_for_build.py")

COPYRIGHT = """Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: sample

Files: *
Copyright: 2020 The Authors
License: Expat

Files:
 tests/third_party/game/*
 tests/third_party/game/configure
Copyright: 2001 A Game Maker
License: GPL-2+

Files: tests/data/*
 system/lib/libc/*
Copyright: 2005 The libc Authors
License: MIT-Open-Group

Files: tests/only/*
Copyright: 1999 Tester
License: Zlib

License: Expat
 Permission is hereby granted, free of charge, ...
 .
 The above copyright notice shall be included.

License: GPL-2+
 This program is free software ...

License: MIT-Open-Group
 Open Group text ...

License: Zlib
 zlib text ...
"""


class CopyrightForBuildTest(unittest.TestCase):
    def run_tool(self, *folders):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "copyright")
            with open(path, "w", encoding="utf-8") as f:
                f.write(COPYRIGHT)
            done = subprocess.run([sys.executable, TOOL, path, *folders], capture_output=True, text=True,
                                  timeout=30)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout

    def test_paragraphs_of_left_out_folders_alone_go_with_their_licences(self):
        out = self.run_tool("tests")
        self.assertTrue(out.startswith("Format: https://www.debian.org/"))
        self.assertIn("Files: *\nCopyright: 2020 The Authors\nLicense: Expat\n", out)
        # A paragraph with one file outside tests/ stays whole.
        self.assertIn("Files: tests/data/*\n system/lib/libc/*\n", out)
        self.assertIn("License: MIT-Open-Group\n Open Group text ...", out)
        self.assertIn("License: Expat\n Permission is hereby granted, free of charge, ...\n .\n", out)
        for gone in ("A Game Maker", "GPL-2+", "Tester", "License: Zlib", "zlib text"):
            self.assertNotIn(gone, out)

    def test_without_a_match_every_paragraph_stays(self):
        out = self.run_tool("docs")
        for kept in ("A Game Maker", "This program is free software", "Tester", "zlib text"):
            self.assertIn(kept, out)


if __name__ == "__main__":
    unittest.main()
