"""The host side of the board served by tools/serve-ssh.sh on 127.0.0.1: caps
on readers at once and per address (a reader over one sees one line and
nothing more, and a place comes back however its session ended), a maximum
session length, a reader who reads nothing, stopping the script (the
readers' terminals are given back), the server's log (no caller writes into
the host's terminal), and the folders, programs and accounts the script
refuses to serve from or as. Readers come from several loopback addresses
(ssh -b 127.0.0.N)."""

import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sshboard import Board, Panes, can_serve, offer_user_name  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"
SECTION_ENTRY = "[ b a c k ]"
ARTICLE_TEXT = "SCENE NEWS"  # the first line of the first article, content/news.txt
FULL_LINE = b"the board is full, try again later\n"
TIME_UP_LINE = b"the session has reached its time limit\n"
# What the magazine sends its terminal when it ends, however it is ended:
# plain attributes, the cursor shown, line wrap on, the whole screen to
# scroll and the keypad as it was; at its start it switched line wrap off.
TERMINAL_RESET = [b"\x1b[0m", b"\x1b[?25h", b"\x1b[?7h", b"\x1b[r", b"\x1b>"]
WRAP_OFF = b"\x1b[?7l"


def magazines(board):
    """Pid -> the address it serves, for every magazine of the board."""
    found = {}
    for pid, name in board.processes():
        if name != "quixmag":
            continue
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                env = dict(v.split(b"=", 1) for v in f.read().split(b"\0") if b"=" in v)
        except OSError:
            continue
        found[pid] = env.get(b"SSH_CLIENT", b"").split(b" ")[0].decode()
    return found


def parent_of(pid):
    with open(f"/proc/{pid}/stat") as f:
        return int(f.read().rsplit(")", 1)[1].split()[1])


def alive(pid):
    """Whether Pid runs (a zombie has ended)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"not within {timeout} s: {what}")
        time.sleep(0.1)


def gave_the_terminal_back(output):
    """Whether the magazine, after it set its terminal up, sent the reset."""
    at = output.rfind(WRAP_OFF)
    for sequence in TERMINAL_RESET:
        at = output.find(sequence, at) if at >= 0 else -1
        if at < 0:
            return False
        at += len(sequence)
    return True


def lines(output):
    """What a terminal shows as lines: the pseudo-terminal's CR LF as LF."""
    return output.replace(b"\r\n", b"\n")


@unittest.skipIf(can_serve(), can_serve())
class ReaderCaps(unittest.TestCase):
    def board(self, **env):
        board = Board(env=env)
        self.addCleanup(board.close)
        panes = Panes()
        self.addCleanup(panes.close)
        return board, panes

    def reader(self, board, panes, name, source):
        pane = panes.open(name, board.ssh_command(source=source))
        panes.wait_for(pane, MAIN_ENTRY, timeout=30)
        return pane

    def assert_turned_away(self, board, source):
        started = time.monotonic()
        run = subprocess.run(board.ssh_command(source=source), stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=30)
        took = time.monotonic() - started
        self.assertEqual(lines(run.stdout), FULL_LINE, "the reader sees that one line and nothing else")
        self.assertEqual(run.returncode, 1, "the session ended")
        print(f"\n  a reader from {source} over a cap was turned away in {took:.2f} s", file=sys.stderr)

    def test_readers_over_a_cap_see_one_line_and_a_place_comes_back_however_its_session_ended(self):
        board, panes = self.board(MAX_READERS="3", MAX_READERS_PER_ADDRESS="2")
        first = [self.reader(board, panes, f"a{i}", "127.0.0.1") for i in range(2)]
        self.assert_turned_away(board, "127.0.0.1")  # the address has its two places
        other = self.reader(board, panes, "b", "127.0.0.2")  # another address still gets in
        self.assert_turned_away(board, "127.0.0.3")  # the board has its three
        self.assertEqual(sorted(magazines(board).values()), ["127.0.0.1", "127.0.0.1", "127.0.0.2"])

        # The magazine of a reader from 127.0.0.1 is killed: its place comes back.
        killed = next(pid for pid, a in magazines(board).items() if a == "127.0.0.1")
        os.kill(killed, signal.SIGKILL)
        wait_until(lambda: len(magazines(board)) == 2, 15, "the killed magazine is gone")
        again = self.reader(board, panes, "a-again", "127.0.0.1")
        self.assert_turned_away(board, "127.0.0.1")

        # The session's own sshd of the reader from 127.0.0.2 is killed: the
        # magazine ends with it, and its place on the board comes back.
        session = parent_of(next(pid for pid, a in magazines(board).items() if a == "127.0.0.2"))
        os.kill(session, signal.SIGKILL)
        wait_until(lambda: len(magazines(board)) == 2, 15, "the magazine ended with its session")
        self.assert_turned_away(board, "127.0.0.1")
        late = self.reader(board, panes, "c", "127.0.0.3")
        self.assert_turned_away(board, "127.0.0.4")

        for pane in (first[1], again, late):
            panes.keys(pane, "x")
            self.assertEqual(panes.status(pane), 0)
        self.assertEqual(panes.status(other), 255, "the killed session's client saw the connection end")
        self.assertEqual(board.wait_no_processes(), [])

    def test_logins_at_once_take_no_more_places_than_there_are(self):
        board, _ = self.board(MAX_READERS="3", MAX_READERS_PER_ADDRESS="2")
        # Six logins from each of two addresses, all at once; those let in
        # wait on their open standard input.
        logins = [subprocess.Popen(board.ssh_command(tty=False, source=source), stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                  for _ in range(6) for source in ("127.0.0.1", "127.0.0.2")]
        try:
            wait_until(lambda: sum(p.poll() is not None for p in logins) >= 9, 60,
                       "nine logins were turned away")
            time.sleep(1)  # time for a tenth to end, were it turned away wrongly
            turned_away = [p for p in logins if p.poll() is not None]
            admitted = [p for p in logins if p.poll() is None]
            self.assertEqual(len(turned_away), 9)
            for p in turned_away:
                self.assertEqual(lines(p.stdout.read()), FULL_LINE)
                self.assertEqual(p.returncode, 1)
            by_address = sorted(magazines(board).values())
            self.assertEqual(len(by_address), 3, "three magazines run")
            for address in ("127.0.0.1", "127.0.0.2"):
                self.assertLessEqual(by_address.count(address), 2)
            for p in admitted:
                p.stdin.close()  # end of input ends the magazine
                self.assertEqual(p.wait(30), 0)
        finally:
            for p in logins:
                if p.poll() is None:
                    p.kill()
                p.wait()
                p.stdin.close()
                p.stdout.close()
        self.assertEqual(board.wait_no_processes(), [])

    def test_logins_in_progress_leave_room_for_a_dozen_sources_at_their_limit(self):
        # A caller holding the per-source limit from each of a dozen
        # addresses must not fill the total: START is twelve times that limit.
        for per_source, expected in (("", "120:30:240"), ("4", "48:30:96"), ("none", "120:30:240")):
            with self.subTest(per_source=per_source), Board(env={"PER_SOURCE_MAX_STARTUPS": per_source}
                                                              if per_source else {}) as board:
                with open(os.path.join(board.server_dir, "sshd_config")) as f:
                    settings = dict(line.split(None, 1) for line in f.read().splitlines()
                                    if line.strip() and not line.startswith("#"))
                self.assertEqual(settings["PerSourceMaxStartups"], per_source or "10")
                self.assertEqual(settings["MaxStartups"], expected)

    def test_a_session_ends_at_its_maximum_length(self):
        board, _ = self.board(MAX_SESSION_LENGTH="4s")
        started = time.monotonic()
        run = subprocess.run(board.ssh_command(), stdin=subprocess.PIPE, capture_output=True, timeout=30)
        took = time.monotonic() - started
        self.assertIn(b"\x1b[", run.stdout, "the magazine was shown")
        self.assertTrue(lines(run.stdout).endswith(TIME_UP_LINE), run.stdout[-200:])
        self.assertEqual(run.returncode, 124)
        self.assertGreaterEqual(took, 4)
        self.assertLess(took, 20)
        self.assertEqual(board.wait_no_processes(), [])
        self.assertEqual(board.new_files(), [])

    def test_a_reader_who_reads_nothing_is_closed_long_before_the_idle_time_out(self):
        board, panes = self.board(ALIVE_INTERVAL="1", MAX_READERS="1")
        pane = self.reader(board, panes, "silent", "127.0.0.1")
        # In an article the magazine sends nothing while it waits for a key,
        # so the server's checks go out (on a menu they start once the light
        # bar rests, after a minute).
        panes.keys(pane, "Home", "Down", "Enter")
        panes.wait_for(pane, SECTION_ENTRY)
        panes.keys(pane, "Enter")
        panes.wait_for(pane, ARTICLE_TEXT)
        client = _clients_of(board)[0]
        os.kill(client, signal.SIGSTOP)  # it reads nothing and answers nothing
        self.addCleanup(_kill_quietly, client)
        started = time.monotonic()
        wait_until(lambda: not magazines(board), 45, "the silent reader's magazine ended")
        took = time.monotonic() - started
        print(f"\n  a reader who reads nothing was closed after {took:.1f} s "
              f"(checks 1 s apart; the idle time-out is 15 min)", file=sys.stderr)
        self.assertLess(took, 30)
        # Its place came back.
        os.kill(client, signal.SIGKILL)
        next_one = self.reader(board, panes, "next", "127.0.0.1")
        panes.keys(next_one, "x")
        self.assertEqual(panes.status(next_one), 0)


@unittest.skipIf(can_serve(), can_serve())
class StoppingTheScript(unittest.TestCase):
    def test_ctrl_c_or_sigterm_ends_every_session_gives_terminals_back_and_removes_the_pid_file(self):
        for how in ("Ctrl+C", "SIGTERM"):
            with self.subTest(how=how), Board() as board, Panes() as panes:
                readers = [panes.open(f"r{i}", board.ssh_command(source=f"127.0.0.{i + 1}")) for i in range(3)]
                for pane in readers:
                    panes.record(pane)
                for pane in readers:
                    panes.wait_for(pane, MAIN_ENTRY, timeout=30)
                sessions = board.session_processes()
                self.assertEqual(len(magazines(board)), 3)
                self.assertTrue(set(magazines(board)) <= set(sessions))
                pid_file = os.path.join(board.server_dir, "sshd.pid")
                self.assertTrue(os.path.exists(pid_file))

                if how == "Ctrl+C":  # the terminal sends SIGINT to the whole foreground group
                    os.killpg(board.proc.pid, signal.SIGINT)
                else:
                    board.proc.send_signal(signal.SIGTERM)
                started = time.monotonic()
                self.assertEqual(board.proc.wait(30), 0)
                took = time.monotonic() - started

                self.assertEqual([p for p in sessions if alive(p)], [], "every session's process ended")
                self.assertEqual(board.wait_no_processes(5), [])
                self.assertFalse(os.path.exists(pid_file), "the pid file is gone")
                for pane in readers:
                    self.assertEqual(panes.status(pane), 255, "the reader's connection was closed")
                    # The copy of the pane's output may lag a moment behind the client's end.
                    wait_until(lambda: gave_the_terminal_back(panes.recorded(pane)), 5,
                               f"{pane}'s terminal was given back before the connection closed; it got "
                               f"{panes.recorded(pane)[-120:]!r}")
                print(f"\n  stopped by {how} in {took:.2f} s with 3 readers", file=sys.stderr)
                with self.assertRaises(OSError, msg="nothing listens any more"):
                    socket.create_connection(("127.0.0.1", board.port), timeout=2).close()


@unittest.skipIf(can_serve(), can_serve())
class TheServersLog(unittest.TestCase):
    def test_what_a_caller_sends_cannot_act_on_the_terminal_or_forge_a_line(self):
        forged = b"Accepted publickey for root from 203.0.113.9 port 22 ssh2"
        # A line end, the line of a successful login, then the terminal's
        # own controls: back to the start and a line erased, backspaces,
        # the bell, and a line end again.
        name = b"x\r\n" + forged + b"\r\x1b[2K\b\b\a\ny"
        with Board() as board:
            offer_user_name(board.port, name)
            wait_until(lambda: b"203.0.113.9" in _log(board), 15, "the server logged the caller's user name")
            board.proc.send_signal(signal.SIGTERM)
            self.assertEqual(board.proc.wait(30), 0)
            log = _log(board)
        for byte in (b"\r", b"\b", b"\a", b"\x1b"):
            self.assertNotIn(byte, log, f"{byte!r} reached the host's terminal raw:\n{log!r}")
        self.assertEqual([line for line in log.split(b"\n") if line.startswith(b"Accepted publickey for root")], [],
                         "the forged line of a login starts no line")
        self.assertIn(b"Invalid user x\\r\\n" + forged, log, "the user name is shown, its controls escaped")

    def test_the_server_serves_on_while_its_log_stalls_and_once_the_log_is_gone(self):
        def logs_in():
            run = subprocess.run(board.ssh_command(tty=False), stdin=subprocess.DEVNULL, capture_output=True,
                                 timeout=30)
            return run.returncode == 0 and b"\x1b[" in run.stdout

        with Board() as board:
            log_reader = parent_of(board.listener())
            self.assertNotEqual(log_reader, board.proc.pid, "a process of its own reads sshd's log")
            self.addCleanup(_kill_quietly, log_reader)
            # The terminal that shows the log stalls (Ctrl+S, a pipe no one
            # reads) while callers leave far more lines than a socket holds.
            os.kill(log_reader, signal.SIGSTOP)
            for i in range(150):
                with socket.create_connection(("127.0.0.1", board.port), timeout=5) as caller:
                    caller.sendall(b"SSH-2.0-probe\r\nno packet\r\n")
                    self.assertTrue(caller.recv(64).startswith(b"SSH-2.0-"), f"caller {i} was answered")
            self.assertTrue(logs_in(), "a reader logs in while the log stalls")
            os.kill(log_reader, signal.SIGKILL)
            self.assertTrue(logs_in(), "a reader logs in once the log is gone")
            self.assertIsNone(board.proc.poll(), "the script serves on")
            board.proc.send_signal(signal.SIGTERM)
            self.assertEqual(board.proc.wait(30), 0)
            self.assertEqual(board.wait_no_processes(5), [])


@unittest.skipIf(can_serve(), can_serve())
class RefusedSettings(unittest.TestCase):
    """Starts the script must refuse, with the reason; none starts a server."""

    @classmethod
    def setUpClass(cls):
        cls.board = Board(serve=False)

    @classmethod
    def tearDownClass(cls):
        cls.board.close()

    def folder(self, *parts, owner=0, mode=0o755, group=None):
        path = os.path.join(self.board.base, *parts)
        os.makedirs(path, exist_ok=True)
        os.chown(path, owner, group if group is not None else 0)
        os.chmod(path, mode)
        return path

    def program_in(self, folder, owner=0):
        exe = os.path.join(folder, "quixmag")
        shutil.copy2(self.board.exe, exe)
        os.chown(exe, owner, 0)
        return exe

    def assert_refused(self, *reasons, server_dir=None, **env):
        run = self.board.run_script(server_dir=server_dir, **env)
        self.assertEqual(run.returncode, 1, run.stderr)
        for reason in reasons:
            self.assertIn(reason, run.stderr)
        return run

    def test_root_is_refused_as_the_reading_account(self):
        self.assert_refused("readers would log in as root", QUIXMAG_SSH_USER="root")

    def test_a_program_the_reading_account_could_change_is_refused(self):
        b = self.board
        reader = b.uid
        nogroup = pwd.getpwnam(b.user).pw_gid
        owned_exe = self.program_in(self.folder("p1"), owner=reader)
        self.assert_refused("QUIXMAG_BIN", f"belongs to '{b.user}'", QUIXMAG_BIN=owned_exe)
        in_owned_folder = self.program_in(self.folder("p2", owner=reader))
        self.assert_refused("QUIXMAG_BIN", f"{os.path.dirname(in_owned_folder)} belongs to '{b.user}'",
                            QUIXMAG_BIN=in_owned_folder)
        # A folder of root's that the account may write to through its group.
        group_writable = self.program_in(self.folder("p3", mode=0o775, group=nogroup))
        self.assert_refused("QUIXMAG_BIN", f"the reading account '{b.user}' may write to "
                            f"{os.path.dirname(group_writable)}", QUIXMAG_BIN=group_writable)
        # A link to a program elsewhere is judged where the program lies.
        link = os.path.join(self.folder("p4"), "quixmag")
        os.symlink(owned_exe, link)
        self.assert_refused("QUIXMAG_BIN", f"belongs to '{b.user}'", QUIXMAG_BIN=link)

    def test_a_program_below_a_sticky_shared_folder_is_served(self):
        # Like a checkout under /tmp: the account may write to the shared
        # folder, but cannot rename or remove root's folder in it. The start
        # goes past the program and stops at a server folder of the account's.
        shared = self.folder("shared", mode=0o1777)
        exe = self.program_in(self.folder("shared", "checkout"))
        server_dir = self.folder("srv-own", owner=self.board.uid)
        run = self.assert_refused("DIR", server_dir=server_dir, QUIXMAG_BIN=exe)
        self.assertNotIn("QUIXMAG_BIN", run.stderr)
        self.assertTrue(os.path.isdir(shared))

    def test_a_server_folder_the_reading_account_could_change_is_refused(self):
        b = self.board
        other = pwd.getpwnam("nobody").pw_uid
        self.assert_refused("DIR", f"belongs to '{b.user}'",
                            server_dir=self.folder("d1", owner=b.uid))
        self.assert_refused("DIR", f"belongs to '{b.user}'",
                            server_dir=os.path.join(self.folder("d2", owner=b.uid), "srv"))
        self.assert_refused("DIR", "belongs to 'nobody'", server_dir=self.folder("d3", owner=other))
        # A key left in the folder by the account.
        d4 = self.folder("d4")
        with open(os.path.join(d4, "reader_key"), "w"):
            pass
        os.chown(os.path.join(d4, "reader_key"), b.uid, 0)
        self.assert_refused("DIR", "files of another account", "reader_key", server_dir=d4)
        self.assertFalse(os.path.exists(os.path.join(d4, "sshd_config")), "nothing was written")


def _log(board):
    """What the script printed, byte for byte."""
    board.log.flush()
    with open(board.log.name, "rb") as f:
        return f.read()


def _clients_of(board):
    """Pids of the ssh clients that use the board's reader key."""
    out = subprocess.run(["ps", "-eo", "pid=,comm=,args="], capture_output=True, text=True).stdout
    key = os.path.join(board.server_dir, "reader_key")
    return [int(line.split(None, 2)[0]) for line in out.splitlines()
            if line.split(None, 2)[1:2] == ["ssh"] and key in line]


def _kill_quietly(pid):
    try:
        os.kill(pid, signal.SIGKILL)
    except OSError:
        pass


if __name__ == "__main__":
    unittest.main()
