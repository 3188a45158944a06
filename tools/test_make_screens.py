#!/usr/bin/env python3
"""Checks the screens made by make_screens.py: each file is played back the
way the magazine draws it and the result is compared with what the screen
must show, leave free and never touch.

    python3 tools/test_make_screens.py [-v]
"""

from __future__ import annotations

import re
import subprocess
import sys
import tempfile
import tomllib
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import make_screens  # noqa: E402
import screenlib  # noqa: E402
from screenlib import COLS, ROWS, SUB, Canvas, Cell, decode  # noqa: E402

CONTENT = HERE.parent / "content"

# Every file made, with its twin flag.
ALL = {stem: data for name in make_screens.SCREENS for stem, data in make_screens.build(name).items()}
TWINS = {k: v for k, v in ALL.items() if k.endswith("_asc")}
ANSI = {k: v for k, v in ALL.items() if not k.endswith("_asc")}


def screen_text(stem: str) -> list[str]:
    """The characters the reader sees, one string per row (CP437 bytes as latin-1)."""
    cells = decode(ALL[stem]).cells
    return ["".join(chr(c.ch) for c in row) for row in cells]


def blank(cell: Cell) -> bool:
    return cell.ch == 32 and cell.bg == 0


def assert_blank_rect(tc: unittest.TestCase, stem: str, x1: int, y1: int, x2: int, y2: int,
                      files: dict[str, bytes] | None = None) -> None:
    cells = decode((ALL if files is None else files)[stem]).cells
    for y in range(y1, y2 + 1):
        for x in range(x1, x2 + 1):
            c = cells[y - 1][x - 1]
            tc.assertTrue(blank(c), f"{stem}: cell ({x},{y}) holds {c} where the program draws")


class FileFormat(unittest.TestCase):
    def test_every_named_file_is_made(self) -> None:
        wanted = {"logo", "logo_asc", "help", "exit", "exit_asc", "menu", "menu_asc", "articles",
                  "articles_asc", "tutors", "tutors_asc", "article_hdr", "article_hdr_asc", "ansi",
                  "ansi_asc", "about", "about_asc", "edit", "edit_asc"}
        self.assertEqual(set(ALL), wanted)

    def test_files_end_with_sub_and_use_crlf(self) -> None:
        for stem, data in ALL.items():
            with self.subTest(stem):
                self.assertEqual(data[-1], SUB)
                self.assertEqual(data.count(SUB), 1)
                # no bare LF and no bare CR
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"))
                self.assertEqual(data.count(b"\r"), data.count(b"\r\n"))

    def test_playback_never_scrolls_or_writes_the_last_cell(self) -> None:
        for stem, data in ALL.items():
            with self.subTest(stem):
                p = decode(data)
                self.assertFalse(p.scrolled, "the picture would move up")
                self.assertFalse(p.wrote_last_cell)

    def test_ansi_screens_use_only_colour_and_cursor_sequences(self) -> None:
        for stem, data in ANSI.items():
            with self.subTest(stem):
                text = data.decode("latin-1")
                for seq in re.findall("\x1b\\[([0-9;]*)([A-Za-z])", text):
                    self.assertIn(seq[1], "mHC")
                    if seq[1] == "m":
                        for p in seq[0].split(";"):
                            n = int(p)
                            self.assertTrue(n in (0, 1) or 30 <= n <= 37 or 40 <= n <= 47, seq)
                # every ESC starts one of those sequences
                self.assertEqual(text.count("\x1b"), len(re.findall("\x1b\\[[0-9;]*[A-Za-z]", text)))
                # control bytes other than ESC, CR, LF and the final SUB would be drawn as glyphs
                stray = [b for b in data[:-1] if b < 32 and b not in (27, 13, 10)]
                self.assertEqual(stray, [])

    def test_twins_are_seven_bit_pipe_coded_text(self) -> None:
        for stem, data in TWINS.items():
            with self.subTest(stem):
                self.assertNotIn(27, data)
                # A form feed first: the menus draw a backdrop wherever the
                # wipe before it left the cursor; the form feed homes it.
                self.assertEqual(data[0], 12)
                body = data[1:-1]
                self.assertTrue(all(32 <= b <= 126 or b in (13, 10) for b in body))
                text = body.decode("ascii")
                for m in re.finditer(r"\|(\d\d)", text):
                    self.assertLessEqual(int(m.group(1)), 23, "every |NN is one of the colour codes")

    def test_no_pipe_code_lurks_in_an_ansi_screen(self) -> None:
        for stem, data in ANSI.items():
            with self.subTest(stem):
                self.assertIsNone(re.search(rb"\|\d\d", data))

    def test_committed_files_are_up_to_date(self) -> None:
        if not CONTENT.is_dir():
            self.skipTest("no content folder")
        for stem, data in ALL.items():
            with self.subTest(stem):
                path = CONTENT / f"{stem}.ans"
                self.assertTrue(path.is_file(), f"{path} is missing: run tools/make_screens.py")
                self.assertEqual(path.read_bytes(), data, f"{path} is stale: run tools/make_screens.py")

    def test_sample_issue_screens_are_up_to_date(self) -> None:
        # the tests' second issue says its own number, date and count of
        # pieces: its screens are what the generator makes from its manifest
        sample = HERE.parent / "tests" / "sample-issue"
        if not sample.is_dir():
            self.skipTest("no sample issue")
        with tempfile.TemporaryDirectory() as tmp:
            out = Path(tmp)
            (out / "issue.toml").write_bytes((sample / "issue.toml").read_bytes())
            subprocess.run([sys.executable, str(HERE / "make_screens.py"), "--out", tmp],
                           check=True, capture_output=True)
            made = sorted(p.name for p in out.glob("*.ans"))
            self.assertTrue(made)
            for name in made:
                with self.subTest(name):
                    path = sample / name
                    if path.is_file():
                        self.assertEqual(path.read_bytes(), (out / name).read_bytes(),
                                         f"{path} is stale: run tools/make_screens.py --out {sample}")


def playback_mismatch(canvas: Canvas, asc: bool) -> tuple[int, int] | None:
    """The first cell where the canvas's file, played back, shows something
    else than the canvas (a twin after its ASCII substitution); None if none."""
    cells = decode(canvas.to_twin() if asc else canvas.to_ansi()).cells
    for y in range(1, ROWS + 1):
        for x in range(1, COLS + 1):
            got = cells[y - 1][x - 1]
            if asc:
                ch, fg, bg = canvas.twin_cell(canvas.cell(x, y))
                if chr(got.ch) != ch or got.bg != bg or (ch != " " and got.fg != fg):
                    return x, y
                continue
            want = canvas.cell(x, y)
            if blank(want):
                if not blank(got):
                    return x, y
                continue
            # a full block shows no background, a space no foreground
            if (got.ch != want.ch or (want.ch != 0xDB and got.bg != want.bg)
                    or (want.ch != 32 and got.fg != want.fg)):
                return x, y
    return None


class PlaybackMatchesDrawing(unittest.TestCase):
    """The serialisers must reproduce the canvas exactly, twins after their
    ASCII substitution."""

    def test_ansi_playback_equals_canvas(self) -> None:
        for name, (draw, _twin) in make_screens.SCREENS.items():
            with self.subTest(name):
                self.assertIsNone(playback_mismatch(draw(False), False))

    def test_twin_playback_equals_canvas(self) -> None:
        for name, (draw, twin) in make_screens.SCREENS.items():
            if twin:
                with self.subTest(name):
                    self.assertIsNone(playback_mismatch(draw(True), True))

    def test_full_width_rows_wrap_by_themselves(self) -> None:
        # A twin row that reaches column 80 must not be followed by CR LF on
        # rows 1..23 (the cursor wrapped already), but must be on row 24.
        c = Canvas()
        for y in (3, 24):
            c.text(1, y, "x" * COLS, 7)
        c.text(1, 4, "under", 7)
        c.text(1, 25, "last", 7)
        cells = decode(c.to_twin()).cells
        self.assertEqual("".join(chr(k.ch) for k in cells[3][:5]), "under")
        self.assertEqual("".join(chr(k.ch) for k in cells[24][:4]), "last")
        self.assertEqual(chr(cells[23][79].ch), "x")

    def test_last_cell_is_never_drawn(self) -> None:
        c = Canvas()
        c.put(COLS, ROWS, "#", 15)
        self.assertTrue(blank(c.cell(COLS, ROWS)))
        self.assertFalse(decode(c.to_ansi()).wrote_last_cell)


class ExclamationMarks(unittest.TestCase):
    def test_only_the_header_screens_hold_exclamation_marks(self) -> None:
        for stem, data in ALL.items():
            with self.subTest(stem):
                count = data.count(b"!")
                self.assertEqual(count, 5 if stem.startswith("article_hdr") else 0)

    def scan(self, stem: str) -> list[tuple[int, int, int, int]]:
        """The marker runs as the program finds them: (column, row, attribute, length)."""
        cells = decode(ALL[stem]).cells
        runs: list[list[int]] = []
        in_run = False
        for y in range(ROWS):
            for x in range(COLS):
                c = cells[y][x]
                if c.ch == ord("!"):
                    if in_run:
                        runs[-1][3] += 1
                    else:
                        runs.append([x + 1, y + 1, c.bg << 4 | c.fg, 1])
                        in_run = True
                else:
                    in_run = False
        return [tuple(r) for r in runs]

    def test_header_markers_place_fields_and_window(self) -> None:
        for stem in ("article_hdr", "article_hdr_asc"):
            with self.subTest(stem):
                runs = self.scan(stem)
                self.assertEqual(len(runs), 5)
                self.assertTrue(all(r[3] == 1 for r in runs), "each marker stands alone")
                (c1, r1, a1, _), (c2, r2, _a2, _), (c3, r3, _a3, _), (c4, r4, _, _), (c5, r5, _, _) = runs
                self.assertEqual((r1, r2, r3), (2, 3, 4))
                for col in (c1, c2, c3):
                    self.assertLessEqual(col, 31, "about fifty columns stay free for the text")
                self.assertEqual((c4, r4), (1, 7))
                self.assertEqual((c5, r5), (COLS, 24))
                self.assertNotEqual(a1 & 15, 0, "the title is not written in black")

    def test_header_labels_precede_their_markers(self) -> None:
        for stem in ("article_hdr", "article_hdr_asc"):
            rows = screen_text(stem)
            for row, label in ((2, "article:"), (3, "author:"), (4, "category:")):
                with self.subTest(stem=stem, label=label):
                    line = rows[row - 1]
                    self.assertRegex(line, re.escape(label) + r" +!")

    def test_header_rows_are_free_right_of_the_markers(self) -> None:
        for stem in ("article_hdr", "article_hdr_asc"):
            for row in (2, 3, 4):
                assert_blank_rect(self, stem, 31, row, COLS, row)

    def test_header_window_is_empty_but_for_its_corners(self) -> None:
        for stem in ("article_hdr", "article_hdr_asc"):
            cells = decode(ALL[stem]).cells
            for y in range(7, 25):
                for x in range(1, COLS + 1):
                    if (x, y) in ((1, 7), (COLS, 24)):
                        continue
                    self.assertTrue(blank(cells[y - 1][x - 1]), f"{stem} ({x},{y})")


# Where the program draws into each backdrop: (screen, x1, y1, x2, y2).
PROGRAM_AREAS = [("menu", 53, 10, 69, 16), ("menu", 12, 22, 70, 22), ("articles", 18, 14, 61, 20),
                 ("tutors", 18, 14, 61, 20), ("ansi", 53, 8, 70, 18), ("about", 1, 5, COLS, 22),
                 ("edit", 1, 5, COLS, 22), ("article_hdr", 1, 8, COLS, 23)]


class FreeAreas(unittest.TestCase):
    """Where the program draws menus and texts, the backdrop stays black."""

    def both(self, base: str):
        return [s for s in (base, base + "_asc") if s in ALL]

    def test_main_menu_box_and_message_row(self) -> None:
        for stem in self.both("menu"):
            assert_blank_rect(self, stem, 53, 10, 69, 16)
            assert_blank_rect(self, stem, 12, 22, 70, 22)

    def test_section_menu_boxes(self) -> None:
        for base in ("articles", "tutors"):
            for stem in self.both(base):
                assert_blank_rect(self, stem, 18, 14, 61, 20)

    def test_gallery_menu_box(self) -> None:
        for stem in self.both("ansi"):
            assert_blank_rect(self, stem, 53, 8, 70, 18)

    def test_framed_pages_leave_the_viewer_rows(self) -> None:
        for base in ("about", "edit"):
            for stem in self.both(base):
                assert_blank_rect(self, stem, 1, 5, COLS, 22)

    def test_framed_pages_have_art_above_and_below(self) -> None:
        for base in ("about", "edit"):
            for stem in self.both(base):
                cells = decode(ALL[stem]).cells
                top = sum(not blank(c) for row in cells[0:4] for c in row)
                bottom = sum(not blank(c) for row in cells[22:25] for c in row)
                self.assertGreater(top, 60, stem)
                self.assertGreater(bottom, 60, stem)


class Wording(unittest.TestCase):
    def test_help_names_every_key(self) -> None:
        text = "\n".join(screen_text("help"))
        for phrase in ("exit the magazine", "t or m", "track menu", "music on / off", "this help",
                       "ansi / ascii", "draw screens faster", "draw screens slower", "arrows",
                       "enter", "esc", "searches", "pgup pgdn", "home end", "f1", "f10", "ctrl+f",
                       "ctrl+g", "ctrl+s", "+ -", "/ *", "ctrl+r", "enter tab", "--ascii",
                       "--silent", "--help", "p r e s s   a n y   k e y"):
            with self.subTest(phrase):
                self.assertIn(phrase, text)

    def test_titles_and_lines_the_reader_sees(self) -> None:
        expect = {
            "logo": ["i s s u e   # 1", "d e c e m b e r   2 0 2 6"],
            "exit": ["f o r   r e a d i n g", "q u i x   m a g a z i n e", "see you next issue"],
            "menu": ["m a g a z i n e"],
            "ansi": ["g a l l e r y"],
            "about": ["q u i x   m a g a z i n e", "esc"],
            "edit": ["q u i x   m a g a z i n e", "esc"],
        }
        for base, phrases in expect.items():
            for stem in (base, base + "_asc"):
                text = "\n".join(screen_text(stem))
                for phrase in phrases:
                    with self.subTest(stem=stem, phrase=phrase):
                        self.assertIn(phrase, text)

    def test_no_upper_case_in_the_magazine_texts(self) -> None:
        # The magazine spells itself in lower case; capitals would only come
        # from the ASCII shading ramps, which use none.
        for stem in ALL:
            with self.subTest(stem):
                self.assertIsNone(re.search("[A-Z]", "".join(screen_text(stem))))


class DrawnOutside:
    """Records, while active, every canvas that something was drawn on
    outside the 80x25 screen or on its last cell: by a cell put there, or by
    a pixel layer that lost pixels off the screen and was then put on it.
    The canvases are kept, so that none is mistaken for a later one."""

    def __enter__(self) -> "DrawnOutside":
        self.canvases: list[Canvas] = []
        self.saved = (Canvas.put, screenlib.Pixels.set, screenlib.Pixels.draw_onto)
        put, pset, onto = self.saved
        record = self.canvases

        def checked_put(canvas, x, y, ch, fg=7, bg=0):
            code = ord(ch) if isinstance(ch, str) else ch
            if not canvas.inside(x, y) or ((x, y) == (COLS, ROWS) and not (code == 32 and bg == 0)):
                record.append(canvas)
            put(canvas, x, y, ch, fg, bg)

        def checked_set(px, x, y, colour):
            if not (1 <= x <= COLS and 0 <= y < ROWS * 2):
                px.lost = True
            pset(px, x, y, colour)

        def checked_onto(px, canvas, ascii_only=False):
            if getattr(px, "lost", False):
                record.append(canvas)
            onto(px, canvas, ascii_only)

        Canvas.put, screenlib.Pixels.set, screenlib.Pixels.draw_onto = checked_put, checked_set, checked_onto
        return self

    def __exit__(self, *exc) -> None:
        Canvas.put, screenlib.Pixels.set, screenlib.Pixels.draw_onto = self.saved

    def hit(self, canvas: Canvas) -> bool:
        return any(c is canvas for c in self.canvases)


def draw_named(name: str) -> tuple[dict[str, bytes], list[str], list[str]]:
    """Every file of the first issue as it would look under another name,
    the files whose final canvas had something drawn outside the screen, and
    those whose playback differs from their canvas (a row spilling over)."""
    saved = make_screens.ISSUE
    with tempfile.TemporaryDirectory() as tmp:
        manifest = (CONTENT / "issue.toml").read_text()
        Path(tmp, "issue.toml").write_text(f'name = "{name}"\n' + manifest)
        make_screens.ISSUE = make_screens.read_issue(Path(tmp))
    files: dict[str, bytes] = {}
    outside: list[str] = []
    spilt: list[str] = []
    try:
        with DrawnOutside() as watch:
            for stem, (draw, twin) in make_screens.SCREENS.items():
                for asc in (False, True) if twin else (False,):
                    canvas = draw(asc)
                    key = stem + ("_asc" if asc else "")
                    files[key] = canvas.to_twin() if asc else canvas.to_ansi()
                    if watch.hit(canvas):
                        outside.append(key)
                    if playback_mismatch(canvas, asc):
                        spilt.append(key)
    finally:
        make_screens.ISSUE = saved
    return files, outside, spilt


def text_of(data: bytes) -> str:
    return "\n".join("".join(chr(c.ch) for c in row) for row in decode(data).cells)


class MagazineName(unittest.TestCase):
    """An issue may name the magazine: 1 to 12 lower-case letters and digits,
    single spaces between words. The screens write it where the first issue
    writes "quix", in smaller letters where big ones have no room."""

    # a short name, a two-word one, the longest single word, and digits
    NAMES = ["tide", "harbour news", "abcdefghijkl", "m0th 22"]
    DRAWN = {}

    @classmethod
    def setUpClass(cls) -> None:
        cls.DRAWN = {name: draw_named(name) for name in cls.NAMES}

    def test_without_a_name_the_magazine_is_quix(self) -> None:
        # content/ has no name key; test_committed_files_are_up_to_date holds
        # its screens to the bytes drawn with this default
        with open(CONTENT / "issue.toml", "rb") as f:
            self.assertNotIn("name", tomllib.load(f))
        self.assertEqual(make_screens.read_issue(CONTENT)["name"], "quix")

    def test_the_name_is_written_where_quix_was(self) -> None:
        for name, (files, _outside, _spilt) in self.DRAWN.items():
            spaced_form = " ".join(name + " magazine")
            plain_form = name + " magazine"
            for stem, data in files.items():
                text = text_of(data)
                with self.subTest(name=name, stem=stem):
                    self.assertNotIn("quix", text)
                    self.assertNotIn("q u i x", text)
                    if stem in ("about", "about_asc", "edit_asc", "exit", "exit_asc", "help"):
                        self.assertIn(spaced_form, text)
                    if stem == "edit":
                        # beside the wide title a twelve-letter name is set plain
                        self.assertTrue(spaced_form in text or plain_form in text)
                    if stem in ("about", "about_asc", "edit", "edit_asc"):
                        self.assertIn("issue #1 - december 2026", text)
                    # the letters leave the rest of the screen alone
                    if stem.startswith("menu"):
                        self.assertIn("m a g a z i n e    i s s u e   # 1", text)
                        self.assertIn(" m a i n ", text)
                    if stem.startswith("logo"):
                        self.assertIn("i s s u e   # 1  -  d e c e m b e r   2 0 2 6", text)
            # the same issue under another name: only the letters can differ
            for stem in ("logo", "logo_asc", "menu", "menu_asc", "article_hdr", "article_hdr_asc"):
                with self.subTest(name=name, stem=stem):
                    self.assertNotEqual(files[stem], ALL[stem], "the big letters still spell the default")
                    if stem.startswith("article_hdr"):
                        # the name, in letters or as text, left of the labels
                        cells = decode(files[stem]).cells
                        ink = sum(not blank(c) for row in cells[1:5] for c in row[:18])
                        self.assertGreaterEqual(ink, len(name.replace(" ", "")))

    def test_named_screens_stay_on_the_screen(self) -> None:
        for name, (files, outside, spilt) in self.DRAWN.items():
            with self.subTest(name=name):
                self.assertEqual(outside, [], "letters drawn off the screen (or on its last cell)")
                self.assertEqual(spilt, [], "the file shows another picture than was drawn")
            for stem, data in files.items():
                with self.subTest(name=name, stem=stem):
                    p = decode(data)
                    self.assertFalse(p.scrolled)
                    self.assertFalse(p.wrote_last_cell)

    def test_named_screens_leave_the_program_its_areas(self) -> None:
        for name, (files, _outside, _spilt) in self.DRAWN.items():
            for base, x1, y1, x2, y2 in PROGRAM_AREAS:
                for stem in (base, base + "_asc"):
                    with self.subTest(name=name, stem=stem, area=(x1, y1, x2, y2)):
                        assert_blank_rect(self, stem, x1, y1, x2, y2, files)
            for stem in ("article_hdr", "article_hdr_asc"):
                with self.subTest(name=name, stem=stem):
                    self.assertEqual(files[stem].count(b"!"), 5)
                    rows = text_of(files[stem]).split("\n")
                    for row, label in ((2, "article:"), (3, "author:"), (4, "category:")):
                        self.assertRegex(rows[row - 1], re.escape(label) + " +! *$")

    def test_names_outside_the_form_are_refused(self) -> None:
        for name in ("Quix", "two  spaces", " lead", "trail ", "thirteen char", "caf\u00e9", ""):
            with self.subTest(name=name), tempfile.TemporaryDirectory() as tmp:
                Path(tmp, "issue.toml").write_text(f'name = "{name}"\nnumber = 1\ndate = "x"\n',
                                                   encoding="utf-8")
                with self.assertRaises(SystemExit):
                    make_screens.read_issue(Path(tmp))


if __name__ == "__main__":
    unittest.main()
