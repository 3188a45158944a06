"""Writes the notices of the libraries of others that a build of the
magazine carries (THIRD-PARTY.txt), from those libraries' own Debian
copyright files.

    python3 tools/third_party_notices.py OUT --product NAME [--crlf]
        [--common-licenses DIR] ENTRY...

Each ENTRY is "LIBRARY|COPYRIGHT_FILE" or "LIBRARY|COPYRIGHT_FILE|LICENCE".
The licence named for a library is LICENCE when given, else the one of the
"Files: *" paragraph of a machine-readable copyright file; a library whose
file is neither must be given one. OUT lists every library with its licence,
then each copyright file whole, then the texts of /usr/share/common-licenses
that the files point to (a reader on another system has no such folder).
--crlf ends the lines as Windows editors want them.

The Windows zip is made with it (cmake/ThirdPartyNotices.cmake), and so is
any other bundle that links libraries in.
"""

import argparse
import os
import re
import sys
from pathlib import Path

COMMON_LICENSES = "/usr/share/common-licenses"
RULE = "=" * 72


class NoticeError(Exception):
    pass


def read_text(path):
    # Bytes that are not UTF-8 pass through unchanged.
    return Path(path).read_bytes().decode("utf-8", "surrogateescape")


def paragraphs(text):
    """The paragraphs of a Debian control-style file, each a dict of its
    fields; a field's value is its first line (continuation lines are the
    licence texts and comments, not needed here)."""
    result = []
    for block in re.split(r"\n[ \t]*\n", text):
        fields = {}
        for line in block.splitlines():
            match = re.match(r"^([A-Za-z][A-Za-z0-9-]*):[ \t]*(.*)$", line)
            if match:
                fields[match.group(1).lower()] = match.group(2).strip()
        if fields:
            result.append(fields)
    return result


def main_licence(text):
    """The licence of the "Files: *" paragraph of a machine-readable
    copyright file, or None where the file is not one or has no such
    paragraph."""
    found = paragraphs(text)
    if not found or "format" not in found[0]:
        return None
    for fields in found:
        if "*" in fields.get("files", "").split() and fields.get("license"):
            return fields["license"]
    return None


def common_licence_names(text):
    names = re.findall(re.escape(COMMON_LICENSES) + r"/([A-Za-z0-9][A-Za-z0-9.+_-]*)", text)
    return [name.rstrip(".") for name in names]


def parse_entry(entry):
    parts = entry.split("|")
    if len(parts) not in (2, 3) or not parts[0] or not parts[1]:
        raise NoticeError(f'"{entry}": an entry is LIBRARY|COPYRIGHT_FILE or LIBRARY|COPYRIGHT_FILE|LICENCE')
    return parts[0], parts[1], parts[2] if len(parts) == 3 else ""


def notices(product, entries, common_dir):
    libraries = []
    for entry in entries:
        name, path, licence = parse_entry(entry)
        try:
            text = read_text(path)
        except OSError as error:
            raise NoticeError(f"{name}: cannot read its copyright file {path}: {error.strerror}")
        licence = licence or main_licence(text)
        if not licence:
            raise NoticeError(f"{name}: {path} names no licence for all its files (no machine-readable "
                              "\"Files: *\" paragraph): give it as LIBRARY|FILE|LICENCE")
        libraries.append((name, licence, text))

    # The common licence texts the files point to, each once, however many
    # names lead to it (GPL and GPL-3 are one text).
    common = {}
    for name, _, text in libraries:
        for licence_name in common_licence_names(text):
            path = Path(common_dir) / licence_name
            if not path.is_file():
                raise NoticeError(f"{name}: its copyright file points to {COMMON_LICENSES}/{licence_name}, "
                                  f"which is not in {common_dir}")
            names = common.setdefault(path.resolve(), [])
            if licence_name not in names:
                names.append(licence_name)

    title = f"Libraries of others in {product}"
    out = [title, "=" * len(title), "",
           f"{product} is built with these libraries, linked into it, each named",
           "here with the licence of the library as a whole. Their copyright files",
           "follow whole, as their Debian packages carry them, with the licences",
           "of single files and the licences' texts; the texts they point to in",
           f"{COMMON_LICENSES} (a folder of Debian systems) are at the end.", ""]
    out += [f"  {name}: {licence}" for name, licence, _ in libraries]
    out.append("")
    for name, licence, text in libraries:
        out += [RULE, name, f"Licence: {licence}", RULE, "", text.rstrip("\n"), ""]
    for path, names in sorted(common.items(), key=lambda item: item[1][0]):
        out += [RULE, f"{COMMON_LICENSES}/{names[0]}"]
        others = [other for other in names[1:] + [path.name] if other != names[0]]
        if others:
            out.append("(the same text as " + ", ".join(dict.fromkeys(others)) + ")")
        out += [RULE, "", read_text(path).rstrip("\n"), ""]
    return "\n".join(out)


def main(argv):
    ap = argparse.ArgumentParser(description="Writes the notices of the libraries of others in a build.")
    ap.add_argument("out", type=Path)
    ap.add_argument("entries", nargs="+", metavar="ENTRY", help="LIBRARY|COPYRIGHT_FILE[|LICENCE]")
    ap.add_argument("--product", required=True, help="what carries the libraries, e.g. quixmag.exe")
    ap.add_argument("--crlf", action="store_true", help="end lines with CR LF")
    ap.add_argument("--common-licenses", default=COMMON_LICENSES, help=argparse.SUPPRESS)
    args = ap.parse_args(argv)
    try:
        text = notices(args.product, args.entries, args.common_licenses)
    except NoticeError as error:
        print(f"third_party_notices: {error}", file=sys.stderr)
        return 1
    if args.crlf:
        text = text.replace("\n", "\r\n")
    # Written beside the target and renamed, so a failed run leaves no
    # half-written notice for the package to pick up.
    partial = args.out.with_name(args.out.name + ".part")
    partial.write_bytes(text.encode("utf-8", "surrogateescape"))
    os.replace(partial, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
