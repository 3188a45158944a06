#!/usr/bin/env python3
"""Checks the direction of every include of the program's layers, and of
the tools and benchmarks that use them.

Each layer may include its own headers and those of the layers below it,
written from the top folder ("console/m_Console.h"):

    sys/                 the operating system's services
    issue/               the issue: its manifest, its files, its packs,
                         the section table
    console/             the screen and the keyboard
    ansi/  widgets/      the renderer and wipes; menus, prompts, boxes
    viewer/              the text viewer
    music/               the player
    app/                 the sections and the program's policy

ansi/ and widgets/ stand side by side: neither includes the other. Above
them stand the checker and the other tools (tools/), which may use every
layer but app/ (the checker reads the issue model, not the program's
sections), and the benchmarks (bench/), which may use every layer and
the tools. A tool
or benchmark may include its own folder's headers by their plain name.

Every include that runs upward or sideways, names an unknown folder or a
"../" path, or names a header that is not there, is reported as FILE:LINE:
the include, and the check fails.

    check_includes.py [TOP]    (TOP: the checkout, by default this file's)
"""
import pathlib
import re
import sys

LEVEL = {"sys": 0, "issue": 1, "console": 2, "ansi": 3, "widgets": 3, "viewer": 4, "music": 5, "app": 6}
# The folders above the layers, and the highest layer each may use; the
# benchmarks stand above the tools and may use them too.
USERS = {"tools": "music", "bench": "app"}
ABOVE_TOOLS = {"bench"}
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def problem(path, top, number, name, what):
    return f"{path.relative_to(top)}:{number}: #include \"{name}\": {what}"


def include_problem(top, path, name):
    """What is wrong with one include of Path, or None."""
    folder = path.relative_to(top).parts[0]
    if name.startswith("../") or "/../" in name:
        return "write includes from the top folder, not with ../"
    target = name.split("/")[0] if "/" in name else None
    if target is None:
        # A plain name: a header beside the file, in a tool's or a
        # benchmark's own folder.
        if folder in USERS and (path.parent / name).is_file():
            return None
        return "write includes from the top folder (a layer's folder first)"
    if target not in LEVEL and target not in USERS:
        return f"{target}/ is no folder of the program's layers"
    if not (top / name).is_file():
        return "there is no such header"
    if folder in USERS:
        if target in USERS:
            if target == folder or (target == "tools" and folder in ABOVE_TOOLS):
                return None
            return f"{target}/ is not for {folder}/ to include"
        highest = LEVEL[USERS[folder]]
        return None if LEVEL[target] <= highest else f"{target}/ is not for {folder}/ to include"
    if target in USERS:
        return f"{target}/ lies above the layers"
    if target != folder and LEVEL[target] >= LEVEL[folder]:
        side = "beside" if LEVEL[target] == LEVEL[folder] else "above"
        return f"{target}/ lies {side} {folder}/"
    return None


def problems_of(top, path):
    """The wrong includes of one source file, as report lines."""
    found = []
    for number, line in enumerate(path.read_text(encoding="latin-1").splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        what = include_problem(top, path, match.group(1))
        if what:
            found.append(problem(path, top, number, match.group(1), what))
    return found


def main():
    top = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2]).resolve()
    problems = []
    checked = 0
    for folder in [*LEVEL, *USERS]:
        root = top / folder
        if not root.is_dir():
            problems.append(f"{folder}/: the folder is missing")
            continue
        for path in sorted(root.rglob("*")):
            if path.suffix in SOURCE_SUFFIXES:
                checked += 1
                problems += problems_of(top, path)
    for line in problems:
        print(line)
    print(f"{checked} files of {len(LEVEL)} layers, tools and benchmarks checked, {len(problems)} wrong includes")
    return 1 if problems or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
