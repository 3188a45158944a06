#!/usr/bin/python3
"""Figures of the real magazine in a pseudo-terminal of 80x25, read back
through a terminal emulator (the end-to-end tests' harness):

  key latency   Down in the main menu: time from writing the key to the pty
                until the burst that moves the bar arrives (the program
                writes each update with one write(), so that burst starts
                with the answer's first byte). Keys come at random moments
                of the bar's animation.
  scroll bytes  Down in the editorial's text viewer: bytes the terminal
                receives for a scroll by one line.
  twins, MB/s   from bench_term_renderer of the same build folder: the
                ASCII twins' bytes against their minimum, and the ANSI
                renderer's throughput over all shipped screens, pauses off.

    bench/bench_magazine.py [--before BUILD_DIR] [--after BUILD_DIR] [--keys N]

Each build folder must hold quixmag and bench_term_renderer. With --before,
both builds are measured one after the other and shown side by side. The
machine's load is printed with the figures. It prints and never fails on a
number.
"""

import argparse
import os
import pty
import random
import re
import select
import signal
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from harness import Terminal  # noqa: E402

MAIN_ENTRY = "e d i t o r i a l"


def white_cells(term, row, x0, x1):
    return sum(1 for x in range(x0, x1 + 1) if term.cell(x, row).fg == "ffffff")


def key_latency(exe, presses):
    """Milliseconds from Down to the bar's move, for each press."""
    times = []
    with Terminal(argv=[exe, "--silent"]) as t:
        x, y = t.wait_for_text(MAIN_ENTRY, timeout=30)
        t.settle(0.3)
        x0, x1 = x - 2, x + len(MAIN_ENTRY) + 2
        for i in range(presses):
            # Varied moments: anywhere in the 60 ms animation step and beyond.
            t.idle(random.uniform(0.07, 0.25))
            target = y + 1
            before = white_cells(t, target, x0, x1)
            sent = time.monotonic()
            t.send(b"\x1b[B")
            arrived = None
            while time.monotonic() - sent < 2:
                ready, _, _ = select.select([t.master], [], [], 0.5)
                if not ready:
                    continue
                now = time.monotonic()
                data = os.read(t.master, 65536)
                t.output += data
                t.stream.feed(data)
                if white_cells(t, target, x0, x1) >= before + 4:
                    arrived = now
                    break
            if arrived is None:
                raise AssertionError("the bar did not move\n" + t.dump())
            times.append((arrived - sent) * 1000)
            t.idle(0.1)
            t.send(b"\x1b[A")  # back, for the next press
            t.settle(0.15)
    return times


def echo_latency(presses):
    """Milliseconds for `cat` in a raw pseudo-terminal to echo a byte: what
    the machine itself takes to wake a program for a key and carry its answer
    back, the floor under the magazine's key latency."""
    times = []
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp("sh", ["sh", "-c", "stty raw -echo; exec cat"])
    try:
        time.sleep(0.3)
        while select.select([fd], [], [], 0.1)[0]:
            os.read(fd, 65536)
        for _ in range(presses):
            time.sleep(random.uniform(0.07, 0.25))
            sent = time.monotonic()
            os.write(fd, b"x")
            if not select.select([fd], [], [], 2)[0]:
                continue
            times.append((time.monotonic() - sent) * 1000)
            os.read(fd, 100)
    finally:
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
    return times


def scroll_bytes(exe, presses):
    """Bytes the terminal receives for each one-line scroll in the editorial."""
    sizes = []
    with Terminal(argv=[exe, "--silent"]) as t:
        t.wait_for_text(MAIN_ENTRY, timeout=30)
        t.settle(0.3)
        t.send(b"\x1b[H\r")  # Home, Enter: the editorial
        t.settle(0.5, timeout=30)
        for _ in range(presses):
            t.output.clear()
            t.send(b"\x1b[B")
            t.settle(0.15)
            sizes.append(len(t.output))
    return sizes


def renderer_figures(build):
    """Figures of bench_term_renderer --shipped, or None when it is not
    there: (worst twin against the minimum, its name, worst twin against
    the floor with cursor moves, its name, MB/s wall, MB/s of CPU time)."""
    exe = os.path.join(build, "bench_term_renderer")
    if not os.path.exists(exe):
        return None
    out = subprocess.run([exe, "0.3", "--shipped"], capture_output=True, text=True, timeout=900).stdout
    worst, name, worst_floor, name_floor, wall, cpu = 0.0, "", 0.0, "-", None, None
    # Earlier builds print no total: their throughput is worked out from
    # the files' rows (bytes, MB/s), weighted by size.
    drawn, seconds = 0.0, 0.0
    for line in out.splitlines():
        cols = line.split()
        if not cols:
            continue
        if len(cols) >= 11 and cols[1].isdigit() and cols[0] != "all":
            drawn += float(cols[1])
            seconds += float(cols[1]) / float(cols[2])
        if cols[0].lower().endswith("_asc") and len(cols) >= 11:
            if float(cols[10]) > worst:
                worst, name = float(cols[10]), cols[0]
            if len(cols) >= 13 and float(cols[12]) > worst_floor:
                worst_floor, name_floor = float(cols[12]), cols[0]
        m = re.match(r"all shipped: ([\d.]+) MB/s of wall time, ([\d.]+) MB/s", line)
        if m:
            wall, cpu = float(m.group(1)), float(m.group(2))
    if wall is None and seconds > 0:
        wall = drawn / seconds
    return worst, name, worst_floor, name_floor, wall, cpu


def load():
    return open("/proc/loadavg").read().split()[0]


def summary(values):
    return statistics.median(values), min(values), max(values)


def measure(build, presses):
    exe = os.path.join(build, "quixmag")
    print(f"[{build}] load {load()}", flush=True)
    lat = key_latency(exe, presses)
    scroll = scroll_bytes(exe, 10)
    rend = renderer_figures(build)
    print(f"[{build}] done, load {load()}", flush=True)
    return lat, scroll, rend


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--before", help="build folder of the earlier program")
    ap.add_argument("--after", default=os.path.join(HERE, "..", "build"), help="build folder (default build/)")
    ap.add_argument("--keys", type=int, default=40, help="Down presses for the latency (default 40)")
    args = ap.parse_args()
    random.seed(13)
    builds = ([("before", args.before)] if args.before else []) + [("after", args.after)]
    results = [(label, measure(os.path.abspath(b), args.keys)) for label, b in builds]

    print()
    print(f"{'figure':44}" + "".join(f"{label:>22}" for label, _ in results))

    def row(name, cells):
        print(f"{name:44}" + "".join(f"{c:>22}" for c in cells))

    row("Down in the main menu, median ms", [f"{summary(r[0])[0]:.2f}" for _, r in results])
    row("  min / max ms", [f"{summary(r[0])[1]:.2f} / {summary(r[0])[2]:.2f}" for _, r in results])
    echo = echo_latency(args.keys)
    print(f"{'  floor: cat echoing a key, median (min / max)':44}{summary(echo)[0]:>22.2f}"
          f"   ({summary(echo)[1]:.2f} / {summary(echo)[2]:.2f} ms)")
    row("one-line scroll in the viewer, median bytes", [f"{summary(r[1])[0]:.0f}" for _, r in results])
    row("  min / max bytes", [f"{summary(r[1])[1]} / {summary(r[1])[2]}" for _, r in results])
    row("worst ASCII twin, x minimum", [f"{r[2][0]:.2f} {r[2][1]}" if r[2] else "-" for _, r in results])
    row("worst ASCII twin, x floor (with moves)",
        [f"{r[2][2]:.2f} {r[2][3]}" if r[2] and r[2][2] else "-" for _, r in results])
    row("renderer, all shipped, MB/s (wall)", [f"{r[2][4]:.1f}" if r[2] and r[2][4] else "-" for _, r in results])
    row("renderer, all shipped, MB/s (CPU time)", [f"{r[2][5]:.1f}" if r[2] and r[2][5] else "-" for _, r in results])
    print(f"(load now {load()}; {args.keys} key presses, 10 scrolls per build)")


if __name__ == "__main__":
    main()
