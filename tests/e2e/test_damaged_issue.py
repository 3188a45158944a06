"""The magazine built from a damaged copy of the sample issue (QUIXMAG points
at it, DAMAGED_ISSUE at its folder): files cut short or spoilt on the way, of
the kinds the issue checker refuses, but whose manifest the build still
takes. The program must meet each calmly: no crash, no hang, and a sensible
screen for the damaged piece.

    python3 test_damaged_issue.py --make FOLDER   writes the damaged issue
"""

import os
import shutil
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from issue_run import IssueRunTest  # noqa: E402

SAMPLE = os.path.join(HERE, "..", "sample-issue")
DAMAGED = os.environ.get("DAMAGED_ISSUE", "")

MAIN_ENTRY = "a r t i c l e s"
# The end of the long line, and the text on both sides of the NUL byte.
TAIL = "TAIL-OF-THE-LONG-LINE"
NUL_LINE = (b"It can.", b"It\0can.")
# The line of harbour.txt that grows by 10,000 characters and TAIL.
LONG_LINE = "one laptop, one keyboard and a flask of tea, and passed the keyboard on"


def read(folder, name):
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()


def logo_cut(logo):
    """Where the logo is cut: inside the sequence that follows the first
    letters of the date, so that "j a n u a" is drawn and the rest is not."""
    return logo.index(b"\x1b[", logo.index(b"j a n u a")) + 2


def make(folder):
    """The sample issue with damaged files."""
    shutil.copytree(SAMPLE, folder)

    def write(name, data):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)

    module = read(folder, "parade.xm")
    write("parade.xm", module[:len(module) // 3])
    logo = read(folder, "logo.ans")
    write("logo.ans", logo[:logo_cut(logo)])
    art = read(folder, "nightsky.ans")
    write("nightsky.ans", art[:art.index(b"\x1b[", len(art) // 2) + 3])
    letters = read(folder, "letters.txt")
    assert NUL_LINE[0] in letters
    write("letters.txt", letters.replace(*NUL_LINE, 1))
    harbour = read(folder, "harbour.txt")
    assert LONG_LINE.encode() + b"\n" in harbour
    write("harbour.txt", harbour.replace(LONG_LINE.encode(), LONG_LINE.encode() + b"k" * 10000 + TAIL.encode(), 1))
    # The header's top-left window marker moved from column 1 to 41.
    header = read(folder, "article_hdr.ans")
    corner = b"\x1b[7;1H\x1b[37m!"
    assert corner in header
    write("article_hdr.ans", header.replace(corner, b"\x1b[7;41H\x1b[37m!", 1))


class DamagedIssueTest(IssueRunTest):
    def setUp(self):
        # The music plays on SDL's dummy device: the cut module is loaded.
        self.start("damaged", env={"SDL_AUDIODRIVER": "dummy"})

    def choose(self, downs):
        self.term.key("home")
        for _ in range(downs):
            self.term.key("down")
        self.term.key("enter")

    def leave(self):
        self.term.send("x")
        self.assertEqual(self.term.wait_exit(), 0)
        self.assertEqual(os.listdir(self.tmp), [], "the working folder is gone")

    def test_a_logo_cut_short_and_a_module_cut_short(self):
        term = self.term
        x, y = term.wait_for_text("j a n u a", timeout=15)
        # What follows the cut is not drawn, and nothing of the cut
        # sequence shows as text.
        term.settle()
        self.assertIsNone(term.find("eighty columns"))
        self.assertEqual(term.row(y)[x - 1 + len("j a n u a"):].strip(), "", term.dump())
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.assertIsNone(term.find("Init failed"))
        self.assertIsNone(term.find("Error"))
        # The track menu plays the cut module again; the menu stays.
        term.send("t")
        term.wait_for_text("p o r t   p a r a d e")
        term.key("home", "enter")
        term.key("down", "enter")
        term.wait_for_gone("[ c l o s e ]")
        term.wait_for_text(MAIN_ENTRY)
        self.leave()

    def test_texts_with_a_nul_byte_and_a_10000_character_line(self):
        term = self.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.choose(1)
        self.section_menu()
        term.key("down", "enter")  # letters
        term.wait_for_text("LETTERS TO THE EDITORS")
        # The NUL byte shows as a blank, and the line goes on after it.
        term.wait_for_text("It can. This one is: two articles")
        term.key("esc")
        self.section_menu()

        term.key("home", "enter")  # harbour
        term.wait_for_text("HARBOUR LIGHTS")
        at = term.wait_for_text(LONG_LINE[:39])
        self.assertIsNone(term.find(TAIL))
        # The header's window starts in column 41 and stops at the right
        # edge: columns 41..79 hold the text, column 80 the scroll bar.
        self.assertEqual(at[0], 41, term.dump())
        self.assertEqual(term.cell(80, at[1]).data, " ", term.dump())
        # End scrolls sideways to the end of the longest line: its tail.
        term.key("end")
        term.wait_for_text(TAIL)
        self.assertEqual(term.find(TAIL), (80 - len(TAIL), at[1]), "the tail ends before the bar")
        term.key("home")
        self.assertEqual(term.wait_for_text(LONG_LINE[:39]), at, "the long line stays on its row")
        term.key("esc")
        self.section_menu()
        term.key("end", "enter")
        term.wait_for_text(MAIN_ENTRY)
        self.leave()

    def test_an_artwork_cut_short_is_shown_and_saved_as_it_is(self):
        term = self.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.choose(2)
        self.section_menu()
        term.key("enter")
        term.wait_for_text("p r e s s  e  t o  e x t r a c t")
        term.send("e")
        term.wait_for_text("night_sky.ans")
        term.key("enter", "enter")
        self.section_menu()
        saved = os.path.join(self.folder, "night_sky.ans")
        term.wait_for_file(saved)
        with open(saved, "rb") as f:
            self.assertEqual(f.read(), read(DAMAGED or SAMPLE, "nightsky.ans"), "the piece's bytes, cut as they are")
        self.leave()


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--make":
        shutil.rmtree(sys.argv[2], ignore_errors=True)
        make(sys.argv[2])
        sys.exit(0)
    unittest.main()
