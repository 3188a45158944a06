"""Pictures of the magazine for the README, rendered with ansilove.

    python3 tools/make_pictures.py [--out DIR] [--program PATH]

Writes into DIR (default docs/pictures/):
  logo.png       the logo screen, rendered from content/logo.ans
  menu.png       the main menu, captured from the running program
  article.png    an article in the text viewer, captured the same way
  art9.png, art5.png   two gallery pieces, rendered from their files

The captured screens come from the real program (PATH, default
build/quixmag) run in an 80x25 pseudo-terminal and read back through a
terminal emulator (tests/e2e/harness.py); their cells are written back as
an ANSI file in code page 437 and rendered like any other screen. Run it
after the content or the screens change, look at the pictures, and commit
them.
"""

from __future__ import annotations

import argparse
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
TOP = HERE.parent
sys.path.insert(0, str(TOP / "tests" / "e2e"))

from harness import VGA, Terminal  # noqa: E402

COLS, ROWS = 80, 25
ESC = "\x1b"
GALLERY = ("art9", "art5")

# The glyphs of code page 437 below 0x20 and at 0x7F; the rest of the code
# page is Python's own "cp437" codec.
LOW_GLYPHS = "\u263a\u263b\u2665\u2666\u2663\u2660\u2022\u25d8\u25cb\u25d9\u2642\u2640\u266a\u266b\u263c" \
             "\u25ba\u25c4\u2195\u203c\u00b6\u00a7\u25ac\u21a8\u2191\u2193\u2192\u2190\u221f\u2194\u25b2\u25bc"
HOUSE = "\u2302"


def cp437_table() -> dict[str, int]:
    """Unicode glyph -> code page 437 byte."""
    table = {ch: i + 1 for i, ch in enumerate(LOW_GLYPHS)}
    table.update({chr(b): b for b in range(0x20, 0x7F)})
    table[HOUSE] = 0x7F
    table.update({bytes([b]).decode("cp437"): b for b in range(0x80, 0x100)})
    return table


# PC colour number -> ANSI colour digit (blue and red swap places).
PC_TO_ANSI = [0, 4, 2, 6, 1, 5, 3, 7]


def colour(value: str, default: int) -> int:
    """A PC colour 0-15 from the emulator's cell colour (the program sends
    24-bit colours, so every colour reads back exactly)."""
    if value == "default":
        return default
    if value not in VGA:
        raise SystemExit(f"colour {value!r} is not a PC colour: is COLORTERM honoured?")
    return VGA.index(value)


def cells_to_ansi(term: Terminal) -> bytes:
    """The emulated screen as an ANSI file: every row placed with a cursor
    move and written up to its last cell that is not a blank on black, a
    full SGR wherever the colours change (bright backgrounds as blink, for
    iCE colour rendering), byte 26 at the end."""
    glyphs = cp437_table()
    out = bytearray(f"{ESC}[0m".encode())
    last = None
    for y in range(1, ROWS + 1):
        cells = [term.cell(x, y) for x in range(1, COLS + 1)]
        used = [x for x, c in enumerate(cells, 1) if (c.data or " ") != " " or colour(c.bg, 0) != 0]
        if not used:
            continue
        out += f"{ESC}[{y};1H".encode()
        for x, cell in enumerate(cells[:used[-1]], 1):
            fg, bg = colour(cell.fg, 7), colour(cell.bg, 0)
            if (fg, bg) != last:
                # Blink comes after the background colour, which would clear it.
                params = ["0"] + (["1"] if fg >= 8 else [])
                params += [str(30 + PC_TO_ANSI[fg & 7]), str(40 + PC_TO_ANSI[bg & 7])]
                params += ["5"] if bg >= 8 else []
                out += f"{ESC}[{';'.join(params)}m".encode()
                last = (fg, bg)
            ch = cell.data or " "
            if ch not in glyphs:
                raise SystemExit(f"cell {x},{y} shows {ch!r}, which is not in code page 437")
            out.append(glyphs[ch])
    out += f"{ESC}[0m".encode()
    out.append(26)
    return bytes(out)


def render(ans: Path, png: Path, *options: str) -> None:
    subprocess.run(["ansilove", "-q", *options, "-o", str(png), str(ans)], check=True,
                   stdout=subprocess.DEVNULL)
    print(png)


def capture(term: Terminal, png: Path, work: Path) -> None:
    term.idle(0.5)  # let the bar's ripple and any pending output land
    ans = work / (png.stem + ".ans")
    ans.write_bytes(cells_to_ansi(term))
    render(ans, png, "-i")


def captured_screens(program: Path, out: Path, work: Path) -> None:
    with Terminal(argv=[str(program), "--silent"]) as term:
        term.wait_for_text("a r t i c l e s", timeout=30)
        capture(term, out / "menu.png", work)
        term.key("down", "enter")               # a r t i c l e s
        term.wait_for_text("[ b a c k ]")
        term.key("down", "enter")               # the second article
        term.wait_for_gone("[ b a c k ]")
        term.settle(quiet=0.5)
        capture(term, out / "article.png", work)
        term.key("esc")                         # the viewer ignores hot keys
        term.wait_for_text("[ b a c k ]")
        term.send("x")
        if term.wait_exit() != 0:
            raise SystemExit("the program did not end cleanly")


def main() -> int:
    ap = argparse.ArgumentParser(description="Renders the README's pictures of the magazine.")
    ap.add_argument("--out", type=Path, default=TOP / "docs" / "pictures")
    ap.add_argument("--program", type=Path, default=TOP / "build" / "quixmag")
    args = ap.parse_args()
    if not shutil.which("ansilove"):
        ap.error("ansilove is not installed (apt-get install ansilove)")
    if not args.program.is_file():
        ap.error(f"{args.program} is not built")
    args.out.mkdir(parents=True, exist_ok=True)
    content = TOP / "content"
    render(content / "logo.ans", args.out / "logo.png")
    for name in GALLERY:
        render(content / f"{name}.ans", args.out / f"{name}.png", "-S")  # -S: the piece's own record
    with tempfile.TemporaryDirectory(prefix="quixmag-pictures-") as work:
        captured_screens(args.program.resolve(), args.out, Path(work))
    return 0


if __name__ == "__main__":
    sys.exit(main())
