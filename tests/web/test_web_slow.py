"""The web edition over a slow line (1.6 Mbit/s, 150 ms, served gzipped):
the logo comes before the music, and the first track is still heard
without choosing another; and a page that cannot play music, or was asked
for none, says so under the screen and in the track menu.

  QUIX_WEB_SITE  the site folder (build-web/site)
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser, Failure, Site  # noqa: E402
from slow_line import first_cell, note, slow_line, until_heard  # noqa: E402

SITE = os.environ["QUIX_WEB_SITE"]
NO_WORKLETS = ("delete window.AudioWorkletNode; Object.defineProperty(BaseAudioContext.prototype, "
               "'audioWorklet', { get: () => undefined });")


class SlowLineTest(unittest.TestCase):
    def setUp(self):
        self.site = Site(SITE, gzip=True)
        self.b = Browser(sound=True)
        self.addCleanup(self.site.close)
        self.addCleanup(self.b.close)

    def screen(self):
        try:
            return "\n".join(self.b.evaluate("quixmagScreen()")["text"])
        except Failure:  # the page's script is not there yet
            return ""

    def test_the_logo_comes_first_and_the_first_track_is_heard(self):
        b = self.b
        slow_line(b)
        b.navigate(self.site.url("index.html"))
        painted = first_cell(b, 90)
        b.key("ArrowDown", vk=40)  # the reader's first key lets the sound start
        until_heard(b, 90)
        self.assertNotIn("Tracks...", self.screen(), "the first track is heard with no track chosen")
        # The player and the first module came after the first cell.
        ends = b.evaluate("Object.fromEntries(performance.getEntriesByType('resource')"
                          ".map((e) => [new URL(e.name).pathname, e.responseEnd]))")
        self.assertGreater(ends["/player.wasm"], painted, ends)
        modules = [t for path, t in ends.items() if path.startswith("/tracks/")]
        self.assertEqual(len(modules), 1, ends)
        self.assertGreater(modules[0], painted, ends)
        self.assertNotIn("/quixmag.data", ends)

    def test_a_page_without_audio_worklets_says_there_is_no_music(self):
        b = self.b
        b.call("Page.addScriptToEvaluateOnNewDocument", source=NO_WORKLETS)
        b.navigate(self.site.url("index.html"))
        b.wait_for("the main menu", lambda: "e d i t o r i a l" in self.screen(), 60)
        self.assertIn("no music here", note(b))
        self.assertEqual(b.evaluate("quixmagAudioLevel()"), -1)
        # The program knows it: the track menu says the music is off.
        b.key("t", "KeyT", 84, text="t")
        b.wait_for("the track menu", lambda: "Tracks..." in self.screen(), 20)
        b.wait_for("the track menu's reason", lambda: "music off: Init failed" in self.screen(), 10)
        self.assertIn("no music here", note(b))

    def test_silent_says_so_under_the_screen(self):
        b = self.b
        b.navigate(self.site.url("index.html?silent"))
        b.wait_for("the main menu", lambda: "e d i t o r i a l" in self.screen(), 60)
        b.wait_for("the note", lambda: "?silent" in note(b), 5)
        self.assertEqual(b.evaluate("quixmagAudioLevel()"), -1)


if __name__ == "__main__":
    unittest.main()
