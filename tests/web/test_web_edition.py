"""An editor's web edition in headless Chromium: the sample issue, renamed,
packed with `quixmag --pack FOLDER OUT/` from the runners of this build
(QUIXMAG, with the web runner in its runners/), served from the folder it
was written to. The page must show the packed issue, not the one built into
its program, carry the editor's title, and play the issue's module from
beside the page.

  QUIXMAG        the native magazine
  SAMPLE_ISSUE   the sample issue's folder
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser, Failure, Site  # noqa: E402

QUIXMAG = os.environ["QUIXMAG"]
SAMPLE = os.environ["SAMPLE_ISSUE"]


class WebEditionTest(unittest.TestCase):
    def test_the_packed_site_shows_the_editors_issue(self):
        tmp = tempfile.mkdtemp(prefix="quixmag-web-edition-")
        self.addCleanup(shutil.rmtree, tmp, True)
        issue = os.path.join(tmp, "harbour")
        shutil.copytree(SAMPLE, issue)
        manifest = os.path.join(issue, "issue.toml")
        with open(manifest, encoding="ascii") as f:
            text = f.read()
        with open(manifest, "w", encoding="ascii") as f:
            f.write('name = "harbour news"\n' + text)
        packed = subprocess.run([QUIXMAG, "--pack", "harbour", "site/"], cwd=tmp, capture_output=True, text=True,
                                timeout=120)
        self.assertEqual(packed.returncode, 0, packed.stdout + packed.stderr)

        # The module lies beside the page, not in the pack the page reads
        # first (its entry there is a one-line note).
        folder = os.path.join(tmp, "site")
        self.assertTrue(os.path.isfile(os.path.join(folder, "tracks", "parade.xm")))
        with zipfile.ZipFile(os.path.join(folder, "issue.zip")) as pack:
            self.assertLess(pack.getinfo("parade.xm").file_size, 100)

        site = Site(folder, gzip=True)
        b = Browser(sound=True)
        try:
            b.navigate(site.url("index.html"))

            def shown():
                try:
                    return "\n".join(b.evaluate("quixmagScreen()")["text"])
                except Failure:  # the page's script is not there yet
                    return ""

            # The sample issue is #2 of january 2027; the built-in one is #1.
            b.wait_for("the packed issue's main menu", lambda: "i s s u e   # 2" in shown(), 30)
            self.assertNotIn("# 1", shown())
            self.assertEqual(b.evaluate("document.title"), "harbour news magazine")
            # The packed issue's first track, fetched from beside the page, is heard.
            b.key("ArrowDown", vk=40)
            b.wait_for("the packed issue's first track", lambda: b.evaluate("quixmagAudioLevel()") > 0.01, 30)
        finally:
            b.close()
            site.close()


if __name__ == "__main__":
    unittest.main()
