"""Many readers at once over SSH on 127.0.0.1: each connects with `ssh -tt`
in a tmux pane of its own, walks into the articles, reads one, turns a page,
goes back and leaves. Every reader must get through and leave with status 0,
with no process and no file left behind. Prints the time to the main menu
(alone and under the load), and the memory and CPU each reader costs.

QUIXMAG_SSH_READERS sets the number of readers (default 30)."""

import os
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
    out = subprocess.run(["ps", "-eo", "pid=,ppid=,uid="], capture_output=True, text=True).stdout
    pids = []
    for line in out.splitlines():
        pid, ppid, uid = (int(v) for v in line.split())
        if uid == board.uid or ppid == board.proc.pid:
            pids.append(pid)
    return pids


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
        readers = [panes.open(f"r{i}", board.ssh_command()) for i in range(READERS)]
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
