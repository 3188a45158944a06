#!/usr/bin/env python3
"""Draws the magazine's screens and writes them to content/.

Every screen is drawn on a cell canvas (see screenlib.py) twice: once with
code page 437 blocks and shades, written as NAME.ans, and once with plain
ASCII characters, written as its twin NAME_asc.ans (for the screens that have
one). Running the script regenerates every file.

    tools/make_screens.py [--out DIR] [--preview DIR] [NAME...]

The magazine's name, the issue's number, date and number of gallery pieces
come from the manifest DIR/issue.toml (content/issue.toml when DIR has none).
A name the screens have no room for at full size is drawn smaller: each
place tries its letterings from the largest down and takes the first that
stays clear of the rest of the screen.

--preview also renders each file to DIR/NAME.png with ansilove, after playing
it back the way the magazine draws it (so twins, whose pipe codes ansilove
does not read, show as the reader sees them).
"""

from __future__ import annotations

import argparse
import math
import random
import re
import shutil
import subprocess
import sys
import tomllib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from screenlib import (  # noqa: E402
    ASC_BLUE, ASC_CYAN, ASC_GREEN, ASC_GREY, ASC_RED, BULLET, COLS, DOT, FULL, H1, H2,
    LEFT, LIGHT, LOWER, MEDIUM, RAMP_BLUE, RAMP_CYAN, RAMP_GREEN, RAMP_GREY, RAMP_RED, RIGHT,
    ROWS, SQUARE, UPPER, Canvas, Pixels, decode, draw_word, playback_to_ansi, ramp_fn, ring,
    sphere,
)
from screenfonts import BIG, SMALL, TINY, tiny_width  # noqa: E402
from screenlib import Font  # noqa: E402

# Letter colour ramps, top of the x-height to the baseline.
COOL = [15, 15, 11, 11, 3, 3, 9, 9]
GREEN = [15, 15, 10, 10, 10, 10, 2, 2]
RED = [15, 15, 12, 12, 12, 12, 4, 4]
WARM = [15, 15, 14, 14, 12, 12, 4, 4]
CYAN = [15, 15, 11, 11, 3, 3, 3, 3]

# Per screen theme: letter ramp, shadow colour, ANSI tone ramp, ASCII tone ramp,
# frame ramp (bright to dark) and the two text colours.
THEMES = {
    "blue": dict(letters=COOL, shadow=1, tones=RAMP_BLUE, asc=ASC_BLUE, frame=[15, 11, 9, 1, 1], hi=11, lo=3),
    "green": dict(letters=GREEN, shadow=2, tones=RAMP_GREEN, asc=ASC_GREEN, frame=[15, 10, 2, 2, 8], hi=10, lo=2),
    "red": dict(letters=RED, shadow=4, tones=RAMP_RED, asc=ASC_RED, frame=[15, 12, 4, 4, 5], hi=12, lo=4),
    "cyan": dict(letters=CYAN, shadow=1, tones=RAMP_CYAN, asc=ASC_CYAN, frame=[15, 11, 3, 3, 1], hi=11, lo=3),
    "grey": dict(letters=[15, 15, 7, 7, 7, 8], shadow=8, tones=RAMP_GREY, asc=ASC_GREY, frame=[15, 7, 8, 8], hi=15, lo=7),
}

NUMBER_WORDS = ["no", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten"]

# The magazine's name when the manifest gives none, and the form a name
# takes: 1 to 12 characters, lower-case words of letters and digits with
# single spaces between them (the fonts hold nothing else).
DEFAULT_NAME = "quix"
NAME_FORM = re.compile(r"[a-z0-9]+( [a-z0-9]+)*")
NAME_MAX = 12


def read_issue(folder: Path) -> dict:
    """What the screens say about the issue, from the folder's manifest."""
    with open(folder / "issue.toml", "rb") as f:
        manifest = tomllib.load(f)
    name = manifest.get("name", DEFAULT_NAME)
    if not isinstance(name, str) or not NAME_FORM.fullmatch(name) or len(name) > NAME_MAX:
        raise SystemExit(f"{folder / 'issue.toml'}: the name {name!r} is not 1 to {NAME_MAX} lower-case "
                         "letters and digits with single spaces between words")
    pieces = len(manifest.get("piece", []))
    return dict(name=name, number=manifest["number"], date=manifest["date"],
                pieces=NUMBER_WORDS[pieces] if pieces < len(NUMBER_WORDS) else str(pieces),
                piece_word="piece" if pieces == 1 else "pieces")


ISSUE = read_issue(Path(__file__).resolve().parent.parent / "content")


def read_sections() -> dict:
    """The section table the program and the checker read: where each menu
    stands, so that the screens leave its box free, and the look of each
    section of texts."""
    with open(Path(__file__).resolve().parent.parent / "issue" / "sections.toml", "rb") as f:
        return tomllib.load(f)


SECTIONS = read_sections()


def box_of(table: dict) -> tuple[int, int, int, int]:
    """A table's menu box as (left, top, right, bottom), 1-based, inclusive."""
    col, row, width, rows = table["box"]
    return col, row, col + width - 1, row + rows - 1


def section_of(key: str) -> dict:
    return next(s for s in SECTIONS["section"] if s["key"] == key)


def page_window(table: dict) -> tuple[int, int]:
    """The rows a framed page's text window covers."""
    _col, row, _width, below = table["window"]
    return row, row + below


class Screen:
    """One screen being drawn, in ANSI (asc False) or twin (asc True) form."""

    def __init__(self, asc: bool) -> None:
        self.asc = asc
        self.c = Canvas()

    def tones(self, theme: str):
        return THEMES[theme]["asc" if self.asc else "tones"]

    # -- letters ---------------------------------------------------------------
    def big(self, text: str, x: int, row: int, ramp: list[int], sx: int = 1, sy: int = 1,
            shadow: int | None = 1, font=BIG, twin_sx: int = 2) -> tuple[int, int]:
        """Block letters whose topmost ink starts on text row `row`; the colour
        ramp spans the x-height, ascenders take its first colour and descenders
        its last. Returns the first and last text row used.

        In a twin, the big letters at their natural size would be made of
        half cells, which ASCII cannot show: the small letters drawn one pixel
        per cell (twin_sx cells wide) stand in for them. twin_sx 0 keeps the
        big letters, where the small ones would not fit."""
        if self.asc and font is BIG and sx == 1 and sy == 1 and twin_sx:
            font, sx, sy = SMALL, twin_sx, 2
            if twin_sx != 1:
                x -= (SMALL.word_width(text, twin_sx) - BIG.word_width(text)) // 2
        _pts, lo, hi = font.ink(text)
        px = Pixels()
        top = self.x_height_top(row, lo, sy)
        xh = font.x_height * sy
        colour = ramp_fn(ramp, xh)
        shift = -lo * sy     # rows from the topmost ink to the top of the x-height
        first, last = draw_word(px, font, text, x, top, lambda r: colour(r - shift), sx, sy,
                                None if self.asc else shadow)
        px.draw_onto(self.c, self.asc)
        return first // 2 + 1, last // 2 + 1

    @staticmethod
    def x_height_top(row: int, lo: int, sy: int) -> int:
        """The pixel row where big() starts the x-height of letters whose
        topmost ink (lo pixels above it, lo <= 0) is meant for text row row."""
        top = (row - 1) * 2 - lo * sy
        return top + top % 2     # the x-height starts on a cell boundary: whole colour bands

    def tiny(self, text: str, x: int, row: int, ramp: list[int]) -> int:
        """The twin's line letters, coloured letter by letter along ramp;
        returns the row after the last one used."""
        height = max(len(TINY[ch]) for ch in text)
        n = max(1, len(text) - 1)
        cx = x
        for i, ch in enumerate(text):
            g = TINY[ch]
            colour = ramp[round(i * (len(ramp) - 1) / n)]
            for r, line in enumerate(g):
                for j, glyph in enumerate(line):
                    if glyph != " ":
                        self.c.put(cx + j, row + r, glyph, colour)
            cx += len(g[0]) + 1
        return row + height

    def small_title(self, text: str, x: int, row: int, ramp: list[int], sx: int = 1) -> None:
        """A title of four rows at most: small block letters, or line letters in a twin."""
        if self.asc:
            self.tiny(text, x, row, [ramp[len(ramp) // 2], ramp[0], ramp[len(ramp) // 2]])
        else:
            self.big(text, x, row, ramp, font=SMALL, sx=sx, shadow=None)

    # -- lines ---------------------------------------------------------------------
    def rule(self, x1: int, x2: int, y: int, colours: list[int], ch: int | None = None) -> None:
        """A horizontal line that fades out to both ends."""
        glyph = ch if ch is not None else (ord("-") if self.asc else H1)
        self.c.hline_sym(x1, x2, y, glyph, colours)

    def half_rule(self, x1: int, x2: int, y: int, colours: list[int], upper: bool) -> None:
        glyph = (ord("~") if upper else ord("_")) if self.asc else (UPPER if upper else LOWER)
        self.c.hline_sym(x1, x2, y, glyph, colours)

    def frame(self, x1: int, y1: int, x2: int, y2: int, colours: list[int], label: str = "",
              label_fg: int = 15) -> None:
        if self.asc:
            self.ascii_frame(x1, y1, x2, y2, colours)
        else:
            self.c.frame(x1, y1, x2, y2, True, colours)
        if label:
            lx = x1 + (x2 - x1 + 1 - len(label) - 2) // 2
            self.c.put(lx, y1, " ", 7)
            self.c.text(lx + 1, y1, label, label_fg)
            self.c.put(lx + 1 + len(label), y1, " ", 7)

    def ascii_frame(self, x1: int, y1: int, x2: int, y2: int, colours: list[int]) -> None:
        c = self.c
        span = (x2 - x1) + (y2 - y1)

        def col(x: int, y: int) -> int:
            return colours[min(len(colours) - 1, round(((x - x1) + (y - y1)) * (len(colours) - 1) / span))]

        for x in range(x1 + 1, x2):
            c.put(x, y1, "=", col(x, y1))
            c.put(x, y2, "=", col(x, y2))
        for y in range(y1 + 1, y2):
            c.put(x1, y, ":", col(x1, y))
            c.put(x2, y, ":", col(x2, y))
        for (x, y) in ((x1, y1), (x2, y1), (x1, y2), (x2, y2)):
            c.put(x, y, "+", col(x, y))

    def keys_line(self, y: int, items: list[tuple[str, str]], key_fg: int, text_fg: int,
                  sep_fg: int = 8, x1: int = 1, x2: int = COLS) -> None:
        """A centred line of "key what" pairs, separated by small squares."""
        sep = " - " if self.asc else f" {chr(SQUARE)} "
        parts = []
        for k, what in items:
            parts.append(("k", k))
            parts.append(("t", " " + what))
            parts.append(("s", sep))
        parts.pop()
        width = sum(len(s) for _k, s in parts)
        x = x1 + (x2 - x1 + 1 - width) // 2
        for kind, s in parts:
            fg = {"k": key_fg, "t": text_fg, "s": sep_fg}[kind]
            for ch in s:
                self.c.put(x, y, ch if ord(ch) < 128 else SQUARE, fg)
                x += 1

    def stars(self, seed: int, count: int, x1=1, y1=1, x2=COLS, y2=ROWS, colours=(8, 8, 8, 7, 1, 9)) -> None:
        """Dots on cells whose neighbours are blank, so that no word gets a stray one."""
        rng = random.Random(seed)
        c = self.c
        if x1 > x2 or y1 > y2:
            return
        for _ in range(count):
            x, y = rng.randint(x1, x2), rng.randint(y1, y2)
            if (x, y) == (COLS, ROWS):
                continue
            near = [(x + dx, y + dy) for dx in range(-3, 4) for dy in (-2, -1, 0, 1, 2)]
            if all(not c.inside(a, b) or c.cell(a, b).blank() for a, b in near):
                ch = rng.choice((DOT, DOT, DOT, BULLET, ord("."), ord("+")))
                if self.asc and ch >= 128:
                    ch = ord(".")
                c.put(x, y, ch, rng.choice(colours))

    # -- shaded pieces -------------------------------------------------------------
    def planet(self, cx: float, cy: float, rx: float, theme: str, ring_colours: list[int]) -> None:
        rrx, rry = rx * 1.7, rx * 0.3

        def on_ball(x: float, y: float) -> bool:
            return ((x - cx) / rx) ** 2 + ((y - cy) / (rx / 2)) ** 2 <= 1

        ring(self.c, cx, cy, rrx, rry, 0.22, ring_colours, front=False, ball=on_ball, ascii_only=self.asc)
        sphere(self.c, cx, cy, rx, self.tones(theme))
        ring(self.c, cx, cy, rrx, rry, 0.22, ring_colours, front=True, ascii_only=self.asc)

    def equaliser(self, x: int, y_bottom: int, bars: int, height: int, seed: int) -> None:
        """Level meters of a music player: green, yellow then red towards the top,
        a peak mark above each bar."""
        rng = random.Random(seed)
        c = self.c
        level = height * 0.6
        for i in range(bars):
            level = max(2.0, min(height - 1.0, level + rng.uniform(-2.6, 2.6)))
            h = int(level * 2)            # in half rows
            bx = x + i * 3
            for k in range(h):
                row = y_bottom - k // 2
                frac = k / (height * 2)
                colour = 10 if frac < 0.5 else 14 if frac < 0.8 else 12
                lower_half = k % 2 == 0
                cell = c.cell(bx, row)
                if self.asc:
                    ch = "#" if not lower_half else "="
                    if not lower_half or cell.blank():
                        c.put(bx, row, ch, colour)
                        c.put(bx + 1, row, ch, colour)
                    continue
                glyph = LOWER if lower_half else FULL
                c.put(bx, row, glyph, colour)
                c.put(bx + 1, row, glyph, colour)
            peak = h + 2 + rng.randint(0, 2)
            prow = y_bottom - peak // 2
            if prow >= y_bottom - height + 1:
                glyph = ord("-") if self.asc else (LOWER if peak % 2 == 0 else UPPER)
                c.put(bx, prow, glyph, 7)
                c.put(bx + 1, prow, glyph, 7)
        # the floor the bars stand on
        self.c.hline_sym(x - 1, x + bars * 3 - 1, y_bottom + 1,
                         ord("~") if self.asc else UPPER, [8, 7, 15, 7, 8])

    def sunset(self, x1: int, x2: int, horizon: int, y_bottom: int, sun_x: float, sun_r: float,
               seed: int) -> None:
        """A striped sun going down behind the sea, with its reflection.
        horizon is the text row whose lower half holds the horizon line;
        sun_r is the sun's radius in pixels (half rows)."""
        rng = random.Random(seed)
        c = self.c
        if self.asc:
            self.ascii_sun(x1, x2, horizon, sun_x, sun_r)
        else:
            px = Pixels()
            line = horizon * 2 - 1                 # pixel row of the horizon
            # stripes cut out of the lower half of the sun, wider near the sea
            gaps = {1, 2, 3, 5, 6, 9, 12} if sun_r > 12 else {1, 3, 6}
            for py in range(int(line - sun_r), line):
                h = line - py
                if h in gaps:
                    continue
                frac = 1 - h / sun_r
                colour = 15 if frac < 0.15 else 14 if frac < 0.45 else 12 if frac < 0.8 else 4
                for x in range(x1, x2 + 1):
                    if (x - sun_x) ** 2 + (h - 0.5) ** 2 <= sun_r ** 2:
                        px.set(x, py, colour)
            for x in range(x1, x2 + 1):
                px.set(x, line, 12 if abs(x - sun_x) < sun_r else 5)
            px.draw_onto(c)
        # the sea: the sun's reflection and thin waves
        for y in range(horizon + 1, y_bottom + 1):
            depth = (y - horizon) / max(1, y_bottom - horizon)
            width = sun_r * (0.75 - 0.3 * depth)
            colour = 14 if depth < 0.35 else 12 if depth < 0.7 else 4
            x = x1
            while x <= x2:
                d = abs(x - sun_x)
                if d < width * rng.uniform(0.7, 1.05):
                    if rng.random() < 0.8:
                        glyph = ord("=") if self.asc else (H2 if depth < 0.4 else H1)
                        c.put(x, y, glyph, colour)
                    x += 1
                elif rng.random() < 0.05 + depth * 0.05:
                    for k in range(rng.randint(2, 6)):
                        if x + k <= x2 and abs(x + k - sun_x) >= width:
                            c.put(x + k, y, ord("-") if self.asc else H1, rng.choice((1, 1, 9)))
                    x += 7
                else:
                    x += 1

    def ascii_sun(self, x1: int, x2: int, horizon: int, sun_x: float, sun_r: float) -> None:
        """The twin's sun: whole rows of characters, striped towards the sea."""
        rows = max(2, int(sun_r / 2))
        for k in range(rows):
            y = horizon - 1 - k
            h = (k + 0.5) / rows
            half = sun_r * math.sqrt(max(0.0, 1 - h * h))
            striped = h < 0.45
            ch = "=" if striped else "#"
            colour = 15 if h > 0.85 else 14 if h > 0.55 else 12
            for x in range(x1, x2 + 1):
                if abs(x - sun_x) <= half:
                    self.c.put(x, y, ch, colour)
        for x in range(x1, x2 + 1):
            self.c.put(x, horizon, "_", 12 if abs(x - sun_x) < sun_r else 5)


# --------------------------------------------------------------------------
# Setting the magazine's name where the screen has room for it
# --------------------------------------------------------------------------

# A lettering: a block font at a scale, or TINY's line letters (font None).
Lettering = tuple[Font | None, int, int]
LINES = (None, 1, 1)


def name_lines(name: str) -> list[list[str]]:
    """The ways to set a name: on one line (words apart by the font's gap),
    then on two lines, split between words, the most even split first."""
    words = name.split(" ")
    splits = [[" ".join(words[:k]), " ".join(words[k:])] for k in range(1, len(words))]
    splits.sort(key=lambda lines: max(len(line) for line in lines))
    return [[name]] + splits


def can_set(text: str, font: Font | None) -> bool:
    glyphs = TINY if font is None else font.glyphs
    return all(ch == " " or ch in glyphs for ch in text)


def ink_cells(c: Canvas) -> set[tuple[int, int]]:
    return {(x, y) for y in range(1, ROWS + 1) for x in range(1, COLS + 1) if not c.cell(x, y).blank()}


def set_lines(s: Screen, lines: list[str], lettering: Lettering, x: int, row: int, ramp: list[int],
              shadow: int | None) -> tuple[int, int] | None:
    """Draws the lines from (x, row) down, one blank row between them.
    Returns the last column and row the letters reach, counted before the
    screen's edge clips them, or None if the lettering lacks a character."""
    font, sx, sy = lettering
    right = bottom = 0
    for line in lines:
        if not can_set(line, font):
            return None
        if font is None:
            bottom = s.tiny(line, x, row, ramp) - 1
            right = max(right, x + tiny_width(line) - 1)
        else:
            s.big(line, x, row, ramp, sx=sx, sy=sy, shadow=shadow, font=font, twin_sx=0)
            shade = shadow is not None and not s.asc
            _pts, lo, hi = font.ink(line)
            last_px = Screen.x_height_top(row, lo, sy) + hi * sy + sy - 1 + (1 if shade else 0)
            bottom = last_px // 2 + 1
            right = max(right, x + font.word_width(line, sx) - 1 + (1 if shade else 0))
        row = bottom + 2
    return right, bottom


def place_name(s: Screen, name: str, letterings: list[Lettering], x: int, row: int, ramp: list[int],
               room: tuple[int, int, int, int], shadow: int | None = None,
               keep_out: list[tuple[int, int, int, int]] = ()) -> Lettering | None:
    """Sets the name with the first lettering (and, within it, the first
    way of breaking the lines) whose letters stay inside room (x1, y1, x2,
    y2), off the keep_out boxes and at least one column away from anything
    already on the screen. Returns the lettering used, None if none fits."""
    taken = ink_cells(s.c)
    blocked = {(cx + dx, cy) for cx, cy in taken for dx in (-1, 0, 1)}
    for x1, y1, x2, y2 in keep_out:
        blocked |= {(bx, by) for bx in range(x1, x2 + 1) for by in range(y1, y2 + 1)}
    rx1, ry1, rx2, ry2 = room
    for lettering in letterings:
        for lines in name_lines(name):
            trial = Screen(s.asc)
            reach = set_lines(trial, lines, lettering, x, row, ramp, shadow)
            if reach is None or reach[0] > rx2 or reach[1] > ry2:
                continue
            cells = ink_cells(trial.c)
            if cells & blocked or any(not (rx1 <= cx <= rx2 and ry1 <= cy <= ry2) for cx, cy in cells):
                continue
            set_lines(s, lines, lettering, x, row, ramp, shadow)
            return lettering
    return None


def fit_text(forms: list[str], width: int) -> str:
    """The first of the forms that is at most width long (else the last)."""
    return next((f for f in forms if len(f) <= width), forms[-1])


def magazine_forms(name: str) -> list[str]:
    """"q u i x   m a g a z i n e", or the plain words where that is too long."""
    return [spaced(f"{name} magazine"), f"{name} magazine"]


# --------------------------------------------------------------------------
# The screens
# --------------------------------------------------------------------------

def spaced(s: str) -> str:
    return " ".join(s)


# The logo's planet: large beside the name, or, for a name too long to sit
# beside it, small under the name's right end.
BIG_PLANET = (66, 7.5, 10, [3, 11, 15, 11, 3])
SMALL_PLANET = (68, 11.5, 6, [3, 11, 3])

# (planet, letterings) in the order they are tried. A twin takes only
# letterings of whole cells (sy 2) or line letters: half-block pixels would
# turn into commas and quotes there.
LOGO_LAYOUTS = {
    False: [(BIG_PLANET, [(BIG, 2, 2), (BIG, 1, 2), (BIG, 1, 1)]),
            (SMALL_PLANET, [(BIG, 1, 1), (SMALL, 2, 2), (SMALL, 1, 2), (SMALL, 1, 1)])],
    True: [(BIG_PLANET, [(BIG, 2, 2), (BIG, 1, 2), (SMALL, 2, 2), (SMALL, 1, 2)]),
           (SMALL_PLANET, [(BIG, 1, 2), (SMALL, 2, 2), (SMALL, 1, 2), LINES])],
}


def logo_backdrop(asc: bool, planet) -> Screen:
    """The logo without the name and the stars."""
    s = Screen(asc)
    c = s.c
    px, py, pr, ring_colours = planet
    s.planet(px, py, pr, "blue", ring_colours)
    if asc:
        # Half-block letters would turn into commas here: whole cells instead.
        s.big("magazine", 36, 15, WARM, font=SMALL, sy=2)
        issue_row = 24
    else:
        s.big("magazine", 24, 15, WARM, shadow=5)
        issue_row = 23
    issue = spaced(f"issue #{ISSUE['number']}") + "  -  " + spaced(ISSUE["date"])
    c.text_ramp((COLS - len(issue)) // 2 + 1, issue_row, issue, [8, 7, 15, 15, 7, 8])
    c.text_center(issue_row + 1, "eighty columns, twenty-five rows, no limits", 3, x2=COLS - 1)
    return s


def logo(asc: bool) -> Canvas:
    # the name takes rows 1..15 above "magazine"; its shadow may share row 15
    # with the left end of that word
    for planet, letterings in LOGO_LAYOUTS[asc]:
        s = logo_backdrop(asc, planet)
        if place_name(s, ISSUE["name"], letterings, 3, 1, COOL, (1, 1, COLS - 1, 15), shadow=1):
            break
    else:
        raise SystemExit(f"no room on the logo for the name {ISSUE['name']!r}")
    s.stars(7, 160)
    return s.c


def help_screen(asc: bool) -> Canvas:
    s = Screen(asc)
    c = s.c
    s.small_title("help", 3, 1, COOL, sx=2)
    c.text(40, 2, fit_text(magazine_forms(ISSUE["name"]), COLS - 40 + 1), 11)
    c.text(40, 3, "the keys, all of them", 3)
    s.half_rule(38, 80, 4, [1, 9, 11, 15, 11, 9, 1], upper=False)

    def header(x: int, y: int, text: str) -> None:
        if asc:
            c.text(x, y, "=[ ", 9)
            c.text(x + 3, y, text, 15)
            c.text(x + 3 + len(text), y, " ]" + "=" * (34 - len(text)), 9)
        else:
            c.put(x, y, RIGHT, 9)
            c.text(x + 1, y, f" {text} ", 15, 1)
            c.put(x + 3 + len(text), y, LEFT, 9)
            c.hline(x + 4 + len(text), x + 37, y, LOWER, [9, 9, 1, 1, 8])

    def rows(x: int, y: int, items: list[tuple[str, str]], key_width: int) -> int:
        for key, what in items:
            c.text(x + 1, y, key, 15 if not asc else 11)
            if not asc:
                c.text(x + 1, y, key, 11)
            c.text(x + 1 + key_width, y, what, 7)
            y += 1
        return y

    header(2, 6, "in every menu")
    rows(2, 7, [
        ("x", "exit the magazine"),
        ("t or m", "track menu: choose the music"),
        ("p", "music on / off"),
        ("h", "this help"),
        ("b", "list the back issues"),
        ("a", "switch ansi / ascii screens"),
        ("+", "draw screens faster"),
        ("-", "draw screens slower"),
    ], 9)
    header(2, 15, "moving around a menu")
    rows(2, 16, [
        ("arrows", "move the bar"),
        ("enter", "choose the entry"),
        ("esc", "back, or redraw the menu"),
        ("letters", "typing searches the list"),
        ("ctrl+l", "draw the screen again"),
    ], 9)
    header(2, 21, "switches at start")
    rows(2, 22, [
        ("--ascii", "plain ascii screens"),
        ("--silent", "no music at all"),
        ("--help", "list the switches"),
    ], 10)

    header(42, 6, "in the text viewer")
    rows(42, 7, [
        ("up down", "scroll a line"),
        ("left right", "scroll sideways"),
        ("pgup pgdn", "scroll a page"),
        ("home end", "left edge / far right"),
        ("f1", "viewer help"),
        ("f10", "full screen on / off"),
        ("ctrl+f", "find a word"),
        ("ctrl+g", "find it again"),
        ("ctrl+s", "save the text"),
        ("+ -", "text colour"),
        ("/ *", "background colour"),
        ("ctrl+r", "reset colours and place"),
        ("esc", "leave the text"),
        ("enter tab", "leave the text, too"),
        ("ctrl+l", "draw the screen again"),
    ], 11)
    press = "p r e s s   a n y   k e y"
    x = 42 + (38 - len(press)) // 2
    if asc:
        c.text(x - 4, 23, ">> ", 9)
        c.text_ramp(x, 23, press, [9, 11, 15, 15, 11, 9])
        c.text(x + len(press) + 1, 23, " <<", 9)
    else:
        c.hline_sym(42, 79, 22, LOWER, [1, 1, 9, 11, 9, 1, 1])
        c.fill(42, 23, 79, 23, 32, 7, 1)
        c.text_ramp(x, 23, press, [9, 11, 15, 15, 11, 9], bg=1)
        c.hline_sym(42, 79, 24, UPPER, [1, 1, 9, 11, 9, 1, 1])
    return c


def exit_screen(asc: bool) -> Canvas:
    s = Screen(asc)
    c = s.c
    s.big("thanks", (COLS - BIG.word_width("thanks")) // 2 + 1, 1, WARM, shadow=5)
    c.text_center(8, spaced("for reading"), 7)
    mag = fit_text(magazine_forms(ISSUE["name"]), COLS)
    c.text_ramp((COLS - len(mag)) // 2 + 1, 10, mag, [12, 14, 15, 15, 14, 12])
    c.text_center(12, "see you next issue", 3)
    s.sunset(1, COLS - 1, 20, ROWS, 40, 14, 3)
    s.stars(11, 90, 1, 1, COLS, 15)
    return c


# (with the planet, letterings) in the order they are tried. A name too long
# for big letters beside the planet gets them without it, before it is
# drawn smaller; the widest names (twelve m's) need the whole row. A twin
# keeps the half-block letters the first issue has there, and turns to
# whole-cell and line letters for smaller ones.
MENU_LAYOUTS = {
    False: [(True, [(BIG, 2, 1), (BIG, 1, 1)]), (False, [(BIG, 1, 1)]),
            (True, [(SMALL, 2, 1), (SMALL, 1, 1)]), (False, [(SMALL, 1, 1), LINES])],
    True: [(True, [(BIG, 2, 1), (SMALL, 2, 2), (SMALL, 1, 2)]), (False, [(BIG, 2, 1), (SMALL, 2, 2)]),
           (True, [LINES]), (False, [(SMALL, 1, 2), LINES])],
}


def menu(asc: bool) -> Canvas:
    main = SECTIONS["main"]
    message_row, message_first, message_last = main["message"]
    for with_planet, letterings in MENU_LAYOUTS[asc]:
        s = menu_backdrop(asc, with_planet)
        # rows 1..8 above "m a g a z i n e"; the menu box starts below them
        if place_name(s, ISSUE["name"], letterings, 3, 1, COOL, (1, 1, COLS - 1, 8), shadow=1,
                      keep_out=[box_of(main), (message_first, message_row, message_last, message_row)]):
            break
    else:
        raise SystemExit(f"no room on the menu for the name {ISSUE['name']!r}")
    s.stars(3, 70, 1, 1, 48, 11)
    return s.c


def menu_backdrop(asc: bool, with_planet: bool) -> Screen:
    """The main menu without the name and the stars."""
    s = Screen(asc)
    c = s.c
    t = THEMES["blue"]
    c.text_ramp(3, 9, spaced("magazine"), [9, 11, 15, 11, 9])
    c.text(20, 9, "  " + spaced(f"issue #{ISSUE['number']}"), 8)
    if with_planet:
        s.planet(68, 3.5, 6, "blue", [3, 11, 3])
    left, top, right, bottom = box_of(SECTIONS["main"])
    s.frame(left - 3, top - 2, right + 3, bottom + 2, t["frame"], spaced("main"))
    s.equaliser(5, 17, 14, 7, 5)
    c.text(5, 19, "now playing - t picks another tune", 8)
    # the message slot on row 22 stays empty between two thin lines
    s.rule(2, 79, 21, [1, 1, 9, 11, 9, 1, 1])
    s.rule(2, 79, 23, [1, 1, 9, 11, 9, 1, 1])
    s.keys_line(24, [("h", "help"), ("t", "music"), ("p", "on/off"), ("a", "ascii"), ("x", "exit")], 11, 7)
    return s


def section(asc: bool, word: str, subtitle: str, label: str, theme: str, seed: int,
            footer: list[tuple[str, str]], box: tuple[int, int, int, int]) -> Canvas:
    """The backdrop of a section of texts: a title, a framed menu box (two
    cells round the section table's box), shaded pillars on both sides."""
    s = Screen(asc)
    c = s.c
    t = THEMES[theme]
    s.big(word, (COLS - BIG.word_width(word)) // 2 + 1, 2, t["letters"], shadow=t["shadow"])
    c.text_center(10, subtitle, t["lo"])
    left, top, right, bottom = box
    fx1, fy1, fx2, fy2 = left - 2, top - 2, right + 2, bottom + 2
    s.frame(fx1, fy1, fx2, fy2, t["frame"], spaced(label))
    tones = s.tones(theme)
    middle = (fy1 + fy2) / 2
    for y in range(fy1, fy2 + 1):
        fade = 1 - abs(y - middle) / ((fy2 - fy1) / 2 + 2)
        for i, x in enumerate(range(3, fx1 - 2)):
            lvl = fade * (i / 10) ** 1.4
            c.put(x, y, *tones[min(len(tones) - 1, int(lvl * len(tones)))])
        for i, x in enumerate(range(fx2 + 3, 77)):
            lvl = fade * ((10 - i) / 10) ** 1.4
            c.put(x, y, *tones[min(len(tones) - 1, int(lvl * len(tones)))])
    s.keys_line(24, footer, t["hi"], 7)
    s.stars(seed, 80, 1, 1, COLS, 11)
    return c


def texts_section(table: dict, seed: int):
    """The backdrop of a section of texts of the section table, drawn in its
    look (its theme, heading, subtitle and the prompt on its frame)."""
    def draw(asc: bool) -> Canvas:
        return section(asc, table["heading"], table["subtitle"], table["prompt"], table["theme"], seed,
                       [("enter", "reads it"), ("[ b a c k ]", "main menu"), ("h", "help")], box_of(table))
    return draw


def gallery(asc: bool) -> Canvas:
    s = Screen(asc)
    c = s.c
    t = THEMES["cyan"]
    s.big("ansi art", 3, 1, CYAN, shadow=1, twin_sx=0)
    c.text_ramp(3, 8, spaced("gallery"), [3, 11, 15, 11, 3])
    c.text(18, 8, f"- {ISSUE['pieces']} {ISSUE['piece_word']} drawn for this issue", 8)
    left, top, right, bottom = box_of(section_of("gallery"))
    s.frame(left - 2, top - 2, right + 2, bottom + 2, t["frame"], spaced("pieces"))
    # a painting in its frame: a sunset
    fx1, fy1, fx2, fy2 = 4, 10, 46, 22
    if asc:
        s.ascii_frame(fx1, fy1, fx2, fy2, [14, 14, 6, 6])
    else:
        c.block_frame(fx1, fy1, fx2, fy2, 14, 6)
    # the evening sky, darkest at the top
    sky = ([(ord(" "), 0, 0), (ord("."), 1, 0), (ord(":"), 1, 0), (ord(":"), 5, 0), (ord("="), 5, 0),
            (ord("="), 4, 0)] if asc else
           [(32, 0, 0), (LIGHT, 1, 0), (MEDIUM, 1, 0), (LIGHT, 5, 1), (MEDIUM, 5, 1), (LIGHT, 4, 5)])
    horizon = fy1 + 6
    for y in range(fy1 + 1, horizon + 1):
        c.fill(fx1 + 1, y, fx2 - 1, y, *sky[y - fy1 - 1])
    s.stars(9, 30, fx1 + 1, fy1 + 1, fx2 - 1, fy1 + 1, colours=(7, 15, 9))
    s.sunset(fx1 + 1, fx2 - 1, horizon, fy2 - 1, (fx1 + fx2) / 2, 11, 5)
    s.keys_line(24, [("enter", "views a piece"), ("e", "saves a copy"), ("[ b a c k ]", "main menu")], 11, 7)
    s.stars(31, 50, 48, 1, COLS, 5)
    return c


def framed_page(asc: bool, word: str, theme: str, seed: int) -> Canvas:
    """About and editorial: the text viewer covers rows 5..22, so the art
    lives on rows 1..4 and 23..25."""
    s = Screen(asc)
    c = s.c
    t = THEMES[theme]
    issue = f"issue #{ISSUE['number']} - {ISSUE['date']}"
    forms = magazine_forms(ISSUE["name"])

    def text_x(sx: int) -> int:
        """Where the lines beside the title start: five columns after it."""
        return 3 + (tiny_width(word) if asc else SMALL.word_width(word, sx)) + 5

    # The title at double width where it leaves room for the magazine's name
    # and the issue line beside it, else at single width.
    sx = 2 if SMALL.word_width(word, 2) <= 48 else 1
    if sx == 2 and text_x(2) + max(len(forms[0]), len(issue)) - 1 > COLS:
        sx = 1
    s.small_title(word, 3, 1, t["letters"], sx=sx)
    x = text_x(sx) - 2
    c.text_ramp(x + 2, 2, fit_text(forms, COLS - x - 1), [t["lo"], t["hi"], 15, t["hi"]])
    c.text(x + 2, 3, issue, 8)
    s.half_rule(x, COLS, 4, t["frame"][::-1] + t["frame"], upper=False)
    s.stars(seed, 40, x + 28, 1, COLS, 3)  # right of the issue line
    s.half_rule(1, COLS, 23, [8] + t["frame"][::-1] + t["frame"] + [8], upper=True)
    s.keys_line(24, [("esc", "leaves"), ("f1", "viewer help"), ("f10", "full screen"), ("ctrl+f", "find"),
                     ("ctrl+s", "save")], t["hi"], 7)
    s.rule(1, COLS - 1, 25, [8, 8, 1, t["lo"], 1, 8, 8])
    c.text_center(25, " the text runs above: scroll it with the arrows ", t["lo"], x2=COLS - 1)
    return c


def page_section(table: dict):
    """The frame of a framed page of the section table, in its look."""
    def draw(asc: bool) -> Canvas:
        return framed_page(asc, table["heading"], table["theme"], table["stars"])
    return draw


def name_text(s: Screen, name: str, x1: int, x2: int) -> None:
    """The name as plain letters in rows 2..4 between columns x1 and x2:
    spaced out on one line, spaced out word by word, plain on one line, or
    plain word by word, whichever fits first."""
    width = x2 - x1 + 1
    for lines in ([spaced(name)], *[[spaced(w) for w in ls] for ls in name_lines(name)[1:]],
                  [name], *name_lines(name)[1:]):
        if all(len(line) <= width for line in lines):
            break
    top = 3 - (len(lines) - 1) // 2
    for i, line in enumerate(lines):
        s.c.text_ramp(x1, top + i, line, [11, 15, 15, 11])


def article_header(asc: bool) -> Canvas:
    """The header of an opened article. Five single '!' cells mark where the
    program writes the title, author and category (from the marker on, in the
    marker's colour) and the corners of the text window: column 1 row 7 and
    column 80 row 24."""
    s = Screen(asc)
    c = s.c
    labels = [("article:", 15), ("author:", 11), ("category:", 3)]
    for i, (label, colour) in enumerate(labels):
        y = 2 + i
        c.text(29 - len(label), y, label, 8 if i else 7)
        c.put(30, y, "!", colour)
    s.half_rule(18, COLS, 1, [1, 9, 11, 15, 11, 9, 1], upper=False)
    # The name goes left of the labels, above the rule of row 6: small
    # letters (line letters in a twin), or plain text when they do not fit.
    name = ISSUE["name"]
    ramp = [15, 11, 11, 3] if asc else COOL
    if not place_name(s, name, [LINES if asc else (SMALL, 1, 1)], 3, 1, ramp, (1, 1, 18, 5)):
        name_text(s, name, 3, 18)
    s.half_rule(1, COLS, 6, [1, 1, 9, 11, 15, 11, 9, 1, 1], upper=True)
    c.put(1, 7, "!", 7)
    c.put(COLS, 24, "!", 7)
    s.keys_line(25, [("esc", "leaves"), ("f1", "help"), ("f10", "full screen"), ("ctrl+f", "find"),
                     ("ctrl+s", "save")], 11, 7, x2=COLS - 1)
    return c


# name: (drawing function, has a twin)
SCREENS = {
    "logo": (logo, True),
    "help": (help_screen, False),
    "exit": (exit_screen, True),
    "menu": (menu, True),
    "article_hdr": (article_header, True),
    "ansi": (gallery, True),
}
# Every section of texts and every framed page of the table gets its screen
# in its own look.
for _table in SECTIONS["section"]:
    if _table["kind"] == "entries":
        SCREENS[_table["screen"]] = (texts_section(_table, _table["stars"]), _table.get("twin", True))
    elif _table["kind"] == "page":
        SCREENS[_table["screen"]] = (page_section(_table), _table.get("twin", True))


def build(name: str) -> dict[str, bytes]:
    """The files of one screen: {file stem: bytes}."""
    draw, has_twin = SCREENS[name]
    files = {name: draw(False).to_ansi()}
    if has_twin:
        files[name + "_asc"] = draw(True).to_twin()
    return files


def render_png(data: bytes, png: Path) -> None:
    tmp = png.with_suffix(".tmp.ans")
    tmp.write_bytes(data)
    subprocess.run(["ansilove", "-q", "-o", str(png), str(tmp)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    tmp.unlink()


def main() -> int:
    here = Path(__file__).resolve().parent
    ap = argparse.ArgumentParser(description="Draws the magazine's screens into content/.")
    ap.add_argument("--out", type=Path, default=here.parent / "content")
    ap.add_argument("--preview", type=Path, help="also render PNG pictures into this folder")
    ap.add_argument("only", nargs="*", help="screen names to make (default: all)")
    args = ap.parse_args()
    unknown = [n for n in args.only if n not in SCREENS]
    if unknown:
        ap.error(f"unknown screen {unknown[0]}; known: {', '.join(SCREENS)}")
    args.out.mkdir(parents=True, exist_ok=True)
    global ISSUE
    if (args.out / "issue.toml").is_file():
        ISSUE = read_issue(args.out)
    if args.preview:
        if shutil.which("ansilove"):
            args.preview.mkdir(parents=True, exist_ok=True)
        else:
            print("ansilove is not installed: no previews", file=sys.stderr)
            args.preview = None
    for name in SCREENS:
        if args.only and name not in args.only:
            continue
        for stem, data in build(name).items():
            (args.out / f"{stem}.ans").write_bytes(data)
            if args.preview:
                render_png(playback_to_ansi(decode(data)), args.preview / f"{stem}.png")
    return 0


if __name__ == "__main__":
    sys.exit(main())
