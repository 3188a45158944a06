"""The Windows program end to end: quixmag.exe under Wine, whose console
draws into the 80x25 pseudo-terminal it runs in, read back through the
terminal emulator. The logo and the main menu with their PC glyphs, an
article in the viewer with its help box and full screen, the gallery, the
switch summary, music through SDL's disk driver, and the folders left
clean at the end.

$QUIXMAG is build-windows/quixmag.exe; Wine's prefix is $WINEPREFIX, by
default the folder "wine" beside the executable (tools/setup.sh creates it
before the tests run). Resident memory of the program is printed, not
judged."""

import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Terminal, binary, files_of_run  # noqa: E402
import test_console  # noqa: E402

MAKE_MAGAZINE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "magazine", "make_magazine.py")

# Wine draws more slowly than a native terminal program: generous waits.
SLOW = 120

MAIN_ENTRY = "a r t i c l e s"
MAIN_DRAWN = "x exit"                     # the main screen's last line
SECTION_ENTRY = "[ b a c k ]"
GALLERY_ENTRY = "b b s  a r t  X"

# The switch summary is the same on every platform.
SUMMARY = test_console.SUMMARY


def wine_environment():
    exe_dir = os.path.dirname(os.path.abspath(binary()))
    return {
        "WINEPREFIX": os.environ.get("WINEPREFIX") or os.path.join(exe_dir, "wine"),
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "DISPLAY": None,
        "WAYLAND_DISPLAY": None,
    }


def resident_kib(pid):
    """VmRSS of a process in KiB, or None."""
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


class WindowsMagazine:
    """One run of quixmag.exe from a program folder of its own, started
    from a working folder of its own, so that the files it writes in
    either can be checked."""

    def __init__(self, *args, env=None):
        self.folder = tempfile.mkdtemp(prefix="quixmag-win-")
        self.exe = os.path.join(self.folder, "quixmag.exe")
        shutil.copy2(binary(), self.exe)
        extra = wine_environment()
        extra.update(env or {})
        # Wine gives its programs the prefix's own temporary folder (it
        # ignores TMP from outside): the run's working folder is the one
        # that appears there while it runs.
        temps = glob.glob(os.path.join(extra["WINEPREFIX"], "drive_c", "users", "*", "Temp"))
        if len(temps) != 1:
            raise RuntimeError(f"one temporary folder expected in the Wine prefix, found {temps}")
        self.wine_temp = temps[0]
        self.before = self.working_folders()
        self.term = Terminal(argv=["wine", self.exe, *args], env=extra)

    def close(self):
        self.term.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def working_folders(self):
        return {f for f in os.listdir(self.wine_temp) if f.startswith("quixmag-")}

    def work_folder(self):
        """The run's working folder, or None when there is none (yet, or
        any more)."""
        new = self.working_folders() - self.before
        if len(new) > 1:
            raise AssertionError(f"one working folder expected, found {sorted(new)}")
        return os.path.join(self.wine_temp, new.pop()) if new else None

    def files(self):
        """The files of the run's working folder."""
        folder = self.work_folder()
        return files_of_run(folder) if folder else []

    def program_folder_files(self):
        return sorted(f for f in os.listdir(self.folder) if f != "quixmag.exe")

    def work_files(self):
        return sorted(os.listdir(self.term.cwd))

    def main_menu(self):
        self.term.wait_for_text(MAIN_ENTRY, timeout=SLOW)
        self.term.wait_for_text(MAIN_DRAWN, timeout=SLOW)
        self.term.idle(0.5)

    def section(self):
        self.term.wait_for_text(SECTION_ENTRY, timeout=SLOW)
        self.term.idle(0.5)

    def choose(self, downs):
        """Moves the bar Downs entries down from the top and presses Enter."""
        self.term.key("home")
        for _ in range(downs):
            self.term.key("down")
        self.term.key("enter")


class WindowsMagazineTest(unittest.TestCase):
    def start(self, *args, env=None):
        mag = WindowsMagazine(*args, env=env)
        self.addCleanup(mag.close)
        return mag

    def test_reader_walks_through_logo_menu_article_viewer_and_gallery(self):
        mag = self.start("--silent")
        term = mag.term
        term.wait_for_text("d e c e m b e r", timeout=SLOW)
        self.assertIn("\u2588", term.text(), "the logo's full blocks (CP437 219) are shown as glyphs")
        mag.main_menu()
        self.assertIn("\u2554", term.text(), "the menu frame's double corner (CP437 201)")
        self.assertIn("\u25a0", term.text(), "the key line's small square (CP437 254)")
        print(f"\nresident memory of quixmag.exe without music: {resident_kib(term.proc.pid)} KiB",
              file=sys.stderr)
        self.assertEqual(mag.files(), [], "screens are drawn straight from the program")

        mag.choose(1)  # a r t i c l e s
        mag.section()
        term.key("enter")  # the first entry: scene news
        term.wait_for_text("scene news, issue #1", timeout=SLOW)
        term.wait_for_text("SCENE NEWS", timeout=SLOW)
        self.assertEqual(mag.files(), [], "the header and the text are drawn straight from the program")

        term.key("f1")
        term.wait_for_text("Press any key...", timeout=SLOW)
        term.key("esc")
        term.wait_for_gone("Press any key...", timeout=SLOW)
        term.key("f10")  # full screen: the header goes, the text starts at the top
        term.wait_for_gone("scene news, issue #1", timeout=SLOW)
        self.assertEqual(term.find("SCENE NEWS")[1], 1)
        term.key("f10")
        term.wait_for_text("scene news, issue #1", timeout=SLOW)
        term.key("pgdn")
        term.wait_for_gone("SCENE NEWS", timeout=SLOW)
        term.key("esc")  # leaves the viewer
        mag.section()
        self.assertEqual(mag.files(), [])

        term.key("end", "enter")  # [ b a c k ]
        mag.main_menu()
        mag.choose(2)  # a n s i   a r t
        term.wait_for_text(GALLERY_ENTRY, timeout=SLOW)
        term.idle(0.5)
        term.key("home", "enter")  # the first artwork, drawn full screen
        term.wait_for_gone(GALLERY_ENTRY, timeout=SLOW)
        term.wait_for_text("p r e s s  e  t o  e x t r a c t", timeout=SLOW)
        term.send(" ")
        term.wait_for_text(GALLERY_ENTRY, timeout=SLOW)
        term.idle(0.5)
        term.key("end", "enter")  # [ b a c k ]
        mag.main_menu()
        self.assertEqual(mag.files(), [])

        term.send("x")
        term.expect_exit(0, timeout=SLOW)
        self.assertIsNone(mag.work_folder(), "the program removes its working folder when it ends")
        self.assertEqual(mag.program_folder_files(), [], "nothing is written beside the program")
        self.assertEqual(mag.work_files(), [], "nothing is left in the current folder")

    def test_a_tagged_tall_piece_shows_its_credits_and_is_read_whole(self):
        # The sample issue's piece of 300 rows, with its SAUCE record, taken
        # with --issue from its folder (Wine's drive Z: is the root).
        sample = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sample-issue")
        with open(os.path.join(sample, "deepdown.ans"), "rb") as f:
            record = f.read()[-128:]
        self.assertEqual(record[:7], b"SAUCE00")
        title = record[7:42].decode("cp437").rstrip()
        mag = self.start("--silent", "--issue", "Z:" + os.path.abspath(sample).replace("/", "\\"))
        term = mag.term
        mag.main_menu()
        mag.choose(2)  # the gallery
        term.wait_for_text("d e e p  d o w n", timeout=SLOW)
        term.idle(0.5)
        mag.choose(5)
        term.wait_for_text("p r e s s  e  t o  e x t r a c t", timeout=SLOW)
        term.idle(1.0)
        last = [term.row(y) for y in range(1, 25)]
        term.key("home")
        term.idle(1.0)
        first = [term.row(y) for y in range(1, 25)]
        self.assertNotEqual(first, last, "Home: the piece's first rows")
        term.key("end")
        term.idle(1.0)
        self.assertEqual([term.row(y) for y in range(1, 25)], last, "End: its last rows again")
        term.send("i")
        term.wait_for_text("c r e d i t s", timeout=SLOW)
        term.wait_for_text("title  : " + title, timeout=SLOW)
        term.wait_for_text("size   : 80 columns x 300 rows", timeout=SLOW)
        term.send("q")
        term.wait_for_gone("c r e d i t s", timeout=SLOW)
        term.key("enter")
        term.wait_for_text("d e e p  d o w n", timeout=SLOW)
        term.idle(0.5)
        term.send("x")
        term.expect_exit(0, timeout=SLOW)

    def test_a_magazine_of_two_issues_opens_the_newest_and_b_opens_the_other(self):
        folder = os.path.join(tempfile.mkdtemp(prefix="quixmag-win-mag-"), "harbour")
        self.addCleanup(shutil.rmtree, os.path.dirname(folder), True)
        subprocess.run([sys.executable, MAKE_MAGAZINE, folder, "--issues", "2"], check=True)
        # Wine shows the machine's root as drive Z.
        mag = self.start("--silent", "--issue", "Z:" + folder.replace("/", "\\"))
        term = mag.term
        term.wait_for_text("the logo of issue #2", timeout=SLOW)
        mag.main_menu()
        term.send("b")
        term.wait_for_text("b a c k   i s s u e s", timeout=SLOW)
        term.wait_for_text("#1", timeout=SLOW)  # the last entry: the menu is drawn
        self.assertIn("* #2", term.text(), "the issue being read is marked")
        term.key("down", "enter")  # #1
        term.wait_for_text("the logo of issue #1", timeout=SLOW)
        mag.main_menu()
        mag.choose(1)  # a r t i c l e s
        term.wait_for_text("harbour lights [report]", timeout=SLOW)
        term.key("enter")
        term.wait_for_text("HARBOUR LIGHTS OF ISSUE #1", timeout=SLOW)
        self.assertNotIn("ISSUE #2", term.text(), "issue 2's article is not issue 1's")
        term.key("esc")
        mag.section()
        term.send("x")
        term.expect_exit(0, timeout=SLOW)

    def run_to_its_end(self, *args):
        """Starts quixmag.exe with Args to show the switch summary and
        answers it ended, with its exit status. A start that Wine gave up
        before the program ran (a status other than 0, no summary on the
        screen and no line of the program's on standard error: every refusal
        of its own begins "quixmag:") is printed and made once more."""
        for attempt in (1, 2):
            mag = WindowsMagazine(*args)
            try:
                status = mag.term.wait_exit(timeout=SLOW)
            except AssertionError:
                mag.close()  # a run that does not end must not outlive the test
                raise
            ran = SUMMARY[0] in mag.term.text() or "quixmag:" in mag.term.stderr()
            if status == 0 or ran or attempt == 2:
                return mag, status
            print(f"\nWine did not start the program (status {status}); once more\n{mag.term.dump()}",
                  file=sys.stderr)
            mag.close()

    def test_help_switch_prints_the_summary_and_ends_with_zero(self):
        for switch in ("--help", "/H"):
            with self.subTest(switch=switch):
                mag, status = self.run_to_its_end(switch)
                try:
                    term = mag.term
                    self.assertEqual(status, 0, f"the program's end\n{term.dump()}")
                    for y, expected in enumerate(SUMMARY, 1):
                        if expected is None:
                            self.assertRegex(term.row(y), r"^  \S", "the contact line")
                        else:
                            self.assertEqual(term.row(y), expected, f"line {y}")
                    self.assertEqual(mag.files(), [], "no sound library is written")
                    self.assertEqual(mag.program_folder_files(), [])
                finally:
                    mag.close()

    def test_music_plays_through_the_disk_driver_and_a_track_can_be_chosen(self):
        audio_dir = tempfile.mkdtemp(prefix="quixmag-audio-")
        self.addCleanup(shutil.rmtree, audio_dir, True)
        audio = os.path.join(audio_dir, "out.raw")
        mag = self.start(env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "Z:" + audio.replace("/", "\\")})
        term = mag.term
        mag.main_menu()
        self.assertEqual(mag.files(), ["music.mod", "soundlib.dll"],
                         "the library and the first module are written into the run's working folder")
        self.assertNotIn("Error loading DLL", term.text())
        self.assertNotIn("Init failed", term.text())

        size = os.path.getsize(audio)
        time.sleep(1.0)
        self.assertGreater(os.path.getsize(audio), size, "samples keep coming while the menu waits")
        print(f"\nresident memory of quixmag.exe with music: {resident_kib(term.proc.pid)} KiB",
              file=sys.stderr)
        with open(audio, "rb") as f:
            f.seek(max(0, os.path.getsize(audio) - 4 * 44100 * 2))  # the last second, float stereo
            data = f.read()
        samples = struct.unpack(f"<{len(data) // 4}f", data[: len(data) // 4 * 4])
        peak = max(abs(s) for s in samples)
        self.assertGreater(peak, 0.01, "the samples are not silent")
        self.assertLessEqual(peak, 1.0)

        with open(os.path.join(os.path.dirname(__file__), "..", "..", "content", "music3.xm"), "rb") as f:
            third = f.read()
        term.send("t")
        term.wait_for_text("c o l d   c i r c u i t", timeout=SLOW)
        term.idle(0.5)
        term.key("home", "down", "down", "enter")  # the third track
        deadline = time.monotonic() + SLOW
        while True:
            # The old module is removed before the new one is created, so the
            # file may be missing for a moment.
            try:
                with open(os.path.join(mag.work_folder(), "music.mod"), "rb") as f:
                    if f.read() == third:
                        break
            except FileNotFoundError:
                pass
            self.assertLess(time.monotonic(), deadline, "the third track was not written")
            term.pump(0.1)

        term.key("end", "enter")  # [ c l o s e ]
        # The main screen is drawn again under the menu, which is already
        # shown: a key sent while it is drawn only finishes the drawing.
        for _ in range(SLOW // 10):
            term.send("x")
            try:
                status = term.wait_exit(timeout=10)
                break
            except AssertionError:
                continue
        self.assertEqual(status, 0)
        self.assertEqual(mag.files(), [], "library and module are removed at the end")
        self.assertEqual(mag.work_files(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
