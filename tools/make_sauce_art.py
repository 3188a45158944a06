#!/usr/bin/env python3
"""Draws four gallery pieces whose SAUCE records say how they are meant to
be shown, for the sample issue:

  planlvl9.ans   80x24  a blueprint in line-drawing characters, for the
                        9-pixel letter spacing (the 9th column of the
                        characters 0xC0-0xDF joins the lines up)
  phases.ans     80x24  round moons drawn for the legacy aspect: round once
                        the screen stretches them 1.35 times in height
  longcoast.ans  160x25 a coast panorama twice the screen's width
  deepdown.ans   80x300 a mine shaft from the sky down to the molten rock

Each is drawn on a Grid of text cells and written as make_art.py writes the
gallery's pieces (ESC[...m colours, CR LF after rows short of the width,
a row of the full width wrapping by itself), then byte 26, a comment block
and the SAUCE record with the piece's width, lines, flags and font.

    python3 tools/make_sauce_art.py [output-dir]   (default: tests/sample-issue/)

Everything is seeded: every run writes the same bytes.
"""

import math
import random
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_art as m  # noqa: E402

SPACE, LIGHT, MEDIUM, DARK, FULL, LOWER, UPPER = m.SPACE, m.LIGHT, m.MEDIUM, m.DARK, m.FULL, m.LOWER, m.UPPER
BLACK, BLUE, GREEN, CYAN, RED, MAGENTA, BROWN, GREY = range(8)
DGREY, LBLUE, LGREEN, LCYAN, LRED, LMAGENTA, YELLOW, WHITE = range(8, 16)

# A half-block pixel is 8 pixels wide and 8 high in a 640x400 screen, which
# the legacy display stretches to 4:3: 8 wide and 10.8 high. A round shape
# drawn for it is this much lower than wide, counted in half-block pixels.
LEGACY_STRETCH = 1.35


class Grid(m.Canvas):
    """Width x Height cells of (glyph, foreground 0-15, background 0-7): the
    gallery's canvas at any size."""

    def __init__(self, width, height):
        super().__init__(width=width, height=height)

    def colour_at(self, x, y, half):
        """The colour seen in the top (half 0) or bottom half of a cell; unlike
        the gallery's ten pieces, a dark shade counts as its background."""
        ch, fg, bg = self.cells[y][x]
        if ch in (FULL, UPPER, LOWER):
            return super().colour_at(x, y, half)
        return bg

    def pixel(self, px, py, colour):
        """Sets one half-block pixel (width x 2*height), keeping the other half."""
        self.pixel_put(px, py, colour)

    def drawn(self):
        return sum(1 for row in self.cells for cell in row if not m._is_blank(cell))


# --------------------------------------------------------------------------
# Writing and reading back
# --------------------------------------------------------------------------

def encode(grid):
    """The ANSI bytes of a grid. A row of the full width wraps by itself;
    a shorter one ends with CR LF, so that no line runs past its row. The
    last row of a piece taller than the screen is never full (the cursor
    would wrap below the piece)."""
    out = bytearray()
    cur = None
    for y in range(grid.height):
        row = grid.cells[y]
        last = grid.width - 1
        while last >= 0 and m._is_blank(row[last]):
            last -= 1
        for x in range(last + 1):
            ch, fg, bg = row[x]
            if bg >= 8:
                raise ValueError(f"bright background at {x},{y}")
            want = (cur[0] if cur is not None else GREY, bg) if ch == SPACE else (fg, bg)
            if want != cur:
                out += m._sgr(cur, *want).encode("ascii")
                cur = want
            out.append(ch)
        if y == grid.height - 1:
            if last == grid.width - 1 and grid.height > 24:
                raise ValueError("the last row of a tall piece must not be full")
        elif last < grid.width - 1:
            out += b"\r\n"
    out += b"\x1b[0m"
    return bytes(out)


# Plays ANSI bytes as the magazine's renderer does on a page of any width
# and height: decode(data, width, rows) gives the rows of (glyph, attribute).
decode = m.decode


def verify(grid, data):
    shown = decode(data, grid.width, grid.height)
    for y in range(grid.height):
        for x in range(grid.width):
            ch, fg, bg = grid.cells[y][x]
            got_ch, got_attr = shown[y][x]
            want = fg + 16 * bg
            same = (got_ch == SPACE and got_attr & 0xF0 == want & 0xF0) if ch == SPACE else (got_ch, got_attr) == (ch, want)
            if not same:
                raise ValueError(f"cell {x},{y}: want {ch:02x}/{want:02x}, file shows {got_ch:02x}/{got_attr:02x}")


def piece_bytes(piece):
    """The whole file of a piece: art, byte 26, comments and record."""
    grid = piece["draw"]()
    data = encode(grid)
    m.check_bytes(data)
    verify(grid, data)
    lines = max(grid.height, 25)  # a screen-sized piece leaves row 25 to the prompt
    return data + b"\x1a" + m.sauce(piece["title"], piece["author"], "quix", piece["date"], len(data), False,
                                    width=grid.width, lines=lines, spacing=piece.get("spacing"),
                                    aspect=piece.get("aspect"), font=piece["font"], comments=piece["comments"])


# --------------------------------------------------------------------------
# 1. A floor plan in double and single lines, for the 9-pixel font
# --------------------------------------------------------------------------

# Double-line glyph for the walls around a cell: (up, down, left, right).
DOUBLE = {
    (0, 0, 1, 1): 0xCD, (1, 1, 0, 0): 0xBA, (0, 1, 0, 1): 0xC9, (0, 1, 1, 0): 0xBB,
    (1, 0, 0, 1): 0xC8, (1, 0, 1, 0): 0xBC, (1, 1, 0, 1): 0xCC, (1, 1, 1, 0): 0xB9,
    (0, 1, 1, 1): 0xCB, (1, 0, 1, 1): 0xCA, (1, 1, 1, 1): 0xCE, (0, 0, 0, 1): 0xCD,
    (0, 0, 1, 0): 0xCD, (1, 0, 0, 0): 0xBA, (0, 1, 0, 0): 0xBA, (0, 0, 0, 0): 0xFE,
}


def split_rooms(rng, x0, y0, x1, y1, rooms, walls):
    """Splits the box (walls on its edges) until the rooms are small."""
    w, h = x1 - x0, y1 - y0
    if (w < 22 and h < 9) or (w < 12 or h < 6):
        rooms.append((x0, y0, x1, y1))
        return
    if w / 2.6 > h:
        cut = rng.randint(x0 + 8, x1 - 8)
        for y in range(y0, y1 + 1):
            walls.add((cut, y))
        split_rooms(rng, x0, y0, cut, y1, rooms, walls)
        split_rooms(rng, cut, y0, x1, y1, rooms, walls)
    else:
        cut = rng.randint(y0 + 3, y1 - 3)
        for x in range(x0, x1 + 1):
            walls.add((x, cut))
        split_rooms(rng, x0, y0, x1, cut, rooms, walls)
        split_rooms(rng, x0, cut, x1, y1, rooms, walls)


def single_box(g, x0, y0, x1, y1, fg, bg, legs=False):
    """A piece of furniture in single lines (a table with legs: ┬ ┴)."""
    for x in range(x0 + 1, x1):
        g.put(x, y0, 0xC4, fg, bg)
        g.put(x, y1, 0xC4, fg, bg)
    for y in range(y0 + 1, y1):
        g.put(x0, y, 0xB3, fg, bg)
        g.put(x1, y, 0xB3, fg, bg)
    g.put(x0, y0, 0xDA, fg, bg)
    g.put(x1, y0, 0xBF, fg, bg)
    g.put(x0, y1, 0xC0, fg, bg)
    g.put(x1, y1, 0xD9, fg, bg)
    if legs:
        for x in range(x0 + 2, x1 - 1, 3):
            g.put(x, y0, 0xC2, fg, bg)
            g.put(x, y1, 0xC1, fg, bg)


def art_floor_plan():
    g = Grid(80, 24)
    rng = random.Random(909)
    for y in range(24):
        for x in range(80):
            g.put(x, y, 0xFA if (x % 4 == 2 and y % 2 == 1) else SPACE, CYAN, BLUE)
    px0, py0, px1, py1 = 2, 1, 60, 19
    walls = set()
    for x in range(px0, px1 + 1):
        walls |= {(x, py0), (x, py1)}
    for y in range(py0, py1 + 1):
        walls |= {(px0, y), (px1, y)}
    rooms = []
    split_rooms(rng, px0, py0, px1, py1, rooms, walls)
    # Doors: a gap in one inner wall of every room, with its leaf in single lines.
    doors = set()
    for (x0, y0, x1, y1) in rooms:
        if x1 < px1 and y1 - y0 >= 4:
            y = rng.randint(y0 + 1, y1 - 2)
            doors |= {(x1, y), (x1, y + 1)}
        elif y1 < py1:
            x = rng.randint(x0 + 2, x1 - 3)
            doors |= {(x, y1), (x + 1, y1)}
    doors |= {(px0 + 6, py1), (px0 + 7, py1), (px0 + 8, py1)}          # the front door
    walls -= doors
    for (x, y) in walls:
        key = tuple(int(n in walls) for n in ((x, y - 1), (x, y + 1), (x - 1, y), (x + 1, y)))
        g.put(x, y, DOUBLE[key], WHITE, BLUE)
    for (x, y) in doors:
        g.put(x, y, 0xC4 if (x, y - 1) not in walls and (x, y + 1) not in walls else 0xB3, LCYAN, BLUE)
    # Each room is named after what stands in it: a table, a bed, stairs, shelves.
    names = [["hall", "kitchen", "den", "porch"], ["loft", "snug", "guest"], ["stair", "steps"],
             ["store", "larder", "study", "pantry"]]
    for i, (x0, y0, x1, y1) in enumerate(rooms):
        w, h = x1 - x0, y1 - y0
        kind = i % 4 if h >= 4 and w >= 9 else 3
        if kind == 0:                       # a table and its chairs
            tx, ty = x0 + 2, y0 + 1
            single_box(g, tx, ty, tx + min(w - 4, 9), ty + 2, LCYAN, BLUE, legs=True)
            for x in range(tx + 1, tx + min(w - 4, 9), 2):
                g.put(x, ty + 3, 0xDC if ty + 3 < y1 else SPACE, CYAN, BLUE)
        elif kind == 1:                     # a bed: double ends, a quilt
            bx, by = x1 - 6, y0 + 1
            g.text(bx, by, "\u2552\u2550\u2550\u2550\u2555", LCYAN, BLUE)
            for y in range(by + 1, min(y1 - 1, by + 3)):
                g.put(bx, y, 0xB3, LCYAN, BLUE)
                g.text(bx + 1, y, "\u2591\u2591\u2591", CYAN, BLUE)
                g.put(bx + 4, y, 0xB3, LCYAN, BLUE)
            g.text(bx, min(y1 - 1, by + 3), "\u2558\u2550\u2550\u2550\u255b", LCYAN, BLUE)
        elif kind == 2:                                # stairs: treads of ╞══╡
            for y in range(y0 + 1, y1):
                g.text(x0 + 2, y, "\u255e\u2550\u2550\u2550\u2561" if y % 2 else "\u255f\u2500\u2500\u2500\u2562",
                       LCYAN, BLUE)
        else:                                                     # shelves: ├┼┼┤ along a wall
            for y in range(y0 + 1, y1, 2):
                g.text(x1 - 5, y, "\u251c\u253c\u253c\u253c\u2524", LCYAN, BLUE)
        name = names[kind][i // 4 % len(names[kind])]
        if w - 2 > len(name):
            g.text(x0 + (w - len(name)) // 2 + 1, y1 - 1, name, YELLOW, BLUE)
    # Dimension lines under and beside the plan: ├──── 58 ────┤
    for x in range(px0, px1 + 1):
        g.put(x, 21, 0xC4, LCYAN, BLUE)
    g.put(px0, 21, 0xC3, LCYAN, BLUE)
    g.put(px1, 21, 0xB4, LCYAN, BLUE)
    g.text((px0 + px1) // 2 - 3, 21, " 17.4 m ", WHITE, BLUE)
    for y in range(py0, py1 + 1):
        g.put(62, y, 0xB3, LCYAN, BLUE)
    g.put(62, py0, 0xC2, LCYAN, BLUE)
    g.put(62, py1, 0xC1, LCYAN, BLUE)
    # The title block: double frame, single rules between its fields.
    tx0, tx1 = 65, 78
    for y in range(py0, 23):
        for x in range(tx0, tx1 + 1):
            g.put(x, y, SPACE, WHITE, BLUE)
    for x in range(tx0, tx1 + 1):
        g.put(x, py0, 0xCD, WHITE, BLUE)
        g.put(x, 22, 0xCD, WHITE, BLUE)
    for y in range(py0, 23):
        g.put(tx0, y, 0xBA, WHITE, BLUE)
        g.put(tx1, y, 0xBA, WHITE, BLUE)
    g.put(tx0, py0, 0xC9, WHITE, BLUE)
    g.put(tx1, py0, 0xBB, WHITE, BLUE)
    g.put(tx0, 22, 0xC8, WHITE, BLUE)
    g.put(tx1, 22, 0xBC, WHITE, BLUE)
    fields = [("floor plan", "level nine"), ("scale", "1 : 90"), ("drawn", "lintel"), ("sheet", "9 of 9")]
    y = py0 + 1
    for label, value in fields:
        g.text(tx0 + 2, y, label, CYAN, BLUE)
        g.text(tx0 + 2, y + 1, value, WHITE, BLUE)
        y += 3
        if y < 21:
            g.put(tx0, y - 1, 0xC7, WHITE, BLUE)
            for x in range(tx0 + 1, tx1):
                g.put(x, y - 1, 0xC4, WHITE, BLUE)
            g.put(tx1, y - 1, 0xB6, WHITE, BLUE)
    for i in range(tx0 + 2, tx1 - 1):                             # a north arrow in the last field
        g.put(i, 20, 0xC4, LCYAN, BLUE)
    g.text(tx0 + 4, 19, "north", YELLOW, BLUE)
    return g


# --------------------------------------------------------------------------
# 2. Moons for the legacy aspect
# --------------------------------------------------------------------------

def legacy_disc(g, cx, cy, rx, colour_fn):
    """A disc centred on half-block pixel (cx, cy), rx pixels across the
    middle and rx / 1.35 high, so that the stretched screen shows it round.
    colour_fn(u, v) gets the point in the unit circle (v grows downwards)."""
    ry = rx / LEGACY_STRETCH
    for py in range(int(cy - ry - 1), int(cy + ry + 2)):
        for px in range(int(cx - rx - 1), int(cx + rx + 2)):
            u, v = (px + 0.5 - cx) / rx, (py + 0.5 - cy) / ry
            if u * u + v * v <= 1.0:
                c = colour_fn(u, v)
                if c is not None:
                    g.pixel(px, py, c)


def moon_colour(u, v, lit, craters):
    """The moon's surface at (u, v): lit from the left, grey maria and craters."""
    if not lit:
        return BLUE
    z = math.sqrt(max(0.0, 1 - u * u - v * v))
    light = -0.55 * u - 0.35 * v + 0.75 * z
    for (cu, cv, r) in craters:
        d = math.hypot(u - cu, v - cv) / r
        if d < 1.0:
            return DGREY if d > 0.7 else GREY
    return WHITE if light > 0.55 else GREY if light > 0.15 else DGREY


def art_phases():
    g = Grid(80, 24)
    rng = random.Random(1350)
    for _ in range(70):
        x, y = rng.randrange(80), rng.randrange(23)
        g.put(x, y, rng.choice([0xFA, 0xF9, ord("."), ord("*")]), rng.choice([GREY, DGREY, WHITE, LBLUE]))
    # The big moon, a halo round it, craters (round too).
    craters = [(-0.35, -0.3, 0.2), (0.25, 0.35, 0.16), (0.4, -0.45, 0.12), (-0.15, 0.5, 0.1), (0.05, -0.05, 0.14)]
    cx, cy, rx = 40, 22.5, 19.0
    legacy_disc(g, cx, cy, rx * 1.12, lambda u, v: BLUE if u * u + v * v > 0.86 else None)
    legacy_disc(g, cx, cy, rx, lambda u, v: moon_colour(u, v, True, craters))
    # Eight phases along the bottom, new to full and back.
    for k in range(8):
        a = 2 * math.pi * k / 8
        t = math.cos(a)

        def phase(u, v, k=k, t=t):
            edge = t * math.sqrt(max(0.0, 1 - v * v))
            lit = u > edge if k <= 4 else u < -edge
            return moon_colour(u, v, lit, [])
        legacy_disc(g, 5 + k * 10, 41.5, 3.6, phase)
    g.text(2, 23, "p h a s e s", LCYAN, BLACK)
    g.text(66, 23, "perigee / quix", DGREY, BLACK)
    return g


# --------------------------------------------------------------------------
# 3. A coast twice the screen's width
# --------------------------------------------------------------------------

def art_long_coast():
    W, H = 160, 25
    g = Grid(W, H)
    nz = m.Noise(160)
    sky = [BLUE, MAGENTA, RED, BROWN, YELLOW]
    sun_x, sun_y = 118, 15.0                          # in half-block pixels
    for y in range(13):
        for x in range(W):
            glow = max(0.0, 1 - math.hypot((x - sun_x) / 40.0, (y * 2 - sun_y) / 18.0))
            g.put(x, y, *m.ramp_cell(sky, y / 13 * 0.7 + glow * 0.35, x, y, dither=1.0))
    for py in range(26):                               # the sun, half under the sea
        for px in range(sun_x - 8, sun_x + 9):
            if math.hypot(px + 0.5 - sun_x, (py + 0.5 - sun_y) * 1.2) < 7:
                g.pixel(px, py, YELLOW if py < 14 else WHITE)
    # Hills: two ridges of noise, the far one darker.
    for x in range(W):
        far = 14 + 6 * nz.fbm(x * 0.03, 1.0)
        near = 19 + 7 * nz.fbm(x * 0.05 + 30, 4.0) - (8 if x < 40 else 0) * math.exp(-((x - 18) / 14.0) ** 2)
        for py in range(int(far), 26):
            g.pixel(x, py, BLUE if py < near else GREEN if py < near + 2 else BLACK)
    # The sea, from the horizon (row 13) down.
    for y in range(13, H - 1):
        for x in range(W):
            wave = math.sin(x * 0.31 + y * 1.7) + 0.6 * math.sin(x * 0.13 - y * 0.9)
            sparkle = abs(x - sun_x) < 6 + (y - 13) * 1.5 and wave > 0.7
            if sparkle:
                g.put(x, y, 0xCD if wave > 1.1 else 0xC4, YELLOW, BLUE)
            else:
                g.put(x, y, *m.ramp_cell([BLACK, BLUE, CYAN], 0.35 + 0.15 * wave + (y - 13) * 0.02, x, y, dither=1.2))
    # A lighthouse on the headland, its beam across the sky.
    lx, top = 18, 3
    for y in range(top, 12):
        for x in range(lx - 1, lx + 2):
            g.put(x, y, FULL, WHITE if (y // 2) % 2 else RED, BLACK)
    g.text(lx - 2, top - 1, "\u2584\u2588\u2588\u2588\u2584", DGREY, g.get(lx, top - 1)[2])
    g.put(lx, top - 1, 0xFE, YELLOW, BLACK)
    for x in range(lx + 3, 70):
        y = top - 1 + (x - lx) // 14
        if g.inside(x, y):
            g.put(x, y, 0xC4 if x % 3 else 0xCD, YELLOW, g.get(x, y)[2])
    # A viaduct of round arches over the far bay, a train on it.
    for x in range(60, 100):
        g.put(x, 11, 0xDF, GREY, g.get(x, 11)[2])
        phase = (x - 60) % 8
        if phase in (0, 7):
            g.put(x, 12, FULL, GREY, BLACK)
        elif phase in (1, 6):
            g.put(x, 12, 0xDB, DGREY, BLACK)
    for i, x in enumerate(range(70, 88)):
        g.put(x, 10, 0xDC, LRED if i < 4 else YELLOW if x % 3 == 0 else RED, g.get(x, 10)[2])
    g.put(69, 10, 0xDC, DGREY, g.get(69, 10)[2])
    # A boat with a sail, and gulls.
    g.text(132, 18, "\u2580\u2588\u2588\u2588\u2588\u2588\u2580", BROWN, BLUE)
    for y, s in ((15, "\u2590"), (16, "\u2590\u2588"), (17, "\u2590\u2588\u2588")):
        g.text(134, y, s, WHITE, g.get(134, y)[2])
    for gx, gy in ((40, 4), (44, 5), (95, 3), (150, 6)):
        g.text(gx, gy, "v", BLACK, g.get(gx, gy)[2])
    for x in range(W):                                 # the last row: a dark strip with the title
        g.put(x, H - 1, SPACE, GREY, BLACK)
    g.text(2, H - 1, "l o n g   c o a s t", YELLOW, BLACK)
    g.text(136, H - 1, "tern / quix", DGREY, BLACK)
    return g


# --------------------------------------------------------------------------
# 4. A mine shaft 300 rows deep
# --------------------------------------------------------------------------

STRATA = [  # (first row, fill ramp)
    (16, [BROWN, RED]),
    (40, [BROWN, DGREY]),
    (90, [DGREY, GREY]),
    (150, [BLACK, DGREY]),
    (210, [BLUE, DGREY]),
    (260, [BLACK, RED]),
    (282, [RED, LRED, YELLOW]),
]


def stratum_at(y):
    ramp = STRATA[0][1]
    for first, r in STRATA:
        if y >= first:
            ramp = r
    return ramp


def art_deep_down():
    W, H = 80, 300
    g = Grid(W, H)
    nz = m.Noise(300)
    rng = random.Random(3)
    shaft0, shaft1 = 36, 43
    for y in range(H - 1):
        for x in range(W):
            if y < 14:                                  # the sky, clouds
                cloud = nz.fbm(x * 0.07, y * 0.25) > 0.6
                g.put(x, y, *(m.ramp_cell([CYAN, WHITE], 0.6) if cloud else m.ramp_cell([BLUE, CYAN], y / 14, x, y, 1)))
            elif y < 16:                                # grass over the ground
                g.put(x, y, 0xDC if y == 14 else FULL, GREEN if y == 14 else BROWN, BLACK)
            else:
                n = nz.fbm(x * 0.08, y * 0.12)
                band = 0.25 * math.sin(y * 0.7 + 3 * n)
                g.put(x, y, *m.ramp_cell(stratum_at(y), n + band, x, y, dither=1.0))
    # The headframe over the shaft: a tower of single and double lines.
    for y in range(3, 15):
        g.put(shaft0 - 1, y, 0xBA, GREY, g.get(shaft0 - 1, y)[2])
        g.put(shaft1 + 1, y, 0xBA, GREY, g.get(shaft1 + 1, y)[2])
        if y % 3 == 0:
            for x in range(shaft0, shaft1 + 1):
                g.put(x, y, 0xCD, GREY, g.get(x, y)[2])
    g.text(shaft0 + 1, 2, "\u2554\u2550\u2550\u2566\u2550\u2557", WHITE, BLUE)
    g.put(shaft0 + 3, 3, 0xE9, YELLOW, BLUE)
    # The shaft: dark, a ladder down its middle, lamps now and then.
    for y in range(15, 282):
        for x in range(shaft0, shaft1 + 1):
            g.put(x, y, SPACE, GREY, BLACK)
        g.put(shaft0, y, 0xB3, DGREY, BLACK)
        g.put(shaft1, y, 0xB3, DGREY, BLACK)
        g.put(shaft0 + 3, y, 0xC7 if y % 2 else 0xBA, BROWN, BLACK)
        g.put(shaft0 + 4, y, 0xB6 if y % 2 else 0xBA, BROWN, BLACK)
    # Galleries off the shaft every 45 rows, with rails and a lamp.
    for gy in range(45, 280, 45):
        left = rng.random() < 0.5
        x0, x1 = (4, shaft0) if left else (shaft1, 75)
        for y in (gy, gy + 1, gy + 2):
            for x in range(x0, x1 + 1):
                g.put(x, y, SPACE, GREY, BLACK)
        for x in range(x0, x1 + 1):
            g.put(x, gy + 2, 0xD8 if x % 3 == 0 else 0xCD, DGREY, BLACK)
        lamp = (x0 + x1) // 2
        g.put(lamp, gy, 0xFE, YELLOW, BLACK)
        cart = x0 + 3 if left else x1 - 8
        g.text(cart, gy + 1, "\u255a\u2550\u2550\u2550\u255d", BROWN, BLACK)
        # The depth, on the far side of the shaft.
        label = f"\u2500\u2500 {gy * 2} m"
        g.text(shaft1 + 2 if left else shaft0 - 2 - len(label), gy + 1, label, WHITE, BLACK)
    # An ammonite in the grey rock: a spiral of shade.
    ax, ay = 16, 120
    for i in range(260):
        a = i * 0.12
        r = 0.35 * a
        x, y = int(round(ax + r * math.cos(a) * 2)), int(round(ay + r * math.sin(a)))
        g.put(x, y, MEDIUM if i % 7 else DARK, YELLOW if i > 130 else BROWN, BLACK)
    # Crystals in the blue band, a lake under the shaft's foot.
    for _ in range(40):
        x, y = rng.randrange(2, 78), rng.randrange(212, 258)
        if not (shaft0 - 1 <= x <= shaft1 + 1):
            g.put(x, y, rng.choice([0xFE, 0xDE, 0xDD]), rng.choice([LCYAN, LMAGENTA, WHITE]), BLUE)
    for y in range(266, 282):
        for x in range(20, 62):
            if (x - 41) ** 2 / 441 + (y - 274) ** 2 / 64 < 1:
                g.put(x, y, 0xF7 if (x + y) % 5 == 0 else SPACE, LCYAN, BLUE)
    # The last row: black, the title, never full.
    for x in range(W):
        g.put(x, H - 1, SPACE, GREY, BLACK)
    g.text(2, H - 1, "t h r e e   h u n d r e d   d o w n", YELLOW, BLACK)
    g.text(64, H - 1, "marl / quix", DGREY, BLACK)
    return g


PIECES = [
    {"file": "planlvl9.ans", "draw": art_floor_plan, "title": "floor plan, level nine", "author": "lintel",
     "date": "20261204", "spacing": 9, "font": "IBM VGA",
     "comments": ["A blueprint in line-drawing characters: shown with 9-pixel",
                  "letters, every wall joins up without a gap."]},
    {"file": "phases.ans", "draw": art_phases, "title": "phases", "author": "perigee",
     "date": "20261211", "aspect": "legacy", "font": "IBM VGA",
     "comments": ["Drawn for the stretched 4:3 screen: the moons are round there."]},
    {"file": "longcoast.ans", "draw": art_long_coast, "title": "long coast", "author": "tern",
     "date": "20261218", "font": "IBM VGA",
     "comments": ["A panorama of 160 columns: scroll right for the sun."]},
    {"file": "deepdown.ans", "draw": art_deep_down, "title": "three hundred down", "author": "marl",
     "date": "20261222", "spacing": 8, "font": "IBM VGA",
     "comments": ["From the sky to the molten rock, 300 rows.", "Read it downwards."]},
]


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "tests" / "sample-issue"
    out.mkdir(parents=True, exist_ok=True)
    for piece in PIECES:
        blob = piece_bytes(piece)
        (out / piece["file"]).write_bytes(blob)
        print(f"{piece['file']}: {len(blob)} bytes  '{piece['title']}' by {piece['author']}")


if __name__ == "__main__":
    main()
