#!/usr/bin/env python3
"""Checks the direction of every include of the program's layers.

Each layer may include its own headers and those of the layers below it,
written from the top folder ("console/m_Console.h"):

    sys/                 the operating system's services
    issue/               the issue: its manifest, its files, its packs
    console/             the screen and the keyboard
    ansi/  widgets/      the renderer and wipes; menus, prompts, boxes
    viewer/              the text viewer
    music/               the player
    app/                 the sections and the program's policy

ansi/ and widgets/ stand side by side: neither includes the other. Every
include that runs upward or sideways, or that is not written from the top
folder, is reported as FILE:LINE: the include, and the check fails.

    check_includes.py [TOP]    (TOP: the checkout, by default this file's)
"""
import pathlib
import re
import sys

LEVEL = {"sys": 0, "issue": 1, "console": 2, "ansi": 3, "widgets": 3, "viewer": 4, "music": 5, "app": 6}
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def problems_of(top, path):
    """The wrong includes of one source file, as report lines."""
    layer = path.relative_to(top).parts[0]
    found = []
    for number, line in enumerate(path.read_text(encoding="latin-1").splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        name = match.group(1)
        where = f"{path.relative_to(top)}:{number}: #include \"{name}\""
        target = name.split("/")[0] if "/" in name else None
        if target not in LEVEL:
            found.append(f"{where}: write includes from the top folder (a layer's folder first)")
        elif target != layer and LEVEL[target] >= LEVEL[layer]:
            side = "beside" if LEVEL[target] == LEVEL[layer] else "above"
            found.append(f"{where}: {target}/ lies {side} {layer}/")
    return found


def main():
    top = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2]).resolve()
    problems = []
    checked = 0
    for layer in LEVEL:
        folder = top / layer
        if not folder.is_dir():
            problems.append(f"{layer}/: the layer's folder is missing")
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix in SOURCE_SUFFIXES:
                checked += 1
                problems += problems_of(top, path)
    for line in problems:
        print(line)
    print(f"{checked} files of {len(LEVEL)} layers checked, {len(problems)} wrong includes")
    return 1 if problems or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
