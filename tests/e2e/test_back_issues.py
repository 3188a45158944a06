"""A magazine of three issues, as an editor makes and ships one: the folder
made from the sample issue (tests/magazine/make_magazine.py), checked and
packed as the Linux edition, then read in a pseudo-terminal: the newest
issue opens, B lists the three newest first, each issue's articles, gallery
and music are its own, --read opens another, and a number the magazine does
not hold is refused with one line. QUIXMAG is the magazine, with its checker
beside it."""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import harness  # noqa: E402
from doorboard import Caller  # noqa: E402

MAKE = os.path.join(HERE, "..", "magazine", "make_magazine.py")


class BackIssuesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="back-issues-")
        cls.folder = os.path.join(cls.tmp, "harbour")
        subprocess.run([sys.executable, MAKE, cls.folder, "--issues", "3"], check=True)
        checked = subprocess.run([harness.binary(), "--check", cls.folder], capture_output=True, text=True,
                                 timeout=120)
        assert checked.returncode == 0, checked.stdout + checked.stderr
        started = time.monotonic()
        packed = subprocess.run([harness.binary(), "--pack", cls.folder, os.path.join(cls.tmp, "harbour-mag")],
                                capture_output=True, text=True, timeout=120)
        assert packed.returncode == 0, packed.stdout + packed.stderr
        print(f"packed a magazine of 3 issues in {time.monotonic() - started:.2f} s: {packed.stdout.strip()}",
              file=sys.stderr)
        cls.edition = os.path.join(cls.tmp, "harbour-mag")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def reader(self, *args, env=None):
        return harness.Terminal(argv=[self.edition, "--silent", *args], cwd=self.tmp, env=env)

    def open_back_issues(self, t):
        t.wait_for_text("e d i t o r i a l")
        t.send("b")
        t.wait_for_text("b a c k   i s s u e s")

    def test_the_newest_issue_opens_and_b_lists_them_newest_first(self):
        with self.reader() as t:
            t.wait_for_text("the logo of issue #3")
            self.open_back_issues(t)
            screen = t.text()
            rows = [screen.find(f"#{n}    ") for n in (3, 2, 1)]
            self.assertTrue(all(r >= 0 for r in rows), screen)
            self.assertEqual(rows, sorted(rows), "newest first")
            self.assertIn("* #3", screen, "the issue being read is marked")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

    def test_each_issue_shows_its_own_articles_and_gallery(self):
        with self.reader() as t:
            self.open_back_issues(t)
            t.key("down", "down", "enter")  # #1
            t.wait_for_text("the logo of issue #1")
            t.wait_for_text("e d i t o r i a l")
            t.key("down", "enter")  # articles
            t.wait_for_text("harbour lights [report]")
            t.key("enter")
            t.wait_for_text("HARBOUR LIGHTS OF ISSUE #1")
            self.assertNotIn("ISSUE #3", t.text())
            t.key("esc")
            t.wait_for_text("[ b a c k ]")
            t.key("end", "enter")  # back to issue 1's main menu
            t.wait_for_text("e x i t")
            # The bar is back on the articles: one down is the gallery, four
            # pieces, then back.
            t.key("down", "enter")
            t.wait_for_text("[ b a c k ]")
            gallery = t.text()
            self.assertIn("p h a s e s", gallery)
            self.assertNotIn("l o n g  c o a s t", gallery, "issue 3's pieces are not issue 1's")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

    def test_the_music_follows_the_issue(self):
        # The reader's music: the working module file is the open issue's.
        work = tempfile.mkdtemp(dir=self.tmp)
        env = dict(os.environ, TMPDIR=work, SDL_AUDIODRIVER="dummy")
        with harness.Terminal(argv=[self.edition, *[]], cwd=self.tmp, env=env) as t:
            self.open_back_issues(t)
            modules = glob.glob(os.path.join(work, "quixmag-*", "*music.mod"))
            self.assertEqual([os.path.basename(m) for m in modules], ["issue3-music.mod"])
            t.key("down", "enter")  # #2
            t.wait_for_text("the logo of issue #2")
            t.wait_for_text("e d i t o r i a l")
            played = os.path.join(os.path.dirname(modules[0]), "issue2-music.mod")
            self.assertTrue(os.path.isfile(played), os.listdir(os.path.dirname(modules[0])))
            with open(played, "rb") as f, open(os.path.join(self.folder, "issue-b", "music3.xm"), "rb") as g:
                self.assertEqual(f.read(), g.read(), "issue 2's own module plays")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

    def test_a_board_caller_reads_a_back_issue(self):
        # The edition as a board's door: B serves the caller every issue,
        # and the log names the issue each article came from.
        log = os.path.join(tempfile.mkdtemp(dir=self.tmp), "doors.log")
        caller = Caller(program=self.edition, args=["--log", log])
        try:
            caller.wait_for_text("e d i t o r i a l", timeout=30)
            caller.send("b")
            caller.wait_for_text("b a c k   i s s u e s")
            caller.key("down", "down", "enter")  # #1
            caller.wait_for_text("the logo of issue #1")
            caller.wait_for_text("e d i t o r i a l")
            caller.key("down", "enter")
            caller.wait_for_text("harbour lights [report]")
            caller.key("enter")
            caller.wait_for_text("HARBOUR LIGHTS OF ISSUE #1")
            caller.key("esc")
            caller.wait_for_text("[ b a c k ]")
            caller.send("x")
            self.assertEqual(caller.wait_exit(20), 0)
        finally:
            caller.close()
        with open(log, encoding="ascii") as f:
            events = [line.rstrip("\n").split('" ', 1)[1] for line in f]
        self.assertTrue(events[0].startswith("start: DOOR32.SYS") and events[0].endswith("issue #3"), events)
        articles = [e for e in events if e.startswith("article:")]
        self.assertEqual(len(articles), 1, events)
        self.assertTrue(articles[0].startswith("article: 1/articles/"), articles)  # the place names the issue

    def test_read_opens_an_issue_and_refuses_one_that_is_not_there(self):
        with self.reader("--read", "2") as t:
            t.wait_for_text("the logo of issue #2")
            self.open_back_issues(t)
            self.assertIn("* #2", t.text())
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)
        out = subprocess.run([self.edition, "--read", "9"], capture_output=True, text=True, timeout=60)
        self.assertEqual(out.returncode, 1)
        self.assertEqual(out.stderr.strip().splitlines(),
                         ["quixmag: --read 9: the magazine holds no such issue; it holds #1, #2, #3"])

    def test_the_checker_names_the_issue_the_file_and_the_line(self):
        broken = os.path.join(self.tmp, "broken")
        shutil.copytree(self.folder, broken)
        with open(os.path.join(broken, "issue-b", "issue.toml"), "a", encoding="ascii") as f:
            f.write('\n[[article]]\nlabel = "a label far too long to fit the articles menu box at all"\n'
                    'text = "harbour.txt"\ntitle = "t"\nauthor = "a"\ncategory = "scene/news"\n')
        os.rename(os.path.join(broken, "issue-c"), os.path.join(broken, "issue-c-renamed"))
        with open(os.path.join(broken, "issue-c-renamed", "issue.toml"), encoding="ascii") as f:
            text = f.read()
        with open(os.path.join(broken, "issue-c-renamed", "issue.toml"), "w", encoding="ascii") as f:
            f.write(text.replace("number = 3", "number = 1"))
        out = subprocess.run([harness.binary(), "--check", broken], capture_output=True, text=True, timeout=120)
        self.assertEqual(out.returncode, 1, out.stdout)
        lines = out.stdout.splitlines()
        label = [line for line in lines if "far too long" in line or "characters long" in line]
        self.assertTrue(label and label[0].startswith(os.path.join(broken, "issue-b", "issue.toml") + ":"), lines)
        self.assertIn(": issue #2: ", label[0])
        self.assertTrue([line for line in lines if "issue #1 is there twice" in line], lines)


if __name__ == "__main__":
    unittest.main(verbosity=2)
