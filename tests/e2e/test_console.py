"""The terminal console end to end: the switch summary, the terminal given
back in the state it was found after every kind of ending, Ctrl+C as a key,
stops and resizes, and standard input that is not a terminal."""

import os
import resource
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Terminal  # noqa: E402

import pyte  # noqa: E402

SUMMARY = [
    "[]  q u i x   m a g a z i n e",
    "",
    "  use the following switches if you are having problem with music",
    "  or ansi graphics display.",
    "",
    "  --help, /h, -h  : this screen... obviously.",
    "  --silent        : no music for you :p",
    "  --ascii         : no special chars for you, only ascii chars",
    "",
    None,  # the contact line: two spaces, then the board
    "",
]

# The switches listed below the summary, in their order.
ADDED = ["--terminal-colours", "--plain", "--read", "--door", "--idle", "--max-minutes", "--log", "--issue", "--show", "--check", "--pack"]

# Shown once the main menu is up (an entry the light bar does not start on).
MENU_TEXT = "a r t i c l e s"

# Raw mode as `stty -a` shows it.
RAW_FLAGS = ["-icanon", "-echo", "-isig", "-icrnl", "-ixon", "-opost", "-iexten"]


def flags(stty_output):
    return set(stty_output.split())


class SwitchSummary(unittest.TestCase):
    def test_every_help_switch_prints_the_summary_and_ends_with_0(self):
        for args in (["--help"], ["--HELP"], ["/h"], ["-h"], ["HELP"], ["--silent", "--help"]):
            with self.subTest(args=args), Terminal(args) as t:
                self.assertEqual(t.wait_exit(), 0, t.dump())
                for y, want in enumerate(SUMMARY, 1):
                    if want is None:
                        self.assertRegex(t.row(y), r"^  \S", t.dump())
                    else:
                        self.assertEqual(t.row(y), want, t.dump())
                # Then the switches of readers, sysops and editors, one a
                # row, and nothing after them.
                added = [t.row(y) for y in range(12, 12 + len(ADDED))]
                self.assertEqual([row.split()[0] for row in added], ADDED, t.dump())
                self.assertEqual([t.row(y) for y in range(12 + len(ADDED), 26)], [""] * (14 - len(ADDED)))
                # The terminal's next user goes on below the summary, in the
                # terminal's own colours, on the row under it, with the cursor shown.
                self.assertEqual(t.cursor(), (1, 12 + len(ADDED), True), t.dump())
                self.assertEqual(t.screen.cursor.attrs.fg, "default")
                self.assertIn(pyte.modes.DECAWM, t.screen.mode)


    def test_the_summary_into_a_pipe_is_plain_lines(self):
        # A sysop's "quixmag --help | less": the same lines, not one escape
        # byte, one LF at each line's end.
        out = subprocess.run([os.environ["QUIXMAG"], "--help"], stdin=subprocess.DEVNULL, capture_output=True,
                             timeout=30)
        self.assertEqual(out.returncode, 0, out.stderr)
        self.assertNotIn(b"\x1b", out.stdout)
        self.assertNotIn(b"\r", out.stdout)
        lines = out.stdout.decode("ascii").split("\n")
        self.assertEqual(lines[-1], "", "the last line ends too")
        for got, want in zip(lines, SUMMARY):
            if want is None:
                self.assertRegex(got, r"^  \S")
            else:
                self.assertEqual(got.rstrip(), want)
        self.assertEqual([line.split()[0] for line in lines[11:-1]], ADDED)


class TerminalGivenBack(unittest.TestCase):
    def start(self):
        t = Terminal(start=False)
        self.addCleanup(t.close)
        before = t.stty()
        t.start()
        t.wait_for_text(MENU_TEXT, timeout=30)
        return t, before

    def assertGivenBack(self, t, before):
        self.assertEqual(t.stty(), before, "pty settings differ after the end")
        self.assertTrue(t.cursor()[2], "cursor hidden after the end")
        self.assertIn(pyte.modes.DECAWM, t.screen.mode, "autowrap left off")
        self.assertEqual(t.screen.cursor.attrs.bg, "default", "colours not reset")

    def test_raw_mode_while_running_and_restored_after_a_normal_end(self):
        t, before = self.start()
        during = flags(t.stty())
        for flag in RAW_FLAGS:
            self.assertIn(flag, during)
        t.send("x")
        self.assertEqual(t.wait_exit(), 0, t.dump())
        self.assertGivenBack(t, before)
        # The last clear is made in the terminal's own colours, not in the
        # PC's black: a terminal with a white background is white again.
        painted = [(x, y) for y in range(1, 26) for x in range(1, 81) if t.cell(x, y).bg != "default"]
        self.assertEqual(painted, [], "cells left in the program's colours")

    def test_restored_after_ending_signals(self):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT, signal.SIGQUIT):
            with self.subTest(signal=sig.name):
                t, before = self.start()
                t.signal(sig)
                self.assertEqual(t.wait_exit(), -sig, t.dump())
                self.assertGivenBack(t, before)
                t.close()

    def test_ctrl_c_is_a_key_not_an_end(self):
        t, before = self.start()
        t.ctrl("c")
        time.sleep(0.5)
        t.pump()
        self.assertTrue(t.alive(), "Ctrl+C ended the program")
        t.send("x")
        self.assertEqual(t.wait_exit(), 0, t.dump())
        self.assertGivenBack(t, before)

    def test_stop_gives_the_terminal_back_and_continue_takes_it_again(self):
        t, before = self.start()
        t.signal(signal.SIGTSTP)
        deadline = time.monotonic() + 5
        while not t.stopped() and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertTrue(t.stopped())
        t.pump(0.1)
        self.assertEqual(t.stty(), before, "stopped with the terminal still raw")
        self.assertTrue(t.cursor()[2])
        # Someone else writes on the terminal while the program is stopped.
        t.screen.reset()
        t.signal(signal.SIGCONT)
        t.wait_for_text(MENU_TEXT, timeout=10)
        self.assertIn("-icanon", flags(t.stty()))
        t.send("x")
        self.assertEqual(t.wait_exit(), 0, t.dump())
        self.assertGivenBack(t, before)


class Resizing(unittest.TestCase):
    def test_too_small_is_clipped_with_a_notice_and_a_resize_back_redraws(self):
        with Terminal() as t:
            t.wait_for_text(MENU_TEXT, timeout=30)
            t.settle()
            t.resize(60, 20)
            t.wait_for_text("the terminal is 60x20, needs 80x25")
            self.assertTrue(t.alive())
            t.resize(80, 25)
            t.wait_for_text(MENU_TEXT)
            t.wait_for_gone("the terminal is")
            t.send("x")
            self.assertEqual(t.wait_exit(), 0, t.dump())

    def test_a_larger_terminal_shows_the_whole_screen_from_the_corner(self):
        with Terminal(cols=100, rows=30) as t:
            t.wait_for_text(MENU_TEXT, timeout=30)
            t.settle()
            x, y = t.find(MENU_TEXT)
            self.assertLessEqual(x + len(MENU_TEXT), 81)
            self.assertLessEqual(y, 25)
            self.assertEqual([t.row(r) for r in range(26, 31)], [""] * 5)
            # The margins are black, whatever the terminal's own background.
            for x, y in ((81, 1), (100, 12), (1, 26), (100, 30)):
                self.assertEqual(t.cell(x, y).bg, "000000", f"margin cell {x},{y}")


class HostileTerminals(unittest.TestCase):
    def test_a_window_of_65535_by_65535_costs_no_memory_and_keys_still_answer(self):
        # Any SSH client can report such a size, and a pseudo-terminal passes
        # it on. The address space is capped well above what the program
        # needs, so that a program that tried to paint such margins fails
        # at once instead of taking the machine's memory.
        def cap_memory():
            resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))

        t = Terminal(start=False, preexec=cap_memory)
        self.addCleanup(t.close)
        t._set_size(65535, 65535)  # the emulated screen stays 80x25
        t.start()
        x, y = t.wait_for_text(MENU_TEXT, timeout=30)
        t.settle()
        bar = t.colours(x, y)
        t.key("down")
        t.settle()
        self.assertNotEqual(t.colours(x, y), bar, "the bar left the first entry")
        with open(f"/proc/{t.proc.pid}/status") as f:
            peak = next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))
        print(f"\n  65535x65535: resident peak {peak / 1024:.1f} MB, {len(t.output)} bytes", file=sys.stderr)
        self.assertLess(peak, 50 * 1024, "resident kB")
        raw = bytes(t.output)
        self.assertGreater(raw.count(b"\x1b[K"), 25, "the margins are erased row by row")
        self.assertNotIn(b" " * 81, raw, "no margin painted with spaces")
        t.send("x")
        self.assertEqual(t.wait_exit(), 0, t.dump())

    def test_an_output_that_cannot_be_written_ends_the_run_within_a_second(self):
        # Standard input is the terminal, standard output a full device or
        # closed: nothing the program draws is ever seen.
        with open("/dev/full", "wb") as full:
            for name, options in (("/dev/full", {"stdout": full.fileno()}),
                                  ("closed", {"preexec": lambda: os.close(1)})):
                with self.subTest(output=name):
                    t = Terminal(start=False, **options)
                    self.addCleanup(t.close)
                    start = time.monotonic()
                    t.start()
                    status = t.wait_exit(timeout=10)
                    took = time.monotonic() - start
                    print(f"\n  output {name}: ended after {took * 1000:.0f} ms", file=sys.stderr)
                    self.assertEqual(status, 0, t.stderr())
                    self.assertLess(took, 1.0)
                    self.assertIn("the terminal cannot be written to", t.stderr())
                    self.assertEqual(os.listdir(t.cwd), [], "nothing written in its place")


class Colours(unittest.TestCase):
    # The main menu's entries are drawn in |08|16: dark grey on black.

    def test_true_colour_reads_back_as_the_pc_attribute(self):
        with Terminal() as t:
            x, y = t.wait_for_text(MENU_TEXT, timeout=30)
            t.settle()
            self.assertEqual(t.attr(x, y), 0x08, t.dump())
            self.assertEqual(t.row(y)[x - 1:x - 1 + len(MENU_TEXT)], MENU_TEXT)

    def test_without_true_colour_a_256_colour_terminal_gets_the_nearest_entries(self):
        # xterm, rxvt-unicode and PuTTY announce no true colour; the entries
        # of the 256-colour cube and grey ramp nearest to the PC colours
        # are their own colours, not the terminal's 16.
        for term in ("xterm", "xterm-256color", "putty", "rxvt-unicode-256color"):
            with self.subTest(term=term), Terminal(colorterm=None, env={"TERM": term}) as t:
                x, y = t.wait_for_text(MENU_TEXT, timeout=30)
                t.settle()
                cell = t.cell(x, y)
                self.assertEqual((cell.fg, cell.bg), ("585858", "000000"), "dark grey on black")
                output = t.output.decode("utf-8", "replace")
                self.assertNotIn("38;2;", output, "no true colour")
                self.assertIn("38;5;248", output[:4000], "light grey is #A8A8A8")

    def test_sixteen_colours_where_the_terminal_has_no_more_or_the_reader_asks(self):
        for env, args in (({"TERM": "vt220"}, None), ({}, ["--silent", "--terminal-colours"])):
            with self.subTest(env=env, args=args), Terminal(args, env=env, colorterm=None if env else "truecolor") as t:
                self.assert_sixteen_colours(t)

    def assert_sixteen_colours(self, t):
        x, y = t.wait_for_text(MENU_TEXT, timeout=30)
        t.settle()
        cell = t.cell(x, y)
        # Dark grey is bright black, SGR 90 (pyte names it black too).
        self.assertEqual((cell.fg, cell.bg), ("black", "black"))
        output = t.output.decode("utf-8", "replace")
        # From the last full drawing on (the switch is read after the first).
        output = output[output.rfind("\x1b[2J"):]
        self.assertRegex(output, r"\x1b\[(\d+;)?90[;m]")
        self.assertFalse("38;2;" in output or "38;5;" in output, "only the terminal's own 16 colours")


class NotATerminal(unittest.TestCase):
    def test_input_at_its_end_ends_the_program_normally(self):
        with Terminal(stdin=subprocess.DEVNULL, start=False) as t:
            before = t.stty()
            t.start()
            start = time.monotonic()
            self.assertEqual(t.wait_exit(timeout=30), 0, t.dump())
            self.assertLess(time.monotonic() - start, 30)
            self.assertEqual(t.stty(), before)

    def test_input_from_a_pipe_is_read_as_keys(self):
        # 'x' typed through a pipe reaches the main menu's hot key.
        with Terminal(stdin=subprocess.PIPE, start=False) as t:
            t.start()
            t.wait_for_text(MENU_TEXT, timeout=30)
            t.proc.stdin.write(b"x")
            t.proc.stdin.flush()
            self.assertEqual(t.wait_exit(), 0, t.dump())


if __name__ == "__main__":
    unittest.main()
