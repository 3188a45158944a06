"""The installed package end to end: the magazine as /usr/bin/quixmag (or
$QUIXMAG_INSTALLED), run by a normal user who cannot write the program's
folder, with music on, from a folder of the user's own; then run by root,
who could write there but must not. Needs the package installed first
(bash tools/setup.sh --test does that)."""

import os
import pwd
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import Terminal  # noqa: E402
from test_music import loudness  # noqa: E402

CONTENT = os.path.join(HERE, "..", "..", "content")
INSTALLED = os.environ.get("QUIXMAG_INSTALLED", "/usr/bin/quixmag")
MAIN_ENTRY = "a r t i c l e s"
GALLERY_ENTRY = "b b s  a r t  X"


def listing(folder):
    return sorted(os.listdir(folder))


def packaged(path):
    """Whether an installed package owns Path (another installation may put
    files into the program's folder while the test runs)."""
    return subprocess.run(["dpkg", "-S", path], capture_output=True).returncode == 0


class InstalledTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(INSTALLED):
            raise unittest.SkipTest(f"{INSTALLED} is not installed")
        cls.program_dir = os.path.dirname(INSTALLED)

    def watch_program_dir(self):
        """Remembers the program's folder; at the end of the test, whatever
        the magazine left there is removed again."""
        self.before = set(os.listdir(self.program_dir))
        self.addCleanup(lambda: [os.remove(p) for p in self.written_beside_program()])

    def written_beside_program(self):
        new = set(os.listdir(self.program_dir)) - self.before
        paths = (os.path.join(self.program_dir, name) for name in sorted(new))
        return [p for p in paths if os.path.isfile(p) and not packaged(p)]

    def user_folder(self, user):
        """A fresh folder owned by User, removed after the test."""
        folder = tempfile.mkdtemp(prefix="quixmag-installed-")
        self.addCleanup(shutil.rmtree, folder, True)
        os.chown(folder, user.pw_uid, user.pw_gid)
        return folder

    def test_an_editor_ships_three_editions_with_the_package_alone(self):
        """Copy the sample issue, rename the magazine, check and pack it: the
        installed package holds everything this needs (no compiler runs)."""
        folder = tempfile.mkdtemp(prefix="quixmag-editor-")
        self.addCleanup(shutil.rmtree, folder, True)
        started = time.monotonic()
        shutil.copytree("/usr/share/quixmag/sample-issue", os.path.join(folder, "harbour"))
        manifest = os.path.join(folder, "harbour", "issue.toml")
        with open(manifest, encoding="ascii") as f:
            text = f.read()
        with open(manifest, "w", encoding="ascii") as f:
            f.write('name = "harbour news"\n' + text)
        for page in ("/usr/share/man/man6/quixmag.6.gz", "/usr/share/man/man1/quixmag-check.1.gz"):
            self.assertTrue(os.path.isfile(page), f"{page}: the manual page is not installed")
        checked = subprocess.run(["quixmag-check", "harbour"], cwd=folder, capture_output=True, text=True)
        self.assertEqual(checked.returncode, 0, checked.stdout)
        packed = subprocess.run([INSTALLED, "--pack", "harbour", "dist/harbour", "--linux", "--windows", "--web"],
                                cwd=folder, capture_output=True, text=True, timeout=60)
        took = time.monotonic() - started
        self.assertEqual(packed.returncode, 0, packed.stdout + packed.stderr)
        print(f"copied, renamed, checked and packed three editions in {took:.2f} s", file=sys.stderr)
        self.assertLess(took, 30)
        dist = os.path.join(folder, "dist")
        for name in ("harbour", "harbour.exe", "harbour-web"):
            self.assertTrue(os.path.exists(os.path.join(dist, name)), name)
            if name != "harbour-web":
                print(f"{name}: {os.path.getsize(os.path.join(dist, name))} bytes", file=sys.stderr)
        listing_ = subprocess.run(["unzip", "-l", os.path.join(dist, "harbour")], capture_output=True, text=True)
        self.assertEqual(listing_.returncode, 0)
        self.assertIn("issue.toml", listing_.stdout)
        with Terminal(argv=[os.path.join(dist, "harbour"), "--help"]) as t:
            t.wait_for_text("[]  h a r b o u r   n e w s   m a g a z i n e")
            self.assertEqual(t.wait_exit(), 0)
        with open(os.path.join(dist, "harbour-web", "index.html"), encoding="utf-8") as f:
            self.assertIn("<title>harbour news magazine</title>", f.read())

    def test_an_editor_ships_a_magazine_of_three_issues_with_the_package_alone(self):
        """The sample issue copied three times and renumbered into a magazine
        folder, checked and packed into three editions: no compiler runs.
        Each edition opens the newest issue, and B lists all three."""
        folder = tempfile.mkdtemp(prefix="quixmag-magazine-")
        self.addCleanup(shutil.rmtree, folder, True)
        started = time.monotonic()
        magazine = os.path.join(folder, "harbour")
        os.makedirs(magazine)
        with open(os.path.join(magazine, "magazine.toml"), "w", encoding="ascii") as f:
            f.write('name = "harbour news"\n')
        for number, sub in enumerate(("spring", "summer", "autumn"), 1):
            shutil.copytree("/usr/share/quixmag/sample-issue", os.path.join(magazine, sub))
            manifest = os.path.join(magazine, sub, "issue.toml")
            with open(manifest, encoding="ascii") as f:
                text = f.read()
            with open(manifest, "w", encoding="ascii") as f:
                f.write(text.replace("number = 2", f"number = {number}")
                        .replace('date = "january 2027"', f'date = "{sub} 2027"\nheadline = "the {sub} issue"'))
        checked = subprocess.run(["quixmag-check", "harbour"], cwd=folder, capture_output=True, text=True)
        self.assertEqual(checked.returncode, 0, checked.stdout)
        packed = subprocess.run([INSTALLED, "--pack", "harbour", "dist/harbour", "--linux", "--windows", "--web"],
                                cwd=folder, capture_output=True, text=True, timeout=60)
        took = time.monotonic() - started
        self.assertEqual(packed.returncode, 0, packed.stdout + packed.stderr)
        print(f"made, checked and packed a magazine of three issues, three editions, in {took:.2f} s",
              file=sys.stderr)
        self.assertLess(took, 30)
        dist = os.path.join(folder, "dist")
        for name in ("harbour", "harbour.exe", "harbour-web/magazine.zip", "harbour-web/issues/1.zip",
                     "harbour-web/issues/3.zip"):
            self.assertTrue(os.path.exists(os.path.join(dist, name)), name)
        with Terminal(argv=[os.path.join(dist, "harbour"), "--silent"], cwd=folder) as t:
            t.wait_for_text(MAIN_ENTRY)
            t.send("b")
            t.wait_for_text("the autumn issue")
            screen = t.text()
            rows = [screen.find(f"#{n}    ") for n in (3, 2, 1)]
            self.assertTrue(all(r >= 0 for r in rows) and rows == sorted(rows), screen)
            self.assertIn("* #3", screen)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

    def test_a_normal_user_reads_listens_and_saves_into_the_current_folder(self):
        user = pwd.getpwnam("nobody")
        self.assertFalse(os.stat(self.program_dir).st_mode & stat.S_IWOTH,
                         "the program's folder must not be writable by others")
        self.watch_program_dir()
        cwd, tmpdir, audio = (self.user_folder(user) for _ in range(3))
        audio_file = os.path.join(audio, "audio.raw")
        argv = ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}",
                "--clear-groups", "--", INSTALLED]
        env = {"HOME": cwd, "TMPDIR": tmpdir,
               "SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio_file}
        with Terminal(argv=argv, cwd=cwd, env=env) as term:
            term.wait_for_text(MAIN_ENTRY, timeout=30)
            time.sleep(1.0)
            self.assertGreater(loudness(audio_file, 0), 0.01, "the music plays")
            self.assertNotEqual(listing(tmpdir), [], "the working files live under $TMPDIR")

            term.key("enter")               # e d i t o r i a l
            term.wait_for_text("EDITORIAL")
            term.key("esc")
            term.wait_for_text(MAIN_ENTRY)

            term.key("home", "down", "down", "enter")   # a n s i   a r t
            term.wait_for_text(GALLERY_ENTRY)
            term.key("enter")               # b b s  a r t  1
            term.wait_for_text("p r e s s  e  t o  e x t r a c t")
            term.send("e")
            term.wait_for_text("f i l e n a m e :")
            term.key("enter", "enter")      # the proposed name, YES
            saved = os.path.join(cwd, "ansi_art1.ans")
            term.wait_for_file(saved)
            term.wait_for_text(GALLERY_ENTRY)
            term.send("x")
            self.assertEqual(term.wait_exit(), 0, term.dump())
            self.assertEqual(term.stderr(), "")

        with open(saved, "rb") as f, open(os.path.join(CONTENT, "art1.ans"), "rb") as g:
            self.assertEqual(f.read(), g.read(), "the saved copy is the artwork's bytes")
        self.assertEqual(listing(cwd), ["ansi_art1.ans"], "only the reader's copy is left")
        self.assertEqual(listing(tmpdir), [], "the working folder is removed at the end")
        self.assertEqual(self.written_beside_program(), [], "nothing is written beside the program")

    def test_root_does_not_write_beside_the_program_either(self):
        self.watch_program_dir()
        with Terminal(argv=[INSTALLED, "--silent"]) as term:
            term.wait_for_text(MAIN_ENTRY, timeout=30)
            self.assertEqual(self.written_beside_program(), [], "the menu's screen is not beside the program")
            term.send("x")
            self.assertEqual(term.wait_exit(), 0, term.dump())
            self.assertEqual(listing(term.cwd), [], "nothing is left in the current folder")
        self.assertEqual(self.written_beside_program(), [])


if __name__ == "__main__":
    unittest.main()
