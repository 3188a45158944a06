"""The web edition over a slow line: the site served gzipped (tests/web/
browser.py's Site with gzip) to a Chromium whose network the DevTools
protocol holds to 1.6 Mbit/s down with 150 ms latency, its cache off, so
that every load fetches the whole site as a first visit does."""
import gzip
import os
import time

from browser import Failure

DOWN_BITS = 1.6e6
UP_BITS = 0.75e6
LATENCY_MS = 150


# The page's service worker (web/offline.js) would keep the site after the
# first visit; its own fetches are not held to the page's line, so a
# measure of the first visit leaves it out.
NO_SERVICE_WORKER = "delete Navigator.prototype.serviceWorker;"


def slow_line(b):
    b.call("Page.addScriptToEvaluateOnNewDocument", source=NO_SERVICE_WORKER)
    b.call("Network.enable")
    b.call("Network.setCacheDisabled", cacheDisabled=True)
    b.call("Network.emulateNetworkConditions", offline=False, latency=LATENCY_MS,
           downloadThroughput=DOWN_BITS / 8, uploadThroughput=UP_BITS / 8)


def site_gzip_bytes(folder):
    """What the whole site costs to fetch gzipped: each file's FILE.gz where
    the site carries one, else the file packed with gzip -9; by file."""
    sizes = {}
    for top, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(top, name)
            if name.endswith(".gz") and os.path.isfile(path[:-3]):
                continue
            if os.path.isfile(path + ".gz"):
                size = os.path.getsize(path + ".gz")
            else:
                with open(path, "rb") as f:
                    size = len(gzip.compress(f.read(), 9))
            sizes[os.path.relpath(path, folder)] = size
    return sizes


def first_cell(b, timeout=60):
    """Milliseconds from the navigation to the first cell the page painted."""
    def painted():
        try:
            t = b.evaluate("window.quixmagFigures ? quixmagFigures().firstCell : -1")
        except Failure:
            return None
        return t if t is not None and t >= 0 else None
    return b.wait_for("the first painted cell", painted, timeout)


def until_heard(b, timeout=60, level=0.01):
    """Seconds until the page's output is louder than Level; fails after Timeout."""
    started = time.monotonic()
    b.wait_for("the first track to be heard",
               lambda: (b.evaluate("window.quixmagAudioLevel ? quixmagAudioLevel() : -1") or 0) > level, timeout)
    return time.monotonic() - started


def note(b):
    return b.evaluate("document.getElementById('note').textContent")
