#!/usr/bin/python3
"""Figures of a magazine of many issues: the sample issue made into
magazines of 1 and of 12 issues (tests/magazine/make_magazine.py), each
packed by the magazine as an editor packs it, then read in a pseudo-terminal
through the end-to-end tests' harness:

  pack          seconds to check and write the editions (Linux, and Windows
                and web where this build has their runners)
  resident      the Linux edition's resident size (VmRSS, and the largest it
                reached, VmHWM) once its main menu is up, and again after the
                reader switched issue twice: only the open issue is read
                whole, so 12 issues should hold about what 1 holds
  switch        seconds from Enter on another issue in the back issues (B)
                to that issue's logo on the screen, which the magazine then
                holds for its second before the main menu

    bench/bench_issues.py [--build BUILD_DIR] [--issues N] [--switches N]

BUILD_DIR holds quixmag and its checker (default: build). The machine's load
is printed with the figures. It prints and never fails on a number.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from harness import Terminal  # noqa: E402

MAKE = os.path.join(HERE, "..", "tests", "magazine", "make_magazine.py")
SAMPLE = os.path.join(HERE, "..", "tests", "sample-issue")


def kilobytes(pid, field):
    with open(f"/proc/{pid}/status", encoding="ascii") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def pack(exe, folder, out):
    runners = os.path.join(os.path.dirname(exe), "runners")
    flags = ["--linux"]
    if os.path.isfile(os.path.join(runners, "quixmag.exe")):
        flags.append("--windows")
    if os.path.isfile(os.path.join(runners, "web", "index.html")):
        flags.append("--web")
    started = time.monotonic()
    done = subprocess.run([exe, "--pack", folder, out, *flags], capture_output=True, text=True, timeout=300)
    took = time.monotonic() - started
    if done.returncode != 0:
        raise SystemExit(done.stdout + done.stderr)
    return took, flags


def resident_and_switches(edition, issues, switches):
    """The edition's resident size at its main menu, after the switches,
    and the seconds each switch took to its logo."""
    times = []
    with Terminal(argv=[edition, "--silent"]) as t:
        t.wait_for_text("e d i t o r i a l", timeout=30)
        t.settle(0.5)
        at_menu = kilobytes(t.proc.pid, "VmRSS")
        for i in range(switches if issues > 1 else 0):
            t.send("b")
            t.wait_for_text("b a c k   i s s u e s")
            t.settle(0.2)
            # The issues alternate between the oldest and the newest but one.
            down = issues - 1 if i % 2 == 0 else 1
            t.key("home", *["down"] * down)  # from the newest
            t.settle(0.2)
            number = issues - down
            sent = time.monotonic()
            t.key("enter")
            t.wait_for_text(f"the logo of issue #{number}", timeout=30)
            times.append(time.monotonic() - sent)
            t.wait_for_text("e d i t o r i a l", timeout=30)
            t.settle(0.3)
        after = kilobytes(t.proc.pid, "VmRSS")
        peak = kilobytes(t.proc.pid, "VmHWM")
        t.send("x")
        t.wait_exit()
    return at_menu, after, peak, times


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--issues", type=int, default=12)
    parser.add_argument("--switches", type=int, default=6)
    args = parser.parse_args()
    exe = os.path.abspath(os.path.join(args.build, "quixmag"))
    tmp = tempfile.mkdtemp(prefix="bench-issues-")
    try:
        print(f"load average: {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores")
        rows = []
        for issues in (1, args.issues):
            folder = os.path.join(tmp, f"mag{issues}")
            if issues == 1:
                shutil.copytree(SAMPLE, folder)
            else:
                subprocess.run([sys.executable, MAKE, folder, "--issues", str(issues)], check=True)
            took, flags = pack(exe, folder, os.path.join(tmp, f"edition{issues}"))
            edition = os.path.join(tmp, f"edition{issues}")
            at_menu, after, peak, times = resident_and_switches(edition, issues, args.switches)
            rows.append((issues, took, flags, os.path.getsize(edition), at_menu, after, peak, times))
        print(f"{'issues':>6} {'pack s':>7} {'editions':<24} {'edition KB':>10} {'RSS menu':>9} {'RSS after':>9} "
              f"{'peak':>7} {'switch s (median, max)':>24}")
        for issues, took, flags, size, at_menu, after, peak, times in rows:
            switch = f"{statistics.median(times):.3f}, {max(times):.3f}" if times else "-"
            print(f"{issues:>6} {took:>7.2f} {' '.join(flags):<24} {size // 1024:>10} {at_menu:>9} {after:>9} "
                  f"{peak:>7} {switch:>24}")
        one, many = rows[0], rows[-1]
        print(f"resident with {many[0]} issues / with 1: {many[5] / one[5]:.2f} (after the switches), "
              f"{many[4] / one[4]:.2f} (at the first main menu)")
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
