#!/usr/bin/env python3
"""Makes the plain-ASCII twin of a screen drawn by hand.

    python3 tools/make_twin.py IN.ans OUT_asc.ans

The screen is played back on an 80x25 screen the way the magazine draws it
(code page 437 bytes, ESC[...m colours with bold and blink, the cursor
moves ESC[H f A B C D E G s u J K, CR, LF, FF, tab, the wrap after column
80, byte 26 ending the file; see screenlib.decode). Each cell is then given
an ASCII look-alike: line drawing becomes + - |, shades # : ., blocks a #
or a space on the block's colour, and so on; the screen generator's own
twins use the same table for the glyphs they share.

The twin begins with a form feed (the menus draw a backdrop wherever the
wipe before it left the cursor), colours with pipe codes (|00-|15 text,
|16-|23 background), ends every row that does not fill column 80 with
CR LF, never writes column 80 of row 25, and ends with byte 26.
"""

from __future__ import annotations

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from screenlib import (  # noqa: E402
    COLS, FF, FULL, LEFT, LOWER, RIGHT, ROWS, SUB, TWIN_CHAR, UPPER, Cell, decode, pipe_rows,
)

# Look-alikes for the code page 437 glyphs above 127 (and the pictures of
# the control bytes 1..31 that a screen draws as glyphs). The generator's
# table comes first; what it lacks is filled in here.
_BOXES = {
    # single and double lines: straight pieces
    0xB3: "|", 0xBA: "|", 0xC4: "-", 0xCD: "=",
}
_CORNERS_AND_TEES = [0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xC1,
                     0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCE, 0xCF, 0xD0,
                     0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA]
_LETTERS = {
    0x80: "C", 0x81: "u", 0x82: "e", 0x83: "a", 0x84: "a", 0x85: "a", 0x86: "a", 0x87: "c",
    0x88: "e", 0x89: "e", 0x8A: "e", 0x8B: "i", 0x8C: "i", 0x8D: "i", 0x8E: "A", 0x8F: "A",
    0x90: "E", 0x91: "ae"[0], 0x92: "A", 0x93: "o", 0x94: "o", 0x95: "o", 0x96: "u", 0x97: "u",
    0x98: "y", 0x99: "O", 0x9A: "U", 0x9B: "c", 0x9C: "L", 0x9D: "Y", 0x9E: "P", 0x9F: "f",
    0xA0: "a", 0xA1: "i", 0xA2: "o", 0xA3: "u", 0xA4: "n", 0xA5: "N", 0xA6: "a", 0xA7: "o",
    0xA8: "?", 0xA9: "-", 0xAA: "-", 0xAB: "%", 0xAC: "%", 0xAD: "i", 0xAE: "<", 0xAF: ">",
    0xE0: "a", 0xE1: "B", 0xE2: "r", 0xE3: "n", 0xE4: "E", 0xE5: "o", 0xE6: "u", 0xE7: "t",
    0xE8: "o", 0xE9: "O", 0xEA: "O", 0xEB: "d", 0xEC: "8", 0xED: "o", 0xEE: "e", 0xEF: "n",
    0xF0: "=", 0xF1: "+", 0xF2: ">", 0xF3: "<", 0xF4: "|", 0xF5: "|", 0xF6: "/", 0xF7: "~",
    0xF8: "o", 0xF9: ".", 0xFA: ".", 0xFB: "v", 0xFC: "n", 0xFD: "2", 0xFE: "o", 0xFF: " ",
}
_CONTROL_PICTURES = {1: "o", 2: "o", 3: "v", 4: "*", 5: "*", 6: "*", 7: ".", 11: "o", 14: "d",
                     15: "*", 16: ">", 17: "<", 18: "|", 19: "!", 20: "P", 21: "S", 22: "_",
                     23: "|", 24: "^", 25: "v", 27: "<", 28: "L", 29: "-", 30: "^", 31: "v",
                     127: "^"}

LOOK_ALIKE: dict[int, str] = {}
LOOK_ALIKE.update(_LETTERS)
LOOK_ALIKE.update(_CONTROL_PICTURES)
LOOK_ALIKE.update({ch: "+" for ch in _CORNERS_AND_TEES})
LOOK_ALIKE.update(_BOXES)
LOOK_ALIKE.update(TWIN_CHAR)


def twin_cell(c: Cell) -> tuple[str, int, int]:
    """The ASCII character, text colour and background (0..7) of a cell."""
    bg = c.bg & 7                      # a blinking or bright background shows its base colour
    if 32 <= c.ch < 127:
        return chr(c.ch), c.fg, bg
    if c.ch == 0:
        return " ", c.fg, bg
    if c.ch == FULL or (c.ch in (LEFT, RIGHT, UPPER, LOWER) and c.fg == bg):
        # A cell filled with one colour: a space on that colour where a
        # background can show it, a # where only the text colour can.
        return (" ", 7, c.fg) if c.fg < 8 else ("#", c.fg, bg)
    if c.ch in (LEFT, RIGHT, UPPER, LOWER):
        # Half a cell in the text colour over the background: the bigger
        # look of the two wins, the block where it is bright.
        if c.fg >= 8 or bg == 0:
            return LOOK_ALIKE[c.ch], c.fg, 0 if c.ch in (UPPER, LOWER) else bg
        return " ", 7, bg
    return LOOK_ALIKE.get(c.ch, "+"), c.fg, bg


# A short row right after a full one reads as a row too wide (the checker
# cannot tell the two apart), so it is padded with blanks to this width.
_AFTER_FULL_ROW = 9


def to_twin(cells: list[list[Cell]]) -> bytes:
    """Writes the cells as a twin: rows up to their last visible cell."""
    looks = [[twin_cell(c) for c in row] for row in cells]
    looks[ROWS - 1][COLS - 1] = (" ", 7, 0)      # writing it would scroll the screen

    def last_used(y: int) -> int:
        for x in range(COLS, 0, -1):
            ch, _fg, bg = looks[y - 1][x - 1]
            if ch != " " or bg != 0:
                return x
        return 0

    lasts = {y: last_used(y) for y in range(1, ROWS + 1)}
    last_row = max((y for y, last in lasts.items() if last), default=0)
    padded = dict(lasts)
    for y in range(2, last_row + 1):
        if lasts[y - 1] == COLS and y - 1 <= ROWS - 2:
            padded[y] = max(lasts[y], _AFTER_FULL_ROW)
    text, bg = pipe_rows(lambda x, y: looks[y - 1][x - 1], padded, fg=7, bg=0)
    return (chr(FF) + text + ("|16" if bg != 0 else "")).encode("ascii") + bytes([SUB])


def make_twin(data: bytes) -> bytes:
    return to_twin(decode(data).cells)


def main(argv: list[str]) -> int:
    if len(argv) != 3 or argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(argv) == 2 and argv[1] in ("-h", "--help") else 2
    source, target = Path(argv[1]), Path(argv[2])
    target.write_bytes(make_twin(source.read_bytes()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
