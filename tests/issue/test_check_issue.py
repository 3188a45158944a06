"""The issue checker (check_content FOLDER) and the build's manifest reader
(make_issue_tables) on the sample issue and on broken copies of it: each
fault is one line that names the file and the line it is on."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.environ.get("SAMPLE_ISSUE") or os.path.join(HERE, "..", "sample-issue")
CHECK = os.environ.get("CHECK_CONTENT", "check_content")
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import make_format_pieces as formats  # noqa: E402
TABLES = os.environ.get("MAKE_ISSUE_TABLES", "make_issue_tables")


def line_of(data, needle):
    """The 1-based line of the first Needle in Data (bytes or text)."""
    at = data.index(needle)
    return data[:at].count(b"\n" if isinstance(data, bytes) else "\n") + 1


def tiny_mod(rows_of_patterns=1):
    """A four-channel MOD of one empty pattern: about eight seconds long."""
    head = b"tiny".ljust(20, b"\0") + b"\0" * (31 * 30)
    head += bytes([rows_of_patterns, 127]) + bytes(128) + b"M.K."
    return head + bytes(1024 * rows_of_patterns)


class IssueFolder:
    """A copy of the sample issue to break."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="quix-issue-")
        self.dir = os.path.join(self.root, "issue")
        shutil.copytree(SAMPLE, self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode())

    def replace(self, name, old, new):
        data = self.read(name)
        old = old if isinstance(old, bytes) else old.encode()
        new = new if isinstance(new, bytes) else new.encode()
        self.assert_in(old, data)
        self.write(name, data.replace(old, new, 1))

    @staticmethod
    def assert_in(part, data):
        if part not in data:
            raise AssertionError(f"{part!r} is not in the sample issue any more")

    def before_end_mark(self, name, extra):
        """Adds Extra to a screen just before its end-of-text mark; answers
        the line it lands on."""
        data = self.read(name)
        at = data.rindex(b"\x1a")
        self.write(name, data[:at] + extra + data[at:])
        return data[:at].count(b"\n") + 1

    def check(self):
        run = subprocess.run([CHECK, self.dir], capture_output=True, text=True, timeout=60)
        return run.returncode, run.stdout.splitlines()


class CheckIssueTest(unittest.TestCase):
    def folder(self):
        f = IssueFolder()
        self.addCleanup(shutil.rmtree, f.root, True)
        return f

    def assertReported(self, lines, prefix, *words):
        hits = [l for l in lines if l.startswith(prefix) and all(w in l for w in words)]
        self.assertTrue(hits, f"no line starting {prefix!r} with {words}:\n" + "\n".join(lines))

    def test_the_sample_issue_passes(self):
        status, lines = self.folder().check()
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertEqual(len(lines), 1)
        self.assertIn("issue #2, january 2027", lines[0])
        self.assertIn("no problems", lines[0])

    def test_manifest_faults_are_named_on_their_lines(self):
        f = self.folder()
        m = f.path("issue.toml")
        f.replace("issue.toml", 'label = "letters to the editors..."', 'label = "' + "l" * 45 + '"')
        f.replace("issue.toml", 'text = "checking.txt"', 'text = "nothere.txt"')
        f.replace("issue.toml", 'author = "gull"', 'author = "gull"\ntitel = "typo"')
        f.replace("issue.toml", 'save_as = "night_sky.ans"', 'save_as = "../night_sky.ans"')
        f.replace("issue.toml", 'label = "[bgn] Checking an issue"', 'label = "Checking an issue"')
        text = f.read("issue.toml").decode()
        status, lines = f.check()
        self.assertEqual(status, 1)
        self.assertReported(lines, f"{m}:{line_of(text, 'l' * 45)}:", "article 2", "45 characters", "44 wide")
        self.assertReported(lines, f"{m}:{line_of(text, 'nothere.txt')}:", "tutorial 1", "nothere.txt", "not in")
        self.assertReported(lines, f"{m}:{line_of(text, 'titel')}:", "article 1", "unknown key titel")
        self.assertReported(lines, f"{m}:{line_of(text, '../night_sky')}:", "piece 1", "not a plain file name")
        untagged = line_of(text, 'label = "Checking an issue"')
        self.assertReported(lines, f"{m}:{untagged}:", "tutorial 1", "[bgn], [avg] or [adv]")
        # checking.txt is named no more: it would be embedded for nothing.
        self.assertReported(lines, f"{f.path('checking.txt')}:", "never shows it")
        self.assertTrue(lines[-1].endswith("6 problem(s)"), lines)

        # The build refuses the same manifest, naming the entries, and
        # writes no tables.
        out = os.path.join(f.root, "tables.cpp")
        run = subprocess.run([TABLES, out, f.dir], capture_output=True, text=True, timeout=60)
        self.assertNotEqual(run.returncode, 0)
        self.assertIn(f"{m}:{line_of(text, 'l' * 45)}: article 2", run.stderr)
        self.assertIn("tutorial 1", run.stderr)
        self.assertFalse(os.path.exists(out))

    def test_lists_that_do_not_fit_or_are_missing(self):
        f = self.folder()
        text = f.read("issue.toml").decode()
        first = text.index("[[piece]]")
        entry = text[first:text.index("[[piece]]", first + 1)]
        pieces = text.count("[[piece]]")
        track_at = text.index("[[track]]")
        text = text[:track_at] + entry * (11 - pieces) + "\n"   # eleven pieces, no track
        f.write("issue.toml", text)
        m = f.path("issue.toml")
        status, lines = f.check()
        self.assertEqual(status, 1)
        eleventh = len(text[:[i for i in range(len(text)) if text.startswith("[[piece]]", i)][10]].splitlines()) + 1
        self.assertReported(lines, f"{m}:{eleventh}:", "11 [[piece]] entries", "room for 10")
        self.assertReported(lines, f"{m}:", "no [[track]] entries")

        f.write("issue.toml", text.replace("number = 2", "number = 0").replace(
            'date = "january 2027"', 'date = "the twenty-first of january"'))
        status, lines = f.check()
        self.assertReported(lines, f"{m}:{line_of(text, 'number = 2')}:", "number", "1 to 9999")
        self.assertReported(lines, f"{m}:{line_of(text, 'date =')}:", "date", "1 to 20")

        f.write("issue.toml", 'number = 3\ndate = "may\n')
        status, lines = f.check()
        self.assertEqual(status, 1)
        self.assertReported(lines, f"{m}:2:", "not valid TOML")

        # A character outside ASCII is refused on its line wherever the TOML
        # library would look at it (outside a key's one-line text and a
        # comment): in a key, in a bare value that runs into a quote, in a
        # long text after a backslash, in a list, in an inline table. In a
        # comment it is the editor's own; in a key's text its field names it.
        # A byte order mark may come first, as some editors write one.
        g = self.folder()
        manifest = g.read("issue.toml").decode()
        track = line_of(manifest, "[[track]]")
        for stray in ("night_sky\u02dens = 1", 'n = 992=0x2=0"sky\u02dens"', 'n = """a\\\u00e9"""',
                      'n = [ "a", \u2c60 ]', "n = { a = 1 \ufc10 }", 'n = 1 # "\nm = \u00e9'):
            g.write("issue.toml", manifest.replace("[[track]]", f"# caf\u00e9 music\n[[track]]\n{stray}", 1))
            status, lines = g.check()
            self.assertEqual(status, 1, stray)
            where = track + 2 + stray.count("\n")
            self.assertReported(lines, f"{g.path('issue.toml')}:{where}:", "outside the ASCII set", "7-bit")
        g.write("issue.toml", "\ufeff" + manifest.replace("[[track]]", "# caf\u00e9 music\n[[track]]", 1))
        status, lines = g.check()
        self.assertEqual(status, 0, lines)
        label = line_of(manifest, 'label = "harbour lights [report]"')
        g.write("issue.toml", manifest.replace('label = "harbour lights [report]"',
                                               'label = "harbour l\u00efghts [report]" # \u00e9', 1))
        status, lines = g.check()
        self.assertReported(lines, f"{g.path('issue.toml')}:{label}:", "article 1", "label", "printable ASCII")

        # What a message quotes never breaks its line: a TOML error that
        # saw a line break, a file name that holds one.
        f.write("issue.toml", 'number = 3\nflag = t\n')
        status, lines = f.check()
        self.assertReported(lines, f"{m}:2:", "not valid TOML", "\\n")
        self.assertTrue(all(line.startswith(f.dir) for line in lines), lines)
        f.write("issue.toml", text.replace('text = "harbour.txt"', 'text = "harbour\\n.txt"'))
        status, lines = f.check()
        self.assertReported(lines, f"{m}:", 'text "harbour\\n.txt" is not a plain file name')
        self.assertTrue(all(line.startswith(f.dir) for line in lines), lines)

    def test_screen_faults_are_placed_on_the_line_that_makes_them(self):
        f = self.folder()
        box = f.before_end_mark("menu.ans", b"\x1b[12;60HX")
        scroll = f.before_end_mark("logo.ans", b"\x1b[25;80HX")
        f.replace("menu_asc.ans", b"\r\n", b"\r\n\xdb", )
        marker = f.before_end_mark("article_hdr.ans", b"!")
        # A "!" is the header's marker only: elsewhere it is a character.
        f.before_end_mark("about.ans", b"\x1b[2;2H!")
        f.before_end_mark("nightsky.ans", b"wow!")
        os.remove(f.path("exit_asc.ans"))
        f.write("notes.txt", "to do: everything\n")
        # A fault early in a file is placed on its own line, not the last.
        gallery = f.read("ansi.ans")
        third = gallery.index(b"\n", gallery.index(b"\n") + 1) + 1
        f.write("ansi.ans", gallery[:third] + b"\x1b[12;60HX" + gallery[third:])
        status, lines = f.check()
        self.assertEqual(status, 1)
        self.assertReported(lines, f"{f.path('menu.ans')}:{box}:", "must stay blank", "column 60 row 12")
        self.assertReported(lines, f"{f.path('logo.ans')}:{scroll}:", "scrolls the screen", "80x25")
        self.assertReported(lines, f"{f.path('menu_asc.ans')}:2:", "above 127", "7-bit")
        self.assertReported(lines, f"{f.path('article_hdr.ans')}:{marker}:", "holds 6", "exactly five")
        self.assertFalse([l for l in lines if "about.ans" in l or "nightsky.ans" in l], lines)
        self.assertReported(lines, f"{f.path('exit_asc.ans')}:", "missing")
        self.assertReported(lines, f"{f.path('notes.txt')}:", "never shows it")
        self.assertReported(lines, f"{f.path('ansi.ans')}:3:", "must stay blank", "column 60 row 12")

    def test_where_characters_land(self):
        """Rows too wide, double-spaced screens, pieces taller than the
        gallery and backdrops that depend on the cursor: each on the line of
        its byte."""
        f = self.folder()
        # A twin row of 81 characters (its first line, after the form feed).
        twin = f.read("menu_asc.ans")
        self.assertEqual(twin[0], 12, "twins begin with a form feed")
        f.write("menu_asc.ans", b"\x0c" + b"=" * 81 + b"\r\n" + twin[1:])
        # A screen saved with a line end after every 80-column row, from
        # line 3: drawn by the screens' rules it is double-spaced. A piece
        # saved so is drawn as the scene draws it, a row a line.
        art = b"\x1b[0m\x1b[H\r\n\r\n" + b"".join(bytes([65 + i]) * 80 + b"\r\n" for i in range(5)) + b"\x1a"
        f.write("help.ans", art)
        f.write("nightsky.ans", art)
        # A tall piece placed row by row: the gallery shows all of its 60
        # rows, but none placed past a piece's last row, 10,000.
        tall = b"".join(b"\x1b[%d;1Hrow %d\r\n" % (r, r) for r in (*range(1, 61), 10001)) + b"\x1a"
        f.write("tidepool.ans", tall)
        # A twin without its form feed, and a screen without a place to begin.
        about = f.read("about_asc.ans")
        f.write("about_asc.ans", about[1:])
        f.write("exit.ans", b"\r\n  see you\r\n\x1a")
        status, lines = f.check()
        self.assertEqual(status, 1)
        self.assertReported(lines, f"{f.path('menu_asc.ans')}:1:", "row 1 is 81 columns wide", "moves down",
                            "keep rows to 80 columns")
        self.assertReported(lines, f"{f.path('help.ans')}:3:", "double-spaced",
                            "drop the line end after a full 80-column row")
        self.assertFalse([l for l in lines if "nightsky.ans" in l], lines)
        self.assertReported(lines, f"{f.path('tidepool.ans')}:{line_of(tall, b'[10001;1H')}:", "10001 rows tall",
                            "at most 10000", "keep the piece to 10000 rows")
        self.assertReported(lines, f"{f.path('about_asc.ans')}:1:", "top-left", "form feed")
        # The first line only moves the cursor; the second draws in the wrong place.
        self.assertReported(lines, f"{f.path('exit.ans')}:2:", "top-left", "ESC[H")
        # The wide row moved the menu's message row down onto its slot, and
        # its last row off the screen: the twin scrolls (after its clear).
        self.assertReported(lines, f"{f.path('menu_asc.ans')}:", "rows 22..22 must stay blank")
        self.assertReported(lines, f"{f.path('menu_asc.ans')}:", "scrolls the screen")
        self.assertTrue(lines[-1].endswith("7 problem(s)"), lines)

    def test_usage_and_a_relative_folder(self):
        check = os.path.abspath(shutil.which(CHECK) or CHECK)
        run = subprocess.run([check, "--help"], capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 0)
        self.assertIn("usage: check_content [FOLDER]", run.stdout)
        f = self.folder()
        run = subprocess.run([check, "issue"], capture_output=True, text=True, timeout=60, cwd=f.root)
        self.assertEqual(run.returncode, 0, run.stdout)
        self.assertTrue(run.stdout.startswith("issue: issue #2"), run.stdout)
        f.before_end_mark("menu.ans", b"\x1b[12;60HX")
        run = subprocess.run([check, "issue"], capture_output=True, text=True, timeout=60, cwd=f.root)
        self.assertIn(os.path.join("issue", "menu.ans") + ":", run.stdout)

    def test_text_and_module_faults(self):
        f = self.folder()
        harbour = f.read("harbour.txt")
        f.replace("harbour.txt", "one keyboard", "one keyboard" + "x" * 70)
        f.replace("letters.txt", "It can.", "It can! Really.")
        f.write("parade.xm", tiny_mod())
        m = f.path("issue.toml")
        track = line_of(f.read("issue.toml").decode(), "[[track]]")
        status, lines = f.check()
        self.assertEqual(status, 1)
        self.assertReported(lines, f"{f.path('harbour.txt')}:{line_of(harbour, b'one keyboard')}:",
                            "longer than 79", "wrap")
        self.assertReported(lines, f"{f.path('letters.txt')}:{line_of(f.read('letters.txt'), b'It can!')}:",
                            '"!"', "header fields")
        self.assertReported(lines, f"{m}:{track}:", "track 1", "parade.xm plays for 7 s", "at least 60 s")

        f.write("parade.xm", b"RIFF....WAVEfmt " + bytes(200))
        status, lines = f.check()
        self.assertReported(lines, f"{m}:{track}:", "parade.xm does not load")

    def test_damaged_files_are_named_calmly(self):
        """Files damaged on the way: each is one line naming the file (and
        its line), the check ends with 1, and nothing crashes."""
        f = self.folder()
        m = f.path("issue.toml")
        track = line_of(f.read("issue.toml").decode(), "[[track]]")
        module = f.read("parade.xm")
        f.write("parade.xm", module[:len(module) // 2])
        # The artwork cut in the middle of a sequence, and its end-of-text
        # mark with it.
        art = f.read("nightsky.ans")
        cut = art.index(b"\x1b[", len(art) // 2) + 2
        f.write("nightsky.ans", art[:cut])
        cut_line = art[:cut].count(b"\n") + 1
        letters = f.read("letters.txt")
        f.write("letters.txt", letters.replace(b"It can.", b"It\0can.", 1))
        harbour = f.read("harbour.txt")
        f.replace("harbour.txt", "one keyboard", "one keyboard" + "k" * 10000)
        f.replace("issue.toml", 'text = "checking.txt"', 'text = "gone.txt"')
        os.remove(f.path("checking.txt"))
        text = f.read("issue.toml").decode()
        status, lines = f.check()
        self.assertEqual(status, 1, "\n".join(lines))
        self.assertReported(lines, f"{m}:{track}:", "track 1", "parade.xm is cut short",
                            f"the file has {len(module) // 2}", "save the whole module again")
        self.assertReported(lines, f"{f.path('nightsky.ans')}:{cut_line}:",
                            "ends inside an escape sequence")
        self.assertReported(lines, f"{f.path('letters.txt')}:{line_of(letters, b'It can.')}:", "control byte")
        self.assertReported(lines, f"{f.path('harbour.txt')}:{line_of(harbour, b'one keyboard')}:",
                            "longer than 79", f"({len(harbour.splitlines()[line_of(harbour, b'one keyboard') - 1]) + 10000})")
        self.assertReported(lines, f"{m}:{line_of(text, 'gone.txt')}:", "tutorial 1", "gone.txt", "not in")
        self.assertTrue(lines[-1].endswith("5 problem(s)"), lines)

        # The build refuses the manifest that names a missing file.
        out = os.path.join(f.root, "tables.cpp")
        run = subprocess.run([TABLES, out, f.dir], capture_output=True, text=True, timeout=60)
        self.assertNotEqual(run.returncode, 0)
        self.assertIn("gone.txt", run.stderr)
        self.assertFalse(os.path.exists(out))

    def test_pieces_of_every_format_are_judged_by_what_they_draw(self):
        """The gallery's pieces replaced by pieces of several formats: what
        the art contradicts, what the gallery cannot hold and what is
        damaged are each named with the number at fault, on the piece's
        line (text formats) or at its byte (binary ones); a tall XBIN
        within the gallery's rows passes."""
        f = self.folder()
        manifest = f.read("issue.toml").decode()
        head, _, rest = manifest.partition("[[piece]]")
        for line in rest.splitlines():
            if line.startswith("art = "):
                os.remove(f.path(line.split('"')[1]))

        def sauce(size, datatype, filetype, width, lines):
            return formats.record("test", "checker", size, datatype, filetype, width, lines)

        # 80 columns of art under a record of 132.
        narrow = b"".join(b"\x1b[1;3%dm" % (row % 8) + b"x" * 79 + b"\r\n" for row in range(20))
        pieces = {"narrow.ans": narrow + sauce(len(narrow), 1, 1, 132, 20)}
        # 10,100 rows of text; the line that goes past the 10,000th is named.
        tall = b"".join(b"row %d\r\n" % row for row in range(1, 10101))
        pieces["tall.ans"] = tall
        # A binary screen of 200 columns (a record's width is half of them).
        wide = bytes([ord("w"), 0x1E]) * 200 * 3
        pieces["wide.bin"] = wide + sauce(len(wide), 5, 100, 0, 0)
        # A compressed XBIN whose last run is cut off after its count.
        page = formats.AttrPage(80, 4)
        page.text(0, 0, "run", 0x0F)
        packed = formats.xbin(page, formats.LIGHTHOUSE_PALETTE, formats.lighthouse_font())
        pieces["cut.xb"] = packed[:-1]
        # A PCBoard screen with a colour code that is no hex number on line 3.
        pieces["codes.pcb"] = b"@X1Ffirst\r\n@X07second\r\nthird @XZZ\r\nfourth\r\n"
        # An XBIN of 5,452 rows: taller than any screen, within the gallery.
        long = formats.AttrPage(80, 5452)
        for row in range(0, 5452, 7):
            long.text(row % 60, row, f"row {row + 1}", 1 + row % 15)
        pieces["long.xb"] = formats.xbin(long, formats.LIGHTHOUSE_PALETTE, formats.lighthouse_font())
        entries = "".join(f'[[piece]]\nlabel = "p{i}"\nart = "{name}"\nsave_as = "{name}"\n\n'
                          for i, name in enumerate(pieces))
        f.write("issue.toml", head + entries + rest[rest.index("[[track]]"):])
        for name, data in pieces.items():
            f.write(name, data)
        status, lines = f.check()
        self.assertEqual(status, 1, "\n".join(lines))
        self.assertReported(lines, f"{f.path('narrow.ans')}:", "132 columns", "nothing past the 80th")
        self.assertReported(lines, f"{f.path('tall.ans')}:10001:", "10100 rows tall", "at most 10000")
        # The binary screen's record and its reader each name the width.
        self.assertReported(lines, f"{f.path('wide.bin')}:", "SAUCE record", "200 columns", "wider than the gallery")
        self.assertReported(lines, f"{f.path('wide.bin')}: byte", "wider than the gallery can pan: 200 columns")
        self.assertReported(lines, f"{f.path('cut.xb')}:", f"byte {len(packed) - 3}")
        self.assertReported(lines, f"{f.path('codes.pcb')}:3:", "not hex digits")
        self.assertFalse([l for l in lines if "long.xb" in l], "the tall XBIN passes:\n" + "\n".join(lines))
        self.assertTrue(lines[-1].endswith("6 problem(s)"), lines)

    def test_titles_must_fit_the_header(self):
        f = self.folder()
        f.replace("issue.toml", 'title = "harbour lights at night"', 'title = "' + "h" * 75 + '"')
        line = line_of(f.read("issue.toml").decode(), "[[article]]")
        status, lines = f.check()
        self.assertEqual(status, 1)
        self.assertReported(lines, f"{f.path('issue.toml')}:{line}:", "article 1", "title is 75", "article_hdr")


if __name__ == "__main__":
    unittest.main()
