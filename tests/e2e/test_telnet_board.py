"""The board served by tools/serve-telnet.sh on 127.0.0.1: Debian's telnet
client reads, moves in a menu and leaves; a client of the test's own says
its window size (NAWS) and asks for binary mode, and its screen is read back
through pyte at 80x25 and 100x30; nothing a client sends (environment
variables, a terminal type with shell characters) reaches a login, a shell
or the magazine's environment; thirty callers at once, the caps on readers
at once and per address, how long a client that never negotiates or never
reads holds its place, the maximum session length, stopping the script,
and the starts the script refuses. Prints the time thirty callers take to
reach the main menu and the memory each costs."""

import fcntl
import os
import pwd
import shutil
import signal
import socket
import statistics
import struct
import subprocess
import sys
import termios
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import screenlib  # noqa: E402
from sshboard import TOP, Panes  # noqa: E402
from telnetboard import NAWS, IAC, SB, SE, BINARY, Caller, TelnetBoard, can_serve_telnet, pump_all  # noqa: E402
from test_ssh_board import gave_the_terminal_back, wait_until  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"
SECTION_ENTRY = "[ b a c k ]"
FULL_LINE = b"the board is full, try again later\r\n"
TIME_UP_LINE = b"the session has reached its time limit\r\n"
CALLERS = 30
# The board's own environment for the magazine, and nothing else.
BOARD_ENVIRONMENT = {"PATH": "/usr/bin:/bin", "TERM": "ansi", "REMOTEHOST": "127.0.0.1", "QUIXMAG_PUBLIC": "1"}


def main_menu_screen():
    """The main menu's screen as the content draws it: 25 rows of 80."""
    with open(os.path.join(TOP, "content", "menu.ans"), "rb") as f:
        cells = screenlib.decode(f.read()).cells
    return [bytes(c.ch for c in row).decode("cp437") for row in cells]


def outside_the_menu_box(lines):
    """Lines with the inside of the main menu's box blanked: the magazine
    writes its entries and light bar there (rows 9 to 17, columns 51 to 71)."""
    return [line[:50] + " " * 21 + line[71:] if 9 <= n <= 17 else line for n, line in enumerate(lines, 1)]


def environment_of(pid):
    with open(f"/proc/{pid}/environ", "rb") as f:
        return dict(v.decode().split("=", 1) for v in f.read().split(b"\0") if b"=" in v)


def terminal_size(pid):
    """Columns and rows of the pseudo-terminal on Pid's standard input."""
    tty = os.readlink(f"/proc/{pid}/fd/0")
    rows, cols = subprocess.run(["stty", "-F", tty, "size"], capture_output=True, text=True,
                                check=True, timeout=10).stdout.split()
    return int(cols), int(rows)


def chain_above(pid, top):
    """Command names from Pid up to (without) Top."""
    names = []
    while pid != top and pid > 1:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)
        with open(f"/proc/{pid}/comm") as f:
            names.append(f.read().strip())
        pid = int(fields[1].split()[1])
    return names


def memory_kb(pid):
    """Rss and Pss of Pid, in kB."""
    with open(f"/proc/{pid}/smaps_rollup") as f:
        rollup = {line.split(":")[0]: int(line.split()[1]) for line in f if line.rstrip().endswith("kB")}
    return rollup["Rss"], rollup["Pss"]


def closes(caller):
    caller.wait_closed()
    caller.close()


@unittest.skipIf(can_serve_telnet(), can_serve_telnet())
class DebiansClient(unittest.TestCase):
    def test_the_telnet_client_reads_moves_in_a_menu_and_leaves_with_x(self):
        with TelnetBoard() as board, Panes() as panes:
            pane = panes.open("r", board.telnet_command())
            panes.record(pane)
            panes.wait_for(pane, MAIN_ENTRY, timeout=30)
            panes.keys(pane, "Home", "Down", "Enter")
            panes.wait_for(pane, SECTION_ENTRY)
            panes.keys(pane, "End", "Enter")
            panes.wait_for_gone(pane, SECTION_ENTRY)
            panes.wait_for(pane, MAIN_ENTRY)
            # The client's own terminal type is the magazine's TERM.
            (pid,) = board.magazines()
            (client,) = [int(line.split()[0]) for line in subprocess.run(
                ["ps", "-eo", "pid=,args="], capture_output=True, text=True, timeout=10).stdout.splitlines()
                if line.split()[1:] == board.telnet_command()]
            self.assertEqual(environment_of(pid), {**BOARD_ENVIRONMENT, "TERM": environment_of(client)["TERM"].lower()})
            panes.keys(pane, "x")
            self.assertEqual(panes.status(pane), 0)
            output = panes.recorded(pane)
            self.assertIn(b"Connection closed by foreign host.", output)
            for prompt in (b"login:", b"Password"):
                self.assertNotIn(prompt, output, "no login, only the magazine")
            self.assertTrue(gave_the_terminal_back(output), output[-200:])
            self.assertEqual(board.wait_no_processes(), [])


@unittest.skipIf(can_serve_telnet(), can_serve_telnet())
class TheCallersTerminal(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.board = TelnetBoard()

    @classmethod
    def tearDownClass(cls):
        cls.board.close()

    def test_the_console_is_drawn_whole_from_the_top_left_at_the_window_size_the_client_says(self):
        # A board's line carries no sound: the track line says so in the
        # place where the content says what is playing.
        playing, silent = "now playing - t picks another tune", "no music on this line - t: tunes"
        expected = [row.replace(playing, silent.ljust(len(playing))) for row in outside_the_menu_box(main_menu_screen())]
        # A client that does not ask for binary mode gets the same bytes.
        for cols, rows, binary in ((80, 25, True), (100, 30, True), (80, 25, False)):
            with self.subTest(size=f"{cols}x{rows}", binary=binary):
                caller = Caller(self.board.port, size=(cols, rows), binary=binary)
                self.addCleanup(caller.close)
                caller.wait_for(MAIN_ENTRY)
                self.assertEqual(("WILL", BINARY) in caller.agreed, binary, "binary mode when the client asks")
                self.assertIn(NAWS, caller.asked, "the server asked for the window size")
                (pid,) = self.board.magazines()
                self.assertEqual(terminal_size(pid), (cols, rows), "the magazine's terminal has the caller's size")
                # Code page 437 bytes (blocks, box lines) came through as sent;
                # the screen may still be coming in when the entry shows.
                caller.wait(lambda: outside_the_menu_box([line[:80] for line in caller.lines()[:25]]) == expected,
                            15, "the main menu's screen as the content draws it")
                lines = caller.lines()
                for entry in ("e d i t o r i a l", MAIN_ENTRY, "e x i t"):
                    self.assertTrue(any(line[50:71].strip().lower() == entry for line in lines[9:17]), entry)
                self.assertEqual({line[80:] for line in lines} - {" " * (cols - 80)}, set(), "nothing right of it")
                self.assertEqual(lines[25:], [" " * cols] * (rows - 25), "nothing below it")
                caller.send(b"x")
                closes(caller)
                wait_until(lambda: not self.board.magazines(), 15, "the magazine ended")

    def test_the_terminal_follows_a_new_window_size(self):
        caller = Caller(self.board.port, size=(80, 25))
        self.addCleanup(caller.close)
        caller.wait_for(MAIN_ENTRY)
        (pid,) = self.board.magazines()
        caller._send(bytes([IAC, SB, NAWS, 0, 120, 0, 40, IAC, SE]))
        wait_until(lambda: terminal_size(pid) == (120, 40), 10, "the terminal took the new size")
        caller.send(b"x")
        closes(caller)

    def test_nothing_the_client_sends_reaches_a_login_a_shell_or_the_magazines_environment(self):
        hostile = [("LD_PRELOAD", "/nonexistent/probe.so"), ("LD_LIBRARY_PATH", "/tmp"), ("USER", "-froot"),
                   ("BASH_ENV", "/tmp/x"), ("ENV", "/tmp/x"), ("PATH", "/tmp"), ("QUIXMAG_PUBLIC", "0"),
                   ("TERM", "xterm")]
        # A terminal type with shell characters, an option and a line end.
        caller = Caller(self.board.port, term="ansi;$(id)`id` -f root\r\nid", env=hostile)
        self.addCleanup(caller.close)
        caller.wait_for(MAIN_ENTRY)
        (pid,) = self.board.magazines()
        self.assertEqual(environment_of(pid), BOARD_ENVIRONMENT)
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            self.assertEqual(f.read().split(b"\0")[1:], [b"--idle", b"15", b""],
                             "the board's idle time, and nothing of the client's, on the command line")
        self.assertEqual(chain_above(pid, self.board.listener()), ["quixmag", "session", "telnetd", "connection"],
                         "telnetd runs the session script, which runs the magazine: no login, no shell")
        for text in (b"ld.so", b"preloaded", b"login", b"uid="):
            self.assertNotIn(text, bytes(caller.data))
        caller.send(b"x")
        closes(caller)


@unittest.skipIf(can_serve_telnet(), can_serve_telnet())
class Callers(unittest.TestCase):
    def board(self, **env):
        board = TelnetBoard(env=env)
        self.addCleanup(board.close)
        return board

    def reader(self, board, source):
        caller = Caller(board.port, source=source)
        self.addCleanup(caller.close)
        caller.wait_for(MAIN_ENTRY)
        return caller

    def assert_turned_away(self, board, source):
        started = time.monotonic()
        caller = Caller(board.port, source=source)
        self.addCleanup(caller.close)
        caller.wait_closed()
        took = time.monotonic() - started
        self.assertEqual(bytes(caller.data), FULL_LINE, "the caller gets that one line and nothing else")
        self.assertFalse(caller.reset, "the connection closed as a normal end, with nothing left unread")
        print(f"\n  a caller from {source} over a cap was turned away in {took:.2f} s", file=sys.stderr)

    def test_callers_over_a_cap_get_one_line_and_a_place_comes_back_when_a_magazine_ends(self):
        board = self.board(MAX_READERS="3", MAX_READERS_PER_ADDRESS="2")
        first = [self.reader(board, "127.0.0.1") for _ in range(2)]
        self.assert_turned_away(board, "127.0.0.1")   # the address has its two places
        self.reader(board, "127.0.0.2")                # another address still gets in
        self.assert_turned_away(board, "127.0.0.3")   # the board has its three
        self.assertEqual(sorted(board.magazines().values()), ["127.0.0.1", "127.0.0.1", "127.0.0.2"])

        # The magazine of a caller from 127.0.0.1 is killed: its connection
        # ends, and its place comes back.
        killed = next(pid for pid, a in board.magazines().items() if a == "127.0.0.1")
        os.kill(killed, signal.SIGKILL)
        pump_all(first, lambda: any(c.closed for c in first), 15, "the killed magazine's connection closed")
        wait_until(lambda: [n for _, n in board.processes()].count("telnetd") == 2, 15,
                   "the killed magazine's connection is gone")
        self.reader(board, "127.0.0.1")
        self.assert_turned_away(board, "127.0.0.1")
        self.assert_turned_away(board, "127.0.0.4")

        # A caller who leaves frees its place as well.
        leaving = next(c for c in first if not c.closed)
        leaving.send(b"x")
        leaving.wait_closed()
        wait_until(lambda: len(board.processes()) == 2 * 4, 15, "the leaving caller's processes are gone")
        self.reader(board, "127.0.0.4")

    def test_callers_who_never_answer_hold_no_more_than_their_addresses_places(self):
        board = self.board(MAX_READERS="3", MAX_READERS_PER_ADDRESS="2")
        silent = [socket.create_connection(("127.0.0.1", board.port), timeout=10, source_address=("127.0.0.5", 0))
                  for _ in range(2)]
        for s in silent:
            self.addCleanup(s.close)
        wait_until(lambda: [n for _, n in board.processes()].count("telnetd") == 2, 15,
                   "both silent callers have their telnetd")
        self.assert_turned_away(board, "127.0.0.5")
        self.reader(board, "127.0.0.6")
        self.assert_turned_away(board, "127.0.0.7")  # they do hold places of the board

    def test_thirty_callers_at_once_all_reach_the_menu_and_leave(self):
        board = self.board()
        started = time.monotonic()
        alone = Caller(board.port)
        alone.wait_for(MAIN_ENTRY)
        alone_took = time.monotonic() - started
        alone.send(b"x")
        closes(alone)
        self.assertEqual(board.wait_no_processes(), [])

        started = time.monotonic()
        # Three from each of ten addresses, under the cap of ten per address.
        callers = [Caller(board.port, source=f"127.0.0.{2 + i % 10}") for i in range(CALLERS)]
        for c in callers:
            self.addCleanup(c.close)
        reached = {}

        def all_in_menu():
            for c in callers:
                if c not in reached and c.shows(MAIN_ENTRY):
                    reached[c] = time.monotonic() - started
            return len(reached) == CALLERS

        pump_all(callers, all_in_menu, 120, "every caller shows the main menu")
        magazines = board.magazines()
        self.assertEqual(len(magazines), CALLERS)
        self.assertEqual(sorted(magazines.values()), sorted(f"127.0.0.{2 + i % 10}" for i in range(CALLERS)))
        memory = {name: [] for name in ("quixmag", "session", "telnetd", "connection")}
        for pid, name in board.processes():
            if name in memory:
                memory[name].append(memory_kb(pid))
        for c in callers:
            c.send(b"x")
        pump_all(callers, lambda: all(c.closed for c in callers), 60, "every connection closed")
        left = board.wait_no_processes()

        times = sorted(reached.values())
        print(f"\n{CALLERS} telnet callers at once on 127.0.0.1, {os.cpu_count()} cores:"
              f"\n  main menu reached by one caller alone: {alone_took:.2f} s"
              f"\n  under load: first {times[0]:.2f} s, median {statistics.median(times):.2f} s, "
              f"last {times[-1]:.2f} s", file=sys.stderr)
        for name, figures in memory.items():
            rss = [r / 1024 for r, _ in figures]
            pss = [p / 1024 for _, p in figures]
            print(f"  {name} ({len(figures)} processes): RSS mean {statistics.mean(rss):.1f} MB "
                  f"max {max(rss):.1f} MB, PSS mean {statistics.mean(pss):.2f} MB", file=sys.stderr)
        for c in callers:
            self.assertTrue(gave_the_terminal_back(bytes(c.data)), bytes(c.data[-120:]))
        self.assertEqual(left, [], "no process of the reading account is left")
        self.assertEqual(board.new_files(), [], "no file was written or left anywhere")

    def test_a_session_ends_at_its_maximum_length(self):
        # Long enough for the menu on a busy machine: the caller's terminal
        # does not answer, and the magazine waits a second for it.
        board = self.board(MAX_SESSION_LENGTH="10s")
        started = time.monotonic()
        caller = self.reader(board, "127.0.0.1")
        caller.wait_closed()
        took = time.monotonic() - started
        output = bytes(caller.data)
        self.assertTrue(output.endswith(TIME_UP_LINE), output[-200:])
        self.assertTrue(gave_the_terminal_back(output[:-len(TIME_UP_LINE)]), output[-200:])
        self.assertGreaterEqual(took, 10)
        self.assertLess(took, 30)
        self.assertEqual(board.wait_no_processes(), [])


def place_holders(board, address):
    """Pids of the processes that hold a place of Address (its slot files)."""
    slot = os.path.join(board.server_dir, "slots", f"address-{address}.")
    found = set()
    for pid in os.listdir("/proc"):
        try:
            for fd in os.listdir(f"/proc/{pid}/fd"):
                if os.readlink(f"/proc/{pid}/fd/{fd}").startswith(slot):
                    found.add(int(pid))
        except (OSError, ValueError):
            pass
    return found


def unread(sock):
    """Bytes that have come on Sock and wait to be read."""
    return struct.unpack("i", fcntl.ioctl(sock, termios.FIONREAD, b"\0" * 4))[0]


def small_connection(port, source):
    """A client socket from Source with a receive buffer as small as it gets:
    what it does not read soon stops the server's output."""
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1024)
    s.bind((source, 0))
    s.connect(("127.0.0.1", port))
    return s


@unittest.skipIf(can_serve_telnet(), can_serve_telnet())
class HeldPlaces(unittest.TestCase):
    def test_a_client_that_never_negotiates_or_never_reads_holds_its_place_for_a_bounded_time(self):
        # One place per address: while a caller's place is held, another from
        # its address is turned away.
        board = TelnetBoard(env={"MAX_READERS_PER_ADDRESS": "1"})
        self.addCleanup(board.close)
        # A plain TCP client (nc) that neither negotiates nor reads.
        silent = small_connection(board.port, "127.0.0.8")
        silent_from = time.monotonic()
        self.addCleanup(silent.close)
        # A client that answers telnetd's option requests blind, without
        # reading them: it refuses all, once at the start and once more when
        # telnetd's second round has come (its first answers come before the
        # questions, and may count for nothing); then it reads nothing and
        # moves in the menu until what the board sends fills its connection.
        refusals = (b"".join(bytes([IAC, 252, option]) for option in (0, 1, 6, 24, 31, 32, 33, 34, 35, 36, 39)) +
                    b"".join(bytes([IAC, 254, option]) for option in (0, 1, 3, 5, 37, 38)))
        blind = small_connection(board.port, "127.0.0.9")
        self.addCleanup(blind.close)
        blind.sendall(refusals)
        wait_until(lambda: unread(blind) >= 39, 15, "telnetd's second round of requests came")
        blind.sendall(refusals)
        wait_until(lambda: len(place_holders(board, "127.0.0.8")) > 0 and len(board.magazines()) == 1, 30,
                   "both callers hold a place, and the blind one has its magazine")
        for address in ("127.0.0.8", "127.0.0.9"):
            caller = Caller(board.port, source=address)
            self.addCleanup(caller.close)
            caller.wait_closed()
            self.assertEqual(bytes(caller.data), FULL_LINE, f"{address} has its one place")

        # The silent client's place comes back when its first negotiation has
        # had its 30 s; the blind one's a minute after its connection filled
        # (the bytes it holds unread last grew).
        silent_held = blind_stalled = blind_held = None
        last_unread = None
        moves = 0
        deadline = time.monotonic() + 200
        while (silent_held is None or blind_held is None) and time.monotonic() < deadline:
            now = time.monotonic()
            if silent_held is None and not place_holders(board, "127.0.0.8"):
                silent_held = now - silent_from
            count = unread(blind)
            if count != last_unread:
                last_unread, blind_stalled = count, now
            if moves < 600 and now - blind_stalled < 2:
                blind.sendall(b"\x1b[B")  # Down, while the output still moves
                moves += 1
            if blind_held is None and not place_holders(board, "127.0.0.9"):
                blind_held = now - blind_stalled
            time.sleep(0.1)
        print(f"\n  a client that never negotiates held its place {silent_held} s; one that never reads held it "
              f"{blind_held} s after its connection filled ({last_unread} bytes unread, {moves} moves)", file=sys.stderr)
        self.assertIsNotNone(silent_held, "the silent client's place came back")
        self.assertIsNotNone(blind_held, "the blind client's place came back")
        self.assertGreaterEqual(silent_held, 29.5)
        self.assertLess(silent_held, 40)
        self.assertGreaterEqual(blind_held, 58)
        self.assertLess(blind_held, 75)
        # The places are free again: a reader from each address gets in.
        for address in ("127.0.0.8", "127.0.0.9"):
            caller = Caller(board.port, source=address)
            self.addCleanup(caller.close)
            caller.wait_for(MAIN_ENTRY)
            caller.send(b"x")
            closes(caller)


@unittest.skipIf(can_serve_telnet(), can_serve_telnet())
class StoppingTheScript(unittest.TestCase):
    def test_ctrl_c_or_sigterm_ends_every_session_and_gives_terminals_back(self):
        for how in ("Ctrl+C", "SIGTERM", "SIGTERM to its group"):
            with self.subTest(how=how), TelnetBoard() as board:
                callers = [Caller(board.port, source=f"127.0.0.{i + 1}") for i in range(3)]
                for c in callers:
                    self.addCleanup(c.close)
                pump_all(callers, lambda: all(c.shows(MAIN_ENTRY) for c in callers), 60, "all in the main menu")
                pid_file = os.path.join(board.server_dir, board.pid_file)
                self.assertTrue(os.path.exists(pid_file))
                if how == "Ctrl+C":  # the terminal sends SIGINT to the whole foreground group
                    os.killpg(board.proc.pid, signal.SIGINT)
                elif how == "SIGTERM to its group":  # as timeout(1) or kill -TERM -PGID
                    os.killpg(board.proc.pid, signal.SIGTERM)
                else:
                    board.proc.send_signal(signal.SIGTERM)
                started = time.monotonic()
                self.assertEqual(board.proc.wait(30), 0)
                took = time.monotonic() - started
                pump_all(callers, lambda: all(c.closed for c in callers), 10, "every connection closed")
                for c in callers:
                    self.assertTrue(gave_the_terminal_back(bytes(c.data)), bytes(c.data[-120:]))
                self.assertEqual(board.wait_no_processes(5), [])
                self.assertFalse(os.path.exists(pid_file), "the pid file is gone")
                with self.assertRaises(OSError, msg="nothing listens any more"):
                    socket.create_connection(("127.0.0.1", board.port), timeout=2).close()
                print(f"\n  stopped by {how} in {took:.2f} s with 3 callers", file=sys.stderr)


@unittest.skipIf(can_serve_telnet(), can_serve_telnet())
class RefusedSettings(unittest.TestCase):
    """Starts the script must refuse, with the reason; none serves."""

    @classmethod
    def setUpClass(cls):
        cls.board = TelnetBoard(serve=False)

    @classmethod
    def tearDownClass(cls):
        cls.board.close()

    def folder(self, name, owner=0):
        path = os.path.join(self.board.base, name)
        os.makedirs(path, exist_ok=True)
        os.chown(path, owner, 0)
        os.chmod(path, 0o755)
        return path

    def assert_refused(self, *reasons, server_dir=None, **env):
        run = self.board.run_script(server_dir=server_dir, **env)
        self.assertEqual(run.returncode, 1, run.stderr)
        for reason in reasons:
            self.assertIn(reason, run.stderr)
        self.assertNotIn("serving", run.stderr)

    def test_root_is_refused_as_the_reading_account(self):
        self.assert_refused("readers would log in as root", "QUIXMAG_TELNET_USER", QUIXMAG_TELNET_USER="root")

    def test_a_program_or_a_folder_the_reading_account_could_change_is_refused(self):
        b = self.board
        exe = os.path.join(self.folder("prog-own", owner=b.uid), "quixmag")
        shutil.copy2(b.exe, exe)
        self.assert_refused("QUIXMAG_BIN", f"belongs to '{b.user}'", QUIXMAG_BIN=exe)
        self.assert_refused("DIR", f"belongs to '{b.user}'", server_dir=self.folder("srv-own", owner=b.uid))
        other = pwd.getpwnam("nobody").pw_uid
        self.assert_refused("DIR", "belongs to 'nobody'", server_dir=self.folder("srv-nobody", owner=other))

    def test_settings_that_are_no_plain_numbers_or_addresses_are_refused(self):
        self.assert_refused("MAX_READERS", MAX_READERS="0")
        self.assert_refused("MAX_READERS_PER_ADDRESS", MAX_READERS_PER_ADDRESS="5; id")
        self.assert_refused("MAX_SESSION_LENGTH", MAX_SESSION_LENGTH="1x")
        self.assert_refused("LISTEN", LISTEN="127.0.0.1 -x")
        self.assert_refused("IDLE_MINUTES", IDLE_MINUTES="5; id")
        self.assert_refused("IDLE_MINUTES", IDLE_MINUTES="1441")


if __name__ == "__main__":
    unittest.main()
