#!/usr/bin/env python3
"""Writes a small magazine of several issues for the tests and benchmarks:
OUT/magazine.toml and one folder per issue, each made from the sample
issue (tests/sample-issue) with its own number, date and headline, its own
logo and article text (each says which issue it is), its own gallery (issue
N shows one piece fewer than issue N+1 would, down to one) and its own
music (the issues take turns with the modules of content/). A section of one
issue shown while another is read, a piece fetched from the wrong issue or
the old music left playing are so told apart by what a reader sees.

    make_magazine.py OUT [--issues N]      (N from 2 to 99, 2 by default)

The folders are named "issue-a", "issue-b", ... so that no test may take a
folder's name for its issue's number.
"""
import argparse
import pathlib
import re
import shutil
import sys

TOP = pathlib.Path(__file__).resolve().parents[2]
SAMPLE = TOP / "tests" / "sample-issue"
MODULES = ["music2.xm", "music3.xm", "music4.xm", "music1.xm", "music5.xm"]
MONTHS = ["january", "february", "march", "april", "may", "june", "july", "august", "september", "october",
          "november", "december"]


def folder_name(i):
    """issue-a, issue-b, ... issue-z, issue-aa, ..."""
    letters = ""
    i += 1
    while i:
        i, r = divmod(i - 1, 26)
        letters = chr(97 + r) + letters
    return "issue-" + letters


def logo(number, asc):
    """A screen that says which issue it is, drawn from the top left."""
    if asc:
        return (f"\x0c|15harbour news|07\r\n\r\n|11  the logo of issue #{number}|07\r\n\x1a").encode()
    return (f"\x1b[0m\x1b[2J\x1b[1;1H\x1b[1;37mharbour news\x1b[0m\r\n\r\n"
            f"\x1b[1;36m  the logo of issue #{number}\x1b[0m\r\n\x1a").encode()


def manifest(number, pieces, module):
    """The sample issue's manifest as issue Number of the magazine: no
    names of its own, its number, date and headline, Pieces of its gallery
    and Module as its track."""
    text = (SAMPLE / "issue.toml").read_text()
    text = re.sub(r"^number = \d+$", f"number = {number}", text, flags=re.M)
    year, month = 2027 + (number - 1) // 12, MONTHS[(number - 1) % 12]
    text = re.sub(r'^date = ".*"$', f'date = "{month} {year}"\nheadline = "harbour news number {number}"',
                  text, flags=re.M)
    head, *tables = re.split(r"(?m)^(?=\[\[)", text)
    kept, seen = [], 0
    for table in tables:
        if table.startswith("[[piece]]"):
            seen += 1
            if seen > pieces:
                continue
        if table.startswith("[[track]]"):
            table = re.sub(r'^module = ".*"$', f'module = "{module}"', table, flags=re.M)
        kept.append(table)
    return head + "".join(kept)


def write_issue(folder, number, count):
    shutil.copytree(SAMPLE, folder)
    module = MODULES[(number - 1) % len(MODULES)]
    (folder / "parade.xm").unlink()
    shutil.copyfile(TOP / "content" / module, folder / module)
    pieces = max(1, 6 - (count - number))
    (folder / "issue.toml").write_text(manifest(number, pieces, module))
    (folder / "logo.ans").write_bytes(logo(number, False))
    (folder / "logo_asc.ans").write_bytes(logo(number, True))
    harbour = folder / "harbour.txt"
    lines = harbour.read_text().splitlines(keepends=True)
    lines[0] = f"|15HARBOUR LIGHTS OF ISSUE #{number}|07\n"
    harbour.write_text("".join(lines))
    # Only the pieces the manifest names stay: the checker refuses the others.
    named = set(re.findall(r'^art = "(.*)"$', (folder / "issue.toml").read_text(), flags=re.M))
    for art in ("nightsky.ans", "tidepool.ans", "planlvl9.ans", "phases.ans", "longcoast.ans", "deepdown.ans"):
        if art not in named:
            (folder / art).unlink()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--issues", type=int, default=2)
    args = parser.parse_args()
    if not 2 <= args.issues <= 99:
        parser.error("--issues must be from 2 to 99")
    out = pathlib.Path(args.out)
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    (out / "magazine.toml").write_text(
        '# A magazine of several issues, made by tests/magazine/make_magazine.py.\n'
        'name = "harbour news"\n'
        'contact = "the harbour board - telnet harbour.example.org 2323"\n')
    for i in range(args.issues):
        write_issue(out / folder_name(i), i + 1, args.issues)
    return 0


if __name__ == "__main__":
    sys.exit(main())
