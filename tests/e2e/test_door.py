"""The magazine as a board's door, started by a stand-in board with a drop
file and the caller's connection (a socket pair, a loopback TCP connection,
or standard input and output): what the caller's terminal shows, decoded
as code page 437; the bytes themselves (PC bytes, never UTF-8, CR LF, no
question asked of the terminal); telnet's commands among the keys; plain
ASCII for emulation 0; a DORINFO1.DEF's caller and a DOOR32.SYS telnet
caller whose handle is -1 or not inherited, on standard input and output
(a socket, or a pseudo-terminal); the end when the minutes run out and at
once when the caller drops; the one-line refusals of drop files that
cannot be served, a handle that is a file among them. Prints the bytes of the first screen, the time to the main menu
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
from doorboard import EXIT_TEXT, Caller, DoorCase, door32, door_sys, dorinfo  # noqa: E402
from harness import Terminal, binary  # noqa: E402
from windows_magazine import resident_kib  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"
PLAIN_PROMPT = "press the key of your choice"
EDITORIAL_LINE = "Hello, and welcome to the first issue of quix magazine."
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


def leave_with_x(caller, tries=4):
    """Presses X until the door ends (a key that comes while a screen is
    still being drawn is the drawing's, and a busy machine draws slowly);
    answers the door's exit status."""
    for _ in range(tries - 1):
        caller.send("x")
        try:
            return caller.wait_exit(5)
        except AssertionError:
            continue
    caller.send("x")
    return caller.wait_exit(20)


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

    def test_callers_without_ansi_read_in_plain_lines_and_not_one_escape_byte(self):
        # Emulation 0 of a DOOR32.SYS, DOOR.SYS's NG and a DORINFO1.DEF's
        # graphics 0: the editorial and an article, then X; the log has a
        # line for each.
        folder = tempfile.mkdtemp(prefix="quixmag-log-")
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        log = os.path.join(folder, "doors.log")
        cases = {
            "DOOR32.SYS": dict(emulation=0),
            "DOOR.SYS": dict(via="stdio", drop=door_sys("COM1:", graphics="NG"), drop_name="DOOR.SYS", telnet=False),
            "DORINFO1.DEF": dict(via="stdio", drop=dorinfo(graphics=0, first="JORG"), drop_name="DORINFO1.DEF",
                                 telnet=False),
        }
        for name, kw in cases.items():
            with self.subTest(name):
                caller = self.call(args=["--log", log], **kw)
                caller.wait_for_text(PLAIN_PROMPT, timeout=30)
                caller.send("1")  # the editorial
                caller.wait_for_text(EDITORIAL_LINE)
                caller.send("q")
                caller.wait_for_text(PLAIN_PROMPT)
                caller.send("2")  # the articles
                caller.wait_for_text("scene news")
                caller.send("1")
                caller.wait_for_text("more: enter or space")
                caller.send(" ")
                caller.idle(0.3)
                caller.send("q")  # out of the article, back to the section's list
                caller.wait_for_text(PLAIN_PROMPT)
                caller.send("x")
                self.assertEqual(caller.wait_exit(20), 0)
                out = bytes(caller.output)
                self.check_plain_bytes(out, f"{name}: ")
                self.assertIn(EXIT_TEXT, out)
        with open(log, encoding="ascii") as f:
            lines = [line.rstrip("\n")[20:] for line in f]
        events = [line.split('" ', 1)[1] for line in lines]
        self.assertEqual([e.split(":")[0] for e in events], ["start", "page", "article", "end"] * 3, lines)
        self.assertTrue(lines[8].startswith('node 1 "JORG READER" start: DORINFO1.DEF, node 1'), lines[8])
        self.assertTrue(lines[0].startswith('node 3 "sea dog" start: DOOR32.SYS'), lines[0])
        self.assertEqual(events[3], "end: x")

    def test_a_board_caller_opens_a_piece_and_the_track_menu_says_there_is_no_sound(self):
        folder = tempfile.mkdtemp(prefix="quixmag-log-")
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        log = os.path.join(folder, "doors.log")
        caller = self.call(args=["--log", log])
        caller.wait_for_text(MAIN_ENTRY, timeout=30)
        self.assertNotIn("now playing", caller.text())
        caller.send("t")
        caller.wait_for_text("own machine")
        self.assertNotIn("now playing", caller.text())
        caller.key("end")
        caller.key("enter")  # closes the track menu
        caller.idle(0.5)
        caller.key("down", "down", "enter")  # the gallery
        caller.wait_for_text(SECTION_ENTRY)
        caller.key("enter")  # its first piece
        caller.wait_for_text("k e y  t o  c o n t i n u e")
        self.assertNotIn("e x t r a c t", caller.text(), "saving is off")
        caller.send("e")
        caller.wait_for_text("saving is off on this board")
        caller.key("enter")  # the notice goes; the gallery's menu is back
        caller.wait_for_text("enter views a piece")
        self.assertEqual(leave_with_x(caller), 0)
        with open(log, encoding="ascii") as f:
            events = [line.rstrip("\n")[20:].split('" ', 1)[1] for line in f]
        self.assertEqual([e.split(":")[0] for e in events], ["start", "piece", "save refused", "end"], events)
        self.assertEqual(events[1], events[2].replace("save refused", "piece"))

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

    def test_a_board_that_hands_over_standard_input_and_output(self):
        # A DORINFO1.DEF's caller on COM1, and a DOOR32.SYS telnet caller
        # whose handle is -1 or one the door did not inherit, all on the
        # door's standard input and output, a socket.
        cases = {
            "DORINFO1.DEF": dict(drop=dorinfo(port="COM1", graphics=1), drop_name="DORINFO1.DEF", telnet=False),
            "handle -1": dict(handle=-1),
            "handle not open": dict(handle=57),
        }
        for name, kw in cases.items():
            with self.subTest(name):
                caller = self.call(via="stdio", **kw)
                caller.wait_for_text(MAIN_ENTRY, timeout=30)
                caller.send("x")
                self.assertEqual(caller.wait_exit(20), 0)
                self.assertIn(b"\xdb", bytes(caller.output), "ANSI, in PC bytes")
                self.check_bytes(caller)
        # A handle of -1 in a pseudo-terminal; graphics 0 gets plain ASCII.
        folder = tempfile.mkdtemp(prefix="quixmag-door-")
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        for drop_name, text, ascii_only in (("DOOR32.SYS", door32(handle=-1), False),
                                            ("DORINFO1.DEF", dorinfo(graphics=0), True)):
            with self.subTest(f"{drop_name} in a terminal"):
                drop = os.path.join(folder, drop_name)
                with open(drop, "w", newline="") as f:
                    f.write(text)
                with Terminal(args=["--door", drop]) as term:
                    term.wait_for_text(PLAIN_PROMPT if ascii_only else MAIN_ENTRY, timeout=30)
                    term.send("x")
                    self.assertEqual(term.wait_exit(20), 0)
                    self.assertEqual(all(b < 0x80 for b in bytes(term.output)), ascii_only)

    def test_a_handle_that_is_a_file_is_refused_even_beside_a_callers_line(self):
        # Descriptor 2 is the door's standard error, a file of the board's.
        caller = self.call(via="stdio", handle=2)
        self.assertEqual(caller.wait_exit(20), 1)
        self.assertEqual(caller.stderr(), f"quixmag: {caller.drop_path} line 2: the caller's connection cannot be "
                                          "used: descriptor 2 is no connection (a socket, a pipe or a terminal)\n")
        self.assertEqual(bytes(caller.output), b"", "nothing is drawn")

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
            "handle -1 on pipes": (door32(handle=-1), f"{path} line 2: the caller's connection cannot be used: "
                                                      "the handle is -1, and standard input and output are no "
                                                      "terminal or socket"),
        }
        for name, (text, message) in cases.items():
            if os.path.exists(path):
                os.remove(path)
            if text is not None:
                with open(path, "w", newline="") as f:
                    f.write(text)
            with tempfile.TemporaryFile() as err_file:
                # Pipes on both: no caller's line, though a connection.
                stdin = subprocess.PIPE if name.endswith("on pipes") else subprocess.DEVNULL
                run = subprocess.run([binary(), "--door", path], stdout=subprocess.PIPE, stderr=err_file,
                                     timeout=30, stdin=stdin)
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
