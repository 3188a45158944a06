#!/usr/bin/env python3
"""One gallery piece of each format (tools/make_format_pieces.py --issue),
packed into a web edition with `quixmag --pack FOLDER OUT/` and opened in a
browser: the page's pixels of each piece's top-left window (and of its last
rows, for a tall one) are those Debian's ansilove draws of the same file,
pixel for pixel, every cell.

Where ansilove reads a file otherwise than its format says, the reference
is taken on a piece that keeps clear of it, and said so below:

- ansilove picks the format by the extension alone: every piece here is
  named after its format.
- It draws XBIN, ADF, IDF and PCBoard with bright backgrounds always: the
  XBIN says so in its header, and the page draws the other three so too.
- It draws a full 80-character row followed by a line end as two rows: the
  text pieces here end their full rows without one (shore, gradient) or
  keep their lines shorter (board).
- It drops a binary screen's last row when the pairs do not fill it: the
  harbour's rows are all whole.
- It draws a record that follows the art without a byte 26 as text below
  it (shore.ans): only the art's 22 rows are compared.
- It knows no ESC[38;2 / ESC[38;5 colours: gradient.ans is compared with
  ansilove's picture of gradient_t.ans, the same colours written in the
  ESC[1;r;g;bt form it reads.

  QUIXMAG        the native magazine (its runners/ hold the web runner)
  ANSILOVE       the reference renderer (default /usr/bin/ansilove)
  --browser chromium|firefox (or QUIX_BROWSER)
"""
import argparse
import base64
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from browser import BROWSERS, Failure, Site, open_browser  # noqa: E402
from reference import ansilove  # noqa: E402
from test_web import SNAPSHOT, Run  # noqa: E402
import make_format_pieces as pieces  # noqa: E402

QUIXMAG = os.environ["QUIXMAG"]
ROWS, CELL = 24, 16
CURSOR_ROWS = 2  # the cursor's line: the last two pixel rows of its cell

# Each piece: its reference file, ansilove's options (its width; -i where
# its record or header asks for bright backgrounds), and its rows.
REFERENCES = {
    "shore": ("shore.ans", ["-c", "80", "-i"], 22),
    "gradient": ("gradient_t.ans", ["-c", "80"], 30),
    "gradient_t": ("gradient_t.ans", ["-c", "80"], 30),
    "moorings": ("moorings.bin", ["-c", "160", "-i"], 30),
    "lighthouse": ("lighthouse.xb", [], 40),
    "reef": ("reef.adf", [], 30),
    "kelp": ("kelp.idf", [], 30),
    "dusk": ("dusk.tnd", [], 30),
    "board": ("board.pcb", [], 25),
}


def differing_cells(snap, png, top, rows):
    """The (column, row) of the piece's cells whose pixels differ between
    the page (its first Rows rows of cells) and ansilove's picture from the
    piece's row Top on, over the page's 80 columns. The screen's cursor, a
    line over its cell's last two pixel rows while it blinks on, is the
    screen's and not the piece's (ansilove draws none): those two rows of
    its cell are left out, the rest of the cell compared."""
    rgba, width = base64.b64decode(snap["rgba"]), snap["width"]
    w, h, pixel = png
    if width != 640 or h < (top + rows) * CELL or snap["height"] < rows * CELL:
        return {(x, y) for y in range(top, top + rows) for x in range(80)}
    cursor = snap["screen"]["cursor"]
    cells = set()
    for y in range(rows * CELL):
        under_cursor = cursor["visible"] and y // CELL == cursor["y"] and y % CELL >= CELL - CURSOR_ROWS
        for x in range(width):
            if under_cursor and x // 8 == cursor["x"]:
                continue
            at = (y * width + x) * 4
            if tuple(rgba[at:at + 3]) != pixel(x, (top * CELL) + y):
                cells.add((x // 8, top + y // CELL))
    return cells


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--browser", choices=BROWSERS, default=os.environ.get("QUIX_BROWSER", "chromium"))
    browser = parser.parse_args().browser
    run = Run()
    tmp = tempfile.mkdtemp(prefix="quixmag-formats-")
    try:
        issue = os.path.join(tmp, "issue")
        pieces.write_issue(pieces.Path(issue))
        packed = subprocess.run([QUIXMAG, "--pack", issue, os.path.join(tmp, "site") + "/"], capture_output=True,
                                text=True, timeout=120)
        if packed.returncode != 0:
            raise Failure(packed.stdout + packed.stderr)
        site = Site(os.path.join(tmp, "site"))
        b = open_browser(browser, sound=False, width=1280, height=900)
        try:
            def settle():
                b.wait_for("the drawing to settle", lambda: b.evaluate(
                    "(() => { const t = JSON.stringify(quixmagScreen().text); const same = t === window.lastText;"
                    " window.lastText = t; return same; })()"), 20, every=0.3)
                return b.evaluate(SNAPSHOT)

            for stem, (reference, options, rows) in REFERENCES.items():
                b.navigate(site.url(f"index.html?silent#gallery/{stem}"))
                b.wait_for(f"the piece {stem}", lambda: b.evaluate(
                    "window.quixmagScreen ? location.hash === '#gallery/" + stem + "' && "
                    "quixmagScreen().text.join('').includes('p r e s s') : false"), 60)
                settle()
                png = ansilove(os.path.join(issue, reference), os.path.join(tmp, stem + ".png"), *options)
                # A piece of 25 rows fits the screen as a screen does, its
                # last row under the prompt; a taller one is a window that
                # Home and End move (any other key leaves a piece that fits).
                tall = rows > ROWS + 1
                if tall:
                    b.key("Home", "Home", 36)
                snap = settle()
                wrong = differing_cells(snap, png, 0, min(rows, ROWS))
                run.check(f"{stem}: its first {min(rows, ROWS)} rows as ansilove {' '.join(options)} draws "
                          f"{reference}", not wrong, f"{len(wrong)} cells differ, first {sorted(wrong)[:8]}")
                if tall:
                    b.key("End", "End", 35)
                    snap = settle()
                    wrong = differing_cells(snap, png, rows - ROWS, ROWS)
                    run.check(f"{stem}: its last {ROWS} rows too", not wrong,
                              f"{len(wrong)} cells differ, first {sorted(wrong)[:8]}")
        finally:
            b.close()
            site.close()
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    print(f"{browser}: {run.passed} passed, {run.failed} failed")
    return 1 if run.failed else 0


if __name__ == "__main__":
    sys.exit(main())
