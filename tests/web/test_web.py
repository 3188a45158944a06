#!/usr/bin/env python3
"""The web edition in a headless browser: the site built by
`tools/setup.sh --web`, served on the loopback address and driven like a
reader would, key by key, in Chromium (the DevTools protocol) or in Firefox
(WebDriver BiDi), with real key, mouse and touch events in both.

    test_web.py [--browser chromium|firefox]   (default: QUIX_BROWSER, else chromium)

  QUIX_WEB_SITE  the site folder (build-web/site)
  SCREEN_CELLS   the native screen_cells tool: the memory console's cells of
                 a screen, which the canvas must show cell for cell
  QUIX_CONTENT   the issue folder (content/)
  ANSILOVE       the reference renderer (default /usr/bin/ansilove)

What the page shows is read back two ways: window.quixmagScreen() (the
cells the page drew) and the canvas's pixels, which must be each cell's
glyph, as Debian's ansilove draws it, in its VGA colours.
"""
import base64
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import tomllib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import BROWSERS, Failure, Site, browser_name, open_browser  # noqa: E402
import reference  # noqa: E402

SITE = os.environ["QUIX_WEB_SITE"]
SCREEN_CELLS = os.environ["SCREEN_CELLS"]
CONTENT = os.environ.get("QUIX_CONTENT",
                         os.path.join(os.path.dirname(__file__), "..", "..", "content"))

# The VGA text mode's 16 colours.
VGA = [(0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
       (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
       (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
       (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF)]
# The PC's glyphs for the control values and 0x7F; the rest is Python's
# code page 437 codec.
LOW = ("\u0020\u263A\u263B\u2665\u2666\u2663\u2660\u2022\u25D8\u25CB\u25D9\u2642\u2640\u266A\u266B\u263C"
       "\u25BA\u25C4\u2195\u203C\u00B6\u00A7\u25AC\u21A8\u2191\u2193\u2192\u2190\u221F\u2194\u25B2\u25BC")


def glyph_char(byte):
    if byte < 0x20:
        return LOW[byte]
    if byte == 0x7F:
        return "\u2302"
    if byte == 0xFF:
        return "\u00A0"
    return bytes([byte]).decode("cp437")


def glyph_rows(byte):
    """The glyph's 16 rows as the reference renderer draws them."""
    return reference.glyphs()[byte]


def memory_console(*names):
    out = subprocess.run([SCREEN_CELLS, *names], capture_output=True, text=True, timeout=60, check=True)
    screens = {}
    for line in out.stdout.splitlines():
        s = json.loads(line)
        s["text"] = ["".join(glyph_char(b) for b in row) for row in s["chars"]]
        screens[s["name"]] = s
    return screens


def visible(raw):
    """A text line as the viewer shows it: pipe colour codes hidden."""
    return re.sub(rb"\|(0[0-9]|1[0-9]|2[0-3])", b"", raw)


def text_lines(data):
    """The viewer's lines: a line ends at CR LF, a lone CR or a lone LF."""
    lines = re.split(rb"\r\n|\r|\n", data)
    if data.endswith((b"\r", b"\n")):
        lines.pop()
    return lines


# --- Reading the page -------------------------------------------------------------

SNAPSHOT = """(() => {
  const screen = quixmagScreen();  // first: it brings the canvas up to date with the cells
  const c = document.getElementById('screen');
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  let s = '';
  for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode.apply(null, d.subarray(i, i + 8192));
  return { width: c.width, height: c.height, rgba: btoa(s), screen };
})()"""


def screen(b):
    return b.evaluate("quixmagScreen()")


def text(b):
    return "\n".join(screen(b)["text"])


def pixel_faults(snapshot, rows=range(25)):
    """Cells whose pixels are not their glyph in their colours."""
    width = snapshot["width"]
    rgba = base64.b64decode(snapshot["rgba"])
    scr = snapshot["screen"]
    faults = []
    for y in rows:
        for x in range(80):
            ch = scr["text"][y][x]
            byte = next(b for b in range(256) if glyph_char(b) == ch) if ch != " " else 0x20
            attr = scr["attr"][y][x]
            fg, bg = VGA[attr & 15], VGA[attr >> 4]
            cur = scr["cursor"]
            glyph = glyph_rows(byte)
            for py in range(16):
                if cur["visible"] and (cur["x"], cur["y"]) == (x, y) and py >= 14:
                    continue  # the blinking cursor's line
                for px in range(8):
                    want = fg if glyph[py] & (0x80 >> px) else bg
                    at = ((y * 16 + py) * width + x * 8 + px) * 4
                    if tuple(rgba[at:at + 3]) != want:
                        faults.append((x + 1, y + 1, ch, attr))
                        break
                else:
                    continue
                break
    return faults


def cells_equal(page, memory, rows=range(25)):
    return all(page["text"][y] == memory["text"][y] and page["attr"][y] == memory["attrs"][y] for y in rows)


# --- The checks ----------------------------------------------------------------------

class Run:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"ok    {name}")
        else:
            self.failed += 1
            print(f"FAIL  {name} {detail}")
        return ok


def wait_text(b, what, timeout=15):
    return b.wait_for(f"'{what}' on screen", lambda: what in text(b), timeout)


def wait_loaded(b, what, timeout):
    """Waits for What on screen in a page that may still be loading."""
    def shown():
        try:
            return what in text(b)
        except Failure:  # the page's script is not there yet
            return False
    return b.wait_for(f"'{what}' on screen", shown, timeout)


def wait_screen(b, memory, rows=range(25), timeout=20):
    """Waits until the page's cells equal the memory console's; answers the
    snapshot (cells and pixels) taken in that same moment."""
    def matched():
        try:
            snap = b.evaluate(SNAPSHOT)
        except Failure:
            return None  # the page is still loading
        return snap if cells_equal(snap["screen"], memory, rows) else None
    return b.wait_for(f"the screen {memory['name']}", matched, timeout, every=0.1)


def compare_screen(run, b, memory, rows=range(25), timeout=20):
    try:
        snap = wait_screen(b, memory, rows, timeout)
    except Failure as e:
        page = screen(b)
        diff = [y + 1 for y in rows if page["text"][y] != memory["text"][y] or page["attr"][y] != memory["attrs"][y]]
        run.check(f"{memory['name']}: every cell as on the memory console", False, f"{e}; rows differing: {diff}")
        return None
    run.check(f"{memory['name']}: every cell as on the memory console", True)
    faults = pixel_faults(snap, rows)
    run.check(f"{memory['name']}: the canvas draws each cell's glyph in its colours", not faults,
              f"{len(faults)} cells wrong, first {faults[:5]}")
    return snap


class Article:
    """The first article as the viewer must show it, from the content and the
    header screen's window markers."""

    def __init__(self, manifest, header):
        entry = manifest["article"][0]
        self.title = entry["title"]
        with open(os.path.join(CONTENT, entry["text"]), "rb") as f:
            self.raw = f.read()
        self.lines = text_lines(self.raw)
        markers = [(x + 1, y + 1) for y in range(25) for x in range(80) if header["chars"][y][x] == ord("!")]
        (self.x, self.y), (right, bottom) = markers[3], markers[4]
        self.width, self.height = right, bottom - self.y
        self.longest = max(len(line) for line in self.lines)

    def clamp(self, top):
        top = min(top, len(self.lines) - 1 - self.height)
        return max(top, 0)

    def rows(self, top, left):
        """(row, column, text) of each window row that shows a line."""
        out = []
        for i in range(self.height + 1):
            if top + i >= len(self.lines):
                break
            piece = visible(self.lines[top + i][left:left + self.width - 1])
            out.append((self.y + i, self.x, piece.decode("cp437")))
        return out

    def shows(self, scr, top, left):
        for row, col, piece in self.rows(top, left):
            if scr["text"][row - 1][col - 1:col - 1 + len(piece)] != piece:
                return False
        return True


def print_figures(b, name):
    """What the page measured itself: never a check, a figure."""
    figures = b.evaluate("quixmagFigures()")
    lat = figures["latencies"]
    line = f"figures, {name}: logo's first cell {figures['firstCell']:.0f} ms after navigation"
    if lat:
        line += (f"; key to the next frame, {len(lat)} keys: median {statistics.median(lat):.1f} ms, "
                 f"worst {max(lat):.1f} ms")
    print(line)


# What a listener in the page records of pointer events.
POINTER_LOG = """window.pointerLog = [];
for (const type of ['pointerdown', 'pointermove', 'pointerup', 'pointercancel'])
  document.addEventListener(type, (e) => pointerLog.push(
    { type, kind: e.pointerType, x: e.clientX, y: e.clientY, trusted: e.isTrusted }), true);
true"""


def phone(run, site, manifest, name):
    """The page on a phone's screen (390 x 844 CSS pixels at 3 device pixels
    each, a finger for a pointer): the keys row without ?keys, taps on its
    buttons, a swipe, and the accessible names of the screen and buttons."""
    b = open_browser(name, sound=False, touch=True)
    try:
        b.set_viewport(390, 844, 3)
        b.navigate(site.url("index.html?silent"))
        wait_loaded(b, "e d i t o r i a l", 30)
        run.check("phone: the viewport is 390 x 844 at 3 device pixels per CSS pixel",
                  b.evaluate("[innerWidth, innerHeight, devicePixelRatio]") == [390, 844, 3],
                  str(b.evaluate("[innerWidth, innerHeight, devicePixelRatio]")))
        width = b.evaluate("document.getElementById('screen').getBoundingClientRect().width")
        run.check("phone: the screen fits the width", 0 < width <= 390, f"{width} CSS pixels")
        run.check("phone: a touch screen shows the keys row",
                  b.evaluate("getComputedStyle(document.getElementById('keys')).display") != "none")
        b.evaluate(POINTER_LOG)

        def centre(key):
            return b.evaluate(f"""(() => {{
              const r = document.querySelector('#keys button[data-key="{key}"]').getBoundingClientRect();
              return [r.x + r.width / 2, r.y + r.height / 2]; }})()""")
        for key in ("ArrowDown", "Enter"):
            b.tap(*centre(key))
        try:
            wait_text(b, manifest["article"][0]["label"], 10)
            run.check("phone: taps on Down and Enter open the articles", True)
        except Failure as e:
            run.check("phone: taps on Down and Enter open the articles", False, str(e))
        taps = b.evaluate("pointerLog")
        run.check("phone: a tap is a touch pointer's down and up",
                  [(e["type"], e["kind"], e["trusted"]) for e in taps]
                  == [("pointerdown", "touch", True), ("pointerup", "touch", True)] * 2, str(taps))

        # A finger drawn up the screen: a down where it starts, moves upward,
        # and an up where it ends, unless the browser took the gesture for
        # its own (a cancel, as a phone's browser does when it pans).
        b.evaluate("pointerLog.length = 0")
        box = b.evaluate("(() => { const r = document.getElementById('screen').getBoundingClientRect();"
                         " return [r.x + r.width / 2, r.y + r.height * 0.8, r.y + r.height * 0.2]; })()")
        x, y0, y1 = (round(v) for v in box)
        b.swipe(x, y0, y1)
        log = b.evaluate("pointerLog")
        ys = [e["y"] for e in log if e["type"] == "pointermove"]
        run.check("phone: a swipe is a touch pointer drawn upward",
                  len(log) >= 3 and all(e["kind"] == "touch" for e in log)
                  and (log[0]["type"], round(log[0]["x"]), round(log[0]["y"])) == ("pointerdown", x, y0)
                  and ys and ys == sorted(ys, reverse=True) and y1 <= ys[-1] < y0
                  and (log[-1]["type"] == "pointercancel" or
                       (log[-1]["type"], round(log[-1]["y"])) == ("pointerup", y1)),
                  str(log))

        # The screen is called what it shows: here the section's menu.
        screens = b.accessible(name="articles")
        run.check("phone: the screen is named for assistive technology after the section it shows",
                  b.evaluate("document.getElementById('screen').getAttribute('aria-label')") == "articles"
                  and len(screens) >= 1, str(screens))
        # Named by what they read first, then what they do.
        labels = ("PgUp (page up)", "PgDn (page down)", "Enter", "Esc (escape)", "F1 (help)")
        missing = [label for label in labels if len(b.accessible(role="button", name=label)) != 1]
        run.check("phone: the keys row's buttons are buttons named as they read", not missing,
                  f"not found: {missing}")
    finally:
        b.close()


def main():
    args = sys.argv[1:]
    name = browser_name()
    if args[:1] == ["--browser"] and len(args) == 2 and args[1] in BROWSERS:
        name = args[1]
    elif args:
        print(f"usage: {sys.argv[0]} [--browser {'|'.join(BROWSERS)}]")
        return 2
    print(f"browser: {name}")
    with open(os.path.join(CONTENT, "issue.toml"), "rb") as f:
        manifest = tomllib.load(f)
    pieces = [os.path.splitext(p["art"])[0] for p in manifest["piece"]]
    memory = memory_console("logo", "help", "article_hdr", *pieces)
    # The gallery's first piece with bright backgrounds (attribute bit 7),
    # so that the canvas shows them too; else its first piece.
    bright = [i for i, name in enumerate(pieces) if any(a >= 0x80 for row in memory[name]["attrs"] for a in row)]
    chosen = bright[0] if bright else 0
    piece = pieces[chosen]
    article = Article(manifest, memory["article_hdr"])
    run = Run()
    downloads = tempfile.mkdtemp(prefix="quixmag-downloads-")
    site = Site(SITE)
    b = open_browser(name, sound=True, downloads=downloads)
    started = time.monotonic()
    try:
        b.navigate(site.url("index.html?keys"))
        compare_screen(run, b, memory["logo"], timeout=20)
        run.check("the page says it runs", b.evaluate("quixmagState().state") == "running")

        wait_text(b, "e d i t o r i a l", 20)
        run.check("the main menu shows its six entries",
                  all(label in text(b) for label in ("e d i t o r i a l", "a r t i c l e s", "a n s i   a r t",
                                                      "t u t o r s", "a b o u t", "e x i t")))

        # Down (a tap on the row of buttons under the screen), Enter: the
        # articles; Enter: the first article in the viewer.
        x, y = b.evaluate("""(() => {
          const r = document.querySelector('#keys button[data-key="ArrowDown"]').getBoundingClientRect();
          return [r.x + r.width / 2, r.y + r.height / 2]; })()""")
        b.click(x, y)
        b.key("Enter", vk=13, text="\r")
        wait_text(b, manifest["article"][0]["label"])
        b.key("Enter", vk=13, text="\r")
        ok = b.wait_for("the article", lambda: article.shows(screen(b), 0, 0), 15)
        run.check("Down (tapped), Enter, Enter open the first article at its first line", ok)
        run.check("the header carries the article's title", article.title in text(b))

        top = article.clamp(article.height)
        b.key("PageDown", vk=34)
        try:
            b.wait_for("PgDn", lambda: article.shows(screen(b), top, 0), 10)
            run.check(f"PgDn moves the text a window down (to line {top + 1})", True)
        except Failure as e:
            run.check("PgDn moves the text a window down", False, str(e))

        # Right moves the text sideways; End then puts the longest line's end
        # at the window's right edge (LeftCol = L - Width - 1, not below 0).
        for _ in range(3):
            b.key("ArrowRight", vk=39)
        try:
            b.wait_for("Right", lambda: article.shows(screen(b), top, 3), 10)
            run.check("Right scrolls the text sideways", True)
        except Failure as e:
            run.check("Right scrolls the text sideways", False, str(e))
        left = max(0, article.longest - article.width - 1)
        b.key("End", vk=35)
        try:
            b.wait_for("End", lambda: article.shows(screen(b), top, left), 10)
            run.check(f"End shows the longest line's end (from column {left + 1})", True)
        except Failure as e:
            run.check("End shows the longest line's end", False, str(e))

        b.key("F1", vk=112)
        help_row = article.y + 10
        try:
            b.wait_for("the viewer's help", lambda: screen(b)["text"][help_row - 1][article.x + 8:].startswith(
                "CTRL + S : Save file to disk"), 10)
            run.check("F1 shows the viewer's help box", "Press any key..." in text(b))
        except Failure as e:
            run.check("F1 shows the viewer's help box", False, str(e))
        b.key("Escape", vk=27)
        try:
            b.wait_for("the page again", lambda: article.shows(screen(b), top, left)
                       and "Press any key..." not in text(b), 10)
            run.check("a key closes the help and the page is drawn again", True)
        except Failure as e:
            run.check("a key closes the help and the page is drawn again", False, str(e))

        # Ctrl+S: the text as a download under the typed name, CR LF lines.
        b.key("s", "KeyS", 83, modifiers=2)
        wait_text(b, "Enter Filename:", 10)
        for ch in "saved-news.txt":
            b.char(ch)
        b.key("Enter", vk=13, text="\r")
        b.char("y")
        target = os.path.join(downloads, "saved-news.txt")
        try:
            b.wait_for("the download", lambda: os.path.exists(target) and os.path.getsize(target) > 0, 15)
            with open(target, "rb") as f:
                saved = f.read()
            want = b"".join(line + b"\r\n" for line in article.lines)
            run.check("Ctrl+S hands over the text with CR LF line ends under the typed name", saved == want,
                      f"{len(saved)} bytes, want {len(want)}")
        except Failure as e:
            run.check("Ctrl+S hands over the text under the typed name", False, str(e))
        run.check("nothing else was downloaded", sorted(os.listdir(downloads)) == ["saved-news.txt"],
                  str(os.listdir(downloads)))

        b.key("Escape", vk=27)
        wait_text(b, "[ b a c k ]")
        run.check("Esc leaves the viewer for the articles menu", True)
        b.key("End", vk=35)
        b.key("Enter", vk=13, text="\r")
        wait_text(b, "e d i t o r i a l", 20)

        # The gallery's first piece, and the help screen. The main menu keeps
        # its bar on the articles: one Down is the gallery.
        b.key("ArrowDown", vk=40)
        b.key("Enter", vk=13, text="\r")
        wait_text(b, manifest["piece"][0]["label"], 20)
        for _ in range(chosen):
            b.key("ArrowDown", vk=40)
        b.key("Enter", vk=13, text="\r")
        compare_screen(run, b, memory[piece], rows=range(24), timeout=20)
        run.check("the piece's last row says how to save it",
                  screen(b)["text"][24].startswith("p r e s s  e  t o  e x t r a c t"))
        b.key(" ", "Space", 32, text=" ")
        wait_text(b, "[ b a c k ]", 20)
        b.key("h", "KeyH", 72, text="h")
        compare_screen(run, b, memory["help"], timeout=20)
        b.key(" ", "Space", 32, text=" ")
        wait_text(b, "[ b a c k ]", 20)

        # Music: P silences the first track; a track chosen in the track menu
        # is then heard (only the choice can start it again), P silences it
        # and P starts it again.
        def level():
            return b.evaluate("quixmagAudioLevel()")

        def heard(what):
            try:
                v = b.wait_for(what, lambda: (v := level()) > 0.01 and v, 10)
                run.check(f"{what} (level {v:.3f})", True)
            except Failure as e:
                run.check(what, False, f"{e}; audio {b.evaluate('quixmagAudioState()')}")

        def silent(what):
            try:
                b.wait_for(what, lambda: 0 <= level() < 1e-4, 5)
                run.check(what, True)
            except Failure as e:
                run.check(what, False, str(e))

        heard("the first track plays from the start")
        b.key("p", "KeyP", 80, text="p")
        silent("P makes it silent")
        b.key("t", "KeyT", 84, text="t")
        wait_text(b, "Tracks...", 10)
        second = manifest["track"][1]["label"]
        b.key("ArrowDown", vk=40)
        b.key("Enter", vk=13, text="\r")
        heard(f"the track chosen in the track menu ({second}) is heard")
        b.key("p", "KeyP", 80, text="p")
        silent("P in the track menu makes it silent")
        b.key("p", "KeyP", 80, text="p")
        heard("P again starts it again")

        # X ends the magazine.
        b.key("x", "KeyX", 88, text="x")
        try:
            state = b.wait_for("the end", lambda: (s := b.evaluate("quixmagState()"))["state"] == "ended" and s, 15)
            run.check("X ends the magazine with status 0", state["status"] == 0, str(state))
        except Failure as e:
            run.check("X ends the magazine", False, str(e))
        note = b.evaluate("document.getElementById('note').textContent")
        run.check("the page says the magazine has ended", "reload to read again" in note, note)
        print_figures(b, name)
        # A browser without audio worklets (a page served over plain HTTP):
        # the magazine runs without music.
        b.add_init_script("delete window.AudioWorkletNode; Object.defineProperty(BaseAudioContext.prototype, "
                          "'audioWorklet', { get: () => undefined });")
        b.navigate(site.url("index.html"))
        b.wait_for("the main menu without audio worklets", lambda: b.evaluate(
            "window.quixmagScreen ? quixmagScreen().text.join('\\n') : ''").count("e d i t o r i a l") > 0, 30)
        run.check("without audio worklets the magazine runs, silent",
                  b.evaluate("quixmagState().state") == "running" and b.evaluate("quixmagAudioLevel()") == -1)
    except Failure as e:
        run.check("the run went through", False, str(e))
        shot = os.path.join(tempfile.gettempdir(), f"quixmag-web-failure-{name}.png")
        try:
            b.screenshot(shot)
            print(f"screenshot: {shot}")
            print(text(b))
        except Failure:
            pass
    finally:
        b.close()
        shutil.rmtree(downloads, ignore_errors=True)
    try:
        phone(run, site, manifest, name)
    except Failure as e:
        run.check("the phone run went through", False, str(e))
    finally:
        site.close()
    print(f"({time.monotonic() - started:.0f} s)")
    print(f"{run.passed} passed, {run.failed} failed")
    return 1 if run.failed else 0


if __name__ == "__main__":
    sys.exit(main())
