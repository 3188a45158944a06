#!/usr/bin/env python3
"""The web edition of a magazine of many issues, in headless Chromium: a
magazine made from the sample issue (tests/magazine/make_magazine.py), each
issue's logo, article, gallery and music its own, packed with
`quixmag --pack FOLDER OUT/` from the web runner and served from the folder
it was written to.

- the newest issue opens, having fetched the shelf and its own pack only;
- B lists both issues; choosing #1 says under the screen that it is
  loading while its pack comes, then shows #1's logo, its articles, its
  gallery (one piece fewer than #2's) and plays its music;
- an address into an issue not fetched yet opens it there, Back returns to
  the other, and a first visit by such an address fetches that issue in
  the newest's place;
- an issue whose pack does not come is said plainly, and the reader stays;
- the service worker keeps an issue once read, not before: with the server
  stopped the read one opens, the other says it cannot be fetched offline;
- over a slow line (tests/web/slow_line.py), a site of 12 issues draws its
  first cell within 3 s having fetched at most 1.3 times the bytes of a
  site of one issue, which fetches less than 1 MB gzipped before it.

  QUIXMAG        the native magazine
  QUIX_WEB_SITE  the web runner's site (build-web/site)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.error
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from browser import Browser, Failure, Site  # noqa: E402
from slow_line import first_cell, note, slow_line  # noqa: E402

QUIXMAG = os.environ["QUIXMAG"]
RUNNER = os.environ["QUIX_WEB_SITE"]
MAKE = os.path.join(HERE, "..", "magazine", "make_magazine.py")
SAMPLE = os.path.join(HERE, "..", "sample-issue")

# What the magazine of make_magazine.py shows: its issues' logos say their
# number, the article harbour.txt its first line; issue #1 of two shows one
# piece fewer (no "deep down"); the issues take turns with the modules.
LOGO = "the logo of issue #{}"
ARTICLE = "HARBOUR LIGHTS OF ISSUE #{}"
MAIN_MENU = "e d i t o r i a l"
BACK_ISSUES = "b a c k   i s s u e s"
LAST_PIECE = "d e e p  d o w n"
MODULE = {1: "music2.xm", 2: "music3.xm"}

FETCHED = "performance.getEntriesByType('resource').map((e) => new URL(e.name).pathname)"


def pack(folder, out):
    """The web edition of Folder, written to the folder Out."""
    runners = os.path.join(os.path.dirname(out), "runners")
    if not os.path.isdir(runners):
        os.makedirs(runners)
        os.symlink(os.path.abspath(RUNNER), os.path.join(runners, "web"))
    env = dict(os.environ, QUIXMAG_RUNNERS=runners)
    packed = subprocess.run([QUIXMAG, "--pack", folder, out + "/"], capture_output=True, text=True, timeout=300,
                            env=env)
    if packed.returncode != 0:
        raise Failure(packed.stdout + packed.stderr)


def magazine_site(tmp, issues):
    folder = os.path.join(tmp, f"harbour-{issues}")
    subprocess.run([sys.executable, MAKE, folder, "--issues", str(issues)], check=True)
    site = os.path.join(tmp, f"site-{issues}")
    pack(folder, site)
    return site


def text(b):
    try:
        return "\n".join(b.evaluate("quixmagScreen()")["text"])
    except Failure:  # the page's script is not there yet
        return ""


def wait_text(b, what, timeout=30):
    return b.wait_for(f"'{what}' on screen", lambda: what in text(b), timeout)


def fetched(b):
    return b.evaluate(FETCHED)


def press(b, key):
    names = {"Enter": 13, "Escape": 27, "ArrowDown": 40, "ArrowUp": 38}
    if key in names:
        b.key(key, key, names[key])
    else:
        b.key(key, "Key" + key.upper(), ord(key.upper()), text=key)


def choose_issue(b, number):
    """B, then the bar moved to issue Number's entry and Enter: the menu
    lists the newest first, with the open one lit."""
    press(b, "b")
    wait_text(b, BACK_ISSUES)
    rows = text(b).split("\n")
    lit = [i for i, row in enumerate(rows) if "* #" in row]
    want = [i for i, row in enumerate(rows) if f"#{number} " in row and "harbour news number" in row]
    if len(lit) != 1 or len(want) != 1:
        raise Failure("the back issues menu:\n" + "\n".join(rows))
    for _ in range(abs(want[0] - lit[0])):
        press(b, "ArrowDown" if want[0] > lit[0] else "ArrowUp")
    press(b, "Enter")


class TwoIssues(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="quixmag-web-magazine-")
        cls.folder = magazine_site(cls.tmp, 2)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.site = Site(self.folder)
        self.addCleanup(lambda: self.site and self.site.close())
        self.b = Browser(sound=True)
        self.addCleanup(self.b.close)

    def open_newest(self, query=""):
        b = self.b
        b.navigate(self.site.url("index.html" + query))
        first_cell(b, 60)
        wait_text(b, LOGO.format(2), 30)
        wait_text(b, MAIN_MENU, 30)
        b.wait_for("the address of #2's main menu", lambda: b.evaluate("location.hash") == "#2/menu", 10)

    def test_b_switches_every_section_and_the_music_to_the_chosen_issue(self):
        b = self.b
        self.open_newest()
        before = fetched(b)
        self.assertIn("/magazine.zip", before)
        self.assertIn("/issues/2.zip", before)
        self.assertNotIn("/issues/1.zip", before, "an issue not read is not fetched")

        press(b, "b")
        wait_text(b, BACK_ISSUES)
        rows = text(b).split("\n")
        two = [i for i, r in enumerate(rows) if "#2 " in r and "harbour news number 2" in r]
        one = [i for i, r in enumerate(rows) if "#1 " in r and "harbour news number 1" in r]
        self.assertTrue(two and one and two[0] < one[0], "\n".join(rows))
        self.assertIn("* #2", rows[two[0]], "the open issue is marked")
        press(b, "Escape")

        # Its pack held back on a slow line, so that the line under the
        # screen is seen while it comes.
        b.call("Network.enable")
        b.call("Network.emulateNetworkConditions", offline=False, latency=400, downloadThroughput=40_000,
               uploadThroughput=40_000)
        choose_issue(b, 1)
        b.wait_for("the line that says #1 is loading", lambda: "loading issue #1" in note(b), 20)
        b.call("Network.emulateNetworkConditions", offline=False, latency=0, downloadThroughput=-1,
               uploadThroughput=-1)
        wait_text(b, LOGO.format(1), 60)
        wait_text(b, MAIN_MENU)
        self.assertNotIn("loading", note(b), "the line goes once the issue is in")
        b.wait_for("the address of #1's main menu", lambda: b.evaluate("location.hash") == "#1/menu", 10)
        self.assertEqual(fetched(b).count("/issues/1.zip"), 1)
        # The music follows: #1's module is fetched from beside the page.
        b.wait_for("#1's module", lambda: f"/tracks/1/{MODULE[1]}" in fetched(b), 30)

        b.evaluate("location.hash = '#1/articles/harbour'")
        wait_text(b, ARTICLE.format(1))
        self.assertNotIn(ARTICLE.format(2), text(b))
        b.evaluate("location.hash = '#1/gallery'")
        wait_text(b, "n i g h t  s k y")
        self.assertNotIn(LAST_PIECE, text(b), "#1's gallery is its own, one piece fewer than #2's")
        b.evaluate("location.hash = '#1/gallery/tidepool'")
        b.wait_for("#1's piece", lambda: b.evaluate("location.hash") == "#1/gallery/tidepool"
                   and "p r e s s" in text(b), 30)
        # Every file of #1 came in its pack: no other was asked for.
        packs = sorted(p for p in fetched(b) if p.endswith(".zip"))
        self.assertEqual(packs, ["/issues/1.zip", "/issues/2.zip", "/magazine.zip"])

    def test_an_address_into_an_issue_not_fetched_opens_it_and_back_returns(self):
        b = self.b
        self.open_newest("?silent")
        b.evaluate("location.hash = '#1/articles/harbour'")
        wait_text(b, ARTICLE.format(1), 60)
        self.assertIn("/issues/1.zip", fetched(b))
        self.assertEqual(b.evaluate("location.hash"), "#1/articles/harbour")
        b.evaluate("history.back()")
        wait_text(b, LOGO.format(2), 30)
        wait_text(b, MAIN_MENU)
        b.wait_for("the address of #2's main menu", lambda: b.evaluate("location.hash") == "#2/menu", 10)
        b.evaluate("history.forward()")
        wait_text(b, ARTICLE.format(1), 30)
        self.assertEqual(fetched(b).count("/issues/1.zip"), 1, "an issue fetched once is not fetched again")
        b.evaluate("history.back()")
        wait_text(b, LOGO.format(2), 30)
        wait_text(b, MAIN_MENU)
        press(b, "b")
        wait_text(b, BACK_ISSUES)
        self.assertTrue(any("* #2" in r for r in text(b).split("\n")), text(b))
        press(b, "Escape")

        # A first visit by the address fetches that issue in the newest's
        # place, and Back climbs within it.
        b.navigate(self.site.url("index.html?silent&again#1/articles/harbour"))
        first_cell(b, 60)
        wait_text(b, ARTICLE.format(1), 60)
        self.assertIn("/issues/1.zip", fetched(b))
        self.assertNotIn("/issues/2.zip", fetched(b))
        b.evaluate("history.back()")
        wait_text(b, "harbour lights [report]", 20)
        self.assertEqual(b.evaluate("location.hash"), "#1/articles")

    def test_an_issue_that_does_not_come_is_said_and_the_reader_stays(self):
        b = self.b
        self.open_newest("?silent")
        b.call("Network.enable")
        b.call("Network.setBlockedURLs", urls=["*/issues/1.zip"])
        choose_issue(b, 1)
        wait_text(b, "issue #1 cannot be fetched", 30)
        self.assertIn("issue #1 cannot be fetched", note(b))
        press(b, "Enter")
        wait_text(b, MAIN_MENU)
        press(b, "b")
        wait_text(b, BACK_ISSUES)
        self.assertTrue(any("* #2" in r for r in text(b).split("\n")), "the reader is still in #2")
        press(b, "Escape")
        # An address into it is given up the same way, not asked for again.
        b.evaluate("location.hash = '#1/articles/harbour'")
        wait_text(b, "issue #1 cannot be fetched", 30)
        press(b, "Enter")
        wait_text(b, MAIN_MENU)
        self.assertEqual(b.evaluate("quixmagState().state"), "running")

    def test_a_read_issue_is_kept_for_offline_reading_and_an_unread_one_is_not(self):
        b = self.b
        url = self.site.url("index.html?silent")
        self.open_newest("?silent")
        b.wait_for("the service worker to control the page",
                   lambda: b.evaluate("Boolean(navigator.serviceWorker && navigator.serviceWorker.controller)"), 60)
        kept = ("caches.keys().then((names) => Promise.all(names.map((n) => caches.open(n).then((c) => c.keys()))))"
                ".then((all) => all.flat().map((r) => new URL(r.url).pathname))")
        # The newest, read before the worker took over, is kept too; #1 is not.
        b.wait_for("#2's pack in the cache", lambda: "/issues/2.zip" in b.evaluate(kept), 30)
        self.assertIn("/magazine.zip", b.evaluate(kept))
        self.assertNotIn("/issues/1.zip", b.evaluate(kept), "an issue is not kept before it is read")

        self.site.close()
        self.site = None
        with self.assertRaises((urllib.error.URLError, ConnectionError)):
            urllib.request.urlopen(url, timeout=5)
        b.navigate(url + "&offline")
        wait_text(b, LOGO.format(2), 60)
        wait_text(b, MAIN_MENU)
        choose_issue(b, 1)
        wait_text(b, "issue #1 cannot be fetched", 30)
        self.assertIn("cannot be fetched offline", note(b))


class TwelveIssuesOverASlowLine(unittest.TestCase):
    """Figures printed, and the limits the reader was promised asserted."""

    def measure(self, folder):
        site = Site(folder, gzip=True)
        b = Browser(sound=True)
        try:
            slow_line(b)
            b.navigate(site.url("index.html"))
            cell = first_cell(b, 120)
            entries = b.evaluate("[...performance.getEntriesByType('navigation'), "
                                 "...performance.getEntriesByType('resource')]"
                                 ".map((e) => [new URL(e.name).pathname, e.responseEnd, e.transferSize])")
            before = {path: size for path, end, size in entries if end <= cell}
            return cell, sum(before.values()), sorted(before)
        finally:
            b.close()
            site.close()

    def test_the_first_cell_comes_as_soon_as_a_single_issues(self):
        tmp = tempfile.mkdtemp(prefix="quixmag-web-slow-magazine-")
        try:
            twelve = magazine_site(tmp, 12)
            one = os.path.join(tmp, "site-1")
            pack(SAMPLE, one)
            built_cell, built_bytes, _ = self.measure(RUNNER)
            one_cell, one_bytes, one_files = self.measure(one)
            cell, bytes_, files = self.measure(twelve)
            print(f"\nslow line: the site built in: first cell {built_cell:.0f} ms, {built_bytes:,} bytes before it\n"
                  f"slow line: one issue packed: first cell {one_cell:.0f} ms, {one_bytes:,} bytes before it "
                  f"({', '.join(one_files)})\n"
                  f"slow line: 12 issues: first cell {cell:.0f} ms, {bytes_:,} bytes before it "
                  f"({', '.join(files)}), {bytes_ / one_bytes:.2f} x one issue's", file=sys.stderr)
            self.assertLess(built_bytes, 1_000_000, "the one-issue site before its first cell")
            self.assertLessEqual(cell, 3000, "the first cell of 12 issues")
            self.assertLessEqual(bytes_, 1.3 * one_bytes, "the bytes of 12 issues before the first cell")
            self.assertNotIn("/issues/1.zip", files)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
