"""Prints the parts of a machine-readable Debian copyright file that cover
what a build carries: the file's header, every "Files:" paragraph that
names at least one file outside the left-out folders, and every licence
paragraph that a kept paragraph names. Nothing else is changed, so the
result is as complete as the file for the files it still covers.

    python3 tools/copyright_for_build.py COPYRIGHT FOLDER...

FOLDER is a folder of the source package that no program of the build
contains (emscripten's tests/ for the web edition).
"""
import re
import sys


def main(path, left_out):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    paragraphs = [p for p in re.split(r"\n[ \t]*\n", text.strip("\n")) if p.strip()]

    def field(paragraph, name):
        m = re.search(rf"^{name}:(.*(?:\n[ \t].*)*)", paragraph, re.M | re.I)
        return m.group(1) if m else None

    def covers_kept_file(paragraph):
        patterns = field(paragraph, "Files").split()
        return any(not any(p.startswith(folder) for folder in left_out) for p in patterns)

    # A licence is named by a kept paragraph's licence line, whole ("GPL-2+
    # with Libtool exception") or as one of the licences of an expression
    # ("(Expat or NCSA) and Zlib").
    kept, named, lines = [], set(), []
    for p in paragraphs:
        if field(p, "Files") is None:
            continue
        if covers_kept_file(p):
            kept.append(p)
            licence = (field(p, "License") or "").split("\n")[0].strip().lower()
            lines.append(f" {licence} ")
            named.update(w.strip(",()") for w in licence.split())
    out = [paragraphs[0]] if field(paragraphs[0], "Files") is None else []
    for p in paragraphs[1:] if out else paragraphs:
        if field(p, "Files") is not None:
            if p in kept:
                out.append(p)
        else:
            licence = (field(p, "License") or "").split("\n")[0].strip().lower()
            if licence in named or any(f" {licence} " in line or f"({licence}" in line for line in lines):
                out.append(p)
    sys.stdout.write("\n\n".join(out) + "\n")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: copyright_for_build.py COPYRIGHT FOLDER...")
    main(sys.argv[1], [f.rstrip("/") + "/" for f in sys.argv[2:]])
