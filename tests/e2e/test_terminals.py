"""The terminals readers have: an 80x24 or narrower terminal gets the
magazine clipped with a notice, a UTF-8 locale that is not installed still
gets UTF-8, a non-UTF-8 locale gets raw code page 437 bytes without C1
controls, arrow keys split over two reads stay arrow keys, the viewer's
search highlights the match on its own row and finds every match, and a
text pasted into the search field stays there as one line."""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import ESC_WAIT, Terminal  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"   # the main menu's second entry
LOGO_TEXT = "d e c e m b e r"
NOTICE = "Screen cut off"
# The request to resize the terminal (xterm's window operation 8).
SIZE_REQUEST = re.compile(rb"\x1b\[8;\d+;\d+t")


def installed_locales():
    try:
        return set(os.popen("locale -a 2>/dev/null").read().split())
    except OSError:
        return set()


class SmallTerminals(unittest.TestCase):
    def test_80x24_shows_the_menu_clipped_with_a_notice_a_key_hides(self):
        with Terminal(rows=24) as t:
            where = t.wait_for_text(NOTICE, timeout=10)
            self.assertEqual(where[1], 24, "the notice stands on the last row shown")
            self.assertIn("80x24", t.row(24))
            x, y = t.wait_for_text(MAIN_ENTRY, timeout=30)
            t.settle()
            # A new size brings the notice back; the first key only hides it.
            t.resize(80, 23)
            where = t.wait_for_text(NOTICE)
            self.assertEqual(where[1], 23)
            t.key("down")
            t.wait_for_gone(NOTICE)
            t.idle(0.4)
            self.assertTrue(t.alive())
            self.assertEqual(t.colours(x, y)[0], 8, "the key only hid the notice")
            t.key("down")
            t.idle(0.4)
            self.assertNotEqual(t.colours(x, y)[0], 8, "the next key moves the bar")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0, t.dump())

    def test_the_notice_goes_by_itself_and_returns_with_a_new_size(self):
        with Terminal(rows=24) as t:
            t.wait_for_text(NOTICE, timeout=30)
            t.wait_for_gone(NOTICE, timeout=10)
            self.assertIsNotNone(t.find(MAIN_ENTRY))
            t.resize(60, 20)
            where = t.wait_for_text(NOTICE)
            self.assertEqual(where[1], 20)
            self.assertIn("60x20", t.row(20))
            self.assertTrue(t.alive())
            t.resize(80, 25)
            t.wait_for_gone(NOTICE)
            t.wait_for_text(MAIN_ENTRY)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0, t.dump())

    def test_a_narrow_terminal_shows_the_left_part(self):
        with Terminal(cols=64, rows=25) as t:
            t.wait_for_text(NOTICE, timeout=10)
            t.wait_for_text("a r t i c l", timeout=30)
            t.settle()
            self.assertTrue(all(len(t.row(y)) <= 64 for y in range(1, 26)))
            self.assertIn("\u2554", t.text(), "the menu's frame corner is in view")
            t.wait_for_gone(NOTICE, timeout=10)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0, t.dump())


class Locales(unittest.TestCase):
    def test_a_utf8_locale_that_is_not_installed_still_gets_utf8(self):
        name = "en_US.UTF-8"
        if name in installed_locales() or "en_US.utf8" in installed_locales():
            self.skipTest(f"{name} is installed here")
        with Terminal(env={"LANG": name}) as t:
            t.wait_for_text(LOGO_TEXT, timeout=10)
            self.assertIn("\u2588", t.text(), "the logo's blocks arrive as UTF-8")
            t.wait_for_text(MAIN_ENTRY, timeout=30)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

    def test_a_plain_locale_gets_raw_code_page_bytes_without_c1_controls(self):
        # A terminal of the BBS world (TERM=ansi) shows the PC's bytes.
        with Terminal(env={"LANG": "C", "TERM": "ansi"}) as t:
            t.wait_for_text(MAIN_ENTRY, timeout=30)
            t.settle()
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)
            raw = bytes(t.output)
            self.assertIn(b"\xdb", raw, "the full block as its code page byte")
            self.assertNotIn("\u2588".encode(), raw, "no UTF-8")
            c1 = sorted({b for b in raw if 0x80 <= b < 0xA0})
            self.assertEqual(c1, [], "bytes a terminal would take as C1 controls")


class TerminalSetUp(unittest.TestCase):
    def menu(self, t):
        x, y = t.wait_for_text(MAIN_ENTRY, timeout=30)
        t.settle()
        return x, y

    def test_the_terminal_says_whether_it_takes_utf8_when_the_locale_does_not(self):
        # PuTTY sends no LANG; LANG=C in a UTF-8 terminal: the terminal is
        # asked (a glyph, then where the cursor went).
        # An 8-bit terminal that is no PC terminal (xterm with LANG=C) would
        # show code page bytes as Latin-1 letters: it gets plain ASCII, and
        # a line at start that says how to see the art.
        for env, answers, shown in (({"LANG": None}, "utf8", "utf8"), ({"LANG": "C"}, "utf8", "utf8"),
                                    ({"LANG": "C", "TERM": "xterm"}, "8bit", "ascii"),
                                    ({"LANG": "C", "TERM": "syncterm"}, "8bit", "cp437")):
            with self.subTest(env=env, answers=answers), Terminal(env=env, answers=answers) as t:
                self.menu(t)
                raw = bytes(t.output)
                probe = raw.find(b"\x1b[6n")
                self.assertGreaterEqual(probe, 0, "the terminal was asked")
                after = raw[probe:]
                self.assertEqual("\u2588".encode() in after, shown == "utf8", "the blocks as UTF-8")
                self.assertEqual(b"\xdb" in after, shown == "cp437", "the blocks as code page bytes")
                self.assertEqual(b"a utf-8 locale" in raw, shown == "ascii", "the notice at start")
                self.assertTrue(t.alive(), "the answer was no key")
                if shown == "ascii":
                    # The whole run, an article and the exit included.
                    t.key("down", "enter")
                    t.wait_for_text("p i c k   a n   a r t i c l e", timeout=30)
                    t.settle()
                    t.key("enter")
                    t.wait_for_gone("p i c k   a n   a r t i c l e", timeout=30)
                    t.settle()
                    t.key("esc")
                    t.wait_for_text("p i c k   a n   a r t i c l e", timeout=30)
                    t.settle()
                t.send("x")
                self.assertEqual(t.wait_exit(), 0, t.dump())
                if shown == "ascii":
                    # The probe's own glyph is the question (erased at once);
                    # from its answer on, every byte is plain ASCII.
                    answered = bytes(t.output).index(b"\r\x1b[K", probe)
                    high = sorted({b for b in bytes(t.output)[answered:] if b > 127})
                    self.assertEqual(high, [], "bytes above 127")

    def test_a_utf8_locale_is_believed_without_asking(self):
        with Terminal(answers="utf8") as t:
            self.menu(t)
            self.assertFalse("\u283f".encode() in bytes(t.output), "no probe glyph")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)

    def test_the_size_is_asked_for_once_at_start_and_never_over_ssh(self):
        with Terminal(rows=24) as t:
            self.menu(t)
            t.resize(80, 23)
            t.wait_for_text(NOTICE)
            t.resize(80, 24)
            t.idle(0.5)
            t.send(" ")   # hides the notice
            t.idle(0.3)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)
            self.assertEqual(len(SIZE_REQUEST.findall(bytes(t.output))), 1, "once, at start, not after a resize")
        # Over SSH, and on the telnet board, which names the caller's host.
        for far in ({"SSH_CONNECTION": "10.0.0.1 50000 10.0.0.2 22"}, {"REMOTEHOST": "10.0.0.1"}):
            with Terminal(rows=24, env=far) as t:
                self.menu(t)
                t.send(" ")   # hides the notice
                t.idle(0.3)
                t.send("x")
                self.assertEqual(t.wait_exit(), 0)
                self.assertEqual(SIZE_REQUEST.findall(bytes(t.output)), [], f"a remote terminal is never asked: {far}")
        with Terminal() as t:
            self.menu(t)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0)
            self.assertEqual(SIZE_REQUEST.findall(bytes(t.output)), [], "80x25 is enough")

    def test_keypad_stays_numeric_and_the_cursor_is_an_underline_until_the_end(self):
        # A terminal that says its cursor shape (a steady block, 2, or a
        # steady underline, 4) gets an underline and then its own shape
        # back; one that does not say keeps its shape: none is ever sent.
        for shape in (2, 4, None):
            with self.subTest(shape=shape), Terminal(answers="utf8", cursor_shape=shape) as t:
                self.menu(t)
                t.send("x")
                self.assertEqual(t.wait_exit(), 0)
                raw = bytes(t.output)
                self.assertNotIn(b"\x1b=", raw, "the keypad is never put in application mode")
                shapes = re.findall(rb"\x1b\[(\d*) q", raw)
                if shape is None:
                    self.assertEqual(shapes, [], "a shape the terminal did not have")
                    continue
                self.assertEqual(shapes[0], b"3", "an underline cursor, like the console's")
                self.assertEqual(shapes[-1], str(shape).encode(), "the terminal's own shape at the end")
                self.assertGreater(raw.rfind(b"\x1b[%d q" % shape), raw.rfind(b"\x1b[2J"), "after the last screen")


class RedrawAndHotKeys(unittest.TestCase):
    def snapshot(self, t):
        """Every cell as a reader sees it: its glyph and background, and its
        foreground where the glyph is not blank."""
        def cell(x, y):
            fg, bg = t.colours(x, y)
            glyph = t.cell(x, y).data
            return glyph, bg, None if glyph in (" ", "\u00a0", "") else fg
        return [[cell(x, y) for x in range(1, 81)] for y in range(1, 26)]

    def test_ctrl_l_repaints_every_cell_in_a_menu_and_in_the_viewer(self):
        with Terminal() as t:
            x, y = t.wait_for_text(MAIN_ENTRY, timeout=30)
            t.settle()
            t.key("down")
            t.idle(0.3)
            for place in ("menu", "viewer"):
                t.settle()
                before = self.snapshot(t)
                # Someone else writes over the reader's terminal.
                t.stream.feed(b"\x1b[0m\x1b[5;5HSCRIBBLE\x1b[20;40H\x1b[41m    \x1b[2;1H\x1b[2K")
                self.assertNotEqual(self.snapshot(t), before)
                t.ctrl("l")
                t.idle(0.3)
                t.settle()
                self.assertEqual(self.snapshot(t), before, f"{place}: every cell drawn again\n{t.dump()}")
                if place == "menu":
                    t.key("up", "up", "up", "up")
                    for _ in range(4):
                        t.key("down")
                    t.key("enter")   # about, in the viewer
                    t.wait_for_text("ABOUT QUIX MAGAZINE")
            t.key("esc")
            t.wait_for_text(MAIN_ENTRY)
            t.send("x")
            self.assertEqual(t.wait_exit(), 0, t.dump())

    def test_a_hot_key_in_the_articles_menu_is_not_searched(self):
        with Terminal() as t:
            t.wait_for_text(MAIN_ENTRY, timeout=30)
            t.settle()
            t.key("down", "enter")
            x, y = t.wait_for_text("scene news...", timeout=30)
            t.settle()
            # H shows the help screen, A switches ASCII mode (twice: back):
            # both are letters of "eighty columns of light [history]".
            t.send("h")
            t.wait_for_gone("scene news...")
            t.settle()
            t.send(" ")
            t.wait_for_text("scene news...")
            t.send("a")
            t.idle(0.3)
            t.send("a")
            t.idle(0.3)
            t.settle()
            self.assertEqual(t.find("scene news..."), (x, y), "the first entry stays in the top row")
            self.assertIsNotNone(t.find("lanternfall 2026"), "all entries still shown")
            before = t.colours(x, y)
            t.send("z")   # no hot key, and no entry has a z: nothing moves
            t.idle(0.3)
            self.assertEqual(t.colours(x, y), before, "the bar stays on the first entry")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0, t.dump())


class SplitKeys(unittest.TestCase):
    def split_down(self, t, gap=0.015):
        """Sends Down as ESC and "[B" about Gap seconds apart; answers the
        longest the gap can have been for the program: from before the ESC
        was written to after the rest was."""
        start = time.monotonic()
        t.send(b"\x1b")
        time.sleep(gap)
        t.send(b"[B")
        return time.monotonic() - start

    def test_an_arrow_split_over_two_reads_is_the_arrow(self):
        # Judged by the gap each try really had: on a busy machine a gap of
        # 15 ms can grow past the program's wait for the rest of a sequence
        # (ESC_WAIT), and then the ESC alone is the Esc key, which leaves
        # the main menu. Such tries are not judged; the others must be the
        # arrow, and most tries must be judged.
        judged = tries = 0
        t = None
        try:
            while judged < 8 and tries < 24:
                if t is None or not t.alive():
                    if t is not None:
                        t.close()
                    t = Terminal()
                    x, y = t.wait_for_text(MAIN_ENTRY, timeout=30)
                    t.settle()
                tries += 1
                t.key("home")
                t.idle(0.2)
                self.assertEqual(t.colours(x, y)[0], 8, f"try {tries}: bar not on the first entry")
                gap = self.split_down(t)
                t.wait_until_read()
                t.idle(0.3)
                if gap >= ESC_WAIT:
                    continue  # the program may rightly have taken the ESC alone
                judged += 1
                self.assertTrue(t.alive(), f"try {tries}: the split arrow ({gap * 1000:.1f} ms) left the magazine")
                self.assertNotEqual(t.colours(x, y)[0], 8, f"try {tries}: the bar did not move ({gap * 1000:.1f} ms)")
            self.assertGreaterEqual(judged, 8, f"only {judged} of {tries} tries had a gap under {ESC_WAIT * 1000} ms")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0, t.dump())
        finally:
            if t is not None:
                t.close()

    def test_holding_down_during_start_up_never_quits(self):
        # A run in which some split arrow had a gap past the program's wait
        # may rightly have ended (the ESC alone is Esc); it is run again.
        for run in range(3):
            with Terminal() as t:
                longest = 0.0
                end = time.monotonic() + 3
                while time.monotonic() < end:
                    longest = max(longest, self.split_down(t, gap=0.01))
                    t.pump(0.02)
                t.wait_until_read()
                t.idle(0.3)
                if not t.alive() and longest >= ESC_WAIT:
                    continue
                self.assertTrue(t.alive(), f"longest gap {longest * 1000:.1f} ms\n{t.dump()}")
                t.wait_for_text(MAIN_ENTRY, timeout=30)
                t.idle(0.5)
                self.assertTrue(t.alive(), f"longest gap {longest * 1000:.1f} ms\n{t.dump()}")
                t.send("x")
                self.assertEqual(t.wait_exit(), 0, t.dump())
                return
        self.fail("every run had a split arrow slower than the program's wait")


class ViewerSearch(unittest.TestCase):
    # The about page: its text in rows 5 to 22.
    TOP, BOTTOM = 5, 22

    def open_about(self, t):
        t.wait_for_text(MAIN_ENTRY, timeout=30)
        t.key("home")
        for _ in range(4):
            t.key("down")
        t.key("enter")
        t.wait_for_text("ABOUT QUIX MAGAZINE")
        t.settle()

    def find(self, t, word, again=0):
        t.ctrl("f")
        t.wait_for_text("Enter word to find:")
        t.ctrl("y")
        t.send(word)
        t.key("enter", "enter")
        t.wait_for_gone("Enter word to find:")
        for _ in range(again):
            t.ctrl("g")
        t.settle()

    def highlighted_rows(self, t):
        """The window rows with a cell on a red background."""
        return [y for y in range(self.TOP, self.BOTTOM + 1)
                if any(t.colours(x, y)[1] == 4 for x in range(1, 80))]

    def test_a_match_on_the_last_page_is_highlighted_on_its_own_row(self):
        with Terminal() as t:
            self.open_about(t)
            self.find(t, "simply runs")
            rows = self.highlighted_rows(t)
            self.assertEqual(len(rows), 1, t.dump())
            self.assertIn("simply runs", t.row(rows[0]), t.dump())

    def test_find_again_reaches_every_match(self):
        with Terminal() as t:
            self.open_about(t)
            path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "content",
                                "abouttxt.txt")
            with open(path, encoding="latin-1") as f:
                count = sum(1 for line in f if "magazine" in line.lower())
            seen = []
            self.find(t, "magazine")
            for _ in range(count + 1):
                rows = self.highlighted_rows(t)
                self.assertEqual(len(rows), 1, t.dump())
                text = t.row(rows[0])
                self.assertIn("magazine", text.lower(), t.dump())
                seen.append((t.row(self.TOP), rows[0]))
                t.ctrl("g")
                t.settle()
            # Every match was shown once; the last Ctrl+G found no more.
            self.assertEqual(len(set(seen[:count])), count, seen)
            self.assertEqual(seen[count], seen[count - 1])

    def test_lines_pasted_into_the_find_box_stay_in_it_as_one_line(self):
        with Terminal() as t:
            t.wait_for_text(MAIN_ENTRY, timeout=30)
            t.settle()
            t.key("down", "enter")
            t.wait_for_text("scene news...", timeout=30)
            t.settle()
            t.key("enter")
            t.wait_for_text("SCENE NEWS")
            t.settle()
            raw = bytes(t.output)
            self.assertIn(b"\x1b[?2004h", raw, "the terminal is asked to mark pastes")
            t.ctrl("f")
            t.wait_for_text("Enter word to find:")
            t.settle()
            # Four lines led by hot keys (A: ASCII mode, H: help, T: tracks,
            # X: exit), as a slow link delivers them: in pieces further apart
            # than the Esc wait, the end marker cut in two.
            t.send(b"\x1b[200~Art\r\nHe")
            time.sleep(0.15)
            t.send(b"lp\nTracks\rXit\r\n\x1b[20")
            time.sleep(0.15)
            t.send(b"1~")
            t.wait_until_read()
            t.settle()
            self.assertEqual(t.find("Art Help Tracks Xit"), (18, 14), t.dump())
            self.assertIsNotNone(t.find("Enter word to find:"), "the dialog is still open\n" + t.dump())
            self.assertIsNotNone(t.find("SCENE NEWS"), "the viewer is still open\n" + t.dump())
            self.assertTrue(t.alive())
            # The field goes on taking keys after the paste, and the dialog
            # answers as ever.
            t.send("!")
            t.wait_for_text("Art Help Tracks Xit !")
            t.key("enter")
            t.send("n")
            t.wait_for_gone("Enter word to find:")
            t.settle()
            self.assertIsNotNone(t.find("SCENE NEWS"), t.dump())
            t.key("esc")
            t.wait_for_text("scene news...")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0, t.dump())
            raw = bytes(t.output)
            self.assertGreater(raw.rfind(b"\x1b[?2004l"), raw.rfind(b"\x1b[?2004h"),
                               "pastes are plain text again once the program has ended")


if __name__ == "__main__":
    unittest.main()
