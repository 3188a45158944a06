"""What the tests of a magazine built from another issue share: a copy of the
binary in a folder of its own (the build puts the issue next to it), a
temporary folder of its own for the run's working folder, and the wait for
a section's menu."""

import os
import shutil
import tempfile
import time
import unittest

BACK = "[ b a c k ]"


class IssueRunTest(unittest.TestCase):
    def start(self, name, args=(), env=None):
        """Starts the copied binary in a terminal; Name tells the folders apart."""
        # Imported here: the damaged issue's maker runs without pyte.
        from harness import Terminal, binary
        self.folder = tempfile.mkdtemp(prefix=f"quixmag-{name}-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        exe = os.path.join(self.folder, "quixmag")
        shutil.copy2(binary(), exe)
        self.tmp = tempfile.mkdtemp(prefix=f"quixmag-{name}-tmp-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.term = Terminal(argv=[exe, *args], env={"TMPDIR": self.tmp, **(env or {})})
        self.addCleanup(self.term.close)

    def section_menu(self):
        """Waits until a section's menu runs: its "[ b a c k ]" entry is
        drawn (the backdrop's key line at row 24 names it too)."""
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            self.term.pump(0.05)
            at = self.term.find(BACK)
            if at and at[1] < 24:
                self.term.settle()
                return at
        self.fail("no section menu\n" + self.term.dump())
