#!/usr/bin/env python3
"""Gallery pieces that carry their look in a SAUCE record, in the web
edition: the sample issue packed with `quixmag --pack FOLDER OUT/` from this
build's web runner and served from the folder it was written to.

- the 9-pixel piece (planlvl9.ans) is drawn as Debian's ansilove draws it
  with -S (its record's options): 720 pixels wide, the ninth column of the
  line-drawing characters repeating the eighth, pixel for pixel over its
  first 24 rows, every cell;
- the legacy-aspect piece (phases.ans) is stretched 1.35 in height;
- the page's title and the screen's name carry the piece's credits.

Then, with the magazine ended, cells are handed to the page as the console
hands them over (Module.quixPage, the calls of console/con_web.cpp):

- every one of the 256 codes in many colours, drawn in 8- and 9-pixel
  cells as ansilove draws the same screen of cells (a binary text screen,
  which draws every byte as its glyph), pixel for pixel;
- cells with colours of their own, drawn with a font of the test's own
  (512 glyphs of 8 rows, 256 of 32), in 8- and 9-pixel cells: each pixel
  the cell's own colour or its attribute's, by the glyph's bits, and the
  ninth column as ansilove draws it for its own font; then the page's own
  font again.

  QUIXMAG        the native magazine (its runners/ hold the web runner)
  SAMPLE_ISSUE   the sample issue's folder
  ANSILOVE       the reference renderer (default /usr/bin/ansilove)
  --browser chromium|firefox (or QUIX_BROWSER)
"""
import argparse
import base64
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import BROWSERS, Failure, Site, open_browser  # noqa: E402
from reference import ansilove, draw_cells  # noqa: E402
from test_web import SNAPSHOT, VGA, Run  # noqa: E402

QUIXMAG = os.environ["QUIXMAG"]
SAMPLE = os.environ["SAMPLE_ISSUE"]


def differing_cells(snap, png, cell_width, rows=24, cell_height=16):
    """The (column, row) of each cell whose pixels differ between the page's
    canvas and a picture (width, height, pixel function), over the first
    Rows rows; a picture of another width, or shorter, differs everywhere."""
    rgba, width = base64.b64decode(snap["rgba"]), snap["width"]
    w, h, pixel = png
    if w != width or min(h, snap["height"]) < rows * cell_height:
        return {(x, y) for y in range(rows) for x in range(80)}
    cells = set()
    for y in range(rows * cell_height):
        for x in range(width):
            at = (y * width + x) * 4
            if tuple(rgba[at:at + 3]) != pixel(x, y):
                cells.add((x // cell_width, y // cell_height))
    return cells


# --- Cells handed to the page as the console hands them over -----------------

OWN = 0x01000000  # a colour of the cell's own: this bit over 0xRRGGBB


def paint(b, cells, rows):
    """Hands the page Rows * 80 cells (character, attribute, own foreground,
    own background), laid out as conapi::Cell is in the program's memory."""
    data = b"".join(struct.pack("<HHII", *cell) for cell in cells)
    b.evaluate(f"""(() => {{
      const bytes = Uint8Array.from(atob('{base64.b64encode(data).decode()}'), (c) => c.charCodeAt(0));
      Module.quixPage.paint(new Uint16Array(bytes.buffer), 0, {rows}, 0, 0, false);
      return true; }})()""")
    return b.evaluate(SNAPSHOT)


def describe(b, glyphs=b"", height=0, count=0, letter_spacing=8):
    b.evaluate(f"""(() => {{
      const bytes = Uint8Array.from(atob('{base64.b64encode(glyphs).decode()}'), (c) => c.charCodeAt(0));
      Module.quixPage.font(bytes, {height}, {count});
      Module.quixPage.look({letter_spacing}, false);
      return true; }})()""")


def every_code():
    """80x25 cells: the codes 0 to 255 over and over, each run of 256 in
    other colours, bright backgrounds among them."""
    colours = [0x0F, 0x70, 0x1E, 0xC2, 0x4B, 0xA5, 0x09, 0xF0]
    return [(i % 256, colours[i // 256], 0, 0) for i in range(80 * 25)]


def own_font(count, height, seed):
    """A font of the test's own: random rows, each glyph's first row with
    its eighth pixel set, so that the ninth column is seen to follow it or not."""
    rng = random.Random(seed)
    rows = bytearray(rng.randrange(256) for _ in range(count * height))
    for glyph in range(count):
        rows[glyph * height] |= 1
    return bytes(rows)


def own_cells(count, rows, seed):
    """Cells of every kind of colour: both own, only one, none."""
    rng = random.Random(seed)
    cells = []
    for i in range(80 * rows):
        fore = OWN | rng.randrange(1 << 24) if i % 3 == 0 else 0
        back = OWN | rng.randrange(1 << 24) if i % 2 == 0 else 0
        cells.append(((i * 37 + 0xC0) % count, rng.randrange(256), fore, back))
    return cells


def expected_picture(cells, glyphs, height, width):
    """What the page must draw: each pixel the glyph's foreground where its
    bit is set, else its background; the ninth column of a 9-pixel cell the
    eighth for the codes 0xC0-0xDF (of either half of 512) and the background
    for the others, as ansilove draws its own font's."""
    def rgb(own, index):
        return ((own >> 16) & 255, (own >> 8) & 255, own & 255) if own & OWN else VGA[index]

    def pixel(x, y):
        ch, attr, fore, back = cells[y // height * 80 + x // width]
        bits = glyphs[ch * height + y % height]
        column = x % width
        on = bits & (0x80 >> column) if column < 8 else 0xC0 <= ch % 256 <= 0xDF and bits & 1
        return rgb(fore, attr & 15) if on else rgb(back, attr >> 4)
    return 80 * width, len(cells) // 80 * height, pixel


def check_cells(run, b):
    """The page's own colours and fonts, and its glyph table against ansilove's."""
    for count, height, rows in ((512, 8, 6), (256, 32, 3)):
        glyphs = own_font(count, height, seed=count + height)
        cells = own_cells(count, rows, seed=height)
        for width in (8, 9):
            describe(b, glyphs, height, count, width)
            snap = paint(b, cells, rows)
            wrong = differing_cells(snap, expected_picture(cells, glyphs, height, width), width, rows, height)
            run.check(f"cells in own colours, a font of {count} glyphs of {height} rows, {width}-pixel cells: "
                      f"{snap['width']}x{snap['height']} pixels, each as it must be", not wrong,
                      f"{len(wrong)} cells wrong, first {sorted(wrong)[:6]}")
    cells = every_code()
    for width in (8, 9):
        describe(b, letter_spacing=width)
        snap = paint(b, cells, 25)
        wrong = differing_cells(snap, draw_cells([cell[:2] for cell in cells], 80, nine=width == 9), width, 25)
        codes = sorted({cells[y * 80 + x][0] for x, y in wrong})
        run.check(f"the page's own font again: all 256 codes in {width}-pixel cells as ansilove draws them",
                  not wrong, f"{len(wrong)} cells wrong, codes {' '.join(f'{c:02X}' for c in codes[:16])}")


# The characters 0xC0-0xDF as the page names them: their ninth column
# repeats the eighth in a 9-pixel cell.
LINE_DRAWING = {bytes([b]).decode("cp437") for b in range(0xC0, 0xE0)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--browser", choices=BROWSERS, default=os.environ.get("QUIX_BROWSER", "chromium"))
    browser = parser.parse_args().browser
    run = Run()
    tmp = tempfile.mkdtemp(prefix="quixmag-pieces-")
    try:
        packed = subprocess.run([QUIXMAG, "--pack", SAMPLE, os.path.join(tmp, "site") + "/"], capture_output=True,
                                text=True, timeout=120)
        if packed.returncode != 0:
            raise Failure(packed.stdout + packed.stderr)
        site = Site(os.path.join(tmp, "site"))
        b = open_browser(browser, sound=False, width=1280, height=900)
        try:
            def open_piece(stem):
                b.navigate(site.url(f"index.html?silent#gallery/{stem}"))
                b.wait_for(f"the piece {stem}", lambda: b.evaluate(
                    "window.quixmagScreen ? location.hash === '#gallery/" + stem + "' && "
                    "quixmagScreen().text.join('').includes('p r e s s') : false"), 60)
                b.wait_for("the drawing to settle", lambda: b.evaluate(
                    "(() => { const t = quixmagScreen().text.join(''); const same = t === window.lastText;"
                    " window.lastText = t; return same; })()"), 20, every=0.3)
                return b.evaluate(SNAPSHOT)

            snap = open_piece("planlvl9")
            run.check(f"a 9-pixel piece is drawn 720 pixels wide ({snap['width']})", snap["width"] == 720)
            nine = ansilove(os.path.join(SAMPLE, "planlvl9.ans"), os.path.join(tmp, "nine.png"), "-S")
            run.check("ansilove draws it 720 wide too", nine[0] == 720)
            cells = differing_cells(snap, nine, 9)
            run.check("it matches ansilove -S pixel for pixel over 24 rows", not cells,
                      f"{len(cells)} cells differ, first {sorted(cells)[:8]}")
            joining = [(x, y) for y in range(24) for x in range(80) if snap["screen"]["text"][y][x] in LINE_DRAWING]
            run.check(f"{len(joining)} cells of line-drawing characters 0xC0-0xDF, their ninth column "
                      "joined, are among them", len(joining) >= 100)
            title = b.evaluate("document.title")
            with open(os.path.join(SAMPLE, "planlvl9.ans"), "rb") as f:
                record = f.read()[-128:]
            credit = record[7:42].decode("cp437").rstrip()
            run.check(f"the page title carries the piece's SAUCE title ({title})", credit in title)
            run.check("the screen is named after it for assistive technology",
                      credit in b.evaluate("document.getElementById('screen').getAttribute('aria-label')"))

            snap = open_piece("phases")
            size = b.evaluate("(() => { const r = document.getElementById('screen').getBoundingClientRect();"
                              " return [r.width, r.height]; })()")
            ratio = (size[1] / size[0]) / (400 / 640)
            run.check(f"a legacy-aspect piece is stretched 1.35 in height ({ratio:.3f})", abs(ratio - 1.35) < 0.01)
            run.check("its pixels stay those of 8-pixel letters", snap["width"] == 640)
            snap = open_piece("planlvl9")
            b.evaluate("location.hash = '#gallery/tidepool'")
            b.wait_for("the tidepool", lambda: b.evaluate("location.hash") == "#gallery/tidepool", 20)
            try:
                b.wait_for("the 8-pixel look", lambda: b.evaluate("document.getElementById('screen').width")
                           == 640, 20)
                run.check("the next piece without a record has the screens' own look", True)
            except Failure as e:
                run.check("the next piece without a record has the screens' own look", False, str(e))

            # The magazine ends (X at the main menu), so that only the test
            # hands the page cells.
            b.navigate(site.url("index.html?silent"))
            b.wait_for("the main menu", lambda: b.evaluate(
                "window.quixmagScreen ? quixmagScreen().text.join('').includes('e x i t') : false"), 60)
            b.key("x", "KeyX", 88, text="x")
            b.wait_for("the end", lambda: b.evaluate("quixmagState().state") == "ended", 20)
            check_cells(run, b)
        finally:
            b.close()
            site.close()
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    print(f"{browser}: {run.passed} passed, {run.failed} failed")
    return 1 if run.failed else 0


if __name__ == "__main__":
    sys.exit(main())
