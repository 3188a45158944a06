"""The public reading mode from the outside: with QUIXMAG_PUBLIC=1, or in a
remote session (SSH_CONNECTION set), the magazine neither writes out nor loads
its sound library; a plain local run still does."""

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Terminal, binary  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"


class MusicAtStart(unittest.TestCase):
    def run_to_main_menu(self, env):
        """Starts a copy of the magazine in a folder of its own (no --silent),
        with a working folder and TMPDIR of its own too; answers whether a
        sound library is loaded at the main menu and the sound library files
        written anywhere in those folders."""
        folder = tempfile.mkdtemp(prefix="quixmag-public-")
        self.addCleanup(shutil.rmtree, folder, True)
        exe = os.path.join(folder, "quixmag")
        shutil.copy2(binary(), exe)
        tmp = os.path.join(folder, "tmp")
        os.mkdir(tmp)
        audio = os.path.join(folder, "audio.raw")
        term = Terminal(argv=[exe], cwd=folder, env={"TMPDIR": tmp, "SDL_AUDIODRIVER": "disk",
                                                     "SDL_DISKAUDIOFILE": audio, **env})
        self.addCleanup(term.close)
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        with open(f"/proc/{term.proc.pid}/maps") as f:
            loaded = "soundlib" in f.read()
        written = [name for _, _, files in os.walk(folder) for name in files if name.startswith("soundlib")]
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        return loaded, written

    def test_local_run_loads_the_sound_library(self):
        loaded, written = self.run_to_main_menu({})
        self.assertTrue(loaded)
        self.assertTrue(written)

    def test_public_mode_neither_writes_nor_loads_it(self):
        self.assertEqual(self.run_to_main_menu({"QUIXMAG_PUBLIC": "1"}), (False, []))

    def test_remote_session_neither_writes_nor_loads_it(self):
        self.assertEqual(self.run_to_main_menu({"SSH_CONNECTION": "127.0.0.1 50000 127.0.0.1 22"}), (False, []))


if __name__ == "__main__":
    unittest.main()
