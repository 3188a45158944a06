#!/usr/bin/env python3
"""Draws "tidepool", a gallery piece taller than one screen: looking down
into a rock pool from the surface to the sand, 48 rows of 79 columns.

Like most scene art it is drawn line by line and scrolls the screen as it
goes, and it is full of what a renderer must get right while the screen
scrolls: colour changes right before cursor-forward gaps (ESC[37m ESC[15C
ESC[31m), resets before a gap (ESC[0m ESC[28C ESC[1;31m), half blocks
in red and bright red on other backgrounds, and runs of blanks on colour.

    python3 tools/make_tall_art.py --out tests/sample-issue/tidepool.ans
"""

import argparse
import random

WIDTH = 79
ESC = "\x1b"
FULL, LOWER, UPPER, LEFT, RIGHT = "\xdb", "\xdc", "\xdf", "\xdd", "\xde"
SHADES = ["\xb0", "\xb1", "\xb2"]

def sgr(*params):
    return ESC + "[" + ";".join(str(p) for p in params) + "m"


def forward(n):
    return ESC + f"[{n}C"


class Line:
    """One row of the piece, written left to right; Gap moves the cursor
    on without drawing, as scene art does over what is already there."""

    def __init__(self):
        self.parts = []
        self.col = 0

    def put(self, text, *colour):
        if colour:
            self.parts.append(sgr(*colour))
        self.parts.append(text)
        self.col += len(text)

    def gap(self, n, *colour_before):
        if colour_before:
            self.parts.append(sgr(*colour_before))
        self.parts.append(forward(n))
        self.col += n

    def text(self):
        assert self.col <= WIDTH, self.col
        return "".join(self.parts)


def sky(rng, row):
    line = Line()
    shade = SHADES[min(2, row // 2)]
    line.put(shade * WIDTH, 0, 34 if row < 3 else 36, 44)
    return line


def surface(rng, row):
    # Ripples: half blocks in cyan and white on blue, with gaps between
    # them that keep what the row under them had.
    line = Line()
    line.put(" " * 3, 0, 44)
    while line.col < WIDTH - 12:
        run = rng.randint(3, 9)
        line.put((UPPER if row % 2 else LOWER) * run, 1 if rng.random() < 0.5 else 0, 37 if rng.random() < 0.4 else 36, 44)
        line.gap(rng.randint(2, 6), 34)
    line.put(" " * (WIDTH - line.col), 0, 44)
    return line


def rocks(rng, row, depth):
    # Brown rocks on the left and right, dark water between; red and bright
    # red anemones on the rocks, reached over cursor-forward gaps.
    line = Line()
    left = 8 + (row * 7) % 5 + depth
    right = 10 + (row * 3) % 6
    line.put(FULL * left, 0, 33, 40)
    line.put(RIGHT, 0, 33, 40)
    middle = WIDTH - left - right - 2
    line.put(" " * 2, 0, 40)
    pos = 2
    while pos < middle - 10:
        step = rng.randint(4, 15)
        if pos + step + 3 >= middle:
            break
        if rng.random() < 0.5:
            line.gap(step, 37)
            line.put(LOWER + UPPER + LOWER, 31, 40)
        else:
            line.gap(step, 0)
            line.put(UPPER + FULL + UPPER, 1, 31, 40)
        pos += step + 3
    rest = middle - pos
    line.put(" " * rest, 0, 40)
    line.put(LEFT, 0, 33, 40)
    line.put(FULL * right, 0, 33, 40)
    return line


def fish(rng, row):
    # A small shoal: bright yellow and red fish in open water, the water
    # between them skipped with gaps after a colour change.
    line = Line()
    line.put(" " * 4, 0, 40)
    while line.col < WIDTH - 14:
        line.gap(rng.randint(3, 12), 37)
        body = rng.choice([(1, 33), (0, 31), (1, 31)])
        line.put(LOWER + FULL + RIGHT + " ", body[0], body[1], 40)
    line.put(" " * (WIDTH - line.col), 0, 40)
    return line


def weed(rng, row):
    # Weed on the sand: green stalks with red tips, blanks on brown sand.
    line = Line()
    sand = row >= 46
    back = 43 if sand else 40
    while line.col < WIDTH - 4:
        n = rng.randint(1, 5)
        line.put(" " * n, 0, back)
        if not sand and rng.random() < 0.3:
            line.gap(min(rng.randint(5, 28), WIDTH - 4 - line.col), 0)
            if line.col >= WIDTH - 4:
                break
            line.put(UPPER, 1, 31, back)
        else:
            line.put(LEFT if rng.random() < 0.5 else RIGHT, 32 if rng.random() < 0.7 else 31, back)
    line.put(" " * (WIDTH - line.col), 0, back)
    return line


def piece(rows=48, seed=11):
    """The piece's bytes: Rows rows (at least 40) and the end-of-file byte."""
    assert rows >= 40
    rng = random.Random(seed)
    lines = []
    for row in range(rows):
        if row < 5:
            line = sky(rng, row)
        elif row < 9:
            line = surface(rng, row)
        elif row < rows - 16:
            line = fish(rng, row) if row % 5 == 2 else rocks(rng, row, (row - 9) // 6)
        else:
            line = weed(rng, row)
        lines.append(line.text() + sgr(0))
    title = Line()
    title.put("  tidepool  for issue #2  ", 0, 1, 37, 44)
    lines[1] = lines[1] + "\r" + forward(26) + title.text() + sgr(0)
    return ("\r\n".join(lines) + "\r\n\x1a").encode("latin-1")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", required=True, help="file to write")
    parser.add_argument("--rows", type=int, default=48)
    args = parser.parse_args()
    with open(args.out, "wb") as f:
        f.write(piece(args.rows))


if __name__ == "__main__":
    main()
