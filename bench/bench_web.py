#!/usr/bin/env python3
"""Figures of the web edition in headless Chromium over the loopback
address. Prints, never fails on a number:

- the site's bytes, raw and gzipped, the .wasm files and the rest;
- the time from navigation to the logo's first drawn cell (several loads);
- key to the next frame: a Down or Up in the main menu, from the page's
  keydown to the animation frame that carries the change (median, worst);
- the CPU the page takes while the main menu idles: the page's main-thread
  task time (the browser's own metric) and the CPU of all the browser's
  processes, with music and without.

    bench/bench_web.py [SITE]        (default: build-web/site)
"""
import gzip
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import Browser, Site  # noqa: E402

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
SITE = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build-web", "site")
LOADS = 5
KEYS = 50
IDLE_SECONDS = 10


def site_bytes():
    groups = {"wasm": [0, 0], "rest": [0, 0]}
    print("site bytes (raw / gzip -9):")
    # Every file of the site, those in its folders (the tracks) too.
    names = sorted(os.path.relpath(os.path.join(top, f), SITE) for top, _, files in os.walk(SITE) for f in files)
    for name in names:
        with open(os.path.join(SITE, name), "rb") as f:
            data = f.read()
        packed = len(gzip.compress(data, 9))
        group = groups["wasm" if name.endswith(".wasm") else "rest"]
        group[0] += len(data)
        group[1] += packed
        print(f"  {name:22} {len(data):>9,} {packed:>9,}")
    for name, (raw, packed) in groups.items():
        print(f"  {name + ' total':18} {raw:>9,} {packed:>9,}")
    total = [sum(g[i] for g in groups.values()) for i in range(2)]
    print(f"  {'site':18} {total[0]:>9,} {total[1]:>9,}")


def browser_cpu(b):
    """CPU seconds of the browser and all its child processes."""
    pids, todo = [], [b.process.pid]
    while todo:
        pid = todo.pop()
        pids.append(pid)
        try:
            with open(f"/proc/{pid}/task/{pid}/children") as f:
                todo += [int(p) for p in f.read().split()]
        except OSError:
            pass
    ticks = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            ticks += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return ticks / os.sysconf("SC_CLK_TCK")


def task_seconds(b):
    metrics = b.call("Performance.getMetrics")["metrics"]
    return next(m["value"] for m in metrics if m["name"] == "TaskDuration")


def in_main_menu(b):
    return "e d i t o r i a l" in "\n".join(b.evaluate("quixmagScreen()")["text"])


def first_cells(site):
    times = []
    for _ in range(LOADS):
        b = Browser(sound=False)
        try:
            b.navigate(site.url("index.html?silent"))
            t = b.wait_for("the first cell", lambda: (v := b.evaluate("window.quixmagFigures ? quixmagFigures().firstCell : -1")) >= 0 and v, 20)
            times.append(t)
        finally:
            b.close()
    print(f"navigation to the logo's first cell, ms, {LOADS} loads: median {statistics.median(times):.0f}, "
          f"min {min(times):.0f}, max {max(times):.0f}")


def key_latency_and_idle(site, sound):
    b = Browser(sound=sound)
    try:
        b.navigate(site.url("index.html" + ("" if sound else "?silent")))
        b.wait_for("the main menu", lambda: b.evaluate("!!window.quixmagScreen") and in_main_menu(b), 30)
        time.sleep(1)
        if not sound:
            for i in range(KEYS):
                before = len(b.evaluate("quixmagFigures().latencies"))
                b.key("ArrowDown" if i % 2 == 0 else "ArrowUp", vk=40 if i % 2 == 0 else 38)
                b.wait_for("the frame", lambda: len(b.evaluate("quixmagFigures().latencies")) > before, 5, every=0.01)
                time.sleep(0.05)
            lat = b.evaluate("quixmagFigures().latencies")[-KEYS:]
            print(f"key to the next frame, ms, {len(lat)} keys: median {statistics.median(lat):.1f}, "
                  f"min {min(lat):.1f}, worst {max(lat):.1f}")
        cpu0, task0, t0 = browser_cpu(b), task_seconds(b), time.monotonic()
        time.sleep(IDLE_SECONDS)
        cpu1, task1, t1 = browser_cpu(b), task_seconds(b), time.monotonic()
        wall = t1 - t0
        label = "with music" if sound else "silent"
        print(f"idle main menu, {label}: page main thread {100 * (task1 - task0) / wall:.2f}% of a core, "
              f"all browser processes {100 * (cpu1 - cpu0) / wall:.1f}% of a core")
    finally:
        b.close()


def main():
    print(f"load average: {open('/proc/loadavg').read().split()[0]}")
    site_bytes()
    site = Site(SITE)
    try:
        first_cells(site)
        key_latency_and_idle(site, sound=False)
        key_latency_and_idle(site, sound=True)
    finally:
        site.close()


if __name__ == "__main__":
    main()
