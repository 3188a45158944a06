"""The manual page: it renders without a warning, and it documents every
switch, every key of the menus, the viewer, the gallery, the dialogs and the
screen drawing, and the environment the program reads."""

import os
import re
import subprocess
import unittest

DOCS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs")
PAGE = os.path.join(DOCS, "quixmag.6")
CHECKER_PAGE = os.path.join(DOCS, "quixmag-check.1")

# The keys each part of the program answers to.
KEYS = {
    "In every menu": ["Up", "Down", "PgUp", "PgDn", "Home", "End", "Enter", "Esc", "Left",
                      "Right", "letters", "Ctrl+A", "Backspace", "Ctrl+Y",
                      "X", "T", "M", "P", "H", "A", "+", "-"],
    "While a screen is drawn": ["Esc", "+", "-", "*", "/"],
    "In the gallery": ["E", "any other key"],
    "In the text viewer": ["Up", "Down", "PgUp", "PgDn", "Left", "Right", "Home", "End",
                           "F1", "F10", "Ctrl+F", "Ctrl+G", "Ctrl+Y", "Ctrl+S", "+", "-",
                           "/", "*", "Ctrl+R", "Esc", "Enter", "Tab"],
    "In a dialog": ["characters", "Left", "Right", "Home", "End", "Ctrl+Left", "Ctrl+Right",
                    "Backspace", "Del", "Ctrl+Y", "Enter", "Y", "N"],
}
SWITCHES = ["--help", "/h", "-h", "help", "--silent", "--ascii", "--terminal-colours"]
ENVIRONMENT = ["LANG", "LC_ALL", "LC_CTYPE", "COLORTERM", "SDL_AUDIODRIVER", "TMPDIR", "QUIXMAG_PUBLIC",
               "SSH_CONNECTION"]
SECTIONS = ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "KEYS", "FILES", "ENVIRONMENT",
            "EXIT STATUS"]


def roff_words(line):
    """The words of a tag line such as `.BR Up ", " Down` or `.BR T " or " M`,
    with roff's escaped minus signs made plain."""
    macro = re.match(r"^\.([A-Z]+)", line)
    line = re.sub(r"^\.[A-Z]+\s*", "", line).replace("\\-", "-")
    # .B and .I set all their words in one font; .BR and its kin alternate
    # fonts from one argument to the next.
    parts = [line] if macro and macro.group(1) in ("B", "I") else re.findall(r'"[^"]*"|\S+', line)
    words = []
    for part in parts:
        part = part.strip('"').strip()
        if part in ("", ",", "or", "|"):
            continue
        words += [w for w in re.split(r"\s*,\s*|\s+or\s+|\s+\|\s+", part) if w]
    return words


def tags_by_section(text):
    """{heading: [words of every .TP tag]} for .SH and .SS headings."""
    tags, heading, lines = {}, None, text.splitlines()
    for i, line in enumerate(lines):
        m = re.match(r'^\.S[HS]\s+"?([^"]*)"?$', line)
        if m:
            heading = m.group(1)
            tags.setdefault(heading, [])
        elif line.startswith(".TP") and heading and i + 1 < len(lines):
            tags[heading] += roff_words(lines[i + 1])
    return tags


class PageTest:
    """A page read once, its tags by section; it renders without a warning."""

    PATH = None

    @classmethod
    def setUpClass(cls):
        with open(cls.PATH, encoding="utf-8") as f:
            cls.text = f.read()
        cls.tags = tags_by_section(cls.text)

    def test_renders_without_warnings(self):
        result = subprocess.run(["groff", "-ww", "-z", "-man", self.PATH], capture_output=True, text=True)
        self.assertEqual((result.returncode, result.stderr), (0, ""))


class ManualPageTest(PageTest, unittest.TestCase):
    PATH = PAGE

    def test_has_the_sections_of_a_manual_page_in_section_6(self):
        self.assertRegex(self.text, r'(?m)^\.TH QUIXMAG 6 ')
        headings = re.findall(r'(?m)^\.SH\s+"?([^"\n]*)"?$', self.text)
        self.assertEqual([h for h in headings if h in SECTIONS], SECTIONS)

    def test_documents_every_switch(self):
        for switch in SWITCHES:
            with self.subTest(switch=switch):
                self.assertIn(switch, self.tags["OPTIONS"])

    def test_documents_every_key(self):
        for heading, keys in KEYS.items():
            for key in keys:
                with self.subTest(where=heading, key=key):
                    self.assertIn(key, self.tags.get(heading, []))

    def test_documents_the_environment_and_the_exit_statuses(self):
        for name in ENVIRONMENT:
            with self.subTest(variable=name):
                self.assertIn(name, self.tags["ENVIRONMENT"])
        for status in ("0", "1"):
            self.assertIn(status, self.tags["EXIT STATUS"])

    def test_refers_to_the_checker(self):
        self.assertRegex(self.text, r"(?m)^\.BR quixmag\\-check \(1\)")

    def test_words_of_a_tag_line(self):
        self.assertEqual(roff_words('.BR T " or " M'), ["T", "M"])
        self.assertEqual(roff_words('.BR Esc ", " Enter ", " Tab'), ["Esc", "Enter", "Tab"])
        self.assertEqual(roff_words(r'.BR \-\-help ", " /h ", " \-h ", " help'),
                         ["--help", "/h", "-h", "help"])
        self.assertEqual(roff_words(".B \\-"), ["-"])
        self.assertEqual(roff_words(".I any other key"), ["any other key"])


class CheckerPageTest(PageTest, unittest.TestCase):
    """The checker's page, in section 1: it documents its folder, --help and
    the three exit statuses the checker answers with."""

    PATH = CHECKER_PAGE

    def test_documents_the_folder_the_switch_and_the_statuses(self):
        self.assertRegex(self.text, r"(?m)^\.TH QUIXMAG-CHECK 1 ")
        self.assertEqual(self.tags["OPTIONS"], ["FOLDER", "--help"])
        self.assertEqual(self.tags["EXIT STATUS"], ["0", "1", "2"])
        self.assertIn("/usr/share/doc/quixmag/making-an-issue.md", self.tags["FILES"])


if __name__ == "__main__":
    unittest.main()
