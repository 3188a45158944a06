#!/usr/bin/env python3
"""Generates the ten artworks of the gallery: content/art1.ans .. art10.ans.

Every piece is drawn on a Canvas of 80x24 text cells (code page 437 glyph,
foreground 0-15, background 0-15) and written as an ANSI file that the
magazine's renderer understands: ESC[...m colours, CR LF line ends after
short rows, a SUB byte and a SAUCE record.  Row 25 is left alone because the
program writes its prompt there.

Run:  python3 tools/make_art.py [output-dir]      (default: content/)
Everything is seeded, so the output is the same on every run.
"""

import math
import random
import struct
import sys
from pathlib import Path

W, H = 80, 24            # drawable area; row 25 stays blank
PW, PH = W, H * 2        # half-block pixel resolution

SPACE, LIGHT, MEDIUM, DARK, FULL = 0x20, 0xB0, 0xB1, 0xB2, 0xDB
LOWER, LEFT, RIGHT, UPPER = 0xDC, 0xDD, 0xDE, 0xDF
SHADES = [SPACE, LIGHT, MEDIUM, DARK, FULL]

# PC colour numbers (bit 0 blue, bit 1 green, bit 2 red, bit 3 bright).
BLACK, BLUE, GREEN, CYAN, RED, MAGENTA, BROWN, GREY = range(8)
DGREY, LBLUE, LGREEN, LCYAN, LRED, LMAGENTA, YELLOW, WHITE = range(8, 16)

# The order of the ANSI colour numbers 30-37 differs from the PC order.
PC_TO_ANSI = [0, 4, 2, 6, 1, 5, 3, 7]

# Rough brightness of each colour, used when a pixel pair must be merged.
LUMA = [0, 2, 4, 5, 3, 4, 6, 9, 5, 8, 11, 13, 9, 10, 14, 16]


def glyph(ch):
    """A CP437 byte for a one-character string (or an int passed through)."""
    if isinstance(ch, int):
        return ch
    return ch.encode("cp437")[0]


# --------------------------------------------------------------------------
# Noise and dithering helpers
# --------------------------------------------------------------------------

BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def bayer(x, y):
    """Ordered-dither threshold in [0, 1) for a position."""
    return (BAYER4[y % 4][x % 4] + 0.5) / 16.0


class Noise:
    """Seeded 2-D value noise with smooth interpolation and fractal sums."""

    def __init__(self, seed, size=64):
        rng = random.Random(seed)
        self.size = size
        self.grid = [[rng.random() for _ in range(size)] for _ in range(size)]

    def value(self, x, y):
        s = self.size
        x0, y0 = math.floor(x), math.floor(y)
        fx, fy = x - x0, y - y0
        fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        g = self.grid
        a = g[y0 % s][x0 % s]
        b = g[y0 % s][(x0 + 1) % s]
        c = g[(y0 + 1) % s][x0 % s]
        d = g[(y0 + 1) % s][(x0 + 1) % s]
        return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy

    def fbm(self, x, y, octaves=4):
        total, amp, norm = 0.0, 1.0, 0.0
        for _ in range(octaves):
            total += self.value(x, y) * amp
            norm += amp
            x, y, amp = x * 2.03, y * 2.03, amp * 0.5
        return total / norm


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smooth(e0, e1, v):
    t = clamp((v - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


# --------------------------------------------------------------------------
# Canvas of text cells
# --------------------------------------------------------------------------

class Canvas:
    """80x24 cells of (glyph, foreground, background).

    Without iCE colours the background must be 0-7; `ice` allows 8-15, which
    the file then selects with the blink attribute (ESC[5m)."""

    def __init__(self, ice=False, width=W, height=H):
        self.ice = ice
        self.width, self.height = width, height
        self.cells = [[(SPACE, GREY, BLACK) for _ in range(width)] for _ in range(height)]

    def inside(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height

    def put(self, x, y, ch, fg, bg=None):
        if not self.inside(x, y):
            return
        if bg is None:
            bg = self.cells[y][x][2]
        self.cells[y][x] = (glyph(ch), fg, bg)

    def get(self, x, y):
        return self.cells[y][x]

    def fill(self, x0, y0, x1, y1, ch, fg, bg):
        """Fills the inclusive rectangle (x0,y0)-(x1,y1)."""
        for y in range(max(0, y0), min(H - 1, y1) + 1):
            for x in range(max(0, x0), min(W - 1, x1) + 1):
                self.put(x, y, ch, fg, bg)

    def text(self, x, y, s, fg, bg=None):
        """Writes a string; each character keeps the cell's background unless one is given."""
        for i, ch in enumerate(s):
            self.put(x + i, y, ch, fg, bg)

    def text_center(self, y, s, fg, bg=None):
        self.text((W - len(s)) // 2, y, s, fg, bg)

    def colour_at(self, x, y, half):
        """The colour a viewer sees in the top (half 0) or bottom half of a cell."""
        ch, fg, bg = self.cells[y][x]
        if ch == FULL:
            return fg
        if ch == UPPER:
            return fg if half == 0 else bg
        if ch == LOWER:
            return bg if half == 0 else fg
        if ch in (DARK,):
            return fg
        return bg

    def shade(self, x, y, level, fg, bg):
        """A shade between two colours: level 0 is all bg, 4 is all fg."""
        level = max(0, min(4, level))
        self.put(x, y, SHADES[level], fg, bg)

    def ramp(self, x, y, ramp, t, dither=0.0):
        """Colours a cell at position t in [0,1] along a colour ramp.

        Between two neighbouring ramp colours the shade glyphs give three
        intermediate steps; `dither` adds an ordered-dither offset (in steps)
        so that long gradients do not band."""
        self.put(x, y, *ramp_cell(ramp, t, x, y, dither))

    def pixel_put(self, px, py, colour):
        """Sets one half-block pixel (80x48 grid), keeping the other half."""
        x, y = px, py // 2
        if not self.inside(x, y) or colour is None:
            return
        half = py % 2
        other = self.colour_at(x, y, 1 - half)
        top, bot = (colour, other) if half == 0 else (other, colour)
        self.cells[y][x] = pair_cell(top, bot, self.ice)

    def pixels(self, layer):
        """Draws a PixelLayer on top; transparent pixels keep what is below."""
        for y in range(H):
            for x in range(W):
                top, bot = layer.get(x, 2 * y), layer.get(x, 2 * y + 1)
                if top is None and bot is None:
                    continue
                if top is None:
                    top = self.colour_at(x, y, 0)
                if bot is None:
                    bot = self.colour_at(x, y, 1)
                self.cells[y][x] = pair_cell(top, bot, self.ice)


def pair_cell(top, bot, ice=False):
    """One cell that shows colour `top` above colour `bot` with half blocks."""
    if top == bot:
        if top < 8 or ice:
            return (SPACE, GREY if top != GREY else BLACK, top)
        return (FULL, top, BLACK)
    if bot < 8 or ice:
        return (UPPER, top, bot)
    if top < 8:
        return (LOWER, bot, top)
    # Two bright colours cannot share a cell without iCE: keep the brighter
    # one as the glyph colour and put the dark twin of the other behind it.
    if LUMA[top] >= LUMA[bot]:
        return (UPPER, top, bot - 8)
    return (LOWER, bot, top - 8)


def ramp_cell(ramp, t, x=0, y=0, dither=0.0):
    """(glyph, fg, bg) at t along `ramp` with 4 sub-steps per colour pair."""
    steps = (len(ramp) - 1) * 4
    pos = clamp(t) * steps
    if dither:
        pos += (bayer(x, y) - 0.5) * dither
    idx = int(round(clamp(pos, 0, steps)))
    pair, level = divmod(idx, 4)
    if pair >= len(ramp) - 1:
        return (FULL, ramp[-1], BLACK) if ramp[-1] >= 8 else (SPACE, GREY, ramp[-1])
    a, b = ramp[pair], ramp[pair + 1]
    if level == 0:
        return (FULL, a, BLACK) if a >= 8 else (SPACE, GREY, a)
    # The background must be the dark colour of the pair.
    if a < 8:
        return (SHADES[level], b, a)
    if b < 8:
        return (SHADES[4 - level], a, b)
    return (SHADES[level], b, a - 8)


class PixelLayer:
    """An 80x48 grid of colours (or None for transparent) drawn with half blocks."""

    def __init__(self):
        self.px = [[None] * PW for _ in range(PH)]

    def get(self, x, y):
        return self.px[y][x]

    def set(self, x, y, c):
        if 0 <= x < PW and 0 <= y < PH:
            self.px[y][x] = c

    def disc(self, cx, cy, r, colour_fn):
        """Fills a disc; colour_fn(x, y, d) gets the normalised distance d."""
        for y in range(max(0, int(cy - r - 1)), min(PH, int(cy + r + 2))):
            for x in range(max(0, int(cx - r - 1)), min(PW, int(cx + r + 2))):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / r
                if d <= 1.0:
                    c = colour_fn(x, y, d)
                    if c is not None:
                        self.px[y][x] = c

    def polygon(self, pts, colour):
        """Scanline fill of a polygon given in pixel coordinates."""
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(PH, int(max(ys)) + 1)):
            sy = y + 0.5
            xs = []
            for i in range(len(pts)):
                (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % len(pts)]
                if (y0 <= sy < y1) or (y1 <= sy < y0):
                    xs.append(x0 + (sy - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(max(0, int(math.ceil(a - 0.5))), min(PW, int(math.floor(b - 0.5)) + 1)):
                    self.px[y][x] = colour(x, y) if callable(colour) else colour


# --------------------------------------------------------------------------
# Stroke font: letters as polylines in a unit box, rasterised as thick lines
# --------------------------------------------------------------------------

def _arc(cx, cy, rx, ry, a0, a1, n=10):
    """Points along an elliptical arc, angles in degrees (0 = right, 90 = down)."""
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


def _round_box(x0, y0, x1, y1, r):
    """Closed outline of a rounded rectangle."""
    pts = []
    pts += _arc(x1 - r, y0 + r, r, r, -90, 0, 4)
    pts += _arc(x1 - r, y1 - r, r, r, 0, 90, 4)
    pts += _arc(x0 + r, y1 - r, r, r, 90, 180, 4)
    pts += _arc(x0 + r, y0 + r, r, r, 180, 270, 4)
    return pts + [pts[0]]


# Letters live in a box x 0..1, y 0..1 (y grows downwards); some reach 1.3
# for a descender.  Each letter is a list of polylines.
R = 0.32
STROKE_FONT = {
    "o": [_round_box(0, 0, 1, 1, R)],
    "q": [_round_box(0, 0, 1, 1, R), [(1, 0.5), (1, 1.35)]],
    "d": [_round_box(0, 0, 1, 1, R), [(1, -0.45), (1, 0.5)]],
    "u": [[(0, 0)] + _arc(R, 1 - R, R, R, 180, 90, 4) + _arc(1 - R, 1 - R, R, R, 90, 0, 4)
          + [(1, 0)], [(1, 0), (1, 1)]],
    "i": [[(0.5, 0), (0.5, 1)], [(0.5, -0.42), (0.5, -0.38)]],
    "x": [[(0, 0), (1, 1)], [(1, 0), (0, 1)]],
    "t": [[(0.3, -0.45)] + _arc(0.3 + R, 1 - R, R, R, 180, 90, 4) + [(1, 1)], [(0, 0), (1, 0)]],
    "e": [[(0, 0.5), (1, 0.5)] + _arc(1 - R, R, R, R, 0, -90, 4) + _arc(R, R, R, R, -90, -180, 4)
          + _arc(R, 1 - R, R, R, 180, 90, 4) + [(1, 1)]],
    "m": [[(0, 1), (0, 0)] + _arc(0.25, 0.25, 0.25, 0.25, 180, 360, 4) + [(0.5, 1)],
          [(0.5, 0.25)] + _arc(0.75, 0.25, 0.25, 0.25, 180, 360, 4) + [(1, 1)]],
    "s": [[(1, 0)] + _arc(0.28, 0.25, 0.28, 0.25, 270, 90, 8)
          + _arc(0.72, 0.75, 0.28, 0.25, 270, 450, 8) + [(0, 1)]],
    "n": [[(0, 1), (0, 0)] + _arc(R, R, R, R, 180, 270, 4) + _arc(1 - R, R, R, R, 270, 360, 4)
          + [(1, 1)]],
}
LETTER_WIDTH = {"i": 0.0, "m": 1.4}


def _seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else clamp(((px - ax) * dx + (py - ay) * dy) / ll)
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def stroke_mask(word, x0, y0, letter_w, letter_h, gap, thick, slant=0.0):
    """Half-block pixel mask (set of (x, y)) of a word in the stroke font.

    The box of a letter is letter_w x letter_h pixels at (x, y0); strokes are
    `thick` pixels wide; `slant` shears the letters to the right."""
    segs = []
    x = x0
    for ch in word:
        if ch == " ":
            x += letter_w * 0.6 + gap
            continue
        wscale = LETTER_WIDTH.get(ch, 1.0)
        lw = letter_w * wscale
        for line in STROKE_FONT[ch]:
            pts = [(x + u * lw + (1 - v) * slant * letter_h, y0 + v * letter_h) for u, v in line]
            segs += list(zip(pts, pts[1:]))
        x += lw + gap
    mask = set()
    half = thick / 2.0
    for py in range(PH):
        for px in range(PW):
            cx, cy = px + 0.5, py + 0.5
            for (ax, ay), (bx, by) in segs:
                if _seg_dist(cx, cy, ax, ay, bx, by) <= half:
                    mask.add((px, py))
                    break
    return mask, x - gap


def word_width(word, letter_w, gap):
    total = 0.0
    for ch in word:
        total += (letter_w * 0.6 if ch == " " else letter_w * LETTER_WIDTH.get(ch, 1.0)) + gap
    return total - gap


def dilate(mask, r=1, square=True):
    out = set(mask)
    for (x, y) in mask:
        for dy in range(-r, r + 1):
            for dx in range(-r, r + 1):
                if square or abs(dx) + abs(dy) <= r:
                    out.add((x + dx, y + dy))
    return out


# --------------------------------------------------------------------------
# Writing the file
# --------------------------------------------------------------------------

def _is_blank(cell):
    ch, _fg, bg = cell
    return ch == SPACE and bg == BLACK


def _sgr(cur, fg, bg):
    """The escape sequence that moves the renderer's attribute from cur to (fg, bg)."""
    blink = bg >= 8
    parts = []
    # A background code clears the blink bit in the magazine's renderer but
    # not in every other viewer, so leaving or changing a bright background
    # goes through a full reset: both then agree on what the cell shows.
    if cur is None or (cur[0] >= 8 and fg < 8) or (cur[1] >= 8 and (not blink or bg != cur[1])):
        parts.append("0")
        if fg >= 8:
            parts.append("1")
        if fg & 7 != GREY:
            parts.append(str(30 + PC_TO_ANSI[fg & 7]))
        if bg & 7 != BLACK:
            parts.append(str(40 + PC_TO_ANSI[bg & 7]))
        if blink:
            parts.append("5")
    else:
        if fg >= 8 and cur[0] < 8:
            parts.append("1")
        if fg & 7 != cur[0] & 7:
            parts.append(str(30 + PC_TO_ANSI[fg & 7]))
        bg_changed = bg & 7 != cur[1] & 7
        if bg_changed:
            parts.append(str(40 + PC_TO_ANSI[bg & 7]))
        # The background code clears the blink bit, so iCE needs 5 after it.
        if blink and cur[1] < 8:
            parts.append("5")
    return "\x1b[" + ";".join(parts) + "m"


def encode(canvas):
    """The ANSI bytes of a canvas (without SUB and SAUCE)."""
    out = bytearray()
    cur = None
    for y in range(H):
        row = canvas.cells[y]
        last = W - 1
        while last >= 0 and _is_blank(row[last]):
            last -= 1
        for x in range(last + 1):
            ch, fg, bg = row[x]
            if bg >= 8 and not canvas.ice:
                raise ValueError(f"bright background without iCE at {x},{y}")
            if ch == SPACE:
                # A blank only shows its background: keep the foreground in force.
                want = (cur[0] if cur is not None else GREY, bg)
            else:
                want = (fg, bg)
            if want != cur:
                out += _sgr(cur, *want).encode("ascii")
                cur = want
            out.append(ch)
        # A full row wraps by itself; a shorter one needs CR LF.  The last
        # row never ends with a line feed, which would scroll row 25.
        if last < W - 1 and y < H - 1:
            out += b"\r\n"
    out += b"\x1b[0m"
    return bytes(out)


def check_bytes(data):
    """Refuses bytes that the renderer would treat as controls or pipe codes."""
    for i, b in enumerate(data):
        if b == 0x21:
            raise ValueError("exclamation mark in artwork")
        if b < 32 and b not in (13, 10, 27):
            raise ValueError(f"control byte {b} at {i}")
        code = data[i + 1:i + 3]
        if b == 0x7C and len(code) == 2 and code.isdigit() and int(code) <= 23:
            raise ValueError("pipe colour code in artwork")


SPACING_BITS = {None: 0, 8: 1, 9: 2}          # letter spacing: flags bits 1-2
ASPECT_BITS = {None: 0, "legacy": 1, "square": 2}  # aspect ratio: flags bits 3-4


def sauce(title, author, group, date, size, ice, width=80, lines=25, spacing=None, aspect=None,
          font="IBM VGA", comments=()):
    """The SAUCE record of an ANSI file, after its comment block when there
    are comment lines: "COMNT" and 64 bytes a line, right before the record.

    width and lines are TInfo1 and TInfo2; spacing is the letter spacing in
    pixels (8 or 9) and aspect "legacy" (stretched for a 4:3 display) or
    "square", each None when the piece does not say."""
    def field(s, n, pad=b" "):
        data = s.encode("cp437")
        if len(data) > n:
            raise ValueError(f"{s!r} is longer than its field of {n} bytes")
        if any(b < 32 for b in data):
            raise ValueError(f"{s!r} holds control characters")
        return data.ljust(n, pad)
    if len(date) != 8 or not date.isdigit():
        raise ValueError(f"date {date!r} is not CCYYMMDD")
    if not 1 <= width <= 1000 or not 0 <= lines <= 65535:
        raise ValueError(f"{width}x{lines} is no size of a piece")
    if len(comments) > 255:
        raise ValueError("a record counts at most 255 comment lines")
    flags = (1 if ice else 0) | SPACING_BITS[spacing] << 1 | ASPECT_BITS[aspect] << 3
    rec = b"SAUCE00" + field(title, 35) + field(author, 20) + field(group, 20)
    rec += date.encode("ascii")
    rec += struct.pack("<IBBHHHHBB", size, 1, 1, width, lines, 0, 0, len(comments), flags)
    rec += field(font, 22, b"\0")
    assert len(rec) == 128
    block = b"COMNT" + b"".join(field(line, 64) for line in comments) if comments else b""
    return block + rec


def decode(data, width=W, rows=H + 1):
    """Plays ANSI bytes the way the magazine's renderer does (SGR 0/1/5/30-37/
    40-47, CR, LF, wrap at the width, 80 columns unless a piece says more) and
    returns the Rows rows of cells with their attribute bytes (the 24 of a
    canvas and the screen's row 25), so that every file can be checked
    against its canvas."""
    ansi_to_pc = PC_TO_ANSI                # the mapping is its own inverse
    cells = [[(SPACE, 7) for _ in range(width)] for _ in range(rows)]
    x = y = 0
    attr = 7
    i = 0
    while i < len(data):
        b = data[i]
        if b == 26:
            break
        if b == 27 and data[i + 1:i + 2] == b"[":
            j = i + 2
            while chr(data[j]) in "0123456789;?":
                j += 1
            params, final = data[i + 2:j].decode("ascii"), chr(data[j])
            if final == "m":
                for p in (params.split(";") if params else ["0"]):
                    n = int(p) if p else 0
                    if n == 0:
                        attr = 7
                    elif n == 1:
                        attr |= 8
                    elif n == 5:
                        attr |= 128
                    elif 30 <= n <= 37:
                        attr = (attr & 0xF8) + ansi_to_pc[n - 30]
                    elif 40 <= n <= 47:
                        attr = (attr & 0x0F) + 16 * ansi_to_pc[n - 40]
            i = j + 1
            continue
        if b == 13:
            x = 0
        elif b == 10:
            y += 1
        else:
            if y >= rows:
                raise ValueError(f"the file draws below its {rows} rows (it would scroll the screen)")
            cells[y][x] = (b, attr)
            x += 1
            if x == width:
                x, y = 0, y + 1
        i += 1
    return cells


def verify(canvas, data):
    """Raises when the decoded file does not show what the canvas holds."""
    shown = decode(data)
    if any(cell != (SPACE, 7) for cell in shown[H]):
        raise ValueError("the file writes into row 25")
    for y in range(H):
        for x in range(W):
            ch, fg, bg = canvas.cells[y][x]
            got_ch, got_attr = shown[y][x]
            want_attr = fg + 16 * (bg & 7) + (128 if bg >= 8 else 0)
            if ch == SPACE:
                same = got_ch == SPACE and (got_attr & 0xF0) == (want_attr & 0xF0)
            else:
                same = got_ch == ch and got_attr == want_attr
            if not same:
                raise ValueError(f"cell {x},{y}: want {ch:02x}/{want_attr:02x}, "
                                 f"file shows {got_ch:02x}/{got_attr:02x}")


def write_piece(path, canvas, title, author):
    data = encode(canvas)
    check_bytes(data)
    verify(canvas, data)
    blob = data + b"\x1a" + sauce(title, author, "quix", "20240611", len(data), canvas.ice)
    Path(path).write_bytes(blob)
    return len(blob)


def signature(c, x, y, handle, fg=DGREY, bg=None):
    """The artist's tag in a corner, in the scene's own colours."""
    c.text(x, y, handle, fg, bg)


def paint_mask(c, mask, cell_fn, edge_fn):
    """Paints a half-block mask: whole cells through cell_fn(x, y) -> (glyph,
    fg, bg), cells that the mask covers by one half through edge_fn(x, y) ->
    a single colour drawn as a half block over what is already there."""
    for y in range(H):
        for x in range(W):
            top, bot = (x, 2 * y) in mask, (x, 2 * y + 1) in mask
            if top and bot:
                c.put(x, y, *cell_fn(x, y))
            elif top or bot:
                c.pixel_put(x, 2 * y + (0 if top else 1), edge_fn(x, y))


def shift(mask, dx, dy):
    return {(x + dx, y + dy) for (x, y) in mask}


# --------------------------------------------------------------------------
# 1. "quix" logo: warm gradient letters with outline and drop shadow
# --------------------------------------------------------------------------

def art_logo_quix():
    c = Canvas()
    horizon = 31                      # pixel row of the water line
    rng = random.Random(11)
    for _ in range(34):
        x, y = rng.randrange(W), rng.randrange(0, horizon // 2)
        c.put(x, y, rng.choice("\u00b7\u00b7\u2219+"), rng.choice([DGREY, DGREY, BLUE, GREY]), BLACK)
    # Water: a dark gradient that brightens towards the horizon.
    for y in range(horizon // 2, H):
        for x in range(W):
            t = 0.3 - (y - horizon / 2) / 12.0
            if y == horizon // 2:
                t = 0.75
            c.ramp(x, y, [BLACK, BLUE], t, dither=1.0)

    lw, lh, gap, th = 14, 16, 8, 4.2
    width = word_width("quix", lw, gap)
    x0 = (PW - width) / 2 - 2
    mask, _ = stroke_mask("quix", x0, 10, lw, lh, gap, th, slant=0.14)
    mask = {(x, y) for (x, y) in mask if y < horizon}
    outline = dilate(mask, 1)
    shadow = shift(outline, 2, 1) - outline
    ramp = [WHITE, YELLOW, BROWN, LRED, RED, MAGENTA]
    top, bottom = 3, 10 + lh

    def t_of(y):
        return clamp((y - top) / (bottom - top + 4))

    # Reflection first, so the letters' shadow can never cover it.
    ref = PixelLayer()
    for py in range(horizon, PH):
        d = py - horizon
        sy = horizon - 1 - int(d * 1.6)
        wob = int(round(1.3 * math.sin(py * 1.3)))
        for px in range(PW):
            if (px - wob, sy) in outline:
                inside = (px - wob, sy) in mask
                if (px + py) % 3 == 0 and d > 6:
                    continue
                ref.set(px, py, (LCYAN if t_of(sy) < 0.3 else CYAN if t_of(sy) < 0.6 else LBLUE)
                        if inside else BLUE)
    c.pixels(ref)
    for (x, y) in shadow:
        if 0 <= x < W and 0 <= y < horizon:
            c.pixel_put(x, y, DGREY)
    for (x, y) in outline - mask:
        c.pixel_put(x, y, RED if y > 12 else BROWN)

    def fill(x, y):
        return ramp_cell(ramp, t_of(2 * y + 0.5), x, y, dither=1.0)

    def edge(x, y):
        return [WHITE, YELLOW, YELLOW, LRED, RED, MAGENTA][int(t_of(2 * y + 0.5) * 5.99)]

    paint_mask(c, mask, fill, edge)
    # Sparkles on the rim of the letters.
    tag = " t e x t  m o d e  m a g a z i n e  \u00b7  i s s u e  o n e "
    c.text_center(22, tag, LCYAN, BLACK)
    c.text((W - len(tag)) // 2 - 4, 22, "\u2500\u2500\u2500", BLUE, BLACK)
    c.text((W + len(tag)) // 2 + 1, 22, "\u2500\u2500\u2500", BLUE, BLACK)
    signature(c, 76, 23, "nyx", DGREY, BLACK)
    return c


# --------------------------------------------------------------------------
# 2. Landscape: sunset over mountains and a still lake
# --------------------------------------------------------------------------

SUNSET = [BLACK, BLUE, MAGENTA, LMAGENTA, RED, LRED, BROWN, YELLOW]


def ridge(noise, x, base, amp, freq, octaves=4):
    """Height (pixel row) of a mountain ridge at column x."""
    return base - amp * noise.fbm(x * freq, 3.7, octaves)


def pine(layer, px, base, hgt, colour):
    """A fir tree silhouette: stacked triangles that widen towards the ground."""
    tiers = max(2, hgt // 5)
    for i in range(tiers):
        t0 = base - hgt + i * hgt / (tiers + 1)
        tier_h = hgt / (tiers + 1) * 1.8
        for y in range(int(t0), int(t0 + tier_h)):
            half = (y - t0) / tier_h * (2.0 + i * 1.4)
            for x in range(int(round(px - half)), int(round(px + half)) + 1):
                layer.set(x, y, colour)
    for y in range(base - 3, base + 1):
        layer.set(px, y, colour)


def art_landscape():
    c = Canvas()
    shore = 30                         # pixel row of the far shore / water line
    sky_rows = shore // 2
    for y in range(sky_rows):
        for x in range(W):
            t = (y + 0.5) / sky_rows
            c.ramp(x, y, SUNSET, 0.06 + t * 0.98, dither=1.3)
    layer = PixelLayer()
    sun_x, sun_y, sun_r = 46, 17, 7.5

    def sun(x, y, d):
        # Horizontal cuts through the lower half, the way a hot sun shimmers.
        if y > sun_y and (y - int(sun_y)) % 3 == 0:
            return None
        return WHITE if d < 0.5 else YELLOW
    layer.disc(sun_x, sun_y, sun_r, sun)
    c.pixels(layer)

    far, near = Noise(21), Noise(34)

    def peak(x):
        v = far.fbm(x * 0.035, 2.0, 4)
        return shore - 3 - 15 * (1 - abs(2 * v - 1)) ** 1.5

    def hill(x):
        return shore - 1 - 3 * near.fbm(x * 0.05, 7.0, 3)

    mountains = PixelLayer()
    for x in range(PW):
        h1, h2 = peak(x), hill(x)
        lit = peak(x - 1) > h1 + 0.2       # slope that faces the sun on the right
        for y in range(int(h1), shore):
            if y < 18 and y < h1 + 2 + (x % 3 == 0):
                col = WHITE if lit else GREY
            elif y < h1 + 5 and lit:
                col = LMAGENTA
            else:
                col = MAGENTA if y < shore - 6 else BLUE
            mountains.set(x, y, col)
        for y in range(int(h2), shore):
            mountains.set(x, y, BLUE if y < shore - 1 else BLACK)
    c.pixels(mountains)

    # The lake mirrors sky and mountains, darker and broken by ripples.
    fade = {WHITE: GREY, GREY: DGREY, LMAGENTA: MAGENTA, MAGENTA: MAGENTA, LRED: RED,
            YELLOW: YELLOW, BROWN: BROWN}
    water = PixelLayer()
    for py in range(shore, PH):
        d = py - shore
        for px in range(PW):
            wob = int(round(math.sin(py * 1.7 + px * 0.11) * (0.3 + d * 0.07)))
            sy = max(0, shore - 1 - int(d * (1.0 + d * 0.04)))
            sx = min(PW - 1, max(0, px + wob))
            col = c.colour_at(sx, sy // 2, sy % 2)
            col = fade.get(col, col)
            water.set(px, py, col)
    c.pixels(water)
    rng = random.Random(3)
    for y in range(sky_rows + 1, H - 2):
        for _ in range(3):
            x = rng.randrange(W - 6)
            for i in range(rng.randrange(2, 5)):
                ch, fg, bg = c.get(x + i, y)
                c.put(x + i, y, "\u2500", LMAGENTA if abs(x + i - sun_x) > 8 else YELLOW, bg)

    # Foreground: a dark bank with firs on the left, reeds on the right.
    front = PixelLayer()
    bank = Noise(8)
    for x in range(PW):
        top = 45 + 2 * bank.fbm(x * 0.1, 1.0) - 7 * smooth(26, 2, x) - 3 * smooth(66, 79, x)
        for y in range(int(top), PH):
            front.set(x, y, BLACK)
    for px, base, hgt in ((5, 39, 30), (12, 40, 22), (19, 42, 14), (25, 44, 8),
                          (70, 43, 9), (75, 42, 13), (78, 43, 7)):
        pine(front, px, base, hgt, BLACK)
    c.pixels(front)
    signature(c, 1, 23, "kestrel", DGREY, BLACK)
    return c


# --------------------------------------------------------------------------
# 3. Creature: a barn owl on a branch in front of the moon
# --------------------------------------------------------------------------

def ellipse(layer, cx, cy, rx, ry, colour_fn):
    """Fills an ellipse; colour_fn(x, y, d) gets the normalised radius d in [0, 1]."""
    for y in range(max(0, int(cy - ry - 1)), min(PH, int(cy + ry + 2))):
        for x in range(max(0, int(cx - rx - 1)), min(PW, int(cx + rx + 2))):
            d = math.hypot((x + 0.5 - cx) / rx, (y + 0.5 - cy) / ry)
            if d <= 1.0:
                c = colour_fn(x, y, d) if callable(colour_fn) else colour_fn
                if c is not None:
                    layer.set(x, y, c)


def art_owl():
    c = Canvas()
    for y in range(H):
        for x in range(W):
            c.ramp(x, y, [BLACK, BLUE], 0.15 + 0.6 * y / H, dither=1.6)
    rng = random.Random(7)
    for _ in range(45):
        x, y = rng.randrange(W), rng.randrange(H - 6)
        c.put(x, y, rng.choice("\u00b7\u00b7\u2219*"), rng.choice([GREY, DGREY, LBLUE, WHITE]))
    L = PixelLayer()
    moon_x, moon_y, moon_r = 55, 17, 14
    craters = [(50, 12, 2.5), (60, 20, 3.5), (53, 24, 2.0), (62, 11, 1.8)]

    def moon(x, y, d):
        for cx, cy, r in craters:
            if math.hypot(x - cx, y - cy) < r:
                return GREY
        return WHITE if d < 0.93 else GREY
    L.disc(moon_x, moon_y, moon_r, moon)
    c.pixels(L)
    c.put(53, 1, "\u2219", LCYAN)

    owl = PixelLayer()
    ox, head_y = 34, 15
    # Body and wings.
    ellipse(owl, ox, 30, 10.5, 12, lambda x, y, d: BROWN if d > 0.8 else None)
    ellipse(owl, ox, 31, 8, 10.5, lambda x, y, d: (BROWN if (x + (y // 2)) % 4 == 0 and y % 2 == 0
                                                     else WHITE if d < 0.55 else YELLOW))
    for side in (-1, 1):
        ellipse(owl, ox + side * 9, 31, 4.5, 11,
                lambda x, y, d: RED if ((y + x // 2) % 4 == 0 and d > 0.3) else BROWN if d < 0.75 else RED)
    # Head with ear tufts and the heart-shaped face.
    ellipse(owl, ox, head_y, 12.5, 9.5, lambda x, y, d: BROWN if (x * 3 + y) % 7 else YELLOW)
    owl.polygon([(ox - 12, head_y - 4), (ox - 11, head_y - 13), (ox - 6, head_y - 7)], BROWN)
    owl.polygon([(ox + 12, head_y - 4), (ox + 11, head_y - 13), (ox + 6, head_y - 7)], BROWN)
    for side in (-1, 1):
        ellipse(owl, ox + side * 5.2, head_y + 1, 5.6, 6.2, lambda x, y, d: GREY if d > 0.85 else WHITE)
        ellipse(owl, ox + side * 5, head_y, 2.8, 2.9, lambda x, y, d: YELLOW if d > 0.55 else BLACK)
        owl.set(int(ox + side * 5) - 1, head_y - 1, WHITE)
    owl.polygon([(ox - 1.5, head_y + 2), (ox + 1.5, head_y + 2), (ox, head_y + 6)], BROWN)
    # Talons on the branch.
    for fx in (ox - 4, ox - 3, ox + 3, ox + 4):
        owl.set(fx, 42, YELLOW)
    c.pixels(owl)

    branch = PixelLayer()
    for x in range(PW):
        y = 43 + 0.04 * (x - 40) + 1.2 * math.sin(x * 0.15)
        for k in range(4):
            branch.set(x, int(y) + k, BROWN if k < 1 else RED if (x + k) % 5 else BROWN)
    for lx, ly in ((8, 41), (14, 44), (66, 44), (72, 42), (77, 45)):
        ellipse(branch, lx, ly, 2.5, 1.6, lambda x, y, d: LGREEN if d < 0.5 else GREEN)
    c.pixels(branch)
    for x in range(W):
        ch, fg, bg = c.get(x, 23)
        if bg == BLACK and ch == SPACE:
            c.put(x, 23, LIGHT, BLUE, BLACK)
    c.text(1, 2, " s t i l l  w a t c h i n g ", GREY, BLACK)
    signature(c, 2, 3, "vortal", DGREY)
    return c


# --------------------------------------------------------------------------
# 4. City at night: skyline, lit windows, crescent moon, harbour reflections
# --------------------------------------------------------------------------

def art_city():
    c = Canvas()
    water_row = 16
    for y in range(water_row):
        for x in range(W):
            c.ramp(x, y, [BLACK, BLUE, MAGENTA], 0.05 + 0.62 * (y / water_row) ** 1.6, dither=1.4)
    rng = random.Random(42)
    for _ in range(35):
        x, y = rng.randrange(W), rng.randrange(8)
        c.put(x, y, rng.choice("\u00b7\u00b7\u2219+"), rng.choice([GREY, WHITE, DGREY]))
    sky = PixelLayer()
    sky.disc(66, 5, 4.5, lambda x, y, d: None if math.hypot(x - 68.5, y - 3.5) < 4.2 else WHITE)
    c.pixels(sky)

    # Back row of towers: blue silhouettes with few windows.
    def towers(seed, x_step, h_lo, h_hi, body, lit, chance):
        r = random.Random(seed)
        x = -r.randrange(3)
        while x < W:
            w = r.randrange(*x_step)
            h = r.randrange(h_lo, h_hi)
            top = water_row - h
            roof = r.random()
            for cy in range(top, water_row):
                for cx in range(x, x + w):
                    if not c.inside(cx, cy):
                        continue
                    ch, fg, bg = SPACE, GREY, body
                    if (cx - x) % 2 == 1 and cx < x + w - 1 and cy > top and r.random() < chance:
                        ch, fg = 0xFE, r.choice(lit)
                    c.put(cx, cy, ch, fg, bg)
            if roof < 0.3 and w > 3:                     # a spire with a beacon
                mid = x + w // 2
                c.put(mid, top - 1, "\u2502", body if body else DGREY)
                c.put(mid, top - 2, "\u00b7", LRED)
            elif roof < 0.6:                             # a stepped top
                for cx in range(x + 1, x + w - 1):
                    c.pixel_put(cx, 2 * top - 1, body if body else DGREY)
            x += w + r.randrange(0, 2)
    towers(5, (4, 8), 6, 11, BLUE, [LBLUE, CYAN, DGREY], 0.3)
    towers(9, (3, 7), 3, 9, BLACK, [YELLOW, YELLOW, BROWN, WHITE, LCYAN], 0.45)

    # Neon signs hung on the front towers.
    def tower_top(x):
        """First row from which column x is front tower all the way down."""
        for y in range(4, water_row):
            if all(c.get(x, yy)[2] == BLACK and c.get(x, yy)[0] in (SPACE, 0xFE)
                   and c.get(x, yy - 1)[2] != BLUE for yy in range(y, water_row)):
                return y
        return water_row

    for want, word, col in ((21, "QUIX", LMAGENTA), (46, "BAR", LCYAN), (66, "HOTEL", LRED)):
        x0 = min(range(want - 4, want + 5), key=lambda x: (tower_top(x), abs(x - want)))
        y0 = min(tower_top(x0), water_row - len(word) - 1)
        for i, ch in enumerate(word):
            c.put(x0, y0 + i, ch, col, BLACK)

    # The harbour mirrors the skyline, stretched and broken by ripples.
    r = random.Random(1)
    for y in range(water_row, H):
        d = y - water_row
        src = water_row - 1 - d
        for x in range(W):
            sx = min(W - 1, max(0, x + int(round(math.sin(y * 2.1 + x * 0.3) * (0.4 + d * 0.15)))))
            ch, fg, bg = c.get(sx, max(0, src))
            if ch not in (SPACE, LIGHT, MEDIUM, DARK) and fg >= 8 and bg == BLACK \
                    and r.random() < 0.95 - d * 0.04:
                c.put(x, y, "\u2500" if r.random() < 0.6 else "\u2261", fg if fg != WHITE else YELLOW, BLACK)
            elif ch in (SPACE, 0xFE) and bg in (BLUE, MAGENTA):
                c.put(x, y, LIGHT if (x + y) % 3 else SPACE, BLUE, BLACK)
            else:
                c.put(x, y, SPACE, GREY, BLACK)
    for x in range(62, 75):                                    # moonlight on the water
        for y in range(water_row + 1, H, 2):
            if r.random() < 0.5 - abs(x - 68) * 0.07:
                c.put(x, y, "\u2500", WHITE if r.random() < 0.4 else GREY, BLACK)
    c.fill(0, water_row, W - 1, water_row, "\u2580", DGREY, BLACK)
    for x in range(W):
        above = c.get(x, water_row - 1)
        c.put(x, water_row, UPPER, above[2] if above[0] == SPACE else BLACK, BLACK)
    c.text(2, 23, "n e o n  h a r b o u r", DGREY, BLACK)
    signature(c, 73, 23, "vortal", BLUE, BLACK)
    return c


# --------------------------------------------------------------------------
# 5. Abstract: interference rings clipped by overlapping shapes
# --------------------------------------------------------------------------

def art_abstract():
    c = Canvas()
    aspect = 2.0                         # a cell is twice as tall as wide
    circle = (27, 11.5, 10.5)
    tri = [(38, 1), (77, 22), (20, 22)]

    def in_tri(x, y):
        (ax, ay), (bx, by), (cx, cy) = tri
        d1 = (x - bx) * (ay - by) - (ax - bx) * (y - by)
        d2 = (x - cx) * (by - cy) - (bx - cx) * (y - cy)
        d3 = (x - ax) * (cy - ay) - (cx - ax) * (y - ay)
        neg = d1 < 0 or d2 < 0 or d3 < 0
        pos = d1 > 0 or d2 > 0 or d3 > 0
        return not (neg and pos)

    blues = [BLACK, BLUE, LBLUE, CYAN, LCYAN]
    fire = [BLACK, RED, LRED, BROWN, YELLOW, WHITE]
    lime = [BLACK, GREEN, LGREEN, CYAN, WHITE]
    grey = [BLACK, DGREY, GREY, WHITE]
    for y in range(H):
        for x in range(W):
            px, py = x + 0.5, (y + 0.5) * aspect
            dc = math.hypot(px - circle[0], py - circle[1] * aspect) / aspect
            in_c = dc < circle[2]
            in_t = in_tri(x + 0.5, y + 0.5)
            if in_c and in_t:
                v = 0.5 + 0.5 * math.sin(dc * 1.6) * math.cos((px - 40) * 0.25)
                c.ramp(x, y, lime, 0.2 + 0.8 * v, dither=1.0)
            elif in_c:
                v = 0.5 + 0.5 * math.sin(dc * 1.25)
                c.ramp(x, y, fire, 0.15 + 0.85 * v * (1 - 0.5 * dc / circle[2]), dither=1.0)
            elif in_t:
                d2 = math.hypot(px - 60, py - 40) / aspect
                v = 0.5 + 0.5 * math.sin(d2 * 1.1 + math.sin(px * 0.2))
                c.ramp(x, y, blues, 0.1 + 0.9 * v, dither=1.0)
            else:
                v = ((x + y * 2) % 12) / 12.0
                band = 0.12 + 0.25 * (1 - abs(2 * v - 1)) * (0.3 + 0.7 * y / H)
                c.ramp(x, y, grey, band, dither=0.8)
    # Small squares floating over the composition.
    for sx, sy, col in ((70, 3, LMAGENTA), (73, 5, MAGENTA), (6, 19, YELLOW), (9, 21, BROWN)):
        c.fill(sx, sy, sx + 1, sy, FULL, col, BLACK)
    c.text(56, 1, "f o r m   n o . 5", GREY, BLACK)
    signature(c, 56, 2, "glyphic", DGREY, BLACK)
    return c


# --------------------------------------------------------------------------
# 6. iCE colours: hot-air balloons in a bright summer sky
# --------------------------------------------------------------------------

def balloon(layer, cx, cy, r, colours, shade):
    """A balloon envelope with vertical gores, darker towards its rim, a
    tapering neck, ropes and a basket."""
    for y in range(int(cy - r * 1.1), int(cy + r * 1.5)):
        for x in range(int(cx - r - 1), int(cx + r + 2)):
            dy = (y + 0.5 - cy) / r
            # Round on top, narrowing to a neck below the centre.
            half = math.sqrt(max(0.0, 1 - dy * dy)) if dy < 0.35 else \
                max(0.0, math.sqrt(1 - 0.35 ** 2) * (1 - (dy - 0.35) / 1.05))
            dx = (x + 0.5 - cx) / r
            if abs(dx) > half or half == 0:
                continue
            gore = int((math.asin(clamp(dx / half, -1, 1)) / math.pi + 0.5) * 6)
            col = colours[gore % len(colours)]
            if abs(dx) / half > 0.8 or dy > 0.8:
                col = shade[col]
            if abs(dx) / half < 0.2 and dy < -0.3 and gore % 2 == 0:
                col = WHITE
            layer.set(x, y, col)
    neck = cy + r * 1.38
    for side in (-1, 1):
        for i in range(int(r * 0.5)):
            layer.set(int(cx + side * (r * 0.28 - i * 0.15)), int(neck + i), DGREY)
    by = int(neck + r * 0.5)
    for y in range(by, by + max(2, int(r * 0.3))):
        for x in range(int(cx - r * 0.22), int(cx + r * 0.22) + 1):
            layer.set(x, y, BROWN if y > by else YELLOW)


def art_balloons():
    c = Canvas(ice=True)
    L = PixelLayer()
    for y in range(PH):
        for x in range(PW):
            t = y / PH + (bayer(x, y) - 0.5) * 0.1
            L.set(x, y, BLUE if t < 0.1 else LBLUE if t < 0.45 else LCYAN if t < 0.78 else WHITE)
    nz = Noise(17)

    def cloud(x, y):
        return nz.fbm(x * 0.07, y * 0.16) - 0.08 * abs(y - 24) / 10 > 0.56
    for y in range(PH - 14):
        for x in range(PW):
            if cloud(x, y):
                # Flat grey undersides, bright tops.
                L.set(x, y, GREY if not cloud(x, y + 2) else WHITE)
    L.disc(70, 7, 5, lambda x, y, d: WHITE if d < 0.6 else YELLOW)
    shade = {LRED: RED, YELLOW: BROWN, LMAGENTA: MAGENTA, LCYAN: CYAN, LGREEN: GREEN,
             LBLUE: BLUE, WHITE: GREY}
    balloon(L, 30, 14, 11, [LRED, YELLOW, LRED, WHITE, LRED, YELLOW], shade)
    balloon(L, 57, 20, 6, [LMAGENTA, LCYAN, LMAGENTA, LCYAN, LMAGENTA, LCYAN], shade)
    balloon(L, 10, 27, 3.5, [LGREEN, YELLOW, LGREEN, YELLOW, LGREEN, YELLOW], shade)
    # Rolling fields below.
    hills = Noise(99)
    for x in range(PW):
        h1 = 39 - 3 * hills.fbm(x * 0.05, 0.0)
        h2 = 43 - 3 * hills.fbm(x * 0.07, 5.0)
        for y in range(int(h1), PH):
            L.set(x, y, LGREEN if (x // 6 + y // 3) % 2 else GREEN)
        for y in range(int(h2), PH):
            L.set(x, y, YELLOW if (x + 2 * y) % 7 else BROWN)
    for tx in (6, 19, 44, 64, 75):                       # little trees on the ridge
        ty = int(39 - 3 * hills.fbm(tx * 0.05, 0.0))
        ellipse(L, tx, ty - 2, 2.2, 2.5, GREEN)
        L.set(tx, ty, BROWN)
    c.pixels(L)
    c.text(2, 0, " u p   a n d   a w a y ", WHITE, BLUE)
    signature(c, 2, 1, " kestrel ", LCYAN, BLUE)
    return c


# --------------------------------------------------------------------------
# 7. Space: ringed planet, moon, nebula and stars
# --------------------------------------------------------------------------

def art_space():
    c = Canvas()
    nz = Noise(1234)
    neb = [BLACK, BLUE, MAGENTA, LMAGENTA, WHITE]
    for y in range(H):
        for x in range(W):
            v = nz.fbm(x * 0.06, y * 0.13, 5)
            band = math.exp(-((y - 0.3 * x - 2) / 7.0) ** 2)        # a diagonal ribbon
            t = clamp((v - 0.42) * 2.6) * band
            c.ramp(x, y, neb, t * 0.8, dither=1.2)
    rng = random.Random(77)
    for _ in range(90):
        x, y = rng.randrange(W), rng.randrange(H)
        if c.get(x, y)[0] == SPACE and c.get(x, y)[2] == BLACK:
            c.put(x, y, rng.choice("\u00b7\u00b7\u00b7\u2219\u2219.*+"), rng.choice([GREY, DGREY, WHITE, LCYAN, YELLOW]))
    for x, y in ((8, 4), (66, 19)):                               # two bright stars
        c.put(x, y, "*", WHITE)
        c.put(x - 1, y, "\u2500", LBLUE)
        c.put(x + 1, y, "\u2500", LBLUE)
        c.put(x, y - 1, "\u2502", BLUE)
        c.put(x, y + 1, "\u2502", BLUE)

    L = PixelLayer()
    px, py, pr = 44, 24, 14.0
    tilt, ring_in, ring_out = 0.28, 1.35, 2.15
    light = (-0.65, -0.45, 0.62)
    bands = [YELLOW, BROWN, YELLOW, LRED, BROWN, YELLOW, BROWN]

    def ring_at(x, y):
        """Ring colour at a pixel, or None; the ring plane is tilted towards us."""
        dx, dy = (x + 0.5 - px) / pr, (y + 0.5 - py) / pr
        rr = math.hypot(dx, dy / tilt)
        if ring_in < rr < ring_out:
            k = (rr - ring_in) / (ring_out - ring_in)
            if 0.45 < k < 0.52:
                return None                                        # the gap in the rings
            return GREY if k < 0.3 else WHITE if k < 0.45 else BROWN if k < 0.8 else DGREY
        return None

    for y in range(PH):
        for x in range(PW):
            dx, dy = (x + 0.5 - px) / pr, (y + 0.5 - py) / pr
            rc = ring_at(x, y)
            if rc is not None and dy < 0:                          # the far half of the ring
                L.set(x, y, rc)
            if dx * dx + dy * dy < 1:
                dz = math.sqrt(1 - dx * dx - dy * dy)
                lum = dx * light[0] + dy * light[1] + dz * light[2]
                lat = dy + 0.05 * math.sin(dx * 5)
                col = bands[int((lat + 1) * 3.5 + 0.3 * nz.value(x * 0.3, y * 0.8)) % len(bands)]
                # The ring's shadow across the globe.
                if abs(dy - 0.22 + dx * 0.02) < 0.06:
                    lum -= 0.5
                if lum < 0.05:
                    col = BLACK
                elif lum < 0.3:
                    col = {YELLOW: BROWN, BROWN: RED, LRED: RED}[col]
                elif lum > 0.9 and col == YELLOW:
                    col = WHITE
                L.set(x, y, col)
            if rc is not None and dy >= 0:                         # the near half
                L.set(x, y, rc)
    # A small blue moon, lit from the same side.
    mx, my, mr = 12, 36, 5.0

    def moon(x, y, d):
        dx, dy = (x + 0.5 - mx) / mr, (y + 0.5 - my) / mr
        lum = -0.65 * dx - 0.45 * dy + 0.6 * math.sqrt(max(0, 1 - dx * dx - dy * dy))
        return BLACK if lum < 0.05 else BLUE if lum < 0.4 else LBLUE if lum < 0.8 else LCYAN
    L.disc(mx, my, mr, moon)
    c.pixels(L)
    c.text(55, 22, "k e p l e r  d r i f t", GREY, BLACK)
    signature(c, 74, 23, "nyx", DGREY, BLACK)
    return c


# --------------------------------------------------------------------------
# 8. Chrome logo: "text mode" in polished metal over a dark horizon
# --------------------------------------------------------------------------

CHROME_SKY = [WHITE, GREY, LCYAN, CYAN, BLUE]
CHROME_GROUND = [BLACK, BROWN, YELLOW, WHITE]


def chrome_cell(t, x, y):
    """Metal: sky reflected in the upper half, a hard horizon, warm ground below."""
    if t < 0.52:
        return ramp_cell(CHROME_SKY, t / 0.52, x, y, dither=0.8)
    return ramp_cell(CHROME_GROUND, 0.2 + (t - 0.52) / 0.48 * 0.8, x, y, dither=0.8)


def chrome_edge(t):
    return WHITE if t < 0.2 else LCYAN if t < 0.4 else BLUE if t < 0.52 else BROWN if t < 0.75 else YELLOW


def art_chrome():
    c = Canvas()
    # Thin blue rules behind the middle of each word, the horizon the metal reflects.
    for y in (6, 17):
        for x in range(W):
            c.put(x, y, "\u2550", BLUE, BLACK)
        for x in range(W):
            c.put(x, y + 1, "\u2500", BLUE if x % 4 else BLACK, BLACK)
    lines = (("text", 3, 0.0), ("mode", 25, 0.0))
    letter_w, letter_h, gap, thick = 9, 11, 5, 3.2
    for word, y0, _ in lines:
        width = word_width(word, letter_w, gap)
        x0 = (PW - width) / 2 + (-7 if word == "text" else 5)
        mask, _ = stroke_mask(word, x0, y0 + 6, letter_w, letter_h, gap, thick, slant=0.18)
        top, bottom = y0 + 6, y0 + 6 + letter_h
        outline = dilate(mask, 1)
        shadow = shift(outline, 2, 2) - outline
        for (x, y) in shadow:
            c.pixel_put(x, y, BLACK)
        for (x, y) in outline - mask:
            c.pixel_put(x, y, DGREY if y < (top + bottom) / 2 else GREY)

        def t_of(py, top=top, bottom=bottom):
            return clamp((py - top) / (bottom - top))
        paint_mask(c, mask, lambda x, y: chrome_cell(t_of(2 * y + 1), x, y),
                   lambda x, y: chrome_edge(t_of(2 * y + 1)))
    # Glints: small four-pointed stars on the metal.
    for gx, gy in ((22, 5), (48, 16)):
        c.put(gx, gy, 0xFE, WHITE)
        c.put(gx - 1, gy, "\u2500", GREY)
        c.put(gx + 1, gy, "\u2500", GREY)
        c.put(gx, gy - 1, "\u2502", GREY)
        c.put(gx, gy + 1, "\u2502", GREY)
    c.text_center(23, " quix  \u00b7  i s s u e  o n e  \u00b7  a n s i  a r t ", GREY, BLACK)
    signature(c, 2, 0, "chrome by strata", DGREY, BLACK)
    return c


# --------------------------------------------------------------------------
# 9. Underwater: light shafts, kelp, fish, bubbles and a coral floor
# --------------------------------------------------------------------------

def fish(layer, x, y, length, body, fin, facing=1):
    """A side-on fish: an oval body, a forked tail and one dark eye."""
    ellipse(layer, x, y, length / 2, length / 3.2, lambda px, py, d: fin if (px + py) % 4 == 0 and d > 0.4 else body)
    tail = x - facing * length / 2
    layer.polygon([(tail + facing * 1, y), (tail - facing * length / 3, y - length / 4),
                   (tail - facing * length / 3, y + length / 4)], fin)
    layer.set(int(x + facing * length / 3), int(y - 1), BLACK)


def art_underwater():
    c = Canvas()
    nz = Noise(404)
    water = [BLACK, BLUE, CYAN, LCYAN]
    for y in range(H):
        for x in range(W):
            depth = y / H
            ray = max(0.0, math.sin((x - y * 1.1) * 0.22 + 1.0)) ** 6 * (1 - depth) * 0.35
            t = 0.72 - depth * 0.72 + ray + (nz.value(x * 0.2, y * 0.4) - 0.5) * 0.08
            c.ramp(x, y, water, t, dither=1.2)
    for x in range(W):                                       # the surface, seen from below
        c.put(x, 0, "\u2248" if (x // 3) % 2 else "~", WHITE if x % 5 else LCYAN, CYAN)
    L = PixelLayer()
    # Sand and rocks on the floor.
    for x in range(PW):
        top = 42 + 2.5 * nz.fbm(x * 0.06, 9.0)
        for y in range(int(top), PH):
            L.set(x, y, YELLOW if y < top + 1 else BROWN if (x * 3 + y) % 5 else DGREY)
    for rx, ry, r in ((8, 42, 4), (60, 43, 3), (70, 41, 5)):
        ellipse(L, rx, ry, r * 1.4, r, lambda x, y, d: GREY if d < 0.5 and y < ry else DGREY)
    # Kelp: stalks that sway with the current.
    for kx, hgt, ph in ((5, 30, 0.0), (9, 22, 1.3), (14, 34, 2.1), (66, 28, 0.7), (74, 36, 1.9), (77, 20, 2.8)):
        for y in range(44 - hgt, 45):
            sway = 2.2 * math.sin(y * 0.25 + ph) * (44 - y) / hgt
            L.set(int(kx + sway), y, LGREEN if y % 3 else GREEN)
            if y % 4 == 0:
                L.set(int(kx + sway) + (1 if y % 8 else -1), y, GREEN)
    # Coral: branching fans in warm colours.
    rng = random.Random(9)

    def coral(x, y, length, angle, col, depth=0):
        for i in range(int(length)):
            L.set(int(round(x)), int(round(y)), col)
            x += math.cos(angle) * 0.8
            y -= math.sin(angle) * 0.8
        if depth < 3:
            for da in (-0.5, 0.45):
                coral(x, y, length * 0.7, angle + da + rng.uniform(-0.2, 0.2), col, depth + 1)
    coral(30, 44, 5, math.pi / 2, LMAGENTA)
    coral(42, 45, 6, math.pi / 2 + 0.2, LRED)
    coral(52, 44, 4, math.pi / 2 - 0.1, LMAGENTA)
    # Fish.
    fish(L, 22, 15, 12, YELLOW, BROWN, 1)
    fish(L, 36, 23, 8, YELLOW, BROWN, 1)
    fish(L, 56, 12, 12, LRED, RED, -1)
    for fx, fy in ((44, 30), (51, 27), (50, 34), (57, 31)):
        fish(L, fx, fy, 6, LCYAN, CYAN, -1)
    c.pixels(L)
    # Rising bubbles.
    for bx, by0 in ((27, 1), (48, 3), (70, 9)):
        for i, y in enumerate(range(by0, by0 + 8, 2)):
            c.put(bx + (i % 2), y, "o" if i > 1 else "\u00b0", WHITE if i < 2 else LCYAN)
    c.text(2, 23, "d e e p  b l u e", LCYAN, c.get(2, 23)[2])
    signature(c, 73, 23, "mirelle", YELLOW, c.get(73, 23)[2])
    return c


# --------------------------------------------------------------------------
# 10. Still life: a terminal on a desk at night, coffee and a lamp
# --------------------------------------------------------------------------

def art_terminal():
    c = Canvas()
    # Wall: a warm pool of lamplight fading into the dark room.
    for y in range(16):
        for x in range(W):
            d = math.hypot((x - 64) / 2.0, y - 12) / 14.0
            c.ramp(x, y, [BLACK, RED], 0.7 - d * 0.9, dither=0.6)
    # Desk top and front edge.
    for y in range(16, H):
        for x in range(W):
            d = math.hypot((x - 62) / 2.5, (y - 17) * 1.5) / 12.0
            c.ramp(x, y, [BLACK, RED, BROWN, YELLOW], 0.62 - d * 0.7, dither=0.6)
    c.fill(0, 16, W - 1, 16, "\u2580", BROWN, BLACK)
    for x in range(W):
        if x % 9 == 3:
            c.put(x, 19, "\u2500", RED, c.get(x, 19)[2])

    # Monitor: a grey case, a dark green screen, a stand.
    mx0, my0, mx1, my1 = 6, 1, 43, 16
    c.fill(mx0, my0, mx1, my1, FULL, GREY, BLACK)
    for x in range(mx0, mx1 + 1):
        c.put(x, my0, LOWER, GREY, BLACK)
        c.put(x, my1, UPPER, DGREY, BLACK)
    for y in range(my0 + 1, my1):
        c.put(mx0, y, FULL, DGREY, BLACK)
        c.put(mx1, y, DARK, GREY, BLACK)
    sx0, sy0, sx1, sy1 = mx0 + 3, my0 + 2, mx1 - 3, my1 - 3
    c.fill(sx0 - 1, sy0 - 1, sx1 + 1, sy1 + 1, FULL, DGREY, BLACK)
    c.fill(sx0, sy0, sx1, sy1, SPACE, GREEN, BLACK)
    screen = [
        "QUIX/OS 1.0   80x25 text mode",
        "",
        "> dir art",
        "  ART1  ANS    5 kb   logo",
        "  ART2  ANS    4 kb   lake",
        "  ART10 ANS    6 kb   still",
        "> view art10",
        "> _",
    ]
    for i, line in enumerate(screen):
        c.text(sx0 + 1, sy0 + i, line, LGREEN if line.startswith(">") or i == 0 else GREEN, BLACK)
    c.put(sx0 + 3, sy0 + 7, FULL, LGREEN, BLACK)
    for y in range(sy0, sy1 + 1, 2):                       # scan lines on the glass
        c.put(sx1, y, LIGHT, DGREY, BLACK)
    c.put(mx1 - 4, my1 - 1, 0xFE, LGREEN, GREY)            # power light
    c.text(mx0 + 3, my1 - 1, "quix", DGREY, GREY)
    c.fill(20, 17, 29, 17, FULL, DGREY, BLACK)
    c.fill(16, 18, 33, 18, UPPER, DGREY, c.get(16, 18)[2])

    # Keyboard in front of the monitor.
    for x in range(8, 46):
        c.put(x, 20, LOWER, DGREY, c.get(x, 20)[2])
        for y in (21, 22):
            c.put(x, y, 0xFE, GREY if (x + y) % 2 else WHITE, BLACK)
    c.fill(18, 22, 34, 22, LOWER, GREY, BLACK)
    c.fill(8, 23, 45, 23, UPPER, DGREY, c.get(8, 23)[2])

    # Coffee mug with steam.
    mug = PixelLayer()
    for y in range(30, 42):
        for x in range(52, 60):
            mug.set(x, y, WHITE if x < 55 else GREY if x < 58 else DGREY)
    for y in range(32, 39):
        mug.set(60, y, GREY if y in (32, 38) else None)
        mug.set(61, y, GREY if 32 < y < 38 else None)
    for x in range(52, 60):
        mug.set(x, 30, BROWN)
    c.pixels(mug)
    # Steam: two thin wisps curling up from the cup.
    steam = PixelLayer()
    for y in range(20, 29):
        if y % 3 != 0:
            steam.set(int(round(55 + 1.4 * math.sin(y * 0.55))), y, DGREY)
        if y > 22 and y % 3 != 1:
            steam.set(int(round(57 + 1.2 * math.sin(y * 0.6 + 2))), y, DGREY)
    c.pixels(steam)

    # Desk lamp: base, a jointed arm and a conical shade with a warm bulb.
    lamp = PixelLayer()
    for x in range(67, 77):
        lamp.set(x, 41, DGREY)
        lamp.set(x, 40, GREY)

    def arm(x0, y0, x1, y1):
        n = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(n + 1):
            lamp.set(int(round(x0 + (x1 - x0) * i / n)), int(round(y0 + (y1 - y0) * i / n)), GREY)
    arm(72, 39, 75, 24)
    arm(75, 24, 66, 14)
    lamp.set(75, 24, WHITE)
    lamp.polygon([(61, 12), (66, 12), (71, 20), (56, 20)], lambda x, y: LRED if y < 18 else RED)
    for x in range(58, 70):
        lamp.set(x, 20, YELLOW if 60 < x < 67 else BROWN)
    c.pixels(lamp)
    c.text(48, 23, "l a t e   s h i f t", YELLOW, c.get(48, 23)[2])
    signature(c, 70, 23, "glyphic", BROWN, c.get(70, 23)[2])
    return c


PIECES = [
    ("art1.ans", art_logo_quix, "quix", "nyx"),
    ("art2.ans", art_landscape, "last light over the lake", "kestrel"),
    ("art3.ans", art_owl, "still watching", "vortal"),
    ("art4.ans", art_city, "neon harbour", "vortal"),
    ("art5.ans", art_abstract, "form no. 5", "glyphic"),
    ("art6.ans", art_balloons, "up and away", "kestrel"),
    ("art7.ans", art_space, "kepler drift", "nyx"),
    ("art8.ans", art_chrome, "text mode", "strata"),
    ("art9.ans", art_underwater, "deep blue", "mirelle"),
    ("art10.ans", art_terminal, "late shift", "glyphic"),
]


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "content"
    out.mkdir(parents=True, exist_ok=True)
    for name, fn, title, author in PIECES:
        size = write_piece(out / name, fn(), title, author)
        print(f"{name}: {size} bytes  '{title}' by {author}")


if __name__ == "__main__":
    main()
