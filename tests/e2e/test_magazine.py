"""The magazine end to end, as a reader uses it: the logo, the main menu and
its refusal in ASCII mode, an article opened under its header with the text
in the window, saving it, the gallery with its save dialog, the framed pages,
and the files left in the program folder afterwards."""

import os
import re
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Terminal, binary, files_of_run  # noqa: E402

CONTENT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "content")

MAIN_ENTRY = "a r t i c l e s"           # shown once the main menu is up
ARTICLES_ENTRY = "[ b a c k ]"            # shown once a section menu is up
GALLERY_ENTRY = "b b s  a r t  X"


class Magazine:
    """One run of the magazine from its own program folder, so that the
    files it writes there can be checked."""

    def __init__(self, *args):
        self.folder = tempfile.mkdtemp(prefix="quixmag-folder-")
        self.exe = os.path.join(self.folder, "quixmag")
        shutil.copy2(binary(), self.exe)
        # A temporary folder of its own, for the run's working folder.
        self.tmp = tempfile.mkdtemp(prefix="quixmag-tmp-")
        self.term = Terminal(argv=[self.exe, "--silent", *args], env={"TMPDIR": self.tmp})

    def close(self):
        self.term.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def files(self):
        """What the program folder holds besides the program."""
        return sorted(f for f in os.listdir(self.folder) if f != "quixmag")

    def work_files(self):
        """The files of the run's working folder."""
        folders = os.listdir(self.tmp)
        if len(folders) != 1:
            raise AssertionError(f"one working folder expected in TMPDIR, found {folders}")
        return files_of_run(os.path.join(self.tmp, folders[0]))

    def left_behind(self):
        """Whatever is left in TMPDIR."""
        return os.listdir(self.tmp)

    def main_menu(self):
        self.term.wait_for_text(MAIN_ENTRY, timeout=30)

    def choose(self, downs):
        """Moves the bar Downs entries down from the top and presses Enter."""
        self.term.key("home")
        for _ in range(downs):
            self.term.key("down")
        self.term.key("enter")


class MagazineTest(unittest.TestCase):
    def start(self, *args):
        mag = Magazine(*args)
        self.addCleanup(mag.close)
        return mag

    def test_logo_then_main_menu_and_exit_screen(self):
        mag = self.start()
        term = mag.term
        term.wait_for_text("d e c e m b e r", timeout=10)
        self.assertIn("\u2588", term.text(), "the ANSI logo is drawn with block characters")
        mag.main_menu()
        self.assertEqual(mag.work_files(), [], "screens are drawn straight from the program")
        self.assertEqual(mag.files(), [], "nothing is written beside the program")
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(mag.left_behind(), [], "the program removes its files when it ends")

    def test_ascii_mode_shows_the_twin_logo_and_refuses_the_gallery(self):
        mag = self.start("--ascii")
        term = mag.term
        term.wait_for_text("d e c e m b e r", timeout=10)
        self.assertNotIn("\u2588", term.text(), "the twin is plain ASCII")
        mag.main_menu()
        mag.choose(2)
        where = term.wait_for_text("even if you access the menu, you can't see the ansi art :p")
        self.assertEqual(where, (12, 22))
        term.send(" ")
        mag.main_menu()
        self.assertIsNone(term.find(GALLERY_ENTRY), "the gallery was not entered")

    def test_left_arrow_redraws_the_menu_with_the_first_entry_highlighted(self):
        mag = self.start()
        term = mag.term
        mag.main_menu()
        term.key("down", "down")
        term.idle(0.3)
        term.key("left")
        term.wait_for_gone(MAIN_ENTRY, timeout=10)  # the wipe blanks the screen
        mag.main_menu()
        term.idle(0.2)
        x, y = term.find(MAIN_ENTRY)
        self.assertEqual(term.colours(x, y)[0], 8, "entry 1 is drawn as a normal entry again")

    def test_article_opens_under_its_header_saves_and_leaves_no_files(self):
        mag = self.start()
        term = mag.term
        mag.main_menu()
        mag.choose(1)
        term.wait_for_text(ARTICLES_ENTRY)
        term.key("enter")  # the first entry: scene news
        term.wait_for_text("scene news, issue #1")
        self.assertIsNotNone(term.find("moth"), "the author is written into its field")
        self.assertIsNotNone(term.find("scene/news"), "the category is written into its field")
        self.assertIsNone(term.find("!"), "every marker was replaced")
        term.wait_for_text("SCENE NEWS")
        self.assertEqual(mag.work_files(), [], "the header and the text are drawn straight from the program")

        saved = os.path.join(term.cwd, "saved.txt")
        term.ctrl("s")
        term.wait_for_text("Enter Filename:")
        term.send("saved.txt")
        term.key("enter")   # ends the editing
        term.key("enter")   # YES
        term.wait_for_file(saved)
        term.idle(0.3)
        with open(saved, "rb") as f:
            data = f.read()
        with open(os.path.join(CONTENT, "news.txt"), "rb") as f:
            original = f.read()
        self.assertEqual(data, original.replace(b"\n", b"\r\n"), "the text is saved with CR LF line ends")

        term.key("esc")
        term.wait_for_text(ARTICLES_ENTRY)
        self.assertEqual(mag.work_files(), [])
        term.key("end", "enter")  # [ b a c k ]
        mag.main_menu()
        mag.choose(5)  # e x i t
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(mag.left_behind(), [])
        self.assertEqual(mag.files(), [])

    def test_gallery_saves_artwork_and_refuses_unsafe_names(self):
        mag = self.start()
        term = mag.term
        mag.main_menu()
        mag.choose(2)
        term.wait_for_text(GALLERY_ENTRY)
        term.key("end", "up", "enter")  # b b s  a r t  X
        term.wait_for_text("p r e s s  e  t o  e x t r a c t")
        term.send("e")
        term.wait_for_text("ansi_art10.ans")
        term.key("enter", "enter")
        term.wait_for_text(GALLERY_ENTRY)
        saved = os.path.join(mag.folder, "ansi_art10.ans")
        with open(saved, "rb") as f, open(os.path.join(CONTENT, "art10.ans"), "rb") as g:
            self.assertEqual(f.read(), g.read(), "the copy equals the artwork byte for byte")

        parent = os.path.dirname(mag.folder)
        for name in ("../quix-escape", "/tmp/quix-escape", "a/b", ".."):
            term.key("home", "enter")
            term.wait_for_text("p r e s s  e  t o  e x t r a c t")
            term.send("E")
            term.wait_for_text("ansi_art1.ans")
            term.ctrl("y")
            term.send(name)
            term.key("enter", "enter")
            term.wait_for_text("not saved")
            term.send(" ")
            term.wait_for_text(GALLERY_ENTRY)
            self.assertFalse(os.path.exists(os.path.join(parent, "quix-escape")))
            self.assertFalse(os.path.exists("/tmp/quix-escape"))

        # X inside the gallery ends the program; its screen file goes too.
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(mag.files(), ["ansi_art10.ans"])
        self.assertEqual(mag.left_behind(), [])

    def test_about_and_editorial_open_in_the_viewer_and_leave_no_files(self):
        for mode in ((), ("--ascii",)):
            mag = self.start(*mode)
            term = mag.term
            for entry, text in ((4, "quix"), (0, "quix")):
                mag.main_menu()
                mag.choose(entry)
                term.wait_for_gone(MAIN_ENTRY)
                term.wait_for_text(text)
                term.idle(0.5)
                self.assertEqual(mag.work_files(), [], "the frame and the text are drawn straight from the program")
                term.key("esc")
                mag.main_menu()
                self.assertEqual(mag.work_files(), [])
            term.send("x")
            self.assertEqual(term.wait_exit(), 0)

    def test_editorial_text_follows_every_scroll(self):
        # The window shows 18 lines of the text from row 5, colour codes
        # left out, whether the terminal scrolls them or they are rewritten.
        with open(os.path.join(CONTENT, "editorial.txt"), encoding="cp437") as f:
            lines = [re.sub(r"\|\d\d", "", line.rstrip("\n")).rstrip() for line in f]
        # vt100 is a terminal the magazine knows no scroll regions of.
        for term_type in ("xterm-256color", "vt100"):
            mag = Magazine()
            self.addCleanup(mag.close)
            mag.term.close()
            mag.term = Terminal(argv=[mag.exe, "--silent"], env={"TERM": term_type})
            term = mag.term
            mag.main_menu()
            mag.choose(0)
            term.wait_for_text(lines[1])
            top = 0
            steps = [("down", 1)] * 5 + [("pgdn", 17), ("up", -1), ("up", -1), ("down", 1), ("pgup", -17),
                                         ("down", 1), ("down", 1)]
            for key, move in steps:
                term.key(key)
                top += move
                term.settle(0.2)
                shown = [term.row(5 + i) for i in range(18)]
                self.assertEqual(shown, lines[top:top + 18], f"TERM={term_type}, after {key}, top line {top}")
            term.key("esc")
            mag.main_menu()
            term.send("x")
            self.assertEqual(term.wait_exit(), 0)

    def test_a_dumb_terminal_reads_the_editorial_in_pages_of_plain_lines(self):
        with open(os.path.join(CONTENT, "editorial.txt"), encoding="cp437") as f:
            lines = [re.sub(r"\|\d\d", "", line.rstrip("\n")).rstrip() for line in f]
        mag = Magazine()
        self.addCleanup(mag.close)
        mag.term.close()
        mag.term = term = Terminal(argv=[mag.exe, "--silent"], env={"TERM": "dumb"})
        term.wait_for_text("press the key of your choice", timeout=30)
        self.assertIn("1  editorial", term.text())
        term.send("1")  # the key alone, no Enter
        term.wait_for_text("-- more: enter or space")
        screen = [row.rstrip() for row in term.text().split("\n")]
        more = next(i for i, row in enumerate(screen) if row.startswith("-- more"))
        self.assertEqual(screen[more - 20:more], lines[:20], "the first page: the text's first 20 lines")
        term.send(" ")
        term.wait_for_text(lines[20] if lines[20] else lines[21])
        term.send("q")
        term.wait_for_text("press the key of your choice")
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        self.assertNotIn(b"\x1b", bytes(term.output), "not one escape code")


if __name__ == "__main__":
    unittest.main()
