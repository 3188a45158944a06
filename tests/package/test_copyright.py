"""The Debian package's copyright file (docs/debian/copyright) in the
machine-readable layout: lintian finds nothing wrong in it, its patterns name
files that exist, the issue's content and every copy of it falls under CC BY
4.0 and the code under the MIT (Expat) licence, each licence named has its
text, and the texts are those of LICENSE, which names the same content
folders."""

import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

TOP = Path(__file__).resolve().parents[2]
COPYRIGHT = TOP / "docs" / "debian" / "copyright"
LICENSE = TOP / "LICENSE"
FORMAT = "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"

# What the issue calls content: the art, texts and modules, and the pictures
# made of them.
CONTENT_FOLDERS = ["content/", "tests/sample-issue/", "docs/pictures/", "docs/images/"]
CODE_SUFFIXES = {".cpp", ".h", ".py", ".sh", ".cmake", ".in"}


def paragraphs(text):
    """Each paragraph as a dict of field name to (first line, continuation
    lines with the leading space and the "." of empty lines removed)."""
    result = []
    for block in re.split(r"\n\s*\n", text.strip("\n")):
        fields, name = {}, None
        for line in block.split("\n"):
            if line[:1] in (" ", "\t"):
                rest = line[1:]
                fields[name][1].append("" if rest.strip() == "." else rest)
            else:
                name, _, value = line.partition(":")
                fields[name] = (value.strip(), [])
        result.append(fields)
    return result


def tracked_files():
    out = subprocess.run(["git", "ls-files", "-z"], cwd=TOP, capture_output=True, check=True).stdout
    return [name for name in out.decode().split("\0") if name]


def pattern_regex(pattern):
    # The layout's wildcards: * is any run of characters, / included; ? is one.
    return re.compile("".join(".*" if c == "*" else "." if c == "?" else re.escape(c) for c in pattern) + r"\Z")


def licence_section(text, heading):
    """The text of LICENSE's section whose heading starts with `heading`,
    without the heading's rules and the copyright line above the MIT text."""
    rule = "-" * 72
    parts = text.split(rule + "\n")
    for i, part in enumerate(parts):
        if part.startswith(heading):
            body = parts[i + 1].strip("\n")
            return re.sub(r"\ACopyright \(c\) [^\n]*\n\n", "", body)
    raise AssertionError(f"LICENSE has no section {heading!r}")


class CopyrightFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.paragraphs = paragraphs(COPYRIGHT.read_text(encoding="utf-8"))
        cls.header = cls.paragraphs[0]
        cls.files = [p for p in cls.paragraphs[1:] if "Files" in p]
        cls.licences = {p["License"][0]: "\n".join(p["License"][1]) for p in cls.paragraphs[1:]
                        if "Files" not in p and "License" in p}
        cls.tracked = tracked_files()

    def licence_of(self, path):
        # The last paragraph that matches decides.
        licence = None
        for paragraph in self.files:
            if any(pattern_regex(p).match(path) for p in self.patterns(paragraph)):
                licence = paragraph["License"][0]
        return licence

    @staticmethod
    def patterns(paragraph):
        first, more = paragraph["Files"]
        return (first + " " + " ".join(more)).split()

    def test_header_and_paragraphs_follow_the_layout(self):
        self.assertEqual(self.header["Format"][0], FORMAT)
        self.assertEqual(self.header["Upstream-Name"][0], "quixmag")
        self.assertGreaterEqual(len(self.files), 2)
        for paragraph in self.files:
            self.assertIn("Copyright", paragraph)
            self.assertIn("License", paragraph)
        self.assertEqual(self.patterns(self.files[0]), ["*"], "the first Files paragraph covers everything")

    def test_every_licence_named_has_its_text_once(self):
        named = {p["License"][0] for p in self.files}
        self.assertEqual(named, {"Expat", "CC-BY-4.0"})
        standalone = [p["License"][0] for p in self.paragraphs[1:] if "Files" not in p and "License" in p]
        self.assertEqual(sorted(standalone), sorted(set(standalone)), "a licence paragraph is repeated")
        for name in named:
            self.assertGreater(len(self.licences.get(name, "")), 500, f"{name} has no text")

    def test_every_pattern_names_files_of_the_tree(self):
        for paragraph in self.files:
            for pattern in self.patterns(paragraph):
                regex = pattern_regex(pattern)
                self.assertTrue(any(regex.match(f) for f in self.tracked), f"{pattern} matches no file")

    def test_content_and_its_copies_are_cc_by_and_the_code_is_mit(self):
        content = {(TOP / f).read_bytes() for f in self.tracked if f.startswith("content/")}
        checked = 0
        for path in self.tracked:
            is_content = (any(path.startswith(folder) for folder in CONTENT_FOLDERS)
                          or (TOP / path).read_bytes() in content)
            if is_content:
                self.assertEqual(self.licence_of(path), "CC-BY-4.0", path)
                checked += 1
            elif Path(path).suffix in CODE_SUFFIXES or Path(path).name == "CMakeLists.txt":
                self.assertEqual(self.licence_of(path), "Expat", path)
        self.assertGreater(checked, 50)

    def test_licence_texts_are_those_of_LICENSE(self):
        text = LICENSE.read_text(encoding="utf-8")
        self.assertEqual(self.licences["Expat"], licence_section(text, "1. The MIT License"))
        self.assertEqual(self.licences["CC-BY-4.0"],
                         licence_section(text, "2. Creative Commons Attribution 4.0 International"))
        self.assertIn("Creative Commons Attribution 4.0 International Public License", self.licences["CC-BY-4.0"])
        self.assertIn("Permission is hereby granted, free of charge", self.licences["Expat"])

    def test_lintian_finds_nothing_in_the_layout(self):
        # lintian checks the layout only in source packages: a native one of
        # the tree, with this file as its debian/copyright, is made for it.
        with tempfile.TemporaryDirectory(prefix="quix-copyright-") as tmp:
            tree = Path(tmp) / "quixmag-1.0"
            for name in self.tracked:
                if (TOP / name).is_file():
                    (tree / name).parent.mkdir(parents=True, exist_ok=True)
                    shutil.copy2(TOP / name, tree / name)
            debian = tree / "debian"
            (debian / "source").mkdir(parents=True)
            shutil.copy(COPYRIGHT, debian / "copyright")
            shutil.copy(COPYRIGHT.with_name("changelog"), debian / "changelog")
            (debian / "source" / "format").write_text("3.0 (native)\n")
            (debian / "control").write_text(
                "Source: quixmag\nMaintainer: the quix group <quix@quix.example.org>\n"
                "Section: misc\nPriority: optional\nStandards-Version: 4.6.2\n\n"
                "Package: quixmag\nArchitecture: any\nDescription: text-mode electronic magazine\n"
                " The quix magazine.\n")
            (debian / "rules").write_text("#!/usr/bin/make -f\n%:\n\tdh $@\n")
            (debian / "rules").chmod(0o755)
            subprocess.run(["dpkg-source", "-b", tree.name], cwd=tmp, check=True, capture_output=True)
            run = subprocess.run(["lintian", "--info", "--display-experimental", "--pedantic",
                                  "--check-part", "debian/copyright,debian/copyright/dep5",
                                  "quixmag_1.0.dsc"], cwd=tmp, capture_output=True, text=True)
        tags = [line for line in (run.stdout + run.stderr).splitlines() if re.match(r"^[EWIPXO]: ", line)]
        self.assertEqual(tags, [])
        self.assertEqual(run.returncode, 0, run.stderr)

    def test_LICENSE_names_the_same_content(self):
        text = LICENSE.read_text(encoding="utf-8")
        for folder in CONTENT_FOLDERS:
            self.assertIn(folder, text)
        for paragraph in self.files:
            if paragraph["License"][0] == "CC-BY-4.0":
                for pattern in self.patterns(paragraph):
                    named = pattern.removesuffix("*")
                    self.assertTrue(named in text or named.split("/", 3)[-1] in text,
                                    f"LICENSE does not name {pattern}")


if __name__ == "__main__":
    unittest.main()
