"""The magazine as a board's door, started by a stand-in board with a drop
file and the caller's connection (a socket pair, a loopback TCP connection,
or standard input and output): what the caller's terminal shows, decoded
as code page 437; the bytes themselves (PC bytes, never UTF-8, CR LF, no
question asked of the terminal); telnet's commands among the keys; plain
ASCII for emulation 0; the end when the minutes run out and at once when
the caller drops; the one-line refusals of drop files that cannot be
served. Prints the bytes of the first screen, the time to the main menu
and the memory of one caller's door.

  QUIXMAG       the program
  SCREEN_CELLS  the screen_cells tool: the logo's cells as the program draws them
"""

import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from doorboard import EXIT_TEXT, Caller, DoorCase, door32, door_sys  # noqa: E402
from harness import Terminal, binary  # noqa: E402
from windows_magazine import resident_kib  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"
SECTION_ENTRY = "[ b a c k ]"
IAC = b"\xff"


def expected_logo():
    """The logo's 25 rows of (glyph, PC attribute), as the program draws it
    on its own console."""
    out = subprocess.run([os.environ["SCREEN_CELLS"], "logo"], capture_output=True, text=True, timeout=60,
                         check=True)
    logo = json.loads(out.stdout.splitlines()[0])
    return [[(bytes([ch]).decode("cp437"), attr) for ch, attr in zip(logo["chars"][y], logo["attrs"][y])]
            for y in range(25)]


def shows(caller, cells):
    """Whether the caller's screen shows Cells exactly (a blank's
    foreground cannot be seen, and need not agree)."""
    for y in range(25):
        for x in range(80):
            ch, attr = cells[y][x]
            got = caller.cell(x + 1, y + 1)
            fg, bg = caller.colours(x + 1, y + 1)
            blank = ch in (" ", "\u00a0")
            if (got.data or " ") != ch and not (blank and got.data in (" ", "")):
                return False
            if bg != attr >> 4 or (not blank and fg != attr & 15):
                return False
    return True


class DoorTest(DoorCase):
    caller_class = Caller

    def test_logo_menu_and_article_reach_the_caller_in_pc_bytes(self):
        logo = expected_logo()
        caller = self.call()
        deadline = time.monotonic() + 30
        while not shows(caller, logo):
            self.assertLess(time.monotonic(), deadline, f"the logo is not shown exactly\n{caller.dump()}")
            caller.pump(0.02)
        first_screen = len(caller.output)
        caller.wait_for_text(MAIN_ENTRY, timeout=30)
        to_menu = time.monotonic() - caller.started
        print(f"\nfirst screen {first_screen} bytes, main menu after {to_menu:.2f} s, "
              f"door's memory {resident_kib(caller.proc.pid)} KB", file=sys.stderr)
        out = bytes(caller.output)
        self.assertIn(b"\xdb", out, "a full block is the PC byte 0xDB")
        self.assertNotIn("█".encode("utf-8"), out, "never UTF-8")
        self.assertNotIn(b"\xe2\x95", out, "no UTF-8 frame lines")

        # A menu move: the bar leaves the first entry for the second.
        x, y = caller.find(MAIN_ENTRY)
        ex, ey = caller.find("e d i t o r i a l")
        caller.idle(0.3)
        lit = caller.colours(ex, ey)
        caller.key("down")
        caller.idle(0.5)
        self.assertEqual(caller.colours(x, y), lit, "the second entry is lit now")
        self.assertNotEqual(caller.colours(ex, ey), lit, "the first one is not")

        # An article: its header and its text.
        caller.key("enter")
        caller.wait_for_text(SECTION_ENTRY)
        caller.key("enter")
        caller.wait_for_text("scene news, issue #1")
        caller.wait_for_text("SCENE NEWS")
        caller.key("esc")
        caller.wait_for_text(SECTION_ENTRY)
        caller.send("x")
        self.assertEqual(caller.wait_exit(20), 0)
        self.assertIn(EXIT_TEXT, bytes(caller.output), "the exit screen was shown")
        self.check_bytes(caller)
        self.assertEqual(caller.left_behind(), [], "nothing is left on the board's disk")

    def test_telnet_commands_among_the_keys_are_no_keys(self):
        caller = self.call(via="tcp")
        caller.wait_for_text(MAIN_ENTRY, timeout=30)
        caller.idle(0.3)
        # Option requests, a window size, a one-byte command inside the Down
        # key's sequence and Enter as CR NUL: one Down, one Enter.
        caller.send(IAC + b"\xfd\x01" + IAC + b"\xfb\x1f" + IAC + b"\xfa\x1f\x00\x50\x00\x19" + IAC + b"\xf0" +
                    b"\x1b[" + IAC + b"\xf1" + b"B")
        caller.idle(0.4)
        caller.send(b"\r\x00")
        caller.wait_for_text(SECTION_ENTRY)
        caller.wait_for_text("scene news")  # the articles' menu, not another section's
        caller.send("x")
        self.assertEqual(caller.wait_exit(20), 0)
        self.check_bytes(caller)

    def test_emulation_0_gets_the_plain_ascii_screens(self):
        caller = self.call(emulation=0)
        caller.wait_for_text(MAIN_ENTRY, timeout=30)
        caller.send("x")
        self.assertEqual(caller.wait_exit(20), 0)
        out = bytes(caller.output)
        self.assertTrue(all(b < 0x80 for b in out), "plain ASCII only")
        self.assertIn(EXIT_TEXT, out)
        self.check_bytes(caller)

    def test_a_caller_who_drops_mid_screen_ends_the_door_at_once(self):
        for when in ("mid-screen", "in the menu"):
            caller = self.call()
            if when == "mid-screen":
                while len(caller.output) < 2000:
                    self.assertTrue(caller.pump(10), "the logo is being drawn")
            else:
                caller.wait_for_text(MAIN_ENTRY, timeout=30)
            dropped = time.monotonic()
            caller.hang_up()
            caller.proc.wait(timeout=10)
            gone = time.monotonic() - dropped
            print(f"\ndropped {when}: the door ended {gone:.3f} s later", file=sys.stderr)
            self.assertLess(gone, 1.0, when)
            self.assertEqual(caller.proc.returncode, 0)
            self.assertEqual(caller.left_behind(), [], "nothing is left on the board's disk")

    def test_door_sys_and_standard_input_and_output(self):
        caller = self.call(via="stdio", drop=door_sys("COM1:", minutes=30, graphics="GR"), drop_name="DOOR.SYS",
                           telnet=False)
        caller.wait_for_text(MAIN_ENTRY, timeout=30)
        caller.send("x")
        self.assertEqual(caller.wait_exit(20), 0)
        self.assertIn(b"\xdb", bytes(caller.output))
        self.check_bytes(caller)

    def test_type_0_is_the_local_console(self):
        folder = tempfile.mkdtemp(prefix="quixmag-door-")
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        drop = os.path.join(folder, "DOOR32.SYS")
        with open(drop, "w", newline="") as f:
            f.write(door32(conn_type=0, handle=0))
        with Terminal(args=["--door", drop]) as term:
            term.wait_for_text(MAIN_ENTRY, timeout=30)
            term.send("x")
            self.assertEqual(term.wait_exit(20), 0)

    def test_drop_files_that_cannot_be_served_are_refused_in_one_line(self):
        folder = tempfile.mkdtemp(prefix="quixmag-door-")
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        path = os.path.join(folder, "DOOR32.SYS")
        cases = {
            "missing": (None, f"{path}: the drop file cannot be read"),
            "too short": ("2\r\n5\r\n", f"{path} line 3: missing"),
            "serial": (door32(conn_type=1), f"{path} line 1: the caller is on a serial line"),
            "handle no number": (door32(handle="sock"), f"{path} line 2: the connection's handle"),
            "handle not open": (door32(handle=57), f"{path} line 2: the caller's connection cannot be used: "
                                                   f"descriptor 57 is not open"),
            "minutes": (door32(minutes="lots"), f"{path} line 9: the minutes left"),
            "handle a file": (door32(handle=2), f"{path} line 2: the caller's connection cannot be used: "
                                                f"descriptor 2 is no connection"),
        }
        for name, (text, message) in cases.items():
            if os.path.exists(path):
                os.remove(path)
            if text is not None:
                with open(path, "w", newline="") as f:
                    f.write(text)
            with tempfile.TemporaryFile() as err_file:
                run = subprocess.run([binary(), "--door", path], stdout=subprocess.PIPE, stderr=err_file,
                                     timeout=30, stdin=subprocess.DEVNULL)
                err_file.seek(0)
                run.stderr = err_file.read()
            err = run.stderr.decode()
            self.assertEqual(run.returncode, 1, name)
            self.assertEqual(err.count("\n"), 1, f"{name}: one line: {err!r}")
            self.assertTrue(err.startswith("quixmag: " + message), f"{name}: {err!r}")
            self.assertEqual(run.stdout, b"", f"{name}: nothing is drawn")
        run = subprocess.run([binary(), "--door"], capture_output=True, timeout=30, stdin=subprocess.DEVNULL)
        self.assertEqual(run.returncode, 1)
        self.assertIn("--door needs the board's drop file", run.stderr.decode())

    def test_z_the_minutes_left_end_the_door_with_the_exit_screen(self):
        noticed, ended = self.minute_ran_out(120)
        print(f"\none minute: the notice after {noticed:.1f} s, the end after {ended:.1f} s", file=sys.stderr)
        # A minute or less: the notice comes at the first wait for a key.
        self.assertLess(noticed, 30.0)
        self.assertLess(ended, 75.0)

if __name__ == "__main__":
    unittest.main()
