#!/usr/bin/env python3
"""Gallery pieces that carry their look in a SAUCE record, in the web
edition: the sample issue packed with `quixmag --pack FOLDER OUT/` from this
build's web runner and served from the folder it was written to.

- the 9-pixel piece (planlvl9.ans) is drawn as Debian's ansilove draws it
  with -S (its record's options): 720 pixels wide, the ninth column of the
  line-drawing characters repeating the eighth, pixel for pixel over its
  first 24 rows; the only cells allowed to differ are those whose glyph the
  two fonts draw differently (found by drawing a piece without a record);
- the legacy-aspect piece (phases.ans) is stretched 1.35 in height;
- the page's title and the screen's name carry the piece's credits;
- a tall piece (deepdown.ans) scrolls by swipes.

  QUIXMAG        the native magazine (its runners/ hold the web runner)
  SAMPLE_ISSUE   the sample issue's folder
  --browser chromium|firefox (or QUIX_BROWSER)
"""
import argparse
import base64
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import BROWSERS, Failure, Site, open_browser  # noqa: E402
from test_web import SNAPSHOT, VGA, Run, glyph_char, glyph_rows  # noqa: E402

QUIXMAG = os.environ["QUIXMAG"]
SAMPLE = os.environ["SAMPLE_ISSUE"]
ANSILOVE = os.environ.get("ANSILOVE", "/usr/bin/ansilove")



def read_png(path):
    """Width, height and a pixel function of a PNG of 8-bit RGB(A) or of a
    palette of 1 to 8 bits, as ansilove writes them."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, palette = 8, b"", None
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
        elif kind == b"PLTE":
            palette = [tuple(chunk[i:i + 3]) for i in range(0, len(chunk), 3)]
        elif kind == b"IDAT":
            idat += chunk
    raw = zlib.decompress(idat)
    step = {2: 3, 3: 1, 6: 4}[colour] * max(1, depth // 8)
    stride = (width * depth + 7) // 8 if colour == 3 else width * step
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - step] if x >= step else 0
            b, c = prev[x], (prev[x - step] if x >= step else 0)
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line

    def pixel(x, y):
        row = rows[y]
        if colour != 3:
            return tuple(row[x * step:x * step + 3])
        per = 8 // depth
        index = (row[x // per] >> (8 - depth * (x % per + 1))) & ((1 << depth) - 1)
        return palette[index]
    return width, height, pixel


def ansilove(piece, out, *options):
    subprocess.run([ANSILOVE, *options, piece, "-o", out], check=True, capture_output=True, timeout=60)
    return read_png(out)


def differing_cells(snap, png, cell_width, rows=24):
    """The (column, row) of each cell whose pixels differ between the page's
    canvas and ansilove's picture, over the first Rows rows."""
    rgba, width = base64.b64decode(snap["rgba"]), snap["width"]
    w, h, pixel = png
    cells = set()
    for y in range(min(h, rows * 16)):
        for x in range(min(w, width)):
            at = (y * width + x) * 4
            if tuple(rgba[at:at + 3]) != pixel(x, y):
                cells.add((x // cell_width, y // 16))
    return cells


# The characters 0xC0-0xDF as the page names them: their ninth column
# repeats the eighth in a 9-pixel cell.
LINE_DRAWING = {bytes([b]).decode("cp437") for b in range(0xC0, 0xE0)}


def font_differences(tmp):
    """The characters (as the page names them) whose glyph in Debian's
    console font, which the page draws with, differs from ansilove's own:
    every character from 0x20 up, light grey on black, 64 to a row."""
    chars = list(range(0x20, 0x100))
    art = b"\x1b[0;37;40m" + b"".join(bytes(chars[i:i + 64]) + b"\r\n" for i in range(0, len(chars), 64))
    path = os.path.join(tmp, "glyphs.ans")
    with open(path, "wb") as f:
        f.write(art)
    _, _, pixel = ansilove(path, os.path.join(tmp, "glyphs.png"))
    differ = set()
    for i, ch in enumerate(chars):
        x0, y0 = (i % 64) * 8, (i // 64) * 16
        rows = glyph_rows(ch)
        for y in range(16):
            if any(pixel(x0 + x, y0 + y) != (VGA[7] if rows[y] & (0x80 >> x) else VGA[0]) for x in range(8)):
                differ.add(glyph_char(ch))
                break
    return differ


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
        differ = font_differences(tmp)
        print(f"glyphs the two fonts draw differently: {''.join(sorted(differ))!r}")
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
            glyph_faults = [(x, y) for x, y in cells if snap["screen"]["text"][y][x] not in differ]
            run.check(f"it matches ansilove -S pixel for pixel over 24 rows ({len(cells)} cells of glyphs the "
                      "two fonts draw differently aside)", not glyph_faults, str(sorted(glyph_faults)[:8]))
            joining = [(x, y) for y in range(24) for x in range(80)
                       if snap["screen"]["text"][y][x] in LINE_DRAWING
                       and (x, y) not in cells]
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
            b.wait_for("the 8-pixel look again", lambda: b.evaluate("document.getElementById('screen').width")
                       == 640, 20)
            run.check("the next piece without a record has the screens' own look", True)
        finally:
            b.close()
            site.close()
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    print(f"{browser}: {run.passed} passed, {run.failed} failed")
    return 1 if run.failed else 0


if __name__ == "__main__":
    sys.exit(main())
