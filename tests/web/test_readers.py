#!/usr/bin/env python3
"""The web edition for readers who are not at a desktop keyboard: a phone in
portrait (390x844 CSS px, 3 device pixels each) with touch, a screen reader
reading the accessibility tree, an address that names an article, Back and
Forward, and a laptop whose window is a little short of twice the screen.

Same environment as test_web.py (QUIX_WEB_SITE, SCREEN_CELLS, QUIX_CONTENT);
--browser chromium|firefox (or QUIX_BROWSER). What the page shows is read
back from the page itself: the cells (window.quixmagScreen()), the text and
list it gives assistive technology, and the browser's own accessibility
tree: whole in Chromium; in Firefox, whose remote protocol can
only find elements by role and name, the list's options and the text's
region are found that way.
"""
import argparse
import os
import sys
import time
import tomllib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import BROWSERS, Failure, Site, open_browser  # noqa: E402
from test_web import CONTENT, SITE, Article, Run, memory_console, screen, wait_screen  # noqa: E402

PHONE = (390, 844, 3)
TEXT = "((document.getElementById('text') || {}).innerText || '')"
LAYER_LINES = "[...document.querySelectorAll('#text > div')].map((d) => d.textContent.replace(/[\\s\\u00a0]+$/, ''))"


def stem(name):
    return os.path.splitext(name)[0]


def page_lines(b):
    return b.evaluate(LAYER_LINES) or []


def type_on_touch(b, text):
    """Letters typed on the device's keyboard into the focused field: in
    Chromium as an input method gives them (no key names), in Firefox as keys."""
    if b.name == "chromium":
        b.call("Input.insertText", text=text)
    else:
        for ch in text:
            b.char(ch)


def cell_point(b, col, row):
    """The middle of a cell of the canvas (0-based), in CSS pixels."""
    box = b.evaluate("(() => { const r = document.getElementById('screen').getBoundingClientRect();"
                     " return [r.left, r.top, r.width, r.height]; })()")
    return box[0] + (col + 0.5) * box[2] / 80, box[1] + (row + 0.5) * box[3] / 25


def tree_has_text(b, lines):
    """The lines of the article missing from what assistive technology gets."""
    if b.name == "chromium":
        # A line's colour runs are text nodes of their own.
        said = "".join(n["name"] or "" for n in b.accessible(role="StaticText"))
    else:
        if not b.accessible(role="document", name="the page of text"):
            return lines
        said = b.evaluate(TEXT)
    return [line for line in lines if line and line not in said]


def options_named(b, labels):
    """The labels that are not an option of a list box for assistive technology."""
    if b.name == "chromium":
        names = [n["name"] for n in b.accessible(role="option")]
        return [label for label in labels if label not in names]
    return [label for label in labels if len(b.accessible(role="option", name=label)) != 1]


class Entry:
    def __init__(self, manifest, section, i):
        entry = manifest[section][i]
        self.label = entry["label"]
        self.title = entry["title"]
        self.place = f"{'articles' if section == 'article' else 'tutors'}/{stem(entry['text'])}"
        with open(os.path.join(CONTENT, entry["text"]), "rb") as f:
            self.article = f.read()


def phone_run(run, browser, manifest, memory):
    first, third = Entry(manifest, "article", 0), Entry(manifest, "article", 2)
    article = Article(manifest, memory["article_hdr"])
    wanted = [line.rstrip() for _, _, line in article.rows(0, 0)]
    site = Site(SITE)
    b = open_browser(browser, sound=False, width=PHONE[0], height=PHONE[1], touch=True)
    try:
        b.set_viewport(*PHONE)
        # An address that names an article opens it after the logo.
        b.navigate(site.url(f"index.html?silent#{first.place}"))
        wait_screen(b, memory["logo"], timeout=30)
        b.wait_for("the article's text in the page", lambda: page_lines(b)[:3] == wanted[:3], 30)
        run.check(f"#{first.place} opens that article", b.evaluate("location.hash") == f"#{first.place}")
        run.check("the page title names the article", first.title in b.evaluate("document.title"))
        lines = page_lines(b)
        run.check("the page holds every line of the viewer's window", lines == wanted, f"{lines[:4]} / {wanted[:4]}")
        size = b.evaluate("parseFloat(getComputedStyle(document.getElementById('text')).fontSize)")
        run.check(f"a phone in portrait reads the article at {size} CSS px (at least 12)", size >= 12)
        run.check("the article's colours are kept",
                  b.evaluate("getComputedStyle(document.querySelector('#text span')).color") != "rgba(0, 0, 0, 0)")
        wide = b.evaluate("[document.documentElement.scrollWidth, innerWidth]")
        run.check("nothing is wider than the phone", wide[0] <= wide[1], str(wide))
        shown = b.evaluate("(() => { const r = document.getElementById('text').getBoundingClientRect();"
                           " return r.bottom <= innerHeight && r.height > 0; })()")
        run.check("the page of text is on the screen whole", shown)

        # A swipe up brings the text up, line by line.
        x, top, bottom = b.evaluate("(() => { const r = document.getElementById('text').getBoundingClientRect();"
                                    " return [r.left + r.width / 2, r.top + 20, r.bottom - 20]; })()")
        b.swipe(x, bottom, top, steps=20, ms=400)
        try:
            b.wait_for("the text to move", lambda: page_lines(b)[:1] != wanted[:1], 10)
            moved = page_lines(b)
            later = [visible_line(article, i) for i in range(1, len(article.lines))]
            run.check("a swipe up scrolls the article down", moved[0] in later, moved[0])
        except Failure as e:
            run.check("a swipe up scrolls the article down", False, str(e))

        # Back: the section's menu, on the canvas, as a list with its entries.
        b.evaluate("history.back()")
        b.wait_for("the section menu", lambda: b.evaluate("!document.getElementById('menu').hidden"), 20)
        run.check("Back returns to the section's menu", b.evaluate("location.hash") == "#articles")
        run.check("a menu is drawn on the canvas, not as text",
                  b.evaluate("getComputedStyle(document.getElementById('screen')).display") != "none")
        labels = [a["label"] for a in manifest["article"]]
        run.check("the accessibility tree holds the menu as a list box", len(b.accessible(role="listbox")) == 1)
        missing = options_named(b, labels)
        run.check("its options are the section's entries", not missing, str(missing))
        lit = b.evaluate("document.querySelector('#menu [aria-selected=true]')?.textContent")
        run.check("the first entry is the selected one", lit == labels[0], str(lit))

        # A tap on an entry lights it; a tap on the lit entry opens it.
        box_left, box_top = 17, 13  # the articles menu's box: column 18, row 14
        x, y = cell_point(b, box_left + 4, box_top + 2)
        b.tap(x, y)
        b.wait_for("the third entry lit", lambda: b.evaluate(
            "document.querySelector('#menu [aria-selected=true]')?.textContent") == third.label, 10)
        run.check("a tap on an entry lights it, and says so",
                  third.label in b.evaluate("document.getElementById('say').textContent"))
        b.tap(x, y)
        try:
            b.wait_for("the third article", lambda: b.evaluate("location.hash") == f"#{third.place}", 20)
            run.check("a tap on the lit entry opens it", True)
        except Failure as e:
            run.check("a tap on the lit entry opens it", False, str(e))

        # The device's keyboard: a letter typed there is a key for the
        # magazine (H, the help screen, from the main menu).
        b.evaluate("location.hash = '#menu'")
        b.wait_for("the main menu", lambda: "e d i t o r i a l" in "\n".join(screen(b)["text"]), 20)
        bx, by = b.evaluate("(() => { const r = document.getElementById('type').getBoundingClientRect();"
                            " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
        b.tap(bx, by)
        b.wait_for("the typing field to take the focus",
                   lambda: b.evaluate("document.activeElement.id") == "typing", 5)
        type_on_touch(b, "h")
        try:
            wait_screen(b, memory["help"], timeout=20)
            run.check("a letter typed on the touch keyboard reaches the magazine", True)
        except Failure as e:
            run.check("a letter typed on the touch keyboard reaches the magazine", False, str(e))
        unnamed = b.evaluate("[...document.querySelectorAll('button')].filter((x) => !x.getAttribute('aria-label'))"
                             ".map((x) => x.textContent)")
        run.check("every button has a name", not unnamed, str(unnamed))
        letters = b.evaluate("[...document.querySelectorAll('#keys button')].map((x) => x.textContent)")
        run.check("the buttons give F1, T, X, find and save", all(k in letters for k in ("F1", "T", "X", "find", "save")))
    finally:
        b.close()
        site.close()


def visible_line(article, i):
    return article.rows(i, 0)[0][2].rstrip() if i < len(article.lines) else None


def desktop_run(run, browser, manifest, memory):
    first = Entry(manifest, "article", 0)
    article = Article(manifest, memory["article_hdr"])
    site = Site(SITE)
    try:
        for width, height in ((1280, 800), (1366, 768), (1920, 1080)):
            b = open_browser(browser, sound=False, width=width, height=height)
            try:
                b.navigate(site.url(f"index.html?silent#{first.place}"))
                b.wait_for("the article", lambda: page_lines(b)[:1] == [visible_line(article, 0)], 40)
                used = b.evaluate("(() => { const r = document.getElementById('screen').getBoundingClientRect();"
                                  " return [r.width / innerWidth, r.height / innerHeight]; })()")
                run.check(f"{width}x{height}: the screen uses {max(used):.0%} of the window (at least 60%)",
                          max(used) >= 0.6)
                if width != 1280:
                    continue
                # The text is where the canvas shows it: the browser finds a
                # word of it, and a copy of the page holds its lines.
                word = visible_line(article, 0).split()[-1]
                run.check(f"the browser's find finds '{word}' in the article",
                          b.evaluate(f"window.find({word!r})"))
                copied = b.evaluate("(() => { getSelection().selectAllChildren(document.getElementById('text'));"
                                    " return getSelection().toString(); })()")
                run.check("a copy holds the article's lines", visible_line(article, 1) in copied)
                inside = b.evaluate("""(() => {
                  const t = document.querySelector('#text > div').getBoundingClientRect();
                  const c = document.getElementById('screen').getBoundingClientRect();
                  return [t.left - c.left, t.top - c.top, c.width / 80, c.height / 25]; })()""")
                run.check("the text lies over the window's first row and column",
                          abs(inside[0] - (article.x - 1) * inside[2]) < 1 and abs(inside[1] - (article.y - 1) * inside[3]) < 1,
                          str(inside))
                lines = [visible_line(article, i).strip() for i in range(article.height + 1)]
                missing = tree_has_text(b, lines)
                run.check("the accessibility tree holds the article's visible text", not missing, str(missing[:3]))
            finally:
                b.close()
    finally:
        site.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--browser", choices=BROWSERS, default=os.environ.get("QUIX_BROWSER", "chromium"))
    browser = parser.parse_args().browser
    with open(os.path.join(CONTENT, "issue.toml"), "rb") as f:
        manifest = tomllib.load(f)
    memory = memory_console("logo", "help", "article_hdr")
    run = Run()
    started = time.monotonic()
    phone_run(run, browser, manifest, memory)
    desktop_run(run, browser, manifest, memory)
    print(f"{browser}: {run.passed} passed, {run.failed} failed in {time.monotonic() - started:.1f} s")
    return 1 if run.failed else 0


if __name__ == "__main__":
    sys.exit(main())
