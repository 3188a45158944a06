"""Music end to end: the sound library written out and playing (under the
audio library's disk driver, which writes the samples to a file), the track
menu, P, the failure path when no audio device opens, and --silent."""

import array
import errno
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Terminal, binary, files_of_run  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"


class Run:
    """The magazine started from a program folder of its own."""

    def __init__(self, args, env, tmp=None):
        self.folder = tempfile.mkdtemp(prefix="quixmag-music-")
        exe = os.path.join(self.folder, "quixmag")
        shutil.copy2(binary(), exe)
        self.tmp = tmp or tempfile.mkdtemp(prefix="quixmag-tmp-")
        self.term = Terminal(argv=[exe, *args], env={**env, "TMPDIR": self.tmp})

    def files(self):
        """What the program folder holds besides the program."""
        return sorted(f for f in os.listdir(self.folder) if f != "quixmag")

    def work_files(self):
        """The files of the run's working folder, or [] when it is gone."""
        folders = [name for name in os.listdir(self.tmp) if name.startswith("quixmag-")]
        return files_of_run(os.path.join(self.tmp, folders[0])) if folders else []

    def close(self):
        self.term.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.tmp, ignore_errors=True)


def small_tmpfs(test, size):
    """A fresh file system of Size bytes in memory (a tmpfs), unmounted at
    the end of the test; the test is skipped where it cannot be mounted."""
    folder = tempfile.mkdtemp(prefix="quixmag-small-")
    test.addCleanup(os.rmdir, folder)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", folder],
                             capture_output=True)
    if mounted.returncode != 0:
        test.skipTest("cannot mount a small file system here: " + mounted.stderr.decode(errors="replace"))
    test.addCleanup(subprocess.run, ["umount", folder], check=True)
    return folder


def fill(folder):
    """Writes a file into Folder until its file system is full; its path."""
    path = os.path.join(folder, "filler")
    with open(path, "wb", buffering=0) as f:
        try:
            while True:
                f.write(b"\0" * 4096)
        except OSError as e:
            if e.errno != errno.ENOSPC:
                raise
    return path


def loudness(path, start):
    """Peak of the 32-bit float stereo samples written after byte Start."""
    with open(path, "rb") as f:
        f.seek(start)
        data = f.read()
    samples = array.array("f")
    samples.frombytes(data[: len(data) // 4 * 4])
    return max((abs(s) for s in samples), default=0.0)


class MusicTest(unittest.TestCase):
    def start(self, args, env, tmp=None):
        run = Run(args, env, tmp)
        self.addCleanup(run.close)
        return run

    def test_music_plays_switches_off_and_on_and_is_cleaned_up(self):
        out = os.path.join(tempfile.mkdtemp(prefix="quixmag-audio-"), "audio.raw")
        self.addCleanup(shutil.rmtree, os.path.dirname(out), True)
        run = self.start([], {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": out})
        term = run.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.assertIn("soundlib.so", run.work_files())
        self.assertIn("music.mod", run.work_files())
        self.assertEqual(run.files(), [], "nothing is written beside the program")
        time.sleep(1.0)
        self.assertGreater(loudness(out, 0), 0.01, "the first module plays")

        term.send("p")
        time.sleep(0.5)
        mark = os.path.getsize(out)
        time.sleep(1.0)
        self.assertLess(loudness(out, mark), 1e-4, "P stops the music")
        term.send("p")
        time.sleep(0.5)
        mark = os.path.getsize(out)
        time.sleep(1.0)
        self.assertGreater(loudness(out, mark), 0.01, "P starts it again")

        term.send("t")
        term.wait_for_text("Tracks...")
        term.wait_for_text("[ c l o s e ]")
        term.key("down", "enter")      # the second track
        time.sleep(0.5)
        mark = os.path.getsize(out)
        time.sleep(1.0)
        self.assertGreater(loudness(out, mark), 0.01, "the chosen track plays")
        term.key("esc")                # Esc does not close the track menu
        term.wait_for_text("[ c l o s e ]")
        term.key("end", "enter")       # [ c l o s e ]
        term.wait_for_gone("Tracks...")
        term.wait_for_text(MAIN_ENTRY)

        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(os.listdir(run.tmp), [], "neither the library nor the module is left")
        self.assertEqual(run.files(), [])

    def close_tracks_and_leave(self, term):
        """Closes the track menu, leaves with X and lets the last lines come."""
        term.key("end", "enter")       # [ c l o s e ]
        term.wait_for_gone("Tracks...")
        term.wait_for_text(MAIN_ENTRY)
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        term.idle(0.3)

    def test_failed_audio_device_turns_music_off_and_says_so(self):
        run = self.start([], {"SDL_AUDIODRIVER": "no-such-driver"})
        term = run.term
        term.wait_for_text("Init failed", timeout=10)
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        term.send("p")
        term.send("t")
        term.wait_for_text("Tracks...")
        term.wait_for_text("[ c l o s e ]")
        term.key("enter")              # a track choice does nothing
        term.idle(0.5)
        self.assertNotIn("music.mod", run.work_files())
        self.close_tracks_and_leave(term)
        self.assertIsNotNone(term.find("hmm... something went wrong. but who cares. c ya"))

    def test_silent_writes_no_library_and_still_opens_the_track_menu(self):
        run = self.start(["--silent"], {})
        term = run.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        term.send("p")
        term.send("m")
        term.wait_for_text("Tracks...")
        term.wait_for_text("[ c l o s e ]")
        term.send("t")                 # T, M and H do nothing inside it
        term.send("h")
        term.idle(1.0)
        self.assertIsNotNone(term.find("[ c l o s e ]"))
        self.assertIsNotNone(term.find("Tracks..."))
        self.assertEqual(run.work_files(), [], "silent: nothing is written, screens come from the program")
        self.close_tracks_and_leave(term)
        self.assertIsNone(term.find("hmm..."), "--silent ends without a message")

    def test_a_full_temporary_folder_starts_the_magazine_silent(self):
        # 64 KiB: not even the sound library fits.
        run = self.start([], {"SDL_AUDIODRIVER": "dummy"}, small_tmpfs(self, 64 * 1024))
        term = run.term
        term.wait_for_text("Error loading DLL", timeout=10)
        term.wait_for_text("cannot write ")
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        term.send("p")                 # nothing to switch on
        term.send("t")
        term.wait_for_text("Tracks...")
        term.wait_for_text("music off: Error loading DLL")
        term.key("enter")              # a track choice does nothing
        term.idle(0.5)
        self.assertTrue(term.alive())
        self.close_tracks_and_leave(term)
        self.assertIsNotNone(term.find("hmm... something went wrong. but who cares. c ya"))
        self.assertEqual(os.listdir(run.tmp), [], "nothing is left")

    def test_no_working_folder_at_all_starts_the_magazine_silent(self):
        # The temporary folder is a file: no working folder can be made.
        tmp = tempfile.mkdtemp(prefix="quixmag-tmp-")
        self.addCleanup(shutil.rmtree, tmp, True)
        not_a_folder = os.path.join(tmp, "file")
        with open(not_a_folder, "w") as f:
            f.write("x")
        run = self.start([], {"SDL_AUDIODRIVER": "dummy"}, not_a_folder)
        term = run.term
        term.wait_for_text("Error loading DLL", timeout=10)
        term.wait_for_text("cannot make a working folder")
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        term.key("down", "enter")      # the articles, drawn from memory
        term.wait_for_text("[ b a c k ]")
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(os.listdir(tmp), ["file"])

    def test_a_folder_that_fills_during_the_reading_switches_the_music_off(self):
        # Room for the library and the first (largest) module at start.
        tmp = small_tmpfs(self, 1024 * 1024)
        run = self.start([], {"SDL_AUDIODRIVER": "dummy"}, tmp)
        term = run.term
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.assertIn("music.mod", run.work_files())
        term.send("t")
        term.wait_for_text("[ c l o s e ]")
        term.key("end", "up", "enter")  # the last and smallest module
        term.idle(0.5)
        self.assertIsNone(term.find("music off"), "room enough: the music plays on")

        # The folder fills; the next track, a larger module, cannot be written.
        filler = fill(tmp)
        term.key("home", "down", "down", "enter")
        term.wait_for_text("music off: cannot write")
        self.assertTrue(term.alive())
        self.assertIsNotNone(term.find("[ c l o s e ]"), "the track menu stays open")
        term.key("up", "enter")         # the choices do nothing any more
        term.idle(0.5)
        self.assertNotIn("music.mod", run.work_files())
        term.key("end", "enter")        # [ c l o s e ]
        term.wait_for_gone("Tracks...")
        term.wait_for_text(MAIN_ENTRY)
        term.key("down", "enter")       # the magazine goes on: the articles
        term.wait_for_text("[ b a c k ]")
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        term.idle(0.3)
        self.assertIsNotNone(term.find("hmm... something went wrong. but who cares. c ya"))
        self.assertEqual(os.listdir(tmp), [os.path.basename(filler)], "nothing of the run is left")


if __name__ == "__main__":
    unittest.main()
