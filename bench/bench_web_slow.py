#!/usr/bin/env python3
"""The web edition over a slow line: headless Chromium held by the DevTools
protocol to 1.6 Mbit/s down and 150 ms latency, the site served gzipped by
tests/web/browser.py's server, the browser's cache off (every load is a
first visit; the service worker is left out, its fetches not being held to
the line). Prints, never fails on a number:

- the whole site's gzipped bytes, by file;
- per load: the time from navigation to the logo's first painted cell, and
  from then (a key pressed at once) until the first track is heard
  (quixmagAudioLevel() > 0), with the player's and the module's arrival;
- the first cell with ?silent.

    bench/bench_web_slow.py [SITE]        (default: build-web/site)
"""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import Browser, Failure, Site  # noqa: E402
from slow_line import DOWN_BITS, LATENCY_MS, first_cell, site_gzip_bytes, slow_line, until_heard  # noqa: E402

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
SITE = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build-web", "site")
LOADS = 3


def arrivals(b):
    ends = b.evaluate("Object.fromEntries(performance.getEntriesByType('resource')"
                      ".map((e) => [new URL(e.name).pathname, Math.round(e.responseEnd)]))")
    return {path: t for path, t in ends.items() if path.endswith(".wasm") or path.startswith("/tracks/")}


def load(site, query, music):
    b = Browser(sound=True)
    try:
        slow_line(b)
        b.navigate(site.url("index.html" + query))
        cell = first_cell(b, 120)
        if not music:
            return cell, None, {}
        b.key("ArrowDown", vk=40)
        pressed = time.monotonic()
        try:
            until_heard(b, 120)
            heard = (time.monotonic() - pressed) * 1000
        except Failure:
            heard = None
        return cell, heard, arrivals(b)
    finally:
        b.close()


def main():
    sizes = site_gzip_bytes(SITE)
    print(f"site {SITE}, gzipped as served:")
    for name in sorted(sizes):
        print(f"  {name:24} {sizes[name]:>9,}")
    print(f"  {'whole site':24} {sum(sizes.values()):>9,}")
    print(f"line: {DOWN_BITS / 1e6:g} Mbit/s down, {LATENCY_MS} ms latency")

    site = Site(SITE, gzip=True)
    try:
        cells, heards = [], []
        for n in range(LOADS):
            cell, heard, came = load(site, "", True)
            cells.append(cell)
            if heard is not None:
                heards.append(heard)
            said = f"{heard:7.0f} ms after the key" if heard is not None else "  not heard in 120 s"
            print(f"  load {n + 1}: first cell {cell:6.0f} ms, first track heard {said}; arrived (ms): {came}")
        print(f"first cell: median {statistics.median(cells):.0f} ms, worst {max(cells):.0f} ms")
        if heards:
            print(f"first track heard after the key: median {statistics.median(heards):.0f} ms, "
                  f"worst {max(heards):.0f} ms ({len(heards)} of {LOADS} loads)")
        silent = [load(site, "?silent", False)[0] for _ in range(2)]
        print(f"first cell with ?silent: {', '.join(f'{c:.0f} ms' for c in silent)}")
    finally:
        site.close()


if __name__ == "__main__":
    main()
