"""Files end to end: the reader's files are never touched, the program folder
is never written, and no run leaves a working file behind however it ends:
X, a signal, a closed output pipe, a full disk, two copies at once, a
program folder that cannot be written (with music on) or whose path is
longer than 255 characters."""

import hashlib
import os
import pwd
import resource
import shutil
import select
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Terminal, binary, working_files  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"
GALLERY_ENTRY = "b b s  a r t  X"


def read(path):
    with open(path) as f:
        return f.read()


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def ask_to_save_first_artwork(term):
    """From the main menu: the gallery's first artwork, and its save prompt
    with the proposed name."""
    term.key("home", "down", "down", "enter")
    term.wait_for_text(GALLERY_ENTRY)
    term.key("home", "enter")
    term.wait_for_text("p r e s s  e  t o  e x t r a c t")
    term.send("e")
    term.wait_for_text("ansi_art1.ans")


class Setting:
    """A program folder holding a copy of the program, a current folder and a
    temporary folder (TMPDIR), all fresh and removed afterwards."""

    def __init__(self, test, folder=None):
        self.folder = folder or tempfile.mkdtemp(prefix="quixmag-prog-")
        self.exe = os.path.join(self.folder, "quixmag")
        shutil.copy2(binary(), self.exe)
        self.cwd = tempfile.mkdtemp(prefix="quixmag-cwd-")
        self.tmp = tempfile.mkdtemp(prefix="quixmag-tmp-")
        for path in (self.folder, self.cwd, self.tmp):
            test.addCleanup(shutil.rmtree, path, True)
        self.test = test

    def run(self, *args, env=None, **kw):
        term = Terminal(argv=[self.exe, *args], cwd=self.cwd,
                        env={"TMPDIR": self.tmp, **(env or {})}, **kw)
        self.test.addCleanup(term.close)
        return term

    def program_files(self):
        return sorted(f for f in os.listdir(self.folder) if f != "quixmag")

    def work_files(self):
        return working_files(self.tmp)


class FilesTest(unittest.TestCase):
    def test_signals_end_the_run_without_leaving_a_file(self):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT, signal.SIGQUIT):
            with self.subTest(signal=sig.name):
                place = Setting(self)
                # With music on the working folder holds the sound library
                # and the module (screens and texts are never files).
                term = place.run(env={"SDL_AUDIODRIVER": "dummy"})
                term.wait_for_text(MAIN_ENTRY, timeout=30)
                term.key("down", "enter")     # an article is open
                term.wait_for_text("[ b a c k ]")
                term.key("enter")
                term.wait_for_text("scene news, issue #1")
                self.assertIn("music.mod", "\n".join(place.work_files()))
                self.assertIn("soundlib.so", "\n".join(place.work_files()))
                term.signal(sig)
                self.assertEqual(term.wait_exit(), -sig)
                self.assertEqual(place.work_files(), [])
                self.assertEqual(place.program_files(), [])
                self.assertIn("icanon", term.stty().split(), "the terminal was given back")

    def test_esc_end_of_input_and_help_leave_nothing(self):
        place = Setting(self)
        term = place.run("--silent")
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        term.key("esc")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(place.work_files(), [])

        term = place.run("--silent", stdin=subprocess.DEVNULL)
        self.assertEqual(term.wait_exit(timeout=60), 0)
        self.assertEqual(place.work_files(), [])

        term = place.run("--silent", "--help")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(place.work_files(), [], "the switch summary needs no working folder")
        self.assertEqual(place.program_files(), [])
        self.assertEqual(os.listdir(place.cwd), [])

    def test_a_closed_output_pipe_leaves_no_file(self):
        place = Setting(self)
        reader, writer = os.pipe()
        term = place.run(stdout=writer, env={"SDL_AUDIODRIVER": "dummy"})
        os.close(writer)
        # Read the output until the first module is written, then go away.
        deadline = time.monotonic() + 30
        while "music.mod" not in "\n".join(place.work_files()):
            self.assertLess(time.monotonic(), deadline, "the music never started")
            if select.select([reader], [], [], 0.05)[0]:
                os.read(reader, 65536)
        os.close(reader)
        term.key("down", "up", "down")  # the redraw meets the broken pipe
        self.assertEqual(term.wait_exit(), -signal.SIGPIPE)
        self.assertEqual(place.work_files(), [])

    def test_full_disk_switches_the_music_off_and_leaves_nothing(self):
        def full_disk():
            # Every write past 2000 bytes fails, as on a disk that is full.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (2000, 2000))

        # With music on: the sound library is the first file written. It
        # cannot be, so the music is off and the magazine runs without it.
        place = Setting(self)
        term = place.run(preexec=full_disk, env={"SDL_AUDIODRIVER": "dummy"})
        term.wait_for_text("Error loading DLL", timeout=10)
        term.wait_for_text("cannot write ")
        self.assertRegex(term.text(), r"soundlib\.so")
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.assertNotIn("soundlib.so", "\n".join(place.work_files()), "nothing half written is left")
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        term.idle(0.3)
        self.assertIsNotNone(term.find("hmm... something went wrong. but who cares. c ya"))
        self.assertEqual(term.stderr(), "")
        self.assertEqual(place.work_files(), [])
        self.assertEqual(os.listdir(place.cwd), [])

    def test_a_save_killed_midway_leaves_no_temporary_file_after_the_next_run(self):
        def killed_past_2000_bytes():
            # The first write past the limit kills the program (SIGXFSZ at
            # its default action), in the middle of the save's write.
            signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
            resource.setrlimit(resource.RLIMIT_FSIZE, (2000, 2000))

        def save_temporaries():
            return sorted(n for n in os.listdir(place.cwd) if n.startswith(".quixmag-save-"))

        place = Setting(self)
        target = os.path.join(place.cwd, "old.txt")
        with open(target, "w") as f:
            f.write("the old text\n")
        # A reader's file of a temporary file's look, and a reader's file
        # that a forged note of a killed run names: neither is touched.
        with open(os.path.join(place.cwd, ".quixmag-save-Reader01"), "w") as f:
            f.write("mine")
        with open(os.path.join(place.cwd, "keep.txt"), "w") as f:
            f.write("kept")

        term = place.run("--silent", preexec=killed_past_2000_bytes)
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        term.key("down", "enter")      # articles
        term.wait_for_text("[ b a c k ]")
        term.key("enter")              # the first article, longer than 2000 bytes
        term.wait_for_text("scene news, issue #1")
        term.ctrl("s")
        term.wait_for_text("Enter Filename:")
        term.send("old.txt")
        term.key("enter")
        term.send("y")
        self.assertEqual(term.wait_exit(), -signal.SIGXFSZ)
        [left] = [n for n in save_temporaries() if n != ".quixmag-save-Reader01"]
        self.assertEqual(read(target), "the old text\n")
        [killed_folder] = os.listdir(place.tmp)
        stamp = read(os.path.join(place.tmp, killed_folder, "owner"))
        forged = os.path.join(place.tmp, "quixmag-Forged01")
        os.mkdir(forged, 0o700)
        with open(os.path.join(forged, "owner"), "w") as f:
            f.write(stamp)
        with open(os.path.join(forged, "save"), "w") as f:
            f.write(os.path.join(place.cwd, "keep.txt") + "\n")

        second = place.run("--silent")
        second.wait_for_text(MAIN_ENTRY, timeout=30)
        self.assertEqual(save_temporaries(), [".quixmag-save-Reader01"], f"{left} is gone, nothing else")
        self.assertEqual(read(target), "the old text\n", "the old target is whole")
        self.assertEqual(read(os.path.join(place.cwd, "keep.txt")), "kept")
        self.assertNotIn(killed_folder, os.listdir(place.tmp))
        self.assertNotIn("quixmag-Forged01", os.listdir(place.tmp), "the forged run's folder goes, its note unheeded")
        second.send("x")
        self.assertEqual(second.wait_exit(), 0)
        self.assertEqual(place.work_files(), [])

    def test_a_name_typed_outside_ascii_is_saved_as_the_reader_typed_it(self):
        # The terminal speaks UTF-8 (LANG=C.UTF-8): "é" comes as two bytes and
        # must come back as the same two bytes in the file's name.
        place = Setting(self)
        term = place.run("--silent")
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        ask_to_save_first_artwork(term)
        term.ctrl("y")
        term.send("\u00e9t\u00e9.ans".encode("utf-8"))
        term.wait_for_text("\u00e9t\u00e9.ans")
        term.key("enter", "enter")
        term.wait_for_file(os.path.join(place.folder, "\u00e9t\u00e9.ans"))
        term.wait_for_text(GALLERY_ENTRY)
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(place.program_files(), ["\u00e9t\u00e9.ans"])
        self.assertEqual(sorted(os.listdir(place.folder.encode())), [b"quixmag", b"\xc3\xa9t\xc3\xa9.ans"])

    def test_the_readers_files_and_the_program_are_never_touched(self):
        # Started from its own folder, which holds the reader's files under
        # the program's working names, some of them links to another file.
        place = Setting(self)
        place.cwd = place.folder
        victim = os.path.join(place.tmp, "..", os.path.basename(place.tmp) + "-victim")
        victim = os.path.abspath(victim)
        self.addCleanup(lambda: os.path.exists(victim) and os.remove(victim))
        with open(victim, "w") as f:
            f.write("the reader's file")
        with open(os.path.join(place.folder, "tmp.ans"), "w") as f:
            f.write("mine")
        for name in ("menu1.ans", "keep.part", "music.mod"):
            os.symlink(victim, os.path.join(place.folder, name))
        program = digest(place.exe)

        term = place.run("--silent")
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        # The about page, saved as "keep" and as "about.txt", the name of
        # the page's own text file.
        for name in ("keep", "about.txt"):
            term.key("home", "down", "down", "down", "down", "enter")  # a b o u t
            term.wait_for_text("quix")
            term.idle(0.3)
            term.ctrl("s")
            term.wait_for_text("Enter Filename:")
            term.send(name)
            term.key("enter", "enter")
            term.wait_for_file(os.path.join(place.folder, name))
            term.idle(0.3)
            term.key("esc")
            term.wait_for_text(MAIN_ENTRY)
        # The gallery: an artwork saved under the program's own name is
        # refused; under the main menu's working name it is simply saved.
        for name, refused in (("quixmag", True), ("menu1.ans", False)):
            ask_to_save_first_artwork(term)
            term.ctrl("y")
            term.send(name)
            term.key("enter", "enter")
            if refused:
                term.wait_for_text("not saved: that is the running program")
                term.send(" ")
            term.wait_for_text(GALLERY_ENTRY)
            term.key("end", "enter")
            term.wait_for_text(MAIN_ENTRY)     # the magazine's own screen is intact

        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(digest(place.exe), program, "the program is intact")
        with open(victim) as f:
            self.assertEqual(f.read(), "the reader's file")
        with open(os.path.join(place.folder, "tmp.ans")) as f:
            self.assertEqual(f.read(), "mine")
        for name in ("keep.part", "music.mod"):
            self.assertTrue(os.path.islink(os.path.join(place.folder, name)), name)
        with open(os.path.join(place.folder, "keep"), "rb") as f:
            text = f.read()
        self.assertIn(b"\r\n", text)
        with open(os.path.join(place.folder, "about.txt"), "rb") as f:
            self.assertEqual(f.read(), text, "the save outlives the viewer's own file of that name")
        self.assertEqual(sorted(os.listdir(place.folder)),
                         ["about.txt", "keep", "keep.part", "menu1.ans", "music.mod", "quixmag", "tmp.ans"])
        self.assertFalse(os.path.islink(os.path.join(place.folder, "menu1.ans")), "replaced, not followed")
        self.assertEqual(place.work_files(), [])

    def test_two_copies_from_one_long_folder_with_music(self):
        # A program folder whose path is over 300 characters long.
        base = tempfile.mkdtemp(prefix="quixmag-long-")
        self.addCleanup(shutil.rmtree, base, True)
        folder = base
        while len(folder) < 300:
            folder = os.path.join(folder, "d" * 60)
        os.makedirs(folder)
        place = Setting(self, folder)
        env = {"SDL_AUDIODRIVER": "dummy"}
        first = place.run(env=env)
        second = place.run(env=env)
        for term in (first, second):
            term.wait_for_text(MAIN_ENTRY, timeout=30)
        folders = os.listdir(place.tmp)
        self.assertEqual(len(folders), 2, "a working folder each")
        for name in folders:
            self.assertIn("soundlib.so", os.listdir(os.path.join(place.tmp, name)))

        # The second opens an article while the first leaves.
        second.key("down", "enter")
        second.wait_for_text("[ b a c k ]")
        first.send("x")
        self.assertEqual(first.wait_exit(), 0)
        second.key("enter")
        second.wait_for_text("SCENE NEWS")
        self.assertTrue(second.alive())
        second.key("esc")
        second.wait_for_text("[ b a c k ]")
        second.key("end", "enter")
        second.wait_for_text(MAIN_ENTRY)
        second.send("x")
        self.assertEqual(second.wait_exit(), 0)
        self.assertIsNone(second.find("not found"))
        self.assertEqual(place.work_files(), [])
        self.assertEqual(place.program_files(), [])
        self.assertEqual(sorted(os.listdir(base)), ["d" * 60], "nothing beside the long folder either")

    @unittest.skipUnless(os.geteuid() == 0, "needs root to run the program as another user")
    def test_a_read_only_program_folder_with_music_on(self):
        # The program installed in a folder its user cannot write, as under
        # /usr/bin; the run is made as the user "nobody".
        user = pwd.getpwnam("nobody")
        place = Setting(self)
        audio = os.path.join(place.tmp + "-audio", "audio.raw")
        os.makedirs(os.path.dirname(audio))
        self.addCleanup(shutil.rmtree, os.path.dirname(audio), True)
        for path in (place.cwd, place.tmp, os.path.dirname(audio)):
            os.chown(path, user.pw_uid, user.pw_gid)
        os.chmod(place.folder, 0o555)
        self.addCleanup(os.chmod, place.folder, 0o755)

        def as_nobody():
            os.setgid(user.pw_gid)
            os.setuid(user.pw_uid)

        term = place.run(env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio, "HOME": place.cwd},
                         preexec=as_nobody)
        term.wait_for_text(MAIN_ENTRY, timeout=30)
        self.assertIsNone(term.find("Error loading DLL"))
        self.assertIsNone(term.find("Init failed"))
        time.sleep(1.0)
        self.assertGreater(os.path.getsize(audio), 0, "the music plays")
        # The gallery saves into the current folder instead.
        ask_to_save_first_artwork(term)
        term.key("enter", "enter")
        term.wait_for_file(os.path.join(place.cwd, "ansi_art1.ans"))
        term.wait_for_text(GALLERY_ENTRY)
        term.send("x")
        self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(place.program_files(), [])
        self.assertEqual(place.work_files(), [])
        self.assertEqual(os.listdir(place.cwd), ["ansi_art1.ans"])


    def test_a_killed_runs_folder_goes_with_the_next_run_and_nothing_else(self):
        place = Setting(self)
        outside = tempfile.mkdtemp(prefix="quixmag-outside-")
        self.addCleanup(shutil.rmtree, outside, True)
        with open(os.path.join(outside, "victim"), "w") as f:
            f.write("kept")

        def run_folders():
            return sorted(n for n in os.listdir(place.tmp) if n.startswith("quixmag-"))

        killed = place.run("--silent")
        killed.wait_for_text(MAIN_ENTRY, timeout=30)
        [killed_folder] = run_folders()
        killed_pid = killed.proc.pid
        killed.signal(signal.SIGKILL)
        self.assertEqual(killed.wait_exit(), -signal.SIGKILL)
        self.assertEqual(run_folders(), [killed_folder], "SIGKILL leaves the folder")
        # A link planted in it is removed with it, never followed.
        os.symlink(os.path.join(outside, "victim"), os.path.join(place.tmp, killed_folder, "link"))
        stamp = read(os.path.join(place.tmp, killed_folder, "owner"))
        self.assertTrue(stamp.startswith(f"{killed_pid} "), stamp)

        live = place.run("--silent")
        live.wait_for_text(MAIN_ENTRY, timeout=30)
        [live_folder] = [n for n in run_folders() if n != killed_folder]

        # Look-alikes of the killed run: a link of the pattern's name to a
        # folder of the same stamp, and a folder of another user.
        planted = os.path.join(outside, "planted")
        os.mkdir(planted)
        with open(os.path.join(planted, "owner"), "w") as f:
            f.write(stamp)
        os.symlink(planted, os.path.join(place.tmp, "quixmag-Linked01"))
        kept = [live_folder, "quixmag-Linked01"]
        if os.geteuid() == 0:
            nobody = os.path.join(place.tmp, "quixmag-Nobody01")
            os.mkdir(nobody, 0o700)
            with open(os.path.join(nobody, "owner"), "w") as f:
                f.write(stamp)
            user = pwd.getpwnam("nobody")
            os.chown(os.path.join(nobody, "owner"), user.pw_uid, user.pw_gid)
            os.chown(nobody, user.pw_uid, user.pw_gid)
            kept.append("quixmag-Nobody01")

        second = place.run("--silent")
        second.wait_for_text(MAIN_ENTRY, timeout=30)
        folders = run_folders()
        self.assertNotIn(killed_folder, folders, "the killed run's folder is gone")
        for name in kept:
            self.assertIn(name, folders)
        self.assertEqual(len(folders), len(kept) + 1, folders)
        self.assertEqual(read(os.path.join(outside, "victim")), "kept")
        self.assertEqual(read(os.path.join(planted, "owner")), stamp)
        self.assertTrue(os.path.islink(os.path.join(place.tmp, "quixmag-Linked01")))
        if os.geteuid() == 0:
            self.assertEqual(read(os.path.join(place.tmp, "quixmag-Nobody01", "owner")), stamp)

        # The live run goes on undisturbed and both leave as usual.
        live.key("down", "enter")
        live.wait_for_text("[ b a c k ]")
        for term in (second, live):
            term.send("x")
            self.assertEqual(term.wait_exit(), 0)
        self.assertEqual(sorted(run_folders()), sorted(kept[1:]))

if __name__ == "__main__":
    unittest.main()
