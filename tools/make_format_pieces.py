#!/usr/bin/env python3
"""Draws one small original piece in each format the gallery reads, and
two ANSI pieces in 24-bit colour:

  shore.ans       80x22   a shore at noon; ANSI in iCE colours written
                          ESC[0;5;1;44;34m, five comment lines of 64
                          characters, the record right after the art with
                          no byte 26 before it
  harbour.bin     160x30  a harbour at night; a binary screen with a SAUCE
                          record of binary text (80 = half the width) and
                          iCE colours
  lighthouse.xb   80x40   a lighthouse at dusk; XBIN, compressed, with a
                          palette and an 8x16 font of its own
  reef.adf        80x30   a coral reef; Artworx, its colours picked from the
                          64 VGA registers, with its own font
  kelp.idf        80x30   a kelp forest; iCE Draw, run-length coded, with
                          its font and palette at the end
  dusk.tnd        80x30   a sunset over the sea in 24-bit colours; TundraDraw
  board.pcb       80x25   a bulletin board's welcome screen; PCBoard @ codes
  gradient.ans    80x30   a sky in ESC[38;2;r;g;bm / ESC[48;2;r;g;bm colours
                          over a sea in ESC[38;5;nm / ESC[48;5;nm
  gradient_t.ans  80x30   the same colours as ESC[1;r;g;bt (foreground) and
                          ESC[0;r;g;bt (background)

The fonts are drawn here: the block and shade characters as the shapes
they name, letters on a grid of five by seven, and glyphs of each piece's
own (waves, a lamp, fish, kelp leaves). ADF and IDF pieces carry no SAUCE
record: the record's types have none of their own for them.

    python3 tools/make_format_pieces.py --out DIR
    python3 tools/make_format_pieces.py --corpus DIR   (fuzzing seeds: small
        pieces of each format, whole and damaged, in DIR/<format>/)
    python3 tools/make_format_pieces.py --issue DIR    (the sample issue
        with a gallery of these pieces, one of each format, for the tests)

Everything is seeded: every run writes the same bytes.
"""

import argparse
import math
import random
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from make_art import Noise, bayer, clamp, smooth  # noqa: E402

GROUP = "quix"
DATE = "20261210"
SPACE, LIGHT, MEDIUM, DARK, FULL = 0x20, 0xB0, 0xB1, 0xB2, 0xDB
LOWER, LEFT, RIGHT, UPPER = 0xDC, 0xDD, 0xDE, 0xDF


# --------------------------------------------------------------------------
# SAUCE records
# --------------------------------------------------------------------------

def record(title, author, size, datatype, filetype, width=0, lines=0, ice=False, comments=(), end_mark=True):
    """A byte 26 (unless End_mark is false) and the SAUCE record of a piece
    of Size bytes, after its block of Comments (lines of at most 64
    characters) when there are any."""
    def field(text, n, pad=b" "):
        data = text.encode("cp437")
        assert len(data) <= n and all(b >= 32 for b in data), text
        return data.ljust(n, pad)
    block = b"COMNT" + b"".join(field(line, 64) for line in comments) if comments else b""
    rec = b"SAUCE00" + field(title, 35) + field(author, 20) + field(GROUP, 20) + DATE.encode("ascii")
    rec += struct.pack("<IBBHHHHBB", size, datatype, filetype, width, lines, 0, 0, len(comments), 1 if ice else 0)
    rec += field("IBM VGA", 22, b"\0")
    assert len(rec) == 128
    return (b"\x1a" if end_mark else b"") + block + rec


# --------------------------------------------------------------------------
# Fonts of 256 glyphs of 16 rows, drawn here
# --------------------------------------------------------------------------

# Capitals and digits on a grid five wide and seven high; each grid row is
# two pixel rows of the glyph.
LETTERS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "6": [".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."],
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    "-": [".....", ".....", ".....", ".###.", ".....", ".....", "....."],
}


class Font:
    """256 glyphs of 16 rows, a byte a row, the leftmost pixel in bit 7."""

    def __init__(self):
        self.glyphs = [[0] * 16 for _ in range(256)]
        self._blocks()
        for ch, rows in LETTERS.items():
            self.letter(ord(ch), rows)
            if ch.isalpha():
                self.letter(ord(ch.lower()), rows)

    def draw(self, code, rows):
        """Glyph Code from 16 strings of 8 ('#' ink)."""
        assert len(rows) == 16 and all(len(r) == 8 for r in rows), code
        self.glyphs[code] = [sum(0x80 >> i for i, c in enumerate(r) if c == "#") for r in rows]

    def letter(self, code, rows):
        pixels = [".." + r + "." for r in rows]
        self.draw(code, ["........"] + [p for p in pixels for _ in (0, 1)] + ["........"])

    def _blocks(self):
        full = [0xFF] * 16
        self.glyphs[FULL] = full
        self.glyphs[UPPER] = [0xFF] * 8 + [0] * 8
        self.glyphs[LOWER] = [0] * 8 + [0xFF] * 8
        self.glyphs[LEFT] = [0xF0] * 16
        self.glyphs[RIGHT] = [0x0F] * 16
        # The shades: a quarter, a half and three quarters of the pixels.
        self.glyphs[LIGHT] = [0x88 if y % 4 == 0 else 0x22 if y % 4 == 2 else 0 for y in range(16)]
        self.glyphs[MEDIUM] = [0xAA if y % 2 == 0 else 0x55 for y in range(16)]
        self.glyphs[DARK] = [0xFF ^ g for g in self.glyphs[LIGHT]]

    def data(self):
        return bytes(b for g in self.glyphs for b in g)


# --------------------------------------------------------------------------
# Pages of cells
# --------------------------------------------------------------------------

class AttrPage:
    """Width x Height cells of (character, attribute), and a pixel layer of
    twice the height drawn with upper half blocks (bright backgrounds)."""

    def __init__(self, width, height, attr=0x07):
        self.width, self.height = width, height
        self.cells = [[(SPACE, attr) for _ in range(width)] for _ in range(height)]

    def put(self, x, y, ch, fore, back=None):
        if 0 <= x < self.width and 0 <= y < self.height:
            if back is None:
                back = self.cells[y][x][1] >> 4
            # Strings name code page 437 bytes, written as \xNN escapes.
            self.cells[y][x] = (ch if isinstance(ch, int) else ord(ch), back << 4 | fore)

    def back(self, x, y):
        return self.cells[y][x][1] >> 4

    def text(self, x, y, s, fore, back=None):
        for i, ch in enumerate(s):
            self.put(x + i, y, ch, fore, back)

    def pixels(self, colour_of):
        """Every cell from its two pixels, colour_of(px, py) a colour 0-15."""
        for y in range(self.height):
            for x in range(self.width):
                top, bottom = colour_of(x, 2 * y), colour_of(x, 2 * y + 1)
                if top == bottom:
                    self.cells[y][x] = (SPACE, top << 4 | top)
                else:
                    self.cells[y][x] = (UPPER, bottom << 4 | top)

    def pairs(self):
        return bytes(b for row in self.cells for ch, attr in row for b in (ch, attr))

    def rows(self, top, count):
        """A page of Count of these rows from Top."""
        part = AttrPage(self.width, count)
        part.cells = [list(row) for row in self.cells[top:top + count]]
        return part


def ramp_colour(ramp, t, x, y):
    """A colour of Ramp at T (0 to 1), dithered between its neighbours."""
    pos = clamp(t) * (len(ramp) - 1)
    i = int(pos)
    if i >= len(ramp) - 1:
        return ramp[-1]
    return ramp[i + 1] if pos - i > bayer(x, y) else ramp[i]


def six_bit(colours):
    """Bytes of 6-bit registers for (r, g, b) triples of 0-63."""
    assert all(0 <= v <= 63 for c in colours for v in c)
    return bytes(v for c in colours for v in c)


# --------------------------------------------------------------------------
# harbour.bin: a binary screen of 160 columns
# --------------------------------------------------------------------------

BLACK, BLUE, GREEN, CYAN, RED, MAGENTA, BROWN, GREY = range(8)
DGREY, LBLUE, LGREEN, LCYAN, LRED, LMAGENTA, YELLOW, WHITE = range(8, 16)


def harbour(width=160, height=30):
    rng = random.Random(160)
    noise = Noise(7)
    page = AttrPage(width, height)
    horizon = 36  # pixel row where the sea begins
    moon = (128, 12, 7.0)
    sky = [BLACK, BLACK, BLUE, BLUE, LBLUE]

    def hills(x):
        """The top of the land behind the harbour: two hills, and the houses
        of the town on them."""
        land = horizon - 2 - int(5 * abs(math.sin(x / 21.0)) + 3 * noise.fbm(x / 9.0, 2.0))
        house = int(noise.value(x // 5 * 1.7, 9.0) * 5) if (x // 5) % 3 else 0
        return land - house

    def colour(x, y):
        mx, my, r = moon
        d = math.hypot(x - mx, (y - my))
        if d <= r:
            return WHITE if d < r - 1.5 or (x + y) % 3 else YELLOW
        if y < horizon:
            if y >= hills(x) and x < width - 60:
                return DGREY if y > hills(x) else BLACK
            glow = 1.0 - d / 30.0 if d < 30 else 0
            return ramp_colour(sky, (y / horizon) ** 1.3 + 0.3 * glow, x, y)
        # The sea: darker away from the horizon, the moon's path lit.
        t = (y - horizon) / (2 * height - horizon)
        path = abs(x - mx + (y - horizon) * 0.3) < 2 + (y - horizon) * 0.35
        wave = noise.value(x / 3.0, y * 1.7) > 0.62
        if path and wave:
            return YELLOW if rng.random() < 0.5 else WHITE
        return ramp_colour([LBLUE, BLUE, BLUE, BLACK], t + (0.15 if wave else 0), x, y)

    page.pixels(colour)
    # Stars in the dark of the sky.
    for _ in range(70):
        x, y = rng.randrange(width), rng.randrange(0, 9)
        if page.cells[y][x][0] == SPACE and page.back(x, y) == BLACK:
            page.put(x, y, rng.choice([0xF9, 0xFA, "*", "."]), rng.choice([WHITE, GREY, YELLOW]))
    # Lit windows in the town on the hills.
    for x in range(2, width - 62):
        y = hills(x) // 2 + 1
        if y < horizon // 2 and rng.random() < 0.3:
            page.put(x, y, 0xFE if rng.random() < 0.7 else 0xF9, YELLOW, DGREY)
    # The pier: planks on posts, reaching into the water from the right.
    top = horizon // 2 + 2
    for x in range(width - 60, width):
        page.put(x, top, 0xCD, BROWN, BLACK)
        page.put(x, top + 1, 0xB1 if x % 2 else 0xB0, BROWN, BLACK)
        if x % 8 == 0:
            for y in range(top + 2, top + 6):
                page.put(x, y, 0xBA, BROWN)
    for x, y, name in [(width - 52, top - 1, "HARBOUR"), (width - 30, top - 1, "NIGHT")]:
        page.text(x, y, name, YELLOW, BLACK)
    # Boats at their moorings.
    for bx, hull, sail in [(20, RED, WHITE), (52, GREEN, GREY), (84, BROWN, YELLOW)]:
        boat(page, bx, top + 1, hull, sail)
    # Ripples.
    for _ in range(120):
        x, y = rng.randrange(width), rng.randrange(top + 3, height)
        if page.cells[y][x][0] == SPACE:
            page.put(x, y, rng.choice([0x7E, 0xF7]), rng.choice([LBLUE, CYAN, LCYAN]))
    page.text(width - 12, height - 1, "quix 2026", DGREY, BLACK)
    return page


def boat(page, x, y, hull, sail):
    """A sailing boat of 14 columns whose deck is on row Y."""
    for i, row in enumerate(["      \xb3\xdc     ", "      \xb3\xdb\xdc    ", "      \xb3\xdb\xdb\xdc   ",
                             "      \xb3\xdb\xdb\xdb\xdc  "]):
        for j, c in enumerate(row.encode("latin-1")):
            if c == 0xB3:
                page.put(x + j, y - 5 + i, c, GREY)
            elif c != 0x20:
                page.put(x + j, y - 5 + i, c, sail)
    page.put(x + 6, y - 6, 0x1E, RED)
    page.text(x, y - 1, "\xdc" * 14, hull)
    page.put(x, y, 0xDF, hull)
    for j in range(1, 13):
        page.put(x + j, y, 0xDB, hull)
    page.put(x + 13, y, 0xDF, hull)


def harbour_file():
    page = harbour()
    data = page.pairs()
    return data + record("harbour", "tern", len(data), 5, page.width // 2, ice=True)


# --------------------------------------------------------------------------
# lighthouse.xb: XBIN with its own palette and font, compressed
# --------------------------------------------------------------------------

LIGHTHOUSE_PALETTE = [
    (2, 3, 10), (4, 8, 20), (9, 14, 32), (20, 13, 34), (40, 17, 32), (56, 28, 14), (62, 46, 18), (60, 58, 46),
    (9, 8, 10), (22, 18, 16), (58, 58, 56), (46, 8, 8), (2, 9, 16), (6, 20, 30), (40, 54, 60), (63, 61, 42)]
NIGHT, DEEP, SKY, VIOLET, ROSE, ORANGE, GOLD, PALE = range(8)
ROCK, STONE, TOWER, STRIPE, SEA, WATER, FOAM, BEAM = range(8, 16)

WAVE, CREST, STAR, LAMP, GULL = 0x80, 0x81, 0x82, 0x83, 0x84


def lighthouse_font():
    font = Font()
    font.draw(WAVE, ["........"] * 9 + ["..##....", ".#..#...", "#....#..", "......##", "........",
                                        "........", "........"])
    font.draw(CREST, ["........"] * 6 + [".###....", "#...##..", "......#.", "..##...#", ".#..#...",
                                         "#....###", "........", "........", "........", "........"])
    font.draw(STAR, ["........"] * 5 + ["...#....", "...#....", ".#####..", "...#....", "...#....",
                                        "........", "........", "........", "........", "........",
                                        "........"])
    font.draw(LAMP, ["..####..", ".#....#.", "#..##..#", "#.####.#", "#.####.#", "#..##..#", ".#....#.",
                     "..####..", "########", "#.#..#.#", "########", "........", "........", "........",
                     "........", "........"])
    font.draw(GULL, ["........"] * 6 + ["##....##", "..#..#..", "...##...", "........", "........",
                                        "........", "........", "........", "........", "........"])
    return font


def lighthouse(width=80, height=40):
    noise = Noise(41)
    rng = random.Random(40)
    page = AttrPage(width, height)
    horizon = 46
    lamp = (62, 13)
    sky = [NIGHT, DEEP, SKY, VIOLET, ROSE, ORANGE, GOLD]

    def on_rock(x, y):
        """The rock the tower stands on: a mound around its foot, its waterline
        ragged."""
        top = 43 + abs(x - lamp[0]) * 0.45 + 3 * noise.fbm(x / 5.0, 5.0)
        bottom = 60 + 3 * noise.value(x / 3.0, 8.0) - abs(x - lamp[0]) * 0.15
        return top <= y <= bottom and abs(x - lamp[0]) < 22

    def in_beam(x, y):
        """The lamp's beam, a wedge reaching out to the left."""
        dx, dy = lamp[0] - x, y - lamp[1]
        return dx > 3 and -0.04 - 0.05 * dx / 40 < dy / dx < 0.08 + 0.05 * dx / 40

    def colour(x, y):
        # The tower: tapering, striped, on the rock.
        half = 2.0 + (y - 14) * 0.07
        if 15 <= y <= 45 and abs(x + 0.5 - lamp[0]) <= half:
            return STRIPE if (y // 6) % 2 else TOWER
        if 9 <= y <= 14 and abs(x + 0.5 - lamp[0]) <= 3:
            return BEAM if y >= 11 else STRIPE
        if y == 8 and abs(x + 0.5 - lamp[0]) <= 1:
            return STRIPE
        if on_rock(x, y):
            return STONE if noise.value(x / 2.5, y / 2.0) > 0.55 else ROCK
        if y < horizon:
            t = (y / horizon) ** 1.4
            glow = max(0.0, 1 - math.hypot((x - 24) / 40.0, (y - horizon) / 16.0))
            c = ramp_colour(sky, t + 0.3 * glow, x, y)
            if in_beam(x, y):
                # Bright near the lamp, fading into the sky far from it.
                fade = (lamp[0] - x) / 60.0
                return BEAM if fade < 0.15 else PALE if bayer(x, y) > fade else c
            return c
        t = (y - horizon) / (2 * height - horizon)
        reach = 1.5 + (y - horizon) * 0.25
        glint = abs(x - 24) < reach and noise.value(x / 1.5, y * 1.5) > 0.45 + abs(x - 24) / reach * 0.3
        if glint:
            return GOLD if t < 0.3 else ORANGE
        return ramp_colour([WATER, WATER, SEA, SEA, NIGHT], t, x, y)

    page.pixels(colour)
    page.put(lamp[0], lamp[1] // 2, LAMP, BEAM, STRIPE)
    for _ in range(40):
        x, y = rng.randrange(width), rng.randrange(0, 9)
        if page.cells[y][x][0] == SPACE and not in_beam(x, 2 * y):
            page.put(x, y, STAR if rng.random() < 0.3 else 0xFA, PALE)
    for x, y in [(12, 12), (17, 10), (21, 13)]:
        page.put(x, y, GULL, NIGHT)
    for _ in range(160):
        x, y = rng.randrange(width), rng.randrange(horizon // 2 + 1, height)
        if page.cells[y][x][0] == SPACE and not on_rock(x, 2 * y) and not on_rock(x, 2 * y + 1):
            page.put(x, y, WAVE if rng.random() < 0.6 else CREST, FOAM if rng.random() < 0.4 else WATER)
    page.text(3, height - 4, "LIGHTHOUSE", GOLD, SEA)
    page.text(3, height - 3, "AT DUSK - QUIX 2026", FOAM, SEA)
    return page


def xbin_runs(cells):
    """The XBIN runs of a list of (char, attr) pairs: a run of one pair (11)
    where it repeats, of one character (01) or one attribute (10) where
    either holds, and pairs as they are (00) in between; each at most 64
    cells, running on from one row into the next."""
    out = bytearray()
    i, n = 0, len(cells)

    def span(start, same):
        j = start + 1
        while j < n and j - start < 64 and same(cells[j], cells[start]):
            j += 1
        return j - start

    raw = []

    def flush():
        while raw:
            chunk, raw[:] = raw[:64], raw[64:]
            out.append(len(chunk) - 1)
            for ch, attr in chunk:
                out.extend((ch, attr))

    while i < n:
        both = span(i, lambda a, b: a == b)
        char = span(i, lambda a, b: a[0] == b[0])
        attr = span(i, lambda a, b: a[1] == b[1])
        best = max(both, char, attr)
        if best < 3:
            raw.append(cells[i])
            i += 1
            continue
        flush()
        if both == best:
            out += bytes((0xC0 | best - 1, cells[i][0], cells[i][1]))
        elif char == best:
            out += bytes((0x40 | best - 1, cells[i][0])) + bytes(c[1] for c in cells[i:i + best])
        else:
            out += bytes((0x80 | best - 1, cells[i][1])) + bytes(c[0] for c in cells[i:i + best])
        i += best
    flush()
    return bytes(out)


def xbin(page, palette, font, compressed=True, non_blink=True):
    flags = 1 | 2 | (4 if compressed else 0) | (8 if non_blink else 0)
    head = b"XBIN\x1a" + struct.pack("<HHBB", page.width, page.height, 16, flags)
    cells = [c for row in page.cells for c in row]
    body = xbin_runs(cells) if compressed else page.pairs()
    return head + six_bit(palette) + font.data() + body


def lighthouse_file():
    page = lighthouse()
    data = xbin(page, LIGHTHOUSE_PALETTE, lighthouse_font())
    return data + record("lighthouse at dusk", "perigee", len(data), 6, 0, page.width, page.height)


# --------------------------------------------------------------------------
# reef.adf: Artworx, 64 registers of which the EGA's sixteen are used
# --------------------------------------------------------------------------

EGA_REGISTERS = [0, 1, 2, 3, 4, 5, 20, 7, 56, 57, 58, 59, 60, 61, 62, 63]
REEF_PALETTE = [
    (0, 2, 8), (0, 6, 16), (2, 12, 26), (5, 21, 36), (14, 34, 48), (30, 48, 56), (46, 40, 26), (32, 26, 16),
    (52, 14, 16), (60, 32, 38), (61, 38, 12), (36, 16, 44), (62, 54, 12), (12, 32, 62), (10, 40, 20),
    (58, 62, 63)]
ABYSS, DEEPW, MIDW, SHALLOW, SURFACE, RAY, SAND, DUNE = range(8)
CORAL, PINK, AMBER, PURPLE, YELLOWFISH, BLUEFISH, WEED, BUBBLE = range(8, 16)
FISH_HEAD, FISH_TAIL, RING, BRANCH = 0x80, 0x81, 0x82, 0x83


def reef_font():
    font = Font()
    font.draw(FISH_TAIL, ["........", "........", "........", "#.......", "##......", "###...##", ".###.###",
                          "..######", "..######", ".###.###", "###...##", "##......", "#.......", "........",
                          "........", "........"])
    font.draw(FISH_HEAD, ["........", "........", "........", "........", "###.....", "#####...", "####.##.",
                          "####..##", "########", "#######.", "#####...", "###.....", "........", "........",
                          "........", "........"])
    font.draw(RING, ["........", "........", "..###...", ".#...#..", ".#...#..", ".#...#..", "..###...",
                     "........", "........", "......#.", ".....#.#", "......#.", "........", "........",
                     "........", "........"])
    font.draw(BRANCH, ["#.....#.", "#..#..#.", ".#.#.#..", ".#.#.#..", "..###...", "...#..#.", "#..#.#..",
                       ".#.##...", "..##....", "...#....", "...#....", "..###...", "...#....", "...#....",
                       "...#....", "...#...."])
    return font


def reef(width=80, height=30):
    noise = Noise(90)
    rng = random.Random(30)
    page = AttrPage(width, height)
    water = [SURFACE, SHALLOW, MIDW, DEEPW, ABYSS]

    def floor(x):
        return 2 * height - 8 - int(6 * noise.fbm(x / 14.0, 1.0))

    # Where each coral stands, its colour, height and how many branches.
    corals = [(9, PINK, 22, 2), (22, CORAL, 12, 1), (35, AMBER, 26, 2), (50, PURPLE, 16, 1), (62, PINK, 10, 1),
              (73, CORAL, 20, 2)]

    def coral_at(x, y):
        for cx, c, h, spread in corals:
            base = floor(cx)
            if base - h <= y <= base:
                # Branches fan out from the foot: a few slanting stems.
                up = base - y
                for k in range(-spread, spread + 1):
                    if abs(x - (cx + k * up * 0.3 + math.sin(up / 2.0 + k) * 0.8)) < 0.7 + 0.3 * (k == 0):
                        return c
        return None

    def colour(x, y):
        c = coral_at(x, y)
        if c is not None:
            return c
        if y >= floor(x):
            return SAND if noise.value(x / 3.0, y / 2.0) > 0.45 else DUNE
        t = y / floor(x)
        ray = (math.sin((x + y * 0.6) / 5.0) > 0.8) and y < 30
        c = ramp_colour(water, t, x, y)
        return RAY if ray and bayer(x, y) > 0.4 + t else c

    page.pixels(colour)
    for _ in range(26):
        x, y = rng.randrange(width), rng.randrange(1, height - 8)
        page.put(x, y, RING, BUBBLE)
    for fx, fy, c in [(18, 9, YELLOWFISH), (30, 6, BLUEFISH), (46, 12, YELLOWFISH), (58, 8, BLUEFISH),
                      (66, 15, YELLOWFISH), (8, 16, BLUEFISH)]:
        page.put(fx, fy, FISH_TAIL, c)
        page.put(fx + 1, fy, FISH_HEAD, c)
    for x in range(0, width, 5):
        y = floor(x) // 2 - 1
        page.put(x + 2, y, BRANCH, WEED)
    page.text(width - 16, 1, "CORAL REEF", BUBBLE, SURFACE)
    page.text(width - 16, 2, "QUIX 2026", RAY, SURFACE)
    return page


def artworx(page, colours, font):
    registers = [(0, 0, 0)] * 64
    for i, reg in enumerate(EGA_REGISTERS):
        registers[reg] = colours[i]
    # The registers the attributes do not use hold a ramp of greys.
    for reg in range(64):
        if reg not in EGA_REGISTERS:
            registers[reg] = (reg, reg, reg)
    return b"\x01" + six_bit(registers) + font.data() + page.pairs()


def reef_file():
    return artworx(reef(), REEF_PALETTE, reef_font())


# --------------------------------------------------------------------------
# kelp.idf: iCE Draw, run-length coded, font and palette at the end
# --------------------------------------------------------------------------

KELP_PALETTE = [
    (0, 3, 6), (0, 6, 11), (2, 10, 16), (4, 16, 24), (8, 24, 32), (18, 36, 42), (6, 16, 4), (12, 28, 6),
    (24, 42, 10), (42, 48, 14), (14, 12, 12), (26, 24, 22), (46, 50, 54), (36, 32, 22), (30, 8, 32),
    (56, 62, 60)]
KDARK, KDEEP, KMID, KBLUE, KLIGHT, KGLOW, STALK, LEAF = range(8)
FROND, SUNLIT, STONE2, PEBBLE, SILVER, SANDY, URCHIN, WHITE2 = range(8, 16)
LEAF_LEFT, LEAF_RIGHT, URCHIN_GLYPH, SHOAL = 0x80, 0x81, 0x82, 0x83


def kelp_font():
    font = Font()
    font.draw(LEAF_LEFT, ["......##", ".....###", "....####", "...####.", "..####..", ".####...", "####....",
                          "###.....", "##......", "#.......", "........", "........", "......#.", ".....##.",
                          "....##..", "...##..."])
    font.draw(LEAF_RIGHT, ["##......", "###.....", "####....", ".####...", "..####..", "...####.", "....####",
                           ".....###", "......##", ".......#", "........", "........", ".#......", ".##.....",
                           "..##....", "...##..."])
    font.draw(URCHIN_GLYPH, ["........", "........", "........", "........", "#..#..#.", ".#.#.#..", "..###...",
                             "#######.", "..###...", ".#####..", "#######.", "........", "........", "........",
                             "........", "........"])
    font.draw(SHOAL, ["........", "........", "........", "........", "........", ".##.....", "####.#..",
                      ".##.##..", "........", ".....##.", "....####", ".....##.", "........", "........",
                      "........", "........"])
    return font


def kelp(width=80, height=30):
    noise = Noise(12)
    rng = random.Random(12)
    page = AttrPage(width, height)
    stalks = [6, 15, 27, 34, 48, 57, 69, 76]

    def ground(x):
        return 2 * height - 6 - int(5 * noise.fbm(x / 10.0, 3.0))

    def stalk_x(s, y):
        return s + 2.2 * math.sin(y / 7.0 + s)

    def colour(x, y):
        for s in stalks:
            top = 4 + (s * 5) % 14
            if y >= top and abs(x - stalk_x(s, y)) < 0.8:
                return FROND if y < 24 else LEAF if y < 44 else STALK
        if y >= ground(x):
            return PEBBLE if noise.value(x / 2.0, y / 1.5) > 0.6 else STONE2
        # The water darkens in bands downwards, dithered into the next only
        # at their lower edge: whole rows of one colour leave long runs.
        bands = [KGLOW, KLIGHT, KBLUE, KMID, KDEEP, KDARK]
        band, within = min(4, y // 10), y % 10
        edge = (within - 6) / 4.0
        return bands[band + 1] if within >= 6 and bayer(x, y) < edge else bands[band]

    page.pixels(colour)
    for s in stalks:
        top = 4 + (s * 5) % 14
        for y in range(top // 2 + 1, height - 4, 3):
            x = int(round(stalk_x(s, 2 * y)))
            page.put(x - 1, y, LEAF_LEFT, LEAF if y > 10 else SUNLIT)
            page.put(x + 1, y + 1, LEAF_RIGHT, FROND if y > 10 else SUNLIT)
    for x in range(2, width - 2, 9):
        page.put(x, ground(x) // 2, URCHIN_GLYPH, URCHIN)
    for _ in range(10):
        page.put(rng.randrange(20, 60), rng.randrange(6, 18), SHOAL, SILVER)
    page.text(2, 1, "KELP FOREST", WHITE2, KGLOW)
    page.text(2, 2, "QUIX 2026", SILVER, KGLOW)
    return page


def idf_body(cells):
    """Pairs with runs: the pair of character 1 and attribute 0, a count of
    at most 255 and a byte 0, then the pair repeated."""
    out = bytearray()
    i = 0
    while i < len(cells):
        j = i
        while j < len(cells) and cells[j] == cells[i] and j - i < 255:
            j += 1
        if j - i >= 4 or cells[i] == (1, 0):
            out += bytes((1, 0, j - i, 0)) + bytes(cells[i])
            i = j
        else:
            out += bytes(cells[i])
            i += 1
    return bytes(out)


def ice_draw(page, palette, font):
    head = b"\x041.4" + struct.pack("<HHHH", 0, 0, page.width - 1, page.height - 1)
    return head + idf_body([c for row in page.cells for c in row]) + font.data() + six_bit(palette)


def kelp_file():
    return ice_draw(kelp(), KELP_PALETTE, kelp_font())


# --------------------------------------------------------------------------
# dusk.tnd: TundraDraw in 24-bit colours
# --------------------------------------------------------------------------

def mix(a, b, t):
    t = clamp(t)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def gradient(stops, t):
    """The colour at T along Stops of (position, (r, g, b))."""
    t = clamp(t)
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 0)
    return stops[-1][1]


DUSK_SKY = [(0.0, (28, 16, 58)), (0.35, (92, 38, 98)), (0.65, (210, 84, 82)), (0.85, (250, 160, 70)),
            (1.0, (255, 214, 120))]
DUSK_SEA = [(0.0, (120, 64, 90)), (0.3, (52, 34, 78)), (1.0, (8, 10, 30))]


def dusk_pixels(width=80, height=60):
    noise = Noise(55)
    horizon = 38
    sun = (50, 36, 9.0)

    def island(x):
        return horizon - int(7 * max(0.0, math.sin((x - 4) / 10.0)) * smooth(0, 6, x) * (1 - smooth(26, 34, x)))

    px = []
    for y in range(height):
        row = []
        for x in range(width):
            d = math.hypot(x - sun[0], (y - sun[1]) * 1.0)
            if y < horizon:
                c = gradient(DUSK_SKY, y / horizon)
                if d < sun[2]:
                    c = mix((255, 240, 190), (255, 190, 90), d / sun[2])
                elif d < sun[2] + 10:
                    c = mix(c, (255, 200, 120), (1 - (d - sun[2]) / 10) * 0.5)
                if y >= island(x):
                    c = (24, 14, 30)
                # Long thin clouds across the sun.
                if 20 < y < 34 and noise.fbm(x / 16.0, y / 1.5) > 0.62:
                    c = mix(c, (120, 50, 80), 0.6)
            else:
                t = (y - horizon) / (height - horizon)
                c = gradient(DUSK_SEA, t)
                dx = abs(x - sun[0])
                shimmer = noise.value(x / 2.5, y * 1.3)
                if dx < 6 + t * 10 and shimmer > 0.5 - 0.4 * (1 - dx / (6 + t * 10)):
                    c = mix(c, (255, 190, 100), 0.8 * (1 - t * 0.6))
            row.append(c)
        px.append(row)
    return px


def tundra(px, text=()):
    """TundraDraw bytes of a pixel picture drawn with upper half blocks:
    a cell sets only the colours that change from the cell before."""
    width, rows = len(px[0]), len(px) // 2
    out = bytearray(b"\x18TUNDRA24")
    out += b"\x01" + struct.pack(">II", 0, 0)
    fore = back = None
    labels = {(x + i, y): ord(c) for x, y, s in text for i, c in enumerate(s)}
    for y in range(rows):
        for x in range(width):
            top, bottom = px[2 * y][x], px[2 * y + 1][x]
            ch = UPPER
            if (x, y) in labels:
                ch, top = labels[(x, y)], (255, 236, 200)
            f, b = top[0] << 16 | top[1] << 8 | top[2], bottom[0] << 16 | bottom[1] << 8 | bottom[2]
            if f != fore and b != back:
                out += bytes((6, ch)) + struct.pack(">II", f, b)
            elif f != fore:
                out += bytes((2, ch)) + struct.pack(">I", f)
            elif b != back:
                out += bytes((4, ch)) + struct.pack(">I", b)
            else:
                assert ch not in (1, 2, 4, 6)
                out.append(ch)
            fore, back = f, b
    # The cursor on the row below the picture: a picture's last row ends
    # where a viewer that counts the cursor's row expects it.
    out += b"\x01" + struct.pack(">II", rows, 0)
    return bytes(out)


def dusk_file():
    data = tundra(dusk_pixels(), text=[(4, 2, "dusk"), (4, 3, "quix 2026")])
    return data + record("dusk", "marl", len(data), 1, 8, 80, 30)


# --------------------------------------------------------------------------
# board.pcb: PCBoard text with @ codes
# --------------------------------------------------------------------------

def board_text():
    """The welcome screen of a board, every line shorter than 80 columns."""
    lines = []

    def line(*fragments):
        lines.append("".join(fragments))

    def box_row(left, fill, right, width=58):
        return left + fill * width + right

    line("@CLS@", "@X01", " " * 79)
    line("@X19", " ", "@X1B", box_row("\xc9", "\xcd", "\xbb"), "@X19", " " * 18)
    title = "T H E   T I D E W A T E R   B O A R D"
    line("@X19", " ", "@X1B", "\xba", "@X1E", title.center(58), "@X1B", "\xba", "@X19", " " * 18)
    line("@X19", " ", "@X1B", "\xba", "@X17", "a harbour of files and letters since 1993".center(58), "@X1B",
         "\xba", "@X19", " " * 18)
    line("@X19", " ", "@X1B", box_row("\xc8", "\xcd", "\xbc"), "@X19", " " * 18)
    line("@X07", "")
    lighthouse = [
        ("@X0E", "     \\ | /    "),
        ("@X0E", "   -- \x0f --   "),
        ("@X0C", "     \xdb\xdb\xdb      "),
        ("@X0F", "     \xdb\xdb\xdb      "),
        ("@X0C", "     \xdb\xdb\xdb      "),
        ("@X0F", "    \xdb\xdb\xdb\xdb\xdb     "),
        ("@X0C", "    \xdb\xdb\xdb\xdb\xdb     "),
        ("@X06", "  \xdc\xdb\xdb\xdb\xdb\xdb\xdb\xdb\xdb\xdc   "),
        ("@X91", "\xf7~\xf7~\xf7~\xf7~\xf7~\xf7~\xf7~"),
    ]
    menu = [
        ("A", "Art galleries", "the newest pieces first"),
        ("F", "File harbour", "four thousand files"),
        ("M", "Message bottles", "read and write"),
        ("B", "Bulletins", "news from the sysop"),
        ("D", "Doors", "games and the magazine"),
        ("W", "Who is on", "callers right now"),
        ("G", "Goodbye", "cast off"),
        ("", "", ""),
        ("", "", ""),
    ]
    for (colour, art), (key, name, note) in zip(lighthouse, menu):
        if key:
            entry = ["@X08", "[", "@X0F", key, "@X08", "] ", "@X0B", name.ljust(17), "@X03", note.ljust(26)]
        else:
            entry = ["@X07", " " * 47]
        line("@X07", "  ", *entry, colour, art)
    line("@X07", "")
    line("@X08", " " + "\xc4" * 77)
    line("@X07", "  node ", "@X0F", "1", "@X07", " of ", "@X0F", "4", "@X07", "   last caller: ", "@X0E",
         "periwinkle", "@X07", "   time left: ", "@X0A", "58 min")
    line("@X08", " " + "\xc4" * 77)
    line("@X07", "")
    line("@X4F", " SYSOP ", "@X47", " the tide turns at six: the board is down for ten minutes ", "@X07", "")
    line("@X9F", " NEW ", "@X07", " ", "@X0D", "lighthouse.xb", "@X07", " by perigee in the gallery")
    line("@X07", "  ", "@X0E", "\xfe", "@X07", " two message bottles have washed up for you")
    line("@X07", "")
    line("@X0F", "  Your choice", "@X08", ": ", "@X07", "")
    return lines


def board_file():
    lines = board_text()
    text = "\r\n".join(lines).encode("latin-1")
    for line in lines:
        assert len(strip_codes(line)) < 80, line
    return text + record("tidewater board", "lintel", len(text), 1, 4, 80, len(lines))


def strip_codes(line):
    out, i = "", 0
    while i < len(line):
        if line.startswith("@X", i):
            i += 4
        elif line.startswith("@CLS@", i):
            i += 5
        else:
            out += line[i]
            i += 1
    return out


# --------------------------------------------------------------------------
# shore.ans: ANSI in iCE colours, its record straight after the art
# --------------------------------------------------------------------------

SHORE_COMMENTS = [
    "A shore at noon, drawn for the gallery of the format tests. Its ",
    "bright backgrounds are iCE colours: blink with a background, as ",
    "ESC[0;5;1;44;34m writes them. Its record follows the last byte  ",
    "of the art without an end-of-file mark between them, as a few   ",
    "editors save it; the reader must find the art's end all alone.  ",
]


def shore(width=80, height=22):
    noise = Noise(80)
    rng = random.Random(22)
    page = AttrPage(width, height)
    horizon, sun = 20, (60, 8, 5.5)

    def sand(x):
        return 2 * height - 10 + int(3 * math.sin(x / 11.0) + 2 * noise.fbm(x / 7.0, 4.0)) - x // 10

    def colour(x, y):
        d = math.hypot(x - sun[0], y - sun[1])
        if d <= sun[2]:
            return YELLOW if d < sun[2] - 1.2 else WHITE
        if y >= sand(x):
            return YELLOW if noise.value(x / 2.0, y / 1.5) > 0.6 else BROWN
        if y < horizon:
            return ramp_colour([BLUE, LBLUE, LBLUE, LCYAN, WHITE], y / horizon + 0.2 * max(0.0, 1 - d / 20), x, y)
        foam = noise.value(x / 4.0, y * 2.0) > 0.7 and y > sand(x) - 4
        return WHITE if foam else ramp_colour([LCYAN, LBLUE, CYAN, BLUE], (y - horizon) / 20.0, x, y)

    page.pixels(colour)
    for _ in range(30):
        x, y = rng.randrange(width), rng.randrange(horizon // 2 + 1, height - 6)
        if page.cells[y][x][0] == SPACE:
            page.put(x, y, rng.choice([0x7E, 0xF7]), WHITE)
    page.text(3, 1, "SHORE AT NOON", WHITE, BLUE)
    page.text(3, 2, "quix 2026", YELLOW, LBLUE)
    return page


def ice_sgr(attr):
    """An attribute as the iCE files write it: a reset, blink for a bright
    background, bold for a bright foreground, then the background and the
    foreground (ESC[0;5;1;44;34m is light blue on light blue)."""
    ansi = [0, 4, 2, 6, 1, 5, 3, 7]
    fore, back = attr & 15, attr >> 4
    params = ["0"] + (["5"] if back & 8 else []) + (["1"] if fore & 8 else [])
    params += [str(40 + ansi[back & 7]), str(30 + ansi[fore & 7])]
    return "\x1b[" + ";".join(params) + "m"


def shore_file():
    """Full rows without line ends, each attribute change in the iCE form;
    the comments and the record follow the last byte of art directly."""
    page = shore()
    out, attr = bytearray(), None
    for row in page.cells:
        for ch, a in row:
            if a != attr:
                out += ice_sgr(a).encode("ascii")
                attr = a
            out.append(ch)
    # The art ends with a reset that a reader cut one byte short draws the
    # same: a record read as if a byte 26 came before it loses the "m".
    out += b"\x1b[0m"
    data = bytes(out)
    return data + record("shore at noon", "sandpiper", len(data), 1, 1, page.width, page.height, ice=True,
                         comments=SHORE_COMMENTS, end_mark=False)


# --------------------------------------------------------------------------
# gradient.ans and gradient_t.ans: 24-bit and 256-colour ANSI
# --------------------------------------------------------------------------

def cube(index):
    """The colour of entry Index (16 to 231) of the 256-colour cube."""
    steps = (0, 95, 135, 175, 215, 255)
    i = index - 16
    return steps[i // 36], steps[i // 6 % 6], steps[i % 6]


SKY_STOPS = [(0.0, (8, 12, 48)), (0.45, (40, 70, 160)), (0.8, (150, 170, 220)), (1.0, (250, 200, 150))]


def gradient_cells(width=80, rows=30):
    """Cells of (character, foreground, background): foreground and
    background each an (r, g, b) of the sky's 24-bit colours or an int, an
    entry of the 256-colour cube for the sea."""
    horizon = 22  # rows of sky
    sun = (56, 2 * horizon + 2, 9.0)

    def sky(x, py):
        t = py / (2 * horizon - 1) - 0.05 * math.sin(x / 13.0) * (1 - py / (2 * horizon))
        c = gradient(SKY_STOPS, t)
        d = math.hypot(x - sun[0], py - sun[1])
        if d < sun[2]:
            return mix((255, 250, 220), (255, 214, 150), d / sun[2])
        return mix(c, (255, 226, 170), max(0.0, 1 - (d - sun[2]) / 14.0) * 0.6)

    cells = []
    for y in range(rows):
        row = []
        for x in range(width):
            if y < horizon:
                row.append((UPPER, sky(x, 2 * y), sky(x, 2 * y + 1)))
                continue
            t = (y - horizon) / (rows - horizon - 1)
            deep = 16 + 6 * (2 - min(2, int(t * 3))) + 4 - min(1, int(t * 2))
            glint = abs(x - sun[0]) < 3 + 6 * t and (x * 5 + y * 7) % 3 == 0
            lit = 16 + 36 * 5 + 6 * 4 + 2 if glint else 16 + 36 * 1 + 6 * 3 + 5
            ch = 0xF7 if (x * 7 + y * 3) % 5 == 0 or glint else 0x7E
            row.append((ch, lit, deep))
        cells.append(row)
    for i, c in enumerate("morning gradient"):
        cells[3][4 + i] = (ord(c), (255, 250, 235), cells[3][4 + i][2])
    return cells


def gradient_ansi(cells, true_colour_t):
    """The ANSI bytes of Cells: 24-bit colours as ESC[38;2;...m and
    ESC[48;2;...m (or, with True_colour_t, ESC[1;r;g;bt and ESC[0;r;g;bt),
    cube entries as ESC[38;5;nm and ESC[48;5;nm (or their colours in the
    t form). Every row is full, so it wraps by itself: no line ends."""
    out = bytearray(b"\x1b[0m")
    state = [None, None]

    def colour(value, layer):
        if true_colour_t:
            r, g, b = cube(value) if isinstance(value, int) else value
            return f"\x1b[{1 if layer == 0 else 0};{r};{g};{b}t"
        if isinstance(value, int):
            return f"\x1b[{38 if layer == 0 else 48};5;{value}m"
        return f"\x1b[{38 if layer == 0 else 48};2;{value[0]};{value[1]};{value[2]}m"

    for row in cells:
        for ch, fore, back in row:
            for layer, value in ((0, fore), (1, back)):
                if state[layer] != value:
                    out += colour(value, layer).encode("ascii")
                    state[layer] = value
            out.append(ch)
    out += b"\x1b[0m"
    return bytes(out)


def gradient_files():
    cells = gradient_cells()
    files = {}
    for name, t_form in (("gradient.ans", False), ("gradient_t.ans", True)):
        data = gradient_ansi(cells, t_form)
        files[name] = data + record("morning gradient", "tern", len(data), 1, 1, 80, len(cells))
    return files


# --------------------------------------------------------------------------
# Output
# --------------------------------------------------------------------------

def pieces():
    out = {
        "shore.ans": shore_file(),
        "harbour.bin": harbour_file(),
        "lighthouse.xb": lighthouse_file(),
        "reef.adf": reef_file(),
        "kelp.idf": kelp_file(),
        "dusk.tnd": dusk_file(),
        "board.pcb": board_file(),
    }
    out.update(gradient_files())
    return out


# --------------------------------------------------------------------------
# The gallery of the format tests: an issue of one piece of each format
# --------------------------------------------------------------------------

SAMPLE_ISSUE = Path(__file__).resolve().parent.parent / "tests" / "sample-issue"

# The gallery's entries: the label, the piece, and its file in the issue
# (which is also the name the save dialog proposes; the harbour's is another
# than the piece's, as the sample issue has a text called harbour).
GALLERY = [
    ("s h o r e", "shore.ans", "shore.ans"),
    ("g r a d i e n t", "gradient.ans", "gradient.ans"),
    ("g r a d i e n t  t", "gradient_t.ans", "gradient_t.ans"),
    ("h a r b o u r", "harbour.bin", "moorings.bin"),
    ("b e a c o n", "lighthouse.xb", "lighthouse.xb"),
    ("r e e f", "reef.adf", "reef.adf"),
    ("k e l p", "kelp.idf", "kelp.idf"),
    ("d u s k", "dusk.tnd", "dusk.tnd"),
    ("b o a r d", "board.pcb", "board.pcb"),
]


def write_issue(folder):
    """The sample issue with a gallery of one piece of each format: its
    screens, texts and module copied, its pieces replaced by these."""
    folder.mkdir(parents=True, exist_ok=True)
    manifest = (SAMPLE_ISSUE / "issue.toml").read_text()
    head, _, rest = manifest.partition("[[piece]]")
    tracks = rest[rest.index("[[track]]"):]
    pieces_of_sample = {line.split('"')[1] for line in rest.splitlines() if line.startswith("art = ")}
    for path in SAMPLE_ISSUE.iterdir():
        if path.name != "issue.toml" and path.name not in pieces_of_sample:
            (folder / path.name).write_bytes(path.read_bytes())
    entries = "".join(f'[[piece]]\nlabel = "{label}"\nart = "{art}"\nsave_as = "{art}"\n\n'
                      for label, _, art in GALLERY)
    comment = "# The gallery: one piece of each format (tools/make_format_pieces.py --issue).\n"
    (folder / "issue.toml").write_text(head + comment + entries + tracks)
    made = pieces()
    for _, piece, art in GALLERY:
        (folder / art).write_bytes(made[piece])


# The sixteen PC colours, and a palette's 6-bit registers as 8 bits (the
# six bits, then their top two again).
VGA_RGB = [(0, 0, 0), (0, 0, 170), (0, 170, 0), (0, 170, 170), (170, 0, 0), (170, 0, 170), (170, 85, 0),
           (170, 170, 170), (85, 85, 85), (85, 85, 255), (85, 255, 85), (85, 255, 255), (255, 85, 85),
           (255, 85, 255), (255, 255, 85), (255, 255, 255)]


def eight_bit(colours):
    return [tuple(v << 2 | v >> 4 for v in c) for c in colours]


def attr_cells(page, palette):
    """Rows of (character, foreground, background) of a page of attributes,
    bit 7 a bright background."""
    return [[(ch, palette[attr & 15], palette[attr >> 4]) for ch, attr in row] for row in page.cells]


def pcboard_cells(lines, width=80):
    """What the board's text draws: @Xbf sets the background and the
    foreground (hex digits, bright backgrounds), @CLS@ clears, a line end
    goes to the next row; cells nobody writes stay blank on black."""
    rows = []
    attr = 0x07
    for line in lines:
        row, i = [], 0
        while i < len(line):
            if line.startswith("@X", i):
                attr = int(line[i + 2:i + 4], 16)
                i += 4
            elif line.startswith("@CLS@", i):
                i += 5
            else:
                row.append((ord(line[i]), VGA_RGB[attr & 15], VGA_RGB[attr >> 4]))
                i += 1
        rows.append(row + [(SPACE, VGA_RGB[7], VGA_RGB[0])] * (width - len(row)))
    return rows


def gallery_cells():
    """Each piece's cells as its format defines them, from what was drawn:
    rows of (character, (r, g, b) foreground, (r, g, b) background)."""
    def rgb(value):
        return cube(value) if isinstance(value, int) else value

    gradient = [[(ch, rgb(f), rgb(b)) for ch, f, b in row] for row in gradient_cells()]
    px = dusk_pixels()
    labels = {(x + i, y): ord(c) for x, y, text in [(4, 2, "dusk"), (4, 3, "quix 2026")] for i, c in enumerate(text)}
    dusk = [[(labels[(x, y)], (255, 236, 200), px[2 * y + 1][x]) if (x, y) in labels
             else (UPPER, px[2 * y][x], px[2 * y + 1][x]) for x in range(len(px[0]))] for y in range(len(px) // 2)]
    return {
        "shore.ans": attr_cells(shore(), VGA_RGB),
        "gradient.ans": gradient,
        "gradient_t.ans": gradient,
        "harbour.bin": attr_cells(harbour(), VGA_RGB),
        "lighthouse.xb": attr_cells(lighthouse(), eight_bit(LIGHTHOUSE_PALETTE)),
        "reef.adf": attr_cells(reef(), eight_bit(REEF_PALETTE)),
        "kelp.idf": attr_cells(kelp(), eight_bit(KELP_PALETTE)),
        "dusk.tnd": dusk,
        "board.pcb": pcboard_cells(board_text()),
    }


def corpus():
    """Seeds for the fuzz targets, by target: small pieces of each format
    drawn by the functions above, and damaged copies of them."""
    small_harbour = harbour().rows(8, 6).pairs()
    lamp = lighthouse().rows(4, 8)
    raw_xb = xbin(lamp, LIGHTHOUSE_PALETTE, lighthouse_font(), compressed=False, non_blink=False)
    packed_xb = xbin(lamp, LIGHTHOUSE_PALETTE, lighthouse_font())
    wide = AttrPage(160, 2)
    wide.text(0, 0, "512 glyphs", 0x0C)
    font512 = bytes(range(256)) * 16
    xb512 = b"XBIN\x1a" + struct.pack("<HHBB", 160, 2, 8, 2 | 16) + font512 + wide.pairs()
    small_reef = artworx(reef().rows(6, 5), REEF_PALETTE, reef_font())
    small_kelp = ice_draw(kelp().rows(0, 5), KELP_PALETTE, kelp_font())
    small_dusk = tundra(dusk_pixels()[30:42])
    board = "\r\n".join(board_text()[:8]).encode("latin-1")
    return {
        "bin": {
            "harbour_small.bin": small_harbour + record("harbour", "tern", len(small_harbour), 5, 80, ice=True),
            "narrow.bin": small_harbour[:640] + record("narrow", "tern", 640, 5, 40),
            "no_record.bin": small_harbour[:1001],
        },
        "xbin": {
            "lighthouse_small.xb": packed_xb,
            "raw.xb": raw_xb,
            "glyphs512.xb": xb512,
            "bare.xb": b"XBIN\x1a" + struct.pack("<HHBB", 80, 1, 16, 0) + lamp.pairs()[:160],
            "cut_run.xb": packed_xb[:-3],
        },
        "adf": {
            "reef_small.adf": small_reef,
            "cut_font.adf": small_reef[:2000],
        },
        "idf": {
            "kelp_small.idf": small_kelp,
            "cut.idf": small_kelp[:12] + small_kelp[-4144:-10],
        },
        "tnd": {
            "dusk_small.tnd": small_dusk,
            "wide.tnd": small_dusk + record("dusk", "marl", len(small_dusk), 1, 8, 160, 6),
            "cut_command.tnd": small_dusk[:-5],
        },
        "pcb": {
            "board_top.pcb": board,
            "codes.pcb": b"@X1Fa@X9Cb@POS:40@c@CLS@d@e\tf\nG@X1",
            "bad_code.pcb": b"@X1Fok@XZZbad",
        },
    }


def write_corpus(folder):
    for target, files in corpus().items():
        (folder / target).mkdir(parents=True, exist_ok=True)
        for name, data in files.items():
            (folder / target / name).write_bytes(data)
            print(f"{target}/{name}: {len(data)} bytes")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", help="the folder the pieces are written to")
    parser.add_argument("--corpus", help="the folder of fuzzing seeds, a folder per format")
    parser.add_argument("--issue", help="the folder of an issue whose gallery holds a piece of each format")
    args = parser.parse_args()
    if not args.out and not args.corpus and not args.issue:
        parser.error("name --out, --corpus or --issue")
    if args.issue:
        write_issue(Path(args.issue))
    if args.out:
        out = Path(args.out)
        out.mkdir(parents=True, exist_ok=True)
        for name, data in pieces().items():
            (out / name).write_bytes(data)
            print(f"{name}: {len(data)} bytes")
    if args.corpus:
        write_corpus(Path(args.corpus))


if __name__ == "__main__":
    main()
