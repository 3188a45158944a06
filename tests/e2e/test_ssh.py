"""The magazine served over SSH by tools/serve-ssh.sh on 127.0.0.1, read with
`ssh -tt` in an 80x25 tmux pane: a reader reads an article, cannot save it,
leaves with status 0 and leaves no file behind; and a reader who tries to
get anything else (a shell, a command, a forwarded port, a copied file, job
control keys, a dropped connection) gets nothing."""

import os
import signal
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sshboard import Board, Panes, can_serve  # noqa: E402

MAIN_ENTRY = "a r t i c l e s"
SECTION_ENTRY = "[ b a c k ]"
NOTICE = "saving is off on this board"
ARTICLE_TEXT = "SCENE NEWS"  # the first line of the first article, content/news.txt
# The longest gap between the halves of a split key that is still one key:
# the magazine's 50 ms wait for the rest of a sequence, less what ssh adds.
ESC_WAIT_BOUND = 0.045


@unittest.skipIf(can_serve(), can_serve())
class ServedOverSsh(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.board = Board()

    @classmethod
    def tearDownClass(cls):
        cls.board.close()

    def setUp(self):
        self.board.mark()  # each test answers for its own files
        self.panes = Panes()
        # Cleanups run last first: every pane is hung up, then the check runs.
        self.addCleanup(self.assert_nothing_left)
        self.addCleanup(self.panes.close)

    def assert_nothing_left(self):
        left = self.board.wait_no_processes()
        self.assertEqual(left, [], "every process of the reading account ended")
        self.assertEqual(self.board.new_files(), [], "no file was written or left anywhere")

    def reader(self, name="reader", *extra):
        pane = self.panes.open(name, self.board.ssh_command(*extra))
        self.panes.wait_for(pane, MAIN_ENTRY, timeout=30)
        return pane

    def test_reader_reads_an_article_cannot_save_and_leaves(self):
        p = self.panes
        pane = self.reader()
        p.keys(pane, "Home", "Down", "Enter")
        p.wait_for(pane, SECTION_ENTRY)
        p.keys(pane, "Enter")
        p.wait_for(pane, ARTICLE_TEXT)
        while_reading = self.board.new_files()

        p.keys(pane, "C-s")
        p.wait_for(pane, NOTICE)
        self.assertNotIn("Enter Filename:", p.screen(pane), "no save dialog")
        p.keys(pane, "y")  # closes the notice
        p.wait_for_gone(pane, NOTICE)
        p.keys(pane, "PageDown")
        p.wait_for_gone(pane, ARTICLE_TEXT)  # the viewer still answers

        p.keys(pane, "Escape")
        p.wait_for(pane, SECTION_ENTRY)
        p.keys(pane, "End", "Enter")
        p.wait_for(pane, MAIN_ENTRY)
        p.keys(pane, "x")
        self.assertEqual(p.status(pane), 0)
        self.assertNotIn("sound", " ".join(while_reading), "no sound library was written")

    def test_a_command_given_by_the_reader_is_not_run(self):
        marker = os.path.join("/tmp", f"quixmag-escape-{os.getpid()}")
        self.addCleanup(lambda: os.path.exists(marker) and os.remove(marker))
        attempt = ["/bin/sh", "-c", f"'id; touch {marker}'"]
        # With a terminal the magazine comes up instead of the command.
        pane = self.panes.open("cmd", self.board.ssh_command() + attempt)
        self.panes.wait_for(pane, MAIN_ENTRY, timeout=30)
        self.panes.keys(pane, "x")
        self.assertEqual(self.panes.status(pane), 0)
        # Without one: no shell output, and the magazine ends at the end of input.
        run = subprocess.run(self.board.ssh_command(tty=False) + attempt, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=30)
        self.assertNotIn(b"uid=", run.stdout)
        self.assertFalse(os.path.exists(marker))
        # A subsystem request (sftp, scp) meets the magazine too: nothing is copied.
        for copy in (["scp"], ["scp", "-O"]):
            with self.subTest(copy=copy):
                argv = [*copy, "-F", "/dev/null", "-i", os.path.join(self.board.server_dir, "reader_key"),
                        "-o", "UserKnownHostsFile=" + os.path.join(self.board.server_dir, "known_hosts"),
                        "-o", "BatchMode=yes", "-P", str(self.board.port), "/etc/hostname",
                        f"{self.board.user}@127.0.0.1:{marker}"]
                copied = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
                self.assertNotEqual(copied.returncode, 0)
                self.assertFalse(os.path.exists(marker))

    def test_no_port_is_forwarded(self):
        # A target the reader would like to reach through the server.
        target = socket.socket()
        self.addCleanup(target.close)
        target.bind(("127.0.0.1", 0))
        target.listen(1)
        target.settimeout(2)
        target_port = target.getsockname()[1]
        local_port = _free_port()
        local = subprocess.Popen(self.board.ssh_command("-N", "-L", f"{local_port}:127.0.0.1:{target_port}"),
                                 stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            _wait_listening(local_port)
            with socket.create_connection(("127.0.0.1", local_port), timeout=5) as s:
                s.settimeout(5)
                self.assertEqual(s.recv(1), b"", "the server closed the forwarded channel")
            with self.assertRaises(socket.timeout, msg="nothing reached the target"):
                target.accept()
        finally:
            local.terminate()
            _, err = local.communicate(timeout=10)
        self.assertIn(b"administratively prohibited", err)

        remote = subprocess.run(self.board.ssh_command("-N", "-o", "ExitOnForwardFailure=yes",
                                                       "-R", f"{_free_port()}:127.0.0.1:{target_port}"),
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        self.assertNotEqual(remote.returncode, 0)
        self.assertIn(b"forwarding failed", remote.stderr)

    def test_job_control_and_interrupt_keys_reach_no_shell(self):
        p = self.panes
        pane = self.reader()
        for key in ("C-z", "C-c", "C-\\", "C-d"):
            p.keys(pane, key)
        time.sleep(0.5)
        names = sorted(name for _, name in self.board.processes())
        self.assertEqual(names, ["quixmag", "sshd"], "the magazine runs alone, no shell in between")
        self.assertIn(MAIN_ENTRY, p.screen(pane))
        p.keys(pane, "Down", "Enter")  # the menu still answers
        p.wait_for(pane, SECTION_ENTRY)
        p.keys(pane, "End", "Enter")
        p.wait_for(pane, MAIN_ENTRY)
        p.keys(pane, "x")
        self.assertEqual(p.status(pane), 0)

    def test_connection_closed_mid_drawing_ends_the_session(self):
        pane = self.panes.open("drop", self.board.ssh_command())
        self.panes.wait_for(pane, "\u2588")  # the logo has begun
        client = _clients_of(self.board)
        self.assertTrue(client, "the ssh client runs")
        for pid in client:
            os.kill(pid, signal.SIGKILL)
        left = self.board.wait_no_processes()
        self.assertEqual(left, [], "the magazine ended with the connection")

    def test_a_utf8_client_sees_block_characters_with_or_without_lang(self):
        # A client that sends no LANG (as PuTTY does) leaves the encoding to
        # the terminal itself: the magazine asks it, and this UTF-8 terminal
        # says so. (An 8-bit terminal's answer is tried in test_terminals.)
        p = self.panes
        utf8 = self.reader("utf8")
        self.assertIn("\u2588", p.screen(utf8), "a UTF-8 client sees the PC block characters")
        bare = p.open("bare", self.board.ssh_command(), env={"LANG": None})
        p.wait_for(bare, MAIN_ENTRY, timeout=30)
        self.assertIn("\u2588", p.screen(bare), "a client that sends no LANG is asked, and gets UTF-8")
        for pane in (utf8, bare):
            p.keys(pane, "x")
            self.assertEqual(p.status(pane), 0)

    def split_down_then_enter(self, first, rest, gap):
        """Presses Down in two packets Gap seconds apart, then Enter: the second
        entry (articles) must open. Were the ESC taken alone, the main menu
        would take it as Esc and the magazine would end.

        The magazine waits 50 ms for the rest of a sequence; a busy machine
        can hold the second packet back longer than that, and the case is
        then another one (a lone Esc). The gap each try got is measured, from
        the first packet in the terminal to the second, and a try whose gap
        came out too long is made again with a new reader."""
        p = self.panes
        gaps = []
        for attempt in range(1, 6):
            pane = self.reader(f"split{attempt}")
            p.tmux("send-keys", "-t", pane, "-H", *first)
            sent = time.monotonic()
            time.sleep(gap)
            p.tmux("send-keys", "-t", pane, "-H", *rest)
            gaps.append(time.monotonic() - sent)
            if gaps[-1] <= ESC_WAIT_BOUND:
                break
            p.tmux("kill-window", "-t", pane)
        else:
            self.skipTest(f"the machine parted the packets by {', '.join(f'{g * 1000:.0f}' for g in gaps)} ms")
        time.sleep(0.2)
        p.keys(pane, "Enter")
        p.wait_for(pane, SECTION_ENTRY)
        p.keys(pane, "x")
        self.assertEqual(p.status(pane), 0)

    def test_a_key_split_inside_its_sequence_over_a_slow_link(self):
        self.split_down_then_enter(["1b", "5b"], ["42"], 0.02)

    def test_a_key_split_right_after_its_esc_over_a_slow_link(self):
        # A lone ESC is the Esc key after a short wait: the rest comes sooner.
        self.split_down_then_enter(["1b"], ["5b", "42"], 0.01)

    def test_a_terminal_of_80x24_gets_the_clipped_view(self):
        with Panes(80, 24) as small:
            pane = small.open("small", self.board.ssh_command())
            try:
                small.wait_for(pane, MAIN_ENTRY, timeout=20)
                # The notice of the cut-off screen; a first key only hides
                # it (Home, which is harmless should it have gone already).
                small.wait_for(pane, "Screen cut off", timeout=20)
                small.keys(pane, "Home")
                small.wait_for_gone(pane, "Screen cut off")
                small.keys(pane, "Down", "Enter")
                small.wait_for(pane, SECTION_ENTRY)
                small.keys(pane, "x")
                self.assertEqual(small.status(pane), 0)
            finally:
                for pid in _clients_of(self.board):
                    os.kill(pid, signal.SIGTERM)


@unittest.skipIf(can_serve(), can_serve())
class ServerSettings(unittest.TestCase):
    """Settings of the script that need a server of their own."""

    def board(self, **env):
        board = Board(env=env)
        self.addCleanup(board.close)
        panes = Panes()
        self.addCleanup(panes.close)
        return board, panes

    def test_empty_password_lets_the_account_in_only_when_switched_on(self):
        for switched_on in (True, False):
            with self.subTest(switched_on=switched_on):
                board, panes = self.board(QUIXMAG_SSH_EMPTY_PASSWORD="1" if switched_on else "0")
                subprocess.run(["passwd", "-d", board.user], check=True, capture_output=True)
                no_key = [a for a in board.ssh_command() if a not in ("-i", os.path.join(board.server_dir, "reader_key"))]
                pane = panes.open("nokey", no_key[:1] + ["-o", "PubkeyAuthentication=no"] + no_key[1:])
                if switched_on:
                    panes.wait_for(pane, MAIN_ENTRY, timeout=30)
                    panes.keys(pane, "x")
                    self.assertEqual(panes.status(pane), 0)
                else:
                    self.assertEqual(panes.status(pane), 255, "ssh was refused")

    def test_an_idle_reader_is_disconnected(self):
        board, panes = self.board(IDLE_TIMEOUT="3s")
        pane = panes.open("idle", board.ssh_command())
        panes.wait_for(pane, MAIN_ENTRY, timeout=30)
        panes.keys(pane, "Home", "Down", "Enter")
        panes.wait_for(pane, SECTION_ENTRY)
        panes.keys(pane, "Enter")
        panes.wait_for(pane, ARTICLE_TEXT)  # the viewer sends nothing while it waits
        started = time.monotonic()
        self.assertEqual(panes.status(pane, timeout=15), 255, "the server closed the session")
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(board.wait_no_processes(), [], "the magazine ended with the session")
        self.assertEqual(board.new_files(), [], "no working file is left behind")


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _wait_listening(port, timeout=15):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return
        except OSError:
            time.sleep(0.05)
    raise AssertionError(f"nothing listens on {port}")


def _clients_of(board):
    """Pids of the ssh clients that use the board's reader key."""
    out = subprocess.run(["ps", "-eo", "pid=,comm=,args="], capture_output=True, text=True).stdout
    key = os.path.join(board.server_dir, "reader_key")
    found = []
    for line in out.splitlines():
        pid, comm, args = (line.split(None, 2) + [""])[:3]
        if comm == "ssh" and key in args:
            found.append(int(pid))
    return found


if __name__ == "__main__":
    unittest.main()
