"""Cell canvas for the magazine's 80x25 screens.

A canvas is a grid of cells, each a code page 437 byte and a PC text attribute
(foreground 0-15 in the low nibble, background 0-7 in the high nibble). On top
of it sit a half-block pixel layer (two square pixels per cell, top and bottom),
two block-letter fonts, frames, gradients and shading ramps.

A canvas serialises two ways:
  * to_ansi(): CP437 bytes, ESC[...m colours, every row placed with ESC[row;colH,
    CR LF after each row but the last, byte 26 at the end;
  * to_twin(): a form feed (byte 12: the screen is cleared and the cursor
    homed, as the menus draw a backdrop wherever a wipe left the cursor),
    then 7-bit characters and pipe colour codes (|00-|15 foreground,
    |16-|23 background), CR LF line ends, no escape sequences at all.

decode() plays a file back the way the magazine's renderer and character
writer do (pipe codes, SGR, cursor moves, the deferred wrap on row 24, the
scroll on the last cell) so that a generated file can be checked cell by cell.
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field

COLS = 80
ROWS = 25

ESC = "\x1b"
SUB = 26
FF = 12          # form feed: clears the screen and homes the cursor

# Code page 437 bytes the screens use.
FULL = 0xDB      # full block
LOWER = 0xDC     # lower half block
UPPER = 0xDF     # upper half block
LEFT = 0xDD      # left half block
RIGHT = 0xDE     # right half block
LIGHT = 0xB0     # light shade
MEDIUM = 0xB1    # medium shade
DARK = 0xB2      # dark shade
DOT = 0xFA       # small middle dot
BULLET = 0xF9    # bullet
SQUARE = 0xFE    # small square
H1, V1 = 0xC4, 0xB3                      # single line
TL1, TR1, BL1, BR1 = 0xDA, 0xBF, 0xC0, 0xD9
H2, V2 = 0xCD, 0xBA                      # double line
TL2, TR2, BL2, BR2 = 0xC9, 0xBB, 0xC8, 0xBC
RAQUO, LAQUO = 0xAF, 0xAE                # >> and <<

# What each non-ASCII byte becomes in a twin. Block and shade glyphs lose
# their background there (see Canvas.twin_cell).
TWIN_CHAR = {
    FULL: "#", LOWER: "m", UPPER: "\"", LEFT: "#", RIGHT: "#",
    LIGHT: ".", MEDIUM: ":", DARK: "%",
    DOT: ".", BULLET: ".", SQUARE: "o",
    H1: "-", V1: "|", TL1: ".", TR1: ".", BL1: "'", BR1: "'",
    H2: "=", V2: "|", TL2: "#", TR2: "#", BL2: "#", BR2: "#",
    RAQUO: ">", LAQUO: "<",
}
BLOCK_GLYPHS = {FULL, LOWER, UPPER, LEFT, RIGHT, LIGHT, MEDIUM, DARK}

# PC colour number -> ANSI colour digit (bits 0 and 2 exchanged).
PC_TO_ANSI = [0, 4, 2, 6, 1, 5, 3, 7]


def attr(fg: int, bg: int = 0) -> int:
    return (bg & 7) << 4 | (fg & 15)


@dataclass
class Cell:
    ch: int = 32
    fg: int = 7
    bg: int = 0

    def blank(self) -> bool:
        return self.ch == 32 and self.bg == 0


# --------------------------------------------------------------------------
# Canvas
# --------------------------------------------------------------------------

class Canvas:
    """80x25 cells; every public coordinate is 1-based (column, row)."""

    def __init__(self) -> None:
        self.cells = [[Cell() for _ in range(COLS)] for _ in range(ROWS)]

    # -- single cells --------------------------------------------------------
    def inside(self, x: int, y: int) -> bool:
        return 1 <= x <= COLS and 1 <= y <= ROWS

    def cell(self, x: int, y: int) -> Cell:
        return self.cells[y - 1][x - 1]

    def put(self, x: int, y: int, ch: int | str, fg: int = 7, bg: int = 0) -> None:
        if not self.inside(x, y):
            return
        code = ord(ch) if isinstance(ch, str) else ch
        if (x, y) == (COLS, ROWS) and not (code == 32 and bg == 0):
            return      # the writer scrolls the screen when this cell is written
        self.cells[y - 1][x - 1] = Cell(code, fg, bg)

    def fill(self, x1: int, y1: int, x2: int, y2: int, ch: int | str, fg: int, bg: int = 0) -> None:
        for y in range(y1, y2 + 1):
            for x in range(x1, x2 + 1):
                self.put(x, y, ch, fg, bg)

    # -- text ------------------------------------------------------------------
    def text(self, x: int, y: int, s: str, fg: int = 7, bg: int = 0) -> int:
        """Writes s from (x, y); returns the column after its end."""
        for i, c in enumerate(s):
            self.put(x + i, y, c, fg, bg)
        return x + len(s)

    def text_center(self, y: int, s: str, fg: int = 7, bg: int = 0, x1: int = 1, x2: int = COLS) -> int:
        x = x1 + (x2 - x1 + 1 - len(s)) // 2
        self.text(x, y, s, fg, bg)
        return x

    def text_ramp(self, x: int, y: int, s: str, colours: list[int], bg: int = 0) -> int:
        """Colours the letters of s along a ramp, spread over its length."""
        n = max(1, len(s) - 1)
        for i, c in enumerate(s):
            self.put(x + i, y, c, colours[round(i * (len(colours) - 1) / n)], bg)
        return x + len(s)

    # -- lines and frames ----------------------------------------------------------
    def hline(self, x1: int, x2: int, y: int, ch: int, colours: list[int] | int, bg: int = 0) -> None:
        ramp = colours if isinstance(colours, list) else [colours]
        n = max(1, x2 - x1)
        for x in range(x1, x2 + 1):
            self.put(x, y, ch, ramp[round((x - x1) * (len(ramp) - 1) / n)], bg)

    def hline_sym(self, x1: int, x2: int, y: int, ch: int, colours: list[int], bg: int = 0) -> None:
        """A line whose colour ramp runs from both ends to the middle."""
        half = (x2 - x1) / 2 or 1
        for x in range(x1, x2 + 1):
            d = 1 - abs(x - x1 - half) / half
            self.put(x, y, ch, colours[min(len(colours) - 1, int(d * len(colours)))], bg)

    def frame(self, x1: int, y1: int, x2: int, y2: int, double: bool, colours: list[int] | int) -> None:
        """A box outline whose colour fades along a ramp from the top-left corner."""
        ramp = colours if isinstance(colours, list) else [colours]
        h, v, tl, tr, bl, br = (H2, V2, TL2, TR2, BL2, BR2) if double else (H1, V1, TL1, TR1, BL1, BR1)
        span = (x2 - x1) + (y2 - y1)

        def colour(x: int, y: int) -> int:
            return ramp[min(len(ramp) - 1, round(((x - x1) + (y - y1)) * (len(ramp) - 1) / span))]

        for x in range(x1 + 1, x2):
            self.put(x, y1, h, colour(x, y1))
            self.put(x, y2, h, colour(x, y2))
        for y in range(y1 + 1, y2):
            self.put(x1, y, v, colour(x1, y))
            self.put(x2, y, v, colour(x2, y))
        self.put(x1, y1, tl, colour(x1, y1))
        self.put(x2, y1, tr, colour(x2, y1))
        self.put(x1, y2, bl, colour(x1, y2))
        self.put(x2, y2, br, colour(x2, y2))

    def block_frame(self, x1: int, y1: int, x2: int, y2: int, fg: int, shade_fg: int) -> None:
        """A frame of half blocks: solid top and left, shaded bottom and right."""
        for x in range(x1, x2 + 1):
            self.put(x, y1, LOWER, fg)
            self.put(x, y2, UPPER, shade_fg)
        for y in range(y1 + 1, y2):
            self.put(x1, y, RIGHT, fg)
            self.put(x2, y, LEFT, shade_fg)

    # -- serialising -------------------------------------------------------------------
    def rows_in_use(self) -> list[tuple[int, int, int]]:
        """(row, first, last) 1-based column span of the non-blank cells of each row."""
        out = []
        for y in range(1, ROWS + 1):
            row = self.cells[y - 1]
            used = [i for i, c in enumerate(row) if not c.blank()]
            if used:
                out.append((y, used[0] + 1, used[-1] + 1))
        return out

    def to_ansi(self) -> bytes:
        out = bytearray()
        out += (ESC + "[0m").encode()
        state = SgrState()
        rows = self.rows_in_use()
        for n, (y, first, last) in enumerate(rows):
            out += f"{ESC}[{y};{first}H".encode()
            x = first
            while x <= last:
                c = self.cell(x, y)
                # A run of five or more blank cells is cheaper skipped than written.
                run = 0
                while x + run <= last and self.cell(x + run, y).blank():
                    run += 1
                if run >= 5:
                    out += f"{ESC}[{run}C".encode()
                    x += run
                    continue
                out += state.change(c)
                out.append(c.ch)
                x += 1
            # After column 80 the cursor has wrapped (or waits to) by itself, and
            # the next row is placed explicitly anyway: a CR LF there could only
            # risk a scroll.
            if n != len(rows) - 1 and last < COLS:
                out += b"\r\n"
        out += (ESC + "[0m").encode()
        out.append(SUB)
        return bytes(out)

    def twin_cell(self, c: Cell) -> tuple[str, int, int]:
        if c.ch < 128:
            return chr(c.ch), c.fg, c.bg
        ch = TWIN_CHAR.get(c.ch, "+")
        if c.ch in BLOCK_GLYPHS:
            # A half or shade block shows two colours; in ASCII the glyph gets
            # the foreground alone, on black.
            return ch, c.fg, 0
        return ch, c.fg, c.bg

    def to_twin(self) -> bytes:
        rows = {y: last for y, _first, last in self.rows_in_use()}
        lasts = {y: rows.get(y, 0) for y in range(1, ROWS + 1)}
        text, _bg = pipe_rows(lambda x, y: self.twin_cell(self.cell(x, y)), lasts, fg=-1, bg=-1)
        return bytes([FF]) + text.encode("ascii") + bytes([SUB])


def pipe_rows(look, lasts: dict[int, int], fg: int, bg: int) -> tuple[str, int]:
    """The rows of a twin as pipe-coded text: row y up to column lasts[y],
    each cell given by look(x, y) as (character, text colour, background),
    with a colour code only where a colour changes from (fg, bg). Returns
    the text and the background it leaves set."""
    out: list[str] = []
    last_row = max((y for y, last in lasts.items() if last), default=0)
    for y in range(1, last_row + 1):
        last = lasts[y]
        for x in range(1, last + 1):
            ch, cfg, cbg = look(x, y)
            if cbg != bg:
                out.append(f"|{16 + cbg:02d}")
                bg = cbg
            if ch != " " and cfg != fg:
                out.append(f"|{cfg:02d}")
                fg = cfg
            out.append(ch)
        # A glyph in column 80 of rows 1..23 moves the cursor down by itself;
        # row 24 wraps late, so its CR LF is still needed.
        if y < last_row and not (last == COLS and y <= ROWS - 2):
            out.append("\r\n")
    return "".join(out), bg


class SgrState:
    """Tracks the renderer's attribute so that each cell costs as few bytes as possible."""

    def __init__(self) -> None:
        self.fg, self.bg = 7, 0

    def change(self, c: Cell) -> bytes:
        fg, bg = c.fg, c.bg
        if c.ch == 32:
            fg = self.fg                 # a space shows no foreground
        if c.ch == FULL:
            bg = self.bg                 # a full block shows no background
        if (fg, bg) == (self.fg, self.bg):
            return b""
        params: list[str] = []
        if self.fg >= 8 and fg < 8:
            params.append("0")           # only a reset clears the intensity
            self.fg, self.bg = 7, 0
        if fg >= 8 and self.fg < 8:
            params.append("1")
        if (fg & 7) != (self.fg & 7):
            params.append(str(30 + PC_TO_ANSI[fg & 7]))
        if bg != self.bg:
            params.append(str(40 + PC_TO_ANSI[bg]))
        self.fg, self.bg = fg, bg
        return f"{ESC}[{';'.join(params)}m".encode()


# --------------------------------------------------------------------------
# Half-block pixels
# --------------------------------------------------------------------------

class Pixels:
    """A layer of square pixels, two per cell vertically; None is transparent."""

    def __init__(self) -> None:
        self.px: dict[tuple[int, int], int] = {}

    def set(self, x: int, y: int, colour: int) -> None:
        """x is a 1-based column, y a 0-based pixel row (row r holds 2r-2 and 2r-1)."""
        if 1 <= x <= COLS and 0 <= y < ROWS * 2:
            self.px[(x, y)] = colour

    def get(self, x: int, y: int) -> int | None:
        return self.px.get((x, y))

    def draw_onto(self, canvas: Canvas, ascii_only: bool = False) -> None:
        """Puts the pixels on the canvas as half blocks, or, for a twin, as
        '#' (both pixels), "'" (top pixel) and ',' (bottom pixel)."""
        rows = {y // 2 for (_x, y) in self.px}
        cols = {x for (x, _y) in self.px}
        for r in rows:
            for x in cols:
                top, bottom = self.get(x, 2 * r), self.get(x, 2 * r + 1)
                if top is None and bottom is None:
                    continue
                if ascii_only:
                    ch = "#" if top and bottom else "'" if top else "," if bottom else " "
                    canvas.put(x, r + 1, ch, top or bottom or 7, 0)
                    continue
                under = canvas.cell(x, r + 1).bg
                canvas.put(x, r + 1, *half_cell(top, bottom, under))


def half_cell(top: int | None, bottom: int | None, under: int) -> tuple[int, int, int]:
    """The glyph and colours that show two stacked pixels in one cell."""
    if top is None:
        return (LOWER, bottom, under) if bottom else (32, 7, under)
    if bottom is None:
        return (UPPER, top, under) if top else (32, 7, under)
    if top == bottom:
        return (FULL, top, 0) if top else (32, 7, 0)
    if bottom < 8:
        return (UPPER, top, bottom)
    if top < 8:
        return (LOWER, bottom, top)
    return (UPPER, top, bottom & 7)     # two bright colours: the lower one dims


# --------------------------------------------------------------------------
# Block-letter fonts
# --------------------------------------------------------------------------

@dataclass
class Glyph:
    rows: list[str]           # every row the same width, '#' = ink
    ascent: int               # rows above the x-height
    width: int = field(init=False)

    def __post_init__(self) -> None:
        self.width = max((len(r) for r in self.rows), default=0)


@dataclass
class Font:
    glyphs: dict[str, Glyph]
    x_height: int
    space: int
    gap: int = 1

    def glyph(self, ch: str) -> Glyph:
        return self.glyphs[ch]

    def word_width(self, text: str, sx: int = 1) -> int:
        total = 0
        for i, ch in enumerate(text):
            total += (self.space if ch == " " else self.glyph(ch).width) * sx
            if i != len(text) - 1:
                total += self.gap * sx
        return total

    def ink(self, text: str) -> tuple[list[tuple[int, int]], int, int]:
        """Ink pixels of text at scale 1, relative to the top of the x-height:
        a list of (x, y), and the lowest and highest y used."""
        pts = []
        x = 0
        for ch in text:
            if ch == " ":
                x += self.space + self.gap
                continue
            g = self.glyph(ch)
            for gy, row in enumerate(g.rows):
                for gx, c in enumerate(row):
                    if c == "#":
                        pts.append((x + gx, gy - g.ascent))
            x += g.width + self.gap
        ys = [y for _x, y in pts]
        return pts, min(ys), max(ys)


def parse_font(src: str, x_height: int, space: int) -> Font:
    """Glyphs are written as a ':' line naming the character, then one row per
    line whose first column says where the row sits: '^' above the x-height,
    ' ' inside it, 'v' below it."""
    glyphs: dict[str, Glyph] = {}
    name = None
    rows: list[str] = []
    ascent = 0

    def close() -> None:
        if name is not None:
            width = max(len(r) for r in rows)
            glyphs[name] = Glyph([r.ljust(width, ".") for r in rows], ascent)

    for line in src.splitlines():
        if not line.strip():
            continue
        if line.startswith(":"):
            close()
            name, rows, ascent = line[1], [], 0
            continue
        kind, body = line[0], line[1:]
        if kind == "^":
            ascent += 1
        rows.append(body)
    close()
    return Font(glyphs, x_height, space)


def draw_word(px: Pixels, font: Font, text: str, x: int, top: int, colours, sx: int = 1, sy: int = 1,
              shadow: int | None = None, outline: int | None = None) -> tuple[int, int]:
    """Draws text in font with its x-height starting at pixel row top.

    colours(row) gives the colour of a pixel row counted from the top of the
    ink (0 = topmost ink row at this scale). Returns the first and last pixel
    row used. shadow draws a copy one pixel down and right underneath;
    outline rings the letters with a one-pixel border."""
    pts, lo, hi = font.ink(text)
    cells: set[tuple[int, int]] = set()
    for (gx, gy) in pts:
        for i in range(sx):
            for j in range(sy):
                cells.add((x + gx * sx + i, top + gy * sy + j))
    first = top + lo * sy
    if outline is not None:
        for (cx, cy) in cells:
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    if (cx + dx, cy + dy) not in cells:
                        px.set(cx + dx, cy + dy, outline)
    if shadow is not None:
        for (cx, cy) in cells:
            if (cx + 1, cy + 1) not in cells:
                px.set(cx + 1, cy + 1, shadow)
    for (cx, cy) in cells:
        px.set(cx, cy, colours(cy - first))
    return first, top + hi * sy + sy - 1


def ramp_fn(ramp: list[int], height: int):
    """Maps a pixel row 0..height-1 onto the colour ramp, top to bottom."""
    def colour(row: int) -> int:
        return ramp[max(0, min(len(ramp) - 1, row * len(ramp) // max(1, height)))]
    return colour


# --------------------------------------------------------------------------
# Shading
# --------------------------------------------------------------------------

# Tone ramps from dark to bright: (glyph, foreground, background).
RAMP_BLUE = [(32, 0, 0), (LIGHT, 1, 0), (MEDIUM, 1, 0), (DARK, 1, 0), (FULL, 1, 0),
             (LIGHT, 9, 1), (MEDIUM, 9, 1), (DARK, 9, 1), (FULL, 9, 0),
             (MEDIUM, 11, 1), (DARK, 11, 1), (FULL, 11, 0), (MEDIUM, 15, 3), (DARK, 15, 3), (FULL, 15, 0)]
RAMP_RED = [(32, 0, 0), (LIGHT, 5, 0), (MEDIUM, 5, 0), (LIGHT, 4, 5), (DARK, 4, 5), (FULL, 4, 0),
            (LIGHT, 12, 4), (MEDIUM, 12, 4), (DARK, 12, 4), (FULL, 12, 0),
            (MEDIUM, 14, 4), (DARK, 14, 4), (FULL, 14, 0), (DARK, 15, 6), (FULL, 15, 0)]
RAMP_GREEN = [(32, 0, 0), (LIGHT, 2, 0), (MEDIUM, 2, 0), (DARK, 2, 0), (FULL, 2, 0),
              (LIGHT, 10, 2), (MEDIUM, 10, 2), (DARK, 10, 2), (FULL, 10, 0),
              (MEDIUM, 15, 2), (DARK, 15, 2), (FULL, 15, 0)]
RAMP_CYAN = [(32, 0, 0), (LIGHT, 1, 0), (MEDIUM, 1, 0), (LIGHT, 3, 1), (MEDIUM, 3, 1), (DARK, 3, 1),
             (FULL, 3, 0), (LIGHT, 11, 3), (MEDIUM, 11, 3), (DARK, 11, 3), (FULL, 11, 0),
             (MEDIUM, 15, 3), (DARK, 15, 3), (FULL, 15, 0)]
RAMP_GREY = [(32, 0, 0), (LIGHT, 8, 0), (MEDIUM, 8, 0), (DARK, 8, 0), (FULL, 8, 0),
             (LIGHT, 7, 0), (MEDIUM, 7, 0), (DARK, 7, 0), (FULL, 7, 0),
             (MEDIUM, 15, 7), (DARK, 15, 7), (FULL, 15, 0)]


def ascii_ramp(chars: str, colours: list[int]) -> list[tuple[int, int, int]]:
    """A tone ramp for twins: one ASCII character per step, coloured along colours."""
    n = len(chars)
    return [(ord(ch), colours[i * len(colours) // n], 0) for i, ch in enumerate(chars)]


ASC_BLUE = ascii_ramp(" .:-=+*#%@", [1, 1, 1, 9, 9, 9, 11, 11, 15, 15])
ASC_RED = ascii_ramp(" .:-=+*#%@", [5, 5, 4, 4, 12, 12, 12, 14, 14, 15])
ASC_GREEN = ascii_ramp(" .:-=+*#%@", [2, 2, 2, 2, 10, 10, 10, 10, 15, 15])
ASC_CYAN = ascii_ramp(" .:-=+*#%@", [1, 1, 3, 3, 3, 11, 11, 11, 15, 15])
ASC_GREY = ascii_ramp(" .:-=+*#%@", [8, 8, 8, 7, 7, 7, 7, 15, 15, 15])


def tone(ramp: list[tuple[int, int, int]], level: float) -> tuple[int, int, int]:
    level = max(0.0, min(1.0, level))
    return ramp[min(len(ramp) - 1, int(level * len(ramp)))]


def sphere(canvas: Canvas, cx: float, cy: float, rx: float, ramp: list[tuple[int, int, int]],
           light: tuple[float, float, float] = (-0.55, -0.6, 0.58), ambient: float = 0.08,
           skip=None) -> None:
    """A lit ball at cell resolution; cells are twice as tall as wide, so the
    vertical radius is half the horizontal one. skip(x, y) may keep cells out
    (for example the part of a ring in front of the ball)."""
    ry = rx / 2
    lx, ly, lz = light
    norm = math.sqrt(lx * lx + ly * ly + lz * lz)
    lx, ly, lz = lx / norm, ly / norm, lz / norm
    for y in range(1, ROWS + 1):
        for x in range(1, COLS + 1):
            nx, ny = (x - cx) / rx, (y - cy) / ry
            d = nx * nx + ny * ny
            if d > 1 or (skip and skip(x, y)):
                continue
            nz = math.sqrt(1 - d)
            diffuse = max(0.0, nx * lx + ny * ly + nz * lz)
            shine = diffuse ** 12 * 0.35
            canvas.put(x, y, *tone(ramp, ambient + diffuse * 0.85 + shine))


def ring(canvas: Canvas, cx: float, cy: float, rx: float, ry: float, width: float,
         colours: list[int], front: bool, ball=None, ascii_only: bool = False) -> None:
    """An elliptic ring around a ball drawn with half-block pixels. front picks
    the half that passes in front of the ball (lower half) or behind it."""
    px = Pixels()
    for y in range(0, ROWS * 2):
        for x in range(1, COLS + 1):
            nx, ny = (x - cx) / rx, (y / 2 + 0.75 - cy) / ry
            d = math.sqrt(nx * nx + ny * ny)
            if not (1 - width <= d <= 1):
                continue
            is_front = (y / 2 + 0.75) >= cy
            if is_front != front:
                continue
            if not front and ball and ball(x, y / 2 + 0.75):
                continue
            k = int((d - (1 - width)) / width * len(colours))
            px.set(x, y, colours[min(len(colours) - 1, k)])
    px.draw_onto(canvas, ascii_only)


# --------------------------------------------------------------------------
# Playing a file back
# --------------------------------------------------------------------------

@dataclass
class Playback:
    cells: list[list[Cell]]
    scrolled: bool          # the writer had to scroll: the picture moved up
    wrote_last_cell: bool   # column 80 of row 25 was written
    cursor: tuple[int, int]


def decode(data: bytes) -> Playback:
    """Draws data on an empty 80x25 screen the way the magazine does: the
    renderer's escape and pipe-code rules on top of a character writer whose
    cursor wraps after column 80 (late on row 24) and which scrolls when a
    line feed or a wrap would leave row 25."""
    cells = [[Cell(32, 7, 0) for _ in range(COLS)] for _ in range(ROWS)]
    x, y = 0, 0                  # 0-based; x may be 80 (deferred wrap on row 24)
    saved = (0, 0)               # ESC[s keeps the cursor here; the start until then
    fg, bg = 7, 0                # bg 8..15: the blink bit (ESC[5m) set
    scrolled = False
    wrote_last = False

    def scroll() -> None:
        nonlocal scrolled
        scrolled = True
        cells.pop(0)
        cells.append([Cell(32, 7, 0) for _ in range(COLS)])

    def glyph(ch: int) -> None:
        nonlocal x, y, wrote_last
        if x < COLS:
            cells[y][x] = Cell(ch, fg, bg)
            if (x, y) == (COLS - 1, ROWS - 1):
                wrote_last = True
        if x < COLS - 1:
            x += 1
        elif x == COLS - 1 and y == ROWS - 2:
            x = COLS
        else:
            x = 0
            if y == ROWS - 1:
                scroll()
            else:
                y += 1

    def goto(col: int, row: int) -> None:
        nonlocal x, y
        x = max(1, min(COLS, col)) - 1
        y = max(1, min(ROWS, row)) - 1

    def sgr(params: str) -> None:
        nonlocal fg, bg
        if params == "":
            fg, bg = 7, 0
            return
        for p in params.split(";"):
            n = int(p) if p.isdigit() else 0
            if n == 0:
                fg, bg = 7, 0
            elif n == 1:
                fg |= 8
            elif n == 5:
                bg |= 8
            elif n == 7:
                fg, bg = bg & 7, (bg & 8) | (fg & 7)
            elif 30 <= n <= 37:
                fg = (fg & 8) | PC_TO_ANSI[n - 30]
            elif 40 <= n <= 47:
                bg = (bg & 8) | PC_TO_ANSI[n - 40]

    i = 0
    n = len(data)
    while i < n:
        b = data[i]
        i += 1
        if b == SUB:
            break
        if b == ord("|") and i + 1 < n + 1:
            code = data[i:i + 2]
            if len(code) == 2 and code.isdigit() and int(code) <= 23:
                k = int(code)
                if k < 16:
                    fg = k
                else:
                    bg = k - 16
                i += 2
                continue
        if b == 27:
            if i < n and data[i] == ord("["):
                j = i + 1
                while j < n and (chr(data[j]).isdigit() or data[j] in b";?"):
                    j += 1
                params = data[i + 1:j].decode()
                final = chr(data[j]) if j < n else ""
                i = j + 1
                nums = [int(p) if p.isdigit() else 0 for p in params.split(";")] if params else [0]
                if final in "Hf":
                    row = nums[0] or 1
                    col = (nums[1] if len(nums) > 1 else 0) or 1
                    goto(col, row)
                elif final == "C":
                    x = min(COLS - 1, x + (nums[0] or 1))
                elif final == "D":
                    x = max(0, x - (nums[0] or 1))
                elif final == "A":
                    y = max(0, y - (nums[0] or 1))
                elif final == "B":
                    y = min(ROWS - 1, y + (nums[0] or 1))
                elif final == "E":
                    goto(1, y + 1 + (nums[0] or 1))
                elif final == "G":
                    x = 0
                elif final == "J":
                    cells = [[Cell(32, 7, 0) for _ in range(COLS)] for _ in range(ROWS)]
                    x, y = 0, 0
                elif final == "K":
                    for _ in range(COLS - 1 - x):
                        glyph(32)
                elif final == "s":
                    saved = (x, y)
                elif final == "u":
                    x, y = saved
                elif final == "m":
                    sgr(params)
            else:
                i += 1
            continue
        if b == 13:
            x = 0
        elif b == FF:
            cells = [[Cell(32, 7, 0) for _ in range(COLS)] for _ in range(ROWS)]
            x, y = 0, 0
        elif b == 10:
            if y == ROWS - 1:
                scroll()
            else:
                y += 1
        elif b == 8:
            x = max(0, x - 1)
        elif b == 9:
            x = min(COLS - 1, x + 8)
        elif b == 0:
            pass
        else:
            glyph(b)
    return Playback(cells, scrolled, wrote_last, (x + 1, y + 1))


def playback_to_ansi(p: Playback) -> bytes:
    """Re-encodes a played-back screen, for previews of twins."""
    c = Canvas()
    c.cells = [[Cell(cell.ch, cell.fg, cell.bg) for cell in row] for row in p.cells]
    return c.to_ansi()
