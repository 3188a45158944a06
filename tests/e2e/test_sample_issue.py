"""The magazine built from the sample issue under tests/ (QUIXMAG points at
it, SAMPLE_ISSUE at its folder): every list the reader sees comes from that
issue's manifest, and nothing of the first issue shows up."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import files_of_run  # noqa: E402
from issue_run import BACK, IssueRunTest  # noqa: E402

SAMPLE = os.environ.get("SAMPLE_ISSUE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "sample-issue")

MAIN_ENTRY = "a r t i c l e s"


class SampleIssueTest(IssueRunTest):
    def setUp(self):
        self.start("sample", ["--silent"])

    def working_files(self):
        """The files of the run's working folder."""
        folders = os.listdir(self.tmp)
        self.assertEqual(len(folders), 1, f"one working folder expected in TMPDIR, found {folders}")
        return files_of_run(os.path.join(self.tmp, folders[0]))

    def menu_above(self, last, count, width):
        """The menu's rows from Count rows above its entry Last down to it,
        Width columns each, in lower case (the light bar's ripple
        capitalises letters as it runs)."""
        x, y = self.section_menu() if last == BACK else self.term.wait_for_text(last)
        self.term.settle()
        return [self.term.row(y - count + i)[x - 1:x - 1 + width].rstrip().lower() for i in range(count + 1)]

    def choose(self, downs):
        self.term.key("home")
        for _ in range(downs):
            self.term.key("down")
        self.term.key("enter")

    def test_logo_names_the_issue_of_the_manifest(self):
        self.term.wait_for_text("j a n u a r y", timeout=15)
        self.assertIsNotNone(self.term.find("# 2"), "issue #2, spaced, on the logo")
        self.assertIsNone(self.term.find("d e c e m b e r"))
        self.term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.term.send("x")
        self.assertEqual(self.term.wait_exit(), 0)

    def test_sections_list_the_manifests_entries_and_open_them(self):
        term = self.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.choose(1)
        self.assertEqual(self.menu_above(BACK, 3, 44), ["", "harbour lights [report]", "letters to the editors...",
                                                         BACK], "two entries, then back")
        self.assertIsNone(term.find("scene news"), "nothing of the first issue")

        term.key("down", "enter")  # letters: an empty author
        term.wait_for_text("letters to the editors")
        term.wait_for_text("scene/letters")
        term.wait_for_text("LETTERS TO THE EDITORS")
        self.assertEqual(self.working_files(), [], "the header and the text are shown straight from the program")
        term.key("esc")
        self.section_menu()

        term.key("home", "enter")
        term.wait_for_text("harbour lights at night")
        self.assertIsNotNone(term.find("gull"))
        self.assertIsNotNone(term.find("scene/report"))
        term.wait_for_text("HARBOUR LIGHTS")
        term.key("esc")
        self.section_menu()
        term.key("end", "enter")

        term.wait_for_text(MAIN_ENTRY)
        self.choose(3)  # t u t o r s
        self.assertEqual(self.menu_above(BACK, 2, 44), ["", "[bgn] checking an issue", BACK], "one tutorial, then back")
        term.key("enter")
        term.wait_for_text("Checking an Issue Before It Ships")
        term.wait_for_text("ledger")
        term.key("esc")
        self.section_menu()
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)

    def test_gallery_piece_saves_under_its_proposed_name_and_tracks_list(self):
        term = self.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.choose(2)
        self.assertEqual(self.menu_above(BACK, 6, 18),
                         ["n i g h t  s k y", "t i d e p o o l", "f l o o r  p l a n", "p h a s e s",
                          "l o n g  c o a s t", "d e e p  d o w n", BACK], "six pieces, then back")
        self.assertIsNone(term.find("b b s  a r t"))
        term.key("enter")
        term.wait_for_text("p r e s s  e  t o  e x t r a c t")
        term.send("e")
        term.wait_for_text("night_sky.ans")
        term.key("enter", "enter")
        self.section_menu()
        saved = os.path.join(self.folder, "night_sky.ans")
        term.wait_for_file(saved)
        with open(saved, "rb") as f, open(os.path.join(SAMPLE, "nightsky.ans"), "rb") as g:
            self.assertEqual(f.read(), g.read(), "the copy is the piece the manifest names")

        term.send("t")
        self.assertEqual(self.menu_above("[ c l o s e ]", 1, 35),
                         ["p o r t   p a r a d e", "[ c l o s e ]"], "one track, then close")
        self.assertIsNone(term.find("b r i g h t"))
        term.key("enter")   # plays nothing with --silent, the menu stays
        term.key("down", "enter")
        term.wait_for_gone("[ c l o s e ]")
        self.section_menu()
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)

    def test_a_piece_taller_than_the_screen_ends_as_the_renderer_left_the_console(self):
        # The reference: the same file drawn by the magazine's renderer on the
        # memory console (term_replay's last frame), as the gallery draws it.
        replay = os.environ.get("TERM_REPLAY") or os.path.join(os.path.dirname(binary()), "term_replay")
        if not os.access(replay, os.X_OK):
            self.skipTest("no term_replay to draw the reference")
        piece = os.path.join(SAMPLE, "tidepool.ans")
        with open(piece, "rb") as f:
            self.assertGreaterEqual(f.read().count(b"\r\n"), 40, "the piece is taller than the screen")
        sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
        from test_term_differential import Replay, compare
        os.environ["TERM_REPLAY"] = replay
        run = Replay(["art", "5000", piece, "--colours=true"])
        frames = []
        while (frame := run.next_frame()) is not None:
            frames.append(frame)
            run.go()
        run.close()
        reference = frames[-1]
        reference.rows = 24   # row 25 holds the gallery's prompt

        term = self.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.choose(2)
        self.section_menu()
        term.key("down", "enter")
        term.wait_for_text("p r e s s  e  t o  e x t r a c t", timeout=30)
        term.settle()

        def shown(col, row):
            return term.cell(col + 1, row + 1).data, *term.colours(col + 1, row + 1)
        fault = compare(reference, shown, (0, 0, False), "the gallery")
        self.assertIsNone(fault if fault and "cursor" not in fault else None, term.dump())

        # Read from its first row: PgUp, Home and End move over all its 48
        # rows, the prompt staying on row 25; its title stands on its row 2.
        title = "tidepool  for issue #2"
        self.assertIsNone(term.find(title), "the last rows are shown first")

        def row_of_title():
            term.settle(quiet=0.2)
            found = term.find(title)
            return found[1] if found else None
        term.key("pgup")
        self.assertEqual(row_of_title(), 2, term.dump())
        term.key("down")
        self.assertEqual(row_of_title(), 1, "Down: a row further")
        term.key("end")
        self.assertIsNone(row_of_title())
        term.key("home")
        self.assertEqual(row_of_title(), 2)
        self.assertIsNotNone(term.find("p r e s s  e  t o  e x t r a c t"), "the prompt stays")
        term.key("enter")
        self.section_menu()
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)

    def screen_rows(self):
        self.term.settle(quiet=0.2)
        return [self.term.row(y) for y in range(1, 25)]

    def open_piece(self, index):
        term = self.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.choose(2)
        self.section_menu()
        self.choose(index)
        term.wait_for_text("p r e s s  e  t o  e x t r a c t", timeout=60)

    def test_a_wide_piece_pans_to_its_right_edge_and_back(self):
        term = self.term
        self.open_piece(4)  # l o n g  c o a s t: 160 columns by its SAUCE record
        left = self.screen_rows()
        term.key("end")
        right = self.screen_rows()
        self.assertNotEqual(left, right, "End: the right half")
        term.key("right")
        self.assertEqual(self.screen_rows(), right, "no further than the right edge")
        term.key("home")
        self.assertEqual(self.screen_rows(), left, "Home: the left edge")
        for _ in range(10):
            term.key("right")  # ten steps of eight columns: column 81 on the left
        self.assertEqual(self.screen_rows(), right)
        self.assertIsNotNone(term.find("p r e s s  e  t o  e x t r a c t"), "the prompt stays")
        term.key("enter")
        self.section_menu()

    def test_a_piece_of_300_rows_is_read_from_its_first_row_to_its_last(self):
        term = self.term
        self.open_piece(5)  # d e e p  d o w n: 300 rows
        last = self.screen_rows()
        seen = []
        for _ in range(13):
            term.key("pgup")
            seen.append(self.screen_rows())
        first = seen[-1]
        self.assertEqual(seen[-2], first, "12 pages of 24 rows above the last ones: the 13th stays on the first")
        self.assertNotEqual(first, last)
        pages = [first]
        for _ in range(12):
            term.key("pgdn")
            pages.append(self.screen_rows())
        self.assertEqual(pages[-1], last, "PgDn back down to the last rows")
        words = "t h r e e   h u n d r e d   d o w n"
        self.assertTrue(any(words in "\n".join(page) for page in pages), "the piece's own words on one of its pages")

        # I: the credits its record carries.
        with open(os.path.join(SAMPLE, "deepdown.ans"), "rb") as f:
            record = f.read()[-128:]
        self.assertEqual(record[:7], b"SAUCE00")
        title = record[7:42].decode("cp437").rstrip()
        term.send("i")
        term.wait_for_text("c r e d i t s")
        self.assertIsNotNone(term.find("title  : " + title), term.dump())
        self.assertIsNotNone(term.find("size   : 80 columns x 300 rows"), term.dump())
        term.send("q")
        term.wait_for_gone("c r e d i t s")
        self.assertEqual(self.screen_rows(), last, "the piece is back as it was")
        term.key("enter")
        self.section_menu()


if __name__ == "__main__":
    unittest.main()
