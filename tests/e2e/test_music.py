"""Music end to end: the sound library written out and playing (under the
audio library's disk driver, which writes the samples to a file), the track
menu, P, the failure path when no audio device opens, and --silent."""

import array
import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Terminal, binary, files_of_run  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"


class Run:
    """The magazine started from a program folder of its own."""

    def __init__(self, args, env):
        self.folder = tempfile.mkdtemp(prefix="quixmag-music-")
        exe = os.path.join(self.folder, "quixmag")
        shutil.copy2(binary(), exe)
        self.tmp = tempfile.mkdtemp(prefix="quixmag-tmp-")
        self.term = Terminal(argv=[exe, *args], env={**env, "TMPDIR": self.tmp})

    def files(self):
        """What the program folder holds besides the program."""
        return sorted(f for f in os.listdir(self.folder) if f != "quixmag")

    def work_files(self):
        """The files of the run's working folder, or [] when it is gone."""
        folders = os.listdir(self.tmp)
        return files_of_run(os.path.join(self.tmp, folders[0])) if folders else []

    def close(self):
        self.term.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.tmp, ignore_errors=True)


def loudness(path, start):
    """Peak of the 32-bit float stereo samples written after byte Start."""
    with open(path, "rb") as f:
        f.seek(start)
        data = f.read()
    samples = array.array("f")
    samples.frombytes(data[: len(data) // 4 * 4])
    return max((abs(s) for s in samples), default=0.0)


class MusicTest(unittest.TestCase):
    def start(self, args, env):
        run = Run(args, env)
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
        term.key("end", "enter")       # [ c l o s e ]
        term.wait_for_gone("Tracks...")
        term.wait_for_text(MAIN_ENTRY)
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        term.idle(0.3)
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
        term.key("end", "enter")       # [ c l o s e ]
        term.wait_for_gone("Tracks...")
        term.wait_for_text(MAIN_ENTRY)
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        term.idle(0.3)
        self.assertIsNone(term.find("hmm..."), "--silent ends without a message")


if __name__ == "__main__":
    unittest.main()
