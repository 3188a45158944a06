"""What an editor does with the magazine alone: copy the sample issue, rename
the magazine, look at a screen at once, pack the editions, and what must be
refused. QUIXMAG is the magazine (the checker, check_content or
quixmag-check, beside it; the other editions' runners in its runners/ or
QUIXMAG_RUNNERS), SAMPLE_ISSUE the sample issue's folder."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SAMPLE = os.environ.get("SAMPLE_ISSUE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "sample-issue")


def quixmag():
    return harness.binary()


def runners():
    named = os.environ.get("QUIXMAG_RUNNERS")
    return named or os.path.join(os.path.dirname(quixmag()), "runners")


def run(*args, cwd=None):
    return subprocess.run([quixmag(), *args], capture_output=True, text=True, cwd=cwd, timeout=120)


class EditorTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="editor-")
        self.issue = os.path.join(self.tmp, "tide")
        shutil.copytree(SAMPLE, self.issue)
        self.manifest = os.path.join(self.issue, "issue.toml")
        with open(self.manifest, encoding="ascii") as f:
            text = f.read()
        with open(self.manifest, "w", encoding="ascii") as f:
            f.write('name = "tide"\ncontact = "the tide board - telnet tide.example.org 23"\n' + text)

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def magazine(self, argv, **kw):
        return harness.Terminal(argv=argv, cwd=self.tmp, **kw)

    # --- The Linux edition ------------------------------------------------------------

    def test_the_linux_edition_is_one_executable_that_shows_the_editors_issue(self):
        started = time.monotonic()
        out = run("--pack", "tide", "tide-mag", cwd=self.tmp)
        took = time.monotonic() - started
        self.assertEqual(out.returncode, 0, out.stdout + out.stderr)
        print(f"packed the Linux edition in {took:.2f} s", file=sys.stderr)
        packed = os.path.join(self.tmp, "tide-mag")
        self.assertTrue(os.access(packed, os.X_OK))
        self.assertIn("tide magazine, issue #2, january 2027", out.stdout)

        # Any zip tool reads the issue out of it, without a warning.
        listing = subprocess.run(["unzip", "-l", packed], capture_output=True, text=True)
        self.assertEqual(listing.returncode, 0, listing.stdout + listing.stderr)
        for name in ("issue.toml", "logo.ans", "nightsky.ans", "parade.xm"):
            self.assertIn(name, listing.stdout)
        with zipfile.ZipFile(packed) as z:
            with open(os.path.join(self.issue, "logo.ans"), "rb") as f:
                self.assertEqual(z.read("logo.ans"), f.read())

        # Moved away from everything, it shows the editor's name and issue.
        alone = os.path.join(tempfile.mkdtemp(dir=self.tmp), "tide-mag")
        shutil.move(packed, alone)
        with harness.Terminal(argv=[alone, "--help"]) as t:
            t.wait_for_text("[]  t i d e   m a g a z i n e")
            t.wait_for_text("  the tide board - telnet tide.example.org 23")
            self.assertIsNone(t.find("quix.example.org"))
            self.assertEqual(t.wait_exit(), 0)
        with harness.Terminal(argv=[alone, "--silent"]) as t:
            t.wait_for_text("j a n u a r y", timeout=15)
            t.wait_for_text("a r t i c l e s", timeout=30)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

    def test_a_magazine_without_names_reads_as_the_first_one(self):
        with harness.Terminal(argv=[quixmag(), "--help"]) as t:
            t.wait_for_text("[]  q u i x   m a g a z i n e")
            t.wait_for_text("  the quix board - telnet quix.example.org 2323")
            self.assertEqual(t.wait_exit(), 0)

    # --- A quick look ------------------------------------------------------------------

    def test_an_edited_screen_shows_at_once_with_issue(self):
        # The folder is read afresh on every start: an edited logo is what
        # the next start shows.
        with open(os.path.join(self.issue, "logo.ans"), "wb") as f:
            f.write(b"\x1b[0m\x1b[2J\x1b[3;5HFRESHLY EDITED LOGO\x1a")
        started = time.monotonic()
        with self.magazine([quixmag(), "--silent", "--issue", "tide"]) as t:
            self.assertEqual(t.wait_for_text("FRESHLY EDITED LOGO", timeout=15), (5, 3))
            took = time.monotonic() - started
            print(f"--issue: the edited logo after {took:.2f} s", file=sys.stderr)
            self.assertLess(took, 5.0)  # a loose bound for a busy machine; the figure is printed
            t.wait_for_text("a r t i c l e s", timeout=30)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

        # --show draws one file; Esc finishes the drawing, a key ends.
        piece = os.path.join(self.issue, "nightsky.ans")
        started = time.monotonic()
        with self.magazine([quixmag(), "--show", piece]) as t:
            t.key("esc")
            t.settle()
            took = time.monotonic() - started
            print(f"--show: the piece drawn in {took:.2f} s", file=sys.stderr)
            self.assertIsNone(t.find("m a g a z i n e"), "only the piece, no logo")
            self.assertNotEqual(t.row(1).strip(), "")
            t.send("q")
            self.assertEqual(t.wait_exit(), 0)

    def test_issue_is_refused_on_a_board(self):
        env = dict(os.environ, QUIXMAG_PUBLIC="1")
        out = subprocess.run([quixmag(), "--issue", self.issue], capture_output=True, text=True, env=env,
                             timeout=30)
        self.assertEqual(out.returncode, 1)
        self.assertIn("not taken on a board", out.stderr)

    # --- Refusals ------------------------------------------------------------------------

    def test_a_folder_the_checker_refuses_is_not_packed(self):
        with open(os.path.join(self.issue, "menu_asc.ans"), "ab") as f:
            f.write(b"\x1b[31m")  # an escape sequence in a twin
        checked = run("--check", "tide", cwd=self.tmp)
        self.assertEqual(checked.returncode, 1)
        self.assertRegex(checked.stdout, r"(?m)^tide/menu_asc\.ans:\d+: ")
        out = run("--pack", "tide", "tide-mag", cwd=self.tmp)
        self.assertEqual(out.returncode, 1)
        self.assertIn("menu_asc.ans", out.stdout)
        self.assertIn("not packed", out.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "tide-mag")))
        self.assertEqual(sorted(os.listdir(self.tmp)), ["tide"], "nothing written")

    def test_hostile_packs_are_refused_with_one_line(self):
        def pack(name, entries, damage=None):
            path = os.path.join(self.tmp, name)
            with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
                for entry, data in entries:
                    z.writestr(entry, data)
            if damage:
                with open(path, "r+b") as f:
                    damage(f)
            return path

        files = []
        for name in sorted(os.listdir(self.issue)):
            with open(os.path.join(self.issue, name), "rb") as f:
                files.append((name, f.read()))

        def spoil_directory(f):
            data = f.read()
            at = data.rfind(b"PK\x05\x06")
            f.seek(at + 16)
            f.write(struct.pack("<I", 0x7FFFFFF0))  # the directory's offset, far past the end

        cases = {
            "slash": pack("slash.zip", files + [("../escape.ans", b"x")]),
            "backslash": pack("backslash.zip", files + [("sub\\logo.ans", b"x")]),
            "drive": pack("drive.zip", files + [("c:logo.ans", b"x")]),
            "folder": pack("folder.zip", [("tide/" + n, d) for n, d in files]),
            "twice": pack("twice.zip", files + [("LOGO.ANS", b"x")]),
            "many": pack("many.zip", files + [(f"f{i}.txt", b"") for i in range(1000)]),
            "bomb": pack("bomb.zip", files + [("big.ans", b"\0" * (17 << 20))]),
            "damaged": pack("damaged.zip", files, spoil_directory),
        }
        self.assertLess(os.path.getsize(cases["bomb"]), 200000, "17 MB of zeros pack small")
        for what, path in cases.items():
            before = sorted(os.listdir(self.tmp))
            out = subprocess.run([quixmag(), "--issue", path], capture_output=True, text=True, timeout=60)
            self.assertEqual(out.returncode, 1, what)
            self.assertEqual(out.stdout, "", what)
            self.assertEqual(len(out.stderr.strip().splitlines()), 1, f"{what}: {out.stderr!r}")
            self.assertEqual(sorted(os.listdir(self.tmp)), before, f"{what}: nothing written")

        # The same issue packed plainly is shown.
        good = pack("good.zip", files)
        with self.magazine([quixmag(), "--silent", "--issue", good]) as t:
            t.wait_for_text("j a n u a r y", timeout=15)
            t.wait_for_text("a r t i c l e s", timeout=30)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

    # --- The other editions ----------------------------------------------------------------

    def test_the_windows_and_web_editions_carry_the_issue(self):
        folder = runners()
        if not (os.path.exists(os.path.join(folder, "quixmag.exe")) and
                os.path.exists(os.path.join(folder, "web", "index.html"))):
            self.skipTest(f"no Windows and web runners in {folder} (tools/setup.sh --test builds them)")
        started = time.monotonic()
        out = run("--pack", "tide", "out/tide", "--linux", "--windows", "--web", cwd=self.tmp)
        took = time.monotonic() - started
        self.assertEqual(out.returncode, 0, out.stdout + out.stderr)
        print(f"packed three editions in {took:.2f} s", file=sys.stderr)
        exe = os.path.join(self.tmp, "out", "tide.exe")
        with open(exe, "rb") as f:
            self.assertEqual(f.read(2), b"MZ")
        with zipfile.ZipFile(exe) as z:
            self.assertIn("tidepool.ans", z.namelist())
        site = os.path.join(self.tmp, "out", "tide-web")
        with open(os.path.join(site, "index.html"), encoding="utf-8") as f:
            self.assertIn("<title>tide magazine</title>", f.read())
        with zipfile.ZipFile(os.path.join(site, "issue.zip")) as z:
            self.assertIn("issue.toml", z.namelist())
        for name in ("quixmag.js", "quixmag.wasm", "page.js"):
            self.assertTrue(os.path.exists(os.path.join(site, name)), name)
        zipped = run("--pack", "tide", "tide-site.zip", cwd=self.tmp)
        self.assertEqual(zipped.returncode, 0, zipped.stderr)
        with zipfile.ZipFile(os.path.join(self.tmp, "tide-site.zip")) as z:
            self.assertIn("issue.zip", z.namelist())
            self.assertIn("index.html", z.namelist())


if __name__ == "__main__":
    unittest.main()
