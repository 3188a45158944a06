"""The Windows door end to end: a stand-in board (door_board.exe, MinGW)
connects to the caller (this test, on a loopback port), makes the socket
inheritable, writes a DOOR32.SYS naming its handle and starts quixmag.exe
with --door under Wine. The caller's screen is read through pyte decoding
code page 437: the logo, the main menu, a menu move and an article in PC
bytes with CR LF and nothing asked of the terminal; plain lines of ASCII
for emulation 0; the end when the caller drops and when the minutes run
out; the refusal of a handle that is no socket. Prints the time to the
menu and the door's memory.

  QUIXMAG     build-windows/quixmag.exe
  DOOR_BOARD  build-windows/door_board.exe
"""

import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from doorboard import EXIT_TEXT, DoorCase, Line, door32  # noqa: E402
from harness import binary  # noqa: E402
from windows_magazine import resident_kib, wine_environment  # noqa: E402

SLOW = 120  # Wine starts slowly on a busy machine
MAIN_ENTRY = "a r t i c l e s"
SECTION_ENTRY = "[ b a c k ]"
PLAIN_PROMPT = "press the key of your choice"
EDITORIAL_LINE = "Hello, and welcome to the first issue of quix magazine."


def wine_env():
    env = dict(os.environ)
    for name, value in wine_environment().items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    return env


def windows_path(path):
    return subprocess.run(["winepath", "-w", path], capture_output=True, text=True, env=wine_env(),
                          timeout=SLOW, check=True).stdout.strip()


def door_pid(folder):
    """The Linux process of the door started for the drop file in Folder."""
    mark = os.path.basename(folder).encode()
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmdline = f.read()
        except OSError:
            continue
        if b"quixmag.exe" in cmdline and b"--door" in cmdline and mark in cmdline:
            return int(pid)
    return None


def process_state(pid):
    """The state letter of a process (R, S, Z, ...), None when it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return None


class WindowsCaller(Line):
    """A caller of the stand-in board under Wine."""

    def __init__(self, emulation=1, minutes=60):
        self.folder = tempfile.mkdtemp(prefix="quixmag-wdoor-")
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        listener.settimeout(SLOW)
        board = subprocess.Popen(
            ["wine", os.environ["DOOR_BOARD"], str(listener.getsockname()[1]), windows_path(self.folder),
             str(emulation), str(minutes), windows_path(binary())],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(),
            start_new_session=True)
        try:
            sock, _ = listener.accept()
        finally:
            listener.close()
        super().__init__(sock, board)

    def close(self):
        super().close()
        for pipe in (self.proc.stdout, self.proc.stderr):
            pipe.close()
        subprocess.run(["rm", "-rf", self.folder], check=False)


class WindowsDoorTest(DoorCase):
    caller_class = WindowsCaller

    def test_the_caller_reads_the_magazine_on_the_inherited_socket(self):
        caller = self.call()
        caller.wait_for_text(MAIN_ENTRY, timeout=SLOW)
        print(f"\nWindows door: main menu after {time.monotonic() - caller.started:.2f} s, "
              f"door's memory {resident_kib(door_pid(caller.folder))} KB", file=sys.stderr)
        out = bytes(caller.output)
        self.assertIn(b"\xdb", out, "a full block is the PC byte 0xDB")
        self.assertNotIn("█".encode("utf-8"), out, "never UTF-8")
        x, y = caller.find(MAIN_ENTRY)
        ex, ey = caller.find("e d i t o r i a l")
        caller.idle(0.5)
        lit = caller.colours(ex, ey)
        caller.key("down")
        caller.idle(1.0)
        self.assertEqual(caller.colours(x, y), lit, "the second entry is lit now")
        caller.key("enter")
        caller.wait_for_text(SECTION_ENTRY, timeout=SLOW)
        caller.key("enter")
        caller.wait_for_text("scene news, issue #1", timeout=SLOW)
        caller.wait_for_text("SCENE NEWS", timeout=SLOW)
        caller.key("esc")
        caller.wait_for_text(SECTION_ENTRY, timeout=SLOW)
        caller.send("x")
        caller.expect_exit(0, SLOW)
        self.assertIn(b"door ended: 0", caller.proc.stdout.read())
        self.assertIn(EXIT_TEXT, bytes(caller.output))
        self.check_bytes(caller)

    def test_emulation_0_reads_in_plain_lines_without_one_escape_byte(self):
        caller = self.call(emulation=0)
        caller.wait_for_text(PLAIN_PROMPT, timeout=SLOW)
        caller.send("1")  # the editorial
        caller.wait_for_text(EDITORIAL_LINE, timeout=SLOW)
        caller.send("q")
        caller.wait_for_text(PLAIN_PROMPT, timeout=SLOW)
        caller.send("x")
        caller.expect_exit(0, SLOW)
        out = bytes(caller.output)
        self.check_plain_bytes(out)
        self.assertIn(EXIT_TEXT, out)

    def test_a_caller_who_drops_ends_the_door(self):
        caller = self.call()
        caller.wait_for_text(MAIN_ENTRY, timeout=SLOW)
        pid = door_pid(caller.folder)
        self.assertIsNotNone(pid)
        dropped = time.monotonic()
        caller.hang_up()
        # Ended: a zombie (Wine's board reaps its children late) or gone.
        while process_state(pid) not in ("Z", None) and time.monotonic() - dropped < 30:
            time.sleep(0.002)
        gone = time.monotonic() - dropped
        print(f"\nWindows door: ended {gone:.3f} s after the caller dropped", file=sys.stderr)
        self.assertLess(gone, 1.0)
        self.assertEqual(caller.proc.wait(SLOW), 0)

    def test_a_handle_that_is_no_socket_is_refused(self):
        folder = tempfile.mkdtemp(prefix="quixmag-wdoor-")
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        with open(os.path.join(folder, "DOOR32.SYS"), "w", newline="") as f:
            f.write(door32(handle=4242))
        run = subprocess.run(["wine", binary(), "--door", windows_path(os.path.join(folder, "DOOR32.SYS"))],
                             capture_output=True, env=wine_env(), timeout=SLOW, stdin=subprocess.DEVNULL)
        err = run.stderr.decode(errors="replace").replace("\r\n", "\n")
        self.assertEqual(run.returncode, 1, err)
        self.assertEqual(err.count("\n"), 1, err)
        self.assertIn("DOOR32.SYS line 2: the caller's connection cannot be used: handle 4242 is no socket", err)

    def test_z_the_minutes_left_end_the_door(self):
        _, ended = self.minute_ran_out(SLOW)
        print(f"\nWindows door, one minute: ended after {ended:.1f} s", file=sys.stderr)

if __name__ == "__main__":
    unittest.main()
