"""Many readers at once over SSH on 127.0.0.1: each connects with `ssh -tt`
in a tmux pane of its own (three from each of ten loopback addresses), walks
into the articles, reads one, turns a page, goes back and leaves. Every
reader must get through and leave with status 0, with no process and no file
left behind. Prints the time to the main menu (alone and under the load),
and the memory and CPU each reader costs.

And one address holding 110 unfinished logins: readers from another address
must still get in every time. Prints how they fare with the per-source
limits off and on.

QUIXMAG_SSH_READERS sets the number of readers (default 30)."""

import errno
import os
import socket
import statistics
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sshboard import Board, Panes, can_serve  # noqa: E402

READERS = int(os.environ.get("QUIXMAG_SSH_READERS", "30"))
MAIN_ENTRY = "a r t i c l e s"
SECTION_ENTRY = "[ b a c k ]"
ARTICLE_TEXT = "SCENE NEWS"  # the first line of the first article, content/news.txt
TIME_LIMIT = 110  # seconds for the whole walk of all readers
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
FLOOD = 110        # unfinished logins held by one address
FLOOD_SOURCE = "127.0.0.3"
LOGINS = 5         # real logins tried meanwhile from another address
LOGIN_SOURCE = "127.0.0.2"
PER_SOURCE_DEFAULT = 10  # the script's PerSourceMaxStartups


def in_main_menu(screen):
    return MAIN_ENTRY in screen and SECTION_ENTRY not in screen


# The walk: (what the screen must show, keys to press then).
WALK = [
    (in_main_menu, ["Home", "Down", "Enter"]),
    (lambda s: SECTION_ENTRY in s, ["Enter"]),
    (lambda s: ARTICLE_TEXT in s, ["PageDown"]),
    (lambda s: ARTICLE_TEXT not in s, ["Escape"]),
    (lambda s: SECTION_ENTRY in s, ["End", "Enter"]),
    (in_main_menu, ["x"]),
]


class Usage:
    """Peak memory and CPU time of every process, sampled from /proc."""

    def __init__(self):
        self.peak_rss = {}   # pid -> kB
        self.peak_pss = {}
        self.cpu = {}        # pid -> seconds (last seen)
        self.name = {}

    def sample(self, pids):
        for pid in pids:
            try:
                with open(f"/proc/{pid}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                with open(f"/proc/{pid}/smaps_rollup") as f:
                    rollup = {line.split(":")[0]: int(line.split()[1]) for line in f if line.split()[-1] == "kB"}
                with open(f"/proc/{pid}/comm") as f:
                    self.name[pid] = f.read().strip()
            except (OSError, ValueError, IndexError):
                continue
            self.cpu[pid] = (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
            self.peak_rss[pid] = max(self.peak_rss.get(pid, 0), rollup.get("Rss", 0))
            self.peak_pss[pid] = max(self.peak_pss.get(pid, 0), rollup.get("Pss", 0))

    def summary(self, name):
        pids = [p for p, n in self.name.items() if n == name]
        if not pids:
            return f"{name}: not seen"
        rss = [self.peak_rss[p] / 1024 for p in pids]
        pss = [self.peak_pss[p] / 1024 for p in pids]
        cpu = [self.cpu[p] for p in pids]
        return (f"{name} ({len(pids)} processes): peak RSS mean {statistics.mean(rss):.1f} MB max {max(rss):.1f} MB, "
                f"peak PSS mean {statistics.mean(pss):.1f} MB, CPU mean {statistics.mean(cpu):.2f} s "
                f"max {max(cpu):.2f} s")


def session_pids(board):
    """The reading account's processes and the server's per-connection ones."""
    listener = board.listener()
    out = subprocess.run(["ps", "-eo", "pid=,ppid=,uid="], capture_output=True, text=True).stdout
    pids = []
    for line in out.splitlines():
        pid, ppid, uid = (int(v) for v in line.split())
        if uid == board.uid or ppid == listener:
            pids.append(pid)
    return pids


class Flood:
    """Count TCP connections to Port from Source that never log in: each
    only waits, as a client that sends nothing. Those the server closes are
    opened again by top_up()."""

    def __init__(self, port, source, count):
        self.port, self.source = port, source
        self.conns = {}  # socket -> bytes the server sent
        for _ in range(count):
            self.open_one()

    def open_one(self):
        s = socket.socket()
        s.bind((self.source, 0))
        s.settimeout(5)
        s.connect(("127.0.0.1", self.port))
        s.setblocking(False)
        self.conns[s] = b""

    def closed_by_server(self, s):
        try:
            while True:
                data = s.recv(4096)
                if not data:
                    return True
                self.conns[s] += data
        except BlockingIOError:
            return b"Exceeded MaxStartups" in self.conns[s]
        except OSError as e:
            return e.errno in (errno.ECONNRESET, errno.EPIPE)

    def top_up(self):
        """Opens a new connection for each one the server closed; answers
        how many it had closed."""
        closed = [s for s in self.conns if self.closed_by_server(s)]
        for s in closed:
            s.close()
            del self.conns[s]
            self.open_one()
        return len(closed)

    def held(self):
        """Connections the server keeps open."""
        return sum(not self.closed_by_server(s) for s in self.conns)

    def close(self):
        for s in self.conns:
            s.close()


@unittest.skipIf(can_serve(), can_serve())
class ManyReaders(unittest.TestCase):
    def test_readers_at_once_all_read_and_leave(self):
        board = Board()
        self.addCleanup(board.close)
        panes = Panes()
        self.addCleanup(panes.close)

        alone = self.time_to_main_menu_alone(board, panes)

        usage = Usage()
        started = time.monotonic()
        readers = [panes.open(f"r{i}", board.ssh_command(source=f"127.0.0.{2 + i % 10}")) for i in range(READERS)]
        step = {r: 0 for r in readers}
        reached_menu = {}
        last_sample = 0.0
        while any(s < len(WALK) for s in step.values()):
            now = time.monotonic()
            if now - started > TIME_LIMIT:
                stuck = {r: s for r, s in step.items() if s < len(WALK)}
                self.fail(f"readers stuck after {TIME_LIMIT} s (pane: step) {stuck}\n"
                          + panes.screen_or_status(next(iter(stuck))))
            if now - last_sample > 0.25:
                usage.sample(session_pids(board))
                last_sample = now
            for r in readers:
                if step[r] >= len(WALK):
                    continue
                shows, keys = WALK[step[r]]
                if not shows(panes.screen_or_status(r)):
                    continue
                if step[r] == 0:
                    reached_menu[r] = time.monotonic() - started
                panes.keys(r, *keys)
                step[r] += 1
            time.sleep(0.05)

        statuses = [panes.status(r, timeout=30) for r in readers]
        walked = time.monotonic() - started
        left = board.wait_no_processes()

        times = sorted(reached_menu.values())
        print(f"\n{READERS} readers over ssh on 127.0.0.1, {os.cpu_count()} cores:"
              f"\n  time to the main menu alone: {alone:.2f} s"
              f"\n  under load: first {times[0]:.2f} s, median {statistics.median(times):.2f} s, "
              f"last {times[-1]:.2f} s"
              f"\n  whole walk of all readers: {walked:.1f} s"
              f"\n  {usage.summary('quixmag')}"
              f"\n  {usage.summary('sshd')} (the reader's session and the server's monitor, two per reader)",
              file=sys.stderr)

        self.assertEqual(statuses, [0] * READERS, "every reader left with status 0")
        self.assertEqual(left, [], "no process of the reading account is left")
        self.assertEqual(board.new_files(), [], "no file was written or left anywhere")

    def test_one_address_holding_unfinished_logins_does_not_lock_out_the_others(self):
        fared = {}
        for limits in ("off", "on"):
            env = {"PER_SOURCE_MAX_STARTUPS": "none"} if limits == "off" else {}
            with Board(env=env) as board:
                flood = Flood(board.port, FLOOD_SOURCE, FLOOD)
                try:
                    time.sleep(1)  # the server has taken them all in
                    got_in, reopened, took = 0, 0, []
                    for _ in range(LOGINS):
                        reopened += flood.top_up()
                        started = time.monotonic()
                        login = subprocess.run(board.ssh_command("-o", "ConnectTimeout=10", tty=False,
                                                                 source=LOGIN_SOURCE),
                                               stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
                        took.append(time.monotonic() - started)
                        # The magazine ran and ended at the end of its input.
                        got_in += login.returncode == 0 and b"\x1b[" in login.stdout
                    held = flood.held()
                finally:
                    flood.close()
                fared[limits] = (got_in, held, reopened, statistics.mean(took))
        print(f"\n{FLOOD} unfinished logins held from {FLOOD_SOURCE}, {LOGINS} real logins from {LOGIN_SOURCE}:",
              file=sys.stderr)
        for limits, (got_in, held, reopened, took) in fared.items():
            print(f"  per-source limits {limits}: {got_in} of {LOGINS} got in (mean {took:.2f} s each); "
                  f"the server held {held} of the {FLOOD} connections and had closed {reopened} "
                  f"between logins", file=sys.stderr)
        got_in, held, _, _ = fared["on"]
        self.assertEqual(got_in, LOGINS, "every real login from the other address got in")
        self.assertLessEqual(held, PER_SOURCE_DEFAULT, "the server keeps only its per-source share")

    def time_to_main_menu_alone(self, board, panes):
        start = time.monotonic()
        pane = panes.open("alone", board.ssh_command())
        panes.wait_for(pane, MAIN_ENTRY, timeout=30)
        alone = time.monotonic() - start
        panes.keys(pane, "x")
        self.assertEqual(panes.status(pane), 0)
        return alone


if __name__ == "__main__":
    unittest.main()
