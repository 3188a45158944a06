#!/usr/bin/env python3
"""The web edition without the network, in headless Chromium (and, with
--browser firefox, its first part in Firefox): a copy of the
site that `tools/setup.sh --web` built is visited once, then its server is
stopped and the page loaded again. The magazine must start and draw its
logo as the memory console does, play its music, and find its favicon,
manifest and icons, all from what the service worker kept. Then the copy
gets a new version (a changed file, and its worker written again as the
build writes it): with the server back, a reload shows the new version and
the old cache is gone.

  QUIX_WEB_SITE  the site folder (build-web/site)
  SCREEN_CELLS   the native screen_cells tool (the memory console's cells)
  CMAKE          the cmake that runs cmake/WebOffline.cmake (default: cmake)
"""
import functools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser  # noqa: E402
from browser import Browser, Failure, Site  # noqa: E402

SITE = os.environ["QUIX_WEB_SITE"]
SCREEN_CELLS = os.environ["SCREEN_CELLS"]
CMAKE = os.environ.get("CMAKE", "cmake")
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


class SiteAt(Site):
    """The site served again on the port it had, so that the origin (and
    what the browser keeps for it) is the same."""

    def __init__(self, folder, port):
        handler = functools.partial(browser._QuietHandler, directory=folder)
        self.server = browser._Server(("127.0.0.1", port), handler)
        self.port = port
        self.thread = browser.threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()


def site_url(port, path):
    return f"http://127.0.0.1:{port}/{path}"


def site_line(folder):
    """The version and the files that the site's sw.js lists."""
    with open(os.path.join(folder, "sw.js"), encoding="utf-8") as f:
        line = re.search(r"^const SITE = (\{.*\});$", f.read(), re.M)
    return json.loads(line.group(1))


def every_file(folder):
    return sorted(os.path.relpath(os.path.join(top, name), folder).replace(os.sep, "/")
                  for top, _, names in os.walk(folder) for name in names)


# The PC's glyphs for the control values and 0x7F, as the page reads them
# back; the rest is Python's code page 437 codec.
LOW = ("\u0020\u263A\u263B\u2665\u2666\u2663\u2660\u2022\u25D8\u25CB\u25D9\u2642\u2640\u266A\u266B\u263C"
       "\u25BA\u25C4\u2195\u203C\u00B6\u00A7\u25AC\u21A8\u2191\u2193\u2192\u2190\u221F\u2194\u25B2\u25BC")


def glyph_char(byte):
    return LOW[byte] if byte < 0x20 else "\u2302" if byte == 0x7F else "\u00A0" if byte == 0xFF else \
        bytes([byte]).decode("cp437")


def logo_cells():
    """The logo as the memory console shows it: text rows and attributes."""
    out = subprocess.run([SCREEN_CELLS, "logo"], capture_output=True, text=True, timeout=60, check=True)
    logo = json.loads(out.stdout.splitlines()[0])
    return {"text": ["".join(glyph_char(c) for c in row) for row in logo["chars"]], "attr": logo["attrs"]}


def value(b, expression):
    """What Expression gives in the page, or None while a page is loading."""
    try:
        return b.evaluate(expression)
    except Failure:
        return None


def shows_logo(b, logo):
    page = value(b, "quixmagScreen()")
    return bool(page) and page["text"][:25] == logo["text"] and page["attr"][:25] == logo["attr"]


def check_offline_starts(run, b, logo, port, url):
    """With the server stopped: the folder's own address (the manifest's
    start_url), then the page with a query, as the tests and readers open
    it, each start the magazine, which draws its logo cell for cell."""
    for address in (site_url(port, ""), url + "?keys"):
        b.navigate(address)
        try:
            b.wait_for(f"the logo offline at {address}", lambda: shows_logo(b, logo), 60)
            run.check(f"offline, {address} starts the magazine and draws its logo cell for cell", True)
        except Failure as e:
            run.check(f"offline, {address} starts the magazine and draws its logo cell for cell", False, e)


class Run:
    def __init__(self):
        self.failed = 0

    def check(self, name, ok, detail=""):
        print(f"{'ok  ' if ok else 'FAIL'}  {name}{'' if ok else ' ' + str(detail)}")
        self.failed += 0 if ok else 1
        return ok


def errors(b):
    """The console's errors since the last call: scripts' errors, uncaught
    exceptions and the browser's own (a file that failed to load)."""
    found = []
    while not b.events.empty():
        e = b.events.get_nowait()
        method, params = e.get("method"), e.get("params", {})
        if method == "Runtime.consoleAPICalled" and params.get("type") == "error":
            found.append(" ".join(str(a.get("value", a.get("description"))) for a in params.get("args", [])))
        elif method == "Runtime.exceptionThrown":
            found.append(params["exceptionDetails"].get("exception", {}).get("description", "exception"))
        elif method == "Log.entryAdded" and params["entry"].get("level") == "error":
            found.append(f"{params['entry'].get('text')} {params['entry'].get('url', '')}")
    # A page that names no pack asks for none: nothing at all is refused.
    return found


CACHES = """caches.keys().then((names) => Promise.all(names.map((n) =>
  caches.open(n).then((c) => c.keys()).then((k) => ({ name: n, files: k.length })))))"""

ASSETS = """(async () => {
  const out = {};
  // Without a link of its own, a browser asks for the origin's favicon.ico.
  const icon = (document.querySelector('link[rel="icon"]') || { href: '/favicon.ico' }).href;
  const manifest = (document.querySelector('link[rel="manifest"]') || { href: 'app.webmanifest' }).href;
  const data = await (await fetch(manifest)).json();
  for (const url of [icon, ...data.icons.map((i) => new URL(i.src, manifest).href)]) {
    const r = await fetch(url);
    let size = null;
    if (r.ok) {
      const img = new Image();
      img.src = URL.createObjectURL(await r.blob());
      await img.decode().catch(() => null);
      size = `${img.naturalWidth}x${img.naturalHeight}`;
    }
    out[url.split('/').pop()] = { status: r.status, size };
  }
  return { manifest: data, files: out };
})()"""


def main():
    logo = logo_cells()
    tmp = tempfile.mkdtemp(prefix="quixmag-offline-")
    folder = os.path.join(tmp, "site")
    shutil.copytree(SITE, folder)
    run = Run()
    listed = site_line(folder)
    run.check("sw.js lists every file of the site but itself",
              sorted(listed["files"]) == [f for f in every_file(folder) if f != "sw.js"],
              set(listed["files"]) ^ set(every_file(folder)))

    site = Site(folder)
    port = site.port
    url = site.url("index.html")
    b = Browser(sound=True)
    try:
        b.call("Log.enable")
        # With JavaScript off the page says that it needs it, and nothing
        # of the screen (no "loading..." for ever).
        b.call("Emulation.setScriptExecutionDisabled", value=True)
        b.navigate(url)
        shown = b.wait_for("the page without scripts", lambda: value(b, "document.readyState") == "complete"
                           and value(b, "document.body.innerText"), 20)
        run.check("with JavaScript off, the page says it needs JavaScript and shows no screen",
                  "needs JavaScript" in shown and "loading" not in shown, shown)
        b.call("Emulation.setScriptExecutionDisabled", value=False)
        errors(b)
        b.navigate(url)
        b.wait_for("the service worker to control the page",
                   lambda: value(b, "Boolean(navigator.serviceWorker && navigator.serviceWorker.controller)"), 60)
        kept = b.evaluate(CACHES)
        ours = [c for c in kept if c["name"].endswith(" " + listed["version"])]
        run.check("one cache, named with the site's version, holds every listed file",
                  len(kept) == 1 and ours and ours[0]["files"] == len(listed["files"]), kept)
        manifest = b.call("Page.getAppManifest")
        run.check("the manifest is read without errors", manifest.get("url", "").endswith("/app.webmanifest")
                  and not manifest.get("errors"), manifest.get("errors"))
        try:
            problems = b.call("Page.getInstallabilityErrors")["installabilityErrors"]
            run.check("Chromium finds the magazine installable", not problems, problems)
        except Failure as e:
            print(f"skip  installability: {e}")
        run.check("no console errors on the first visit", not (first := errors(b)), first)

        # Offline: nothing answers on the site's port any more.
        site.close()
        site = None
        try:
            urllib.request.urlopen(url, timeout=5)
            run.check("the site's server is stopped", False)
        except (urllib.error.URLError, ConnectionError):
            run.check("the site's server is stopped", True)
        check_offline_starts(run, b, logo, port, url)
        run.check("offline, the page says it runs", (value(b, "quixmagState()") or {}).get("state") == "running")
        try:
            level = b.wait_for("music", lambda: (v := value(b, "quixmagAudioLevel()") or 0) > 0.01 and v, 20)
            run.check(f"offline, the first track plays (level {level:.3f})", True)
        except Failure as e:
            run.check("offline, the first track plays", False, e)
        assets = b.evaluate(ASSETS)
        want = {"favicon.ico": "32x32", "icon-192.png": "192x192", "icon-512.png": "512x512",
                "icon-maskable-512.png": "512x512"}
        got = {name: a["size"] for name, a in assets["files"].items() if a["status"] == 200}
        run.check("offline, the favicon and the manifest's icons load and have their sizes", got == want,
                  assets["files"])
        m = assets["manifest"]
        run.check("the manifest names the magazine as its page does, standalone in landscape on black",
                  (m["name"], m["short_name"], m["start_url"], m["display"], m["orientation"],
                   m["background_color"], m["theme_color"]) ==
                  ("quix magazine", "quix", ".", "fullscreen", "landscape", "#000000", "#000000")
                  and b.evaluate("document.querySelector('title').textContent") == m["name"], m)
        run.check("no console errors offline", not (offline := errors(b)), offline)

        # A new version: a changed page, and the worker written again from
        # the site's files as the build writes it.
        page = os.path.join(folder, "index.html")
        with open(page, encoding="utf-8") as f:
            text = f.read()
        marked = "A second printing of the text-mode magazine"
        text, count = re.subn(r'(<meta name="description" content=")[^"]*', r"\g<1>" + marked, text)
        with open(page, "w", encoding="utf-8") as f:
            f.write(text)
        subprocess.run([CMAKE, f"-DSITE={folder}", f"-DWORKER={os.path.join(SOURCE, 'web', 'sw.js')}",
                        "-P", os.path.join(SOURCE, "cmake", "WebOffline.cmake")],
                       check=True, capture_output=True, timeout=60)
        second = site_line(folder)
        run.check("the changed site has another version", count == 1 and second["version"] != listed["version"])
        site = SiteAt(folder, port)
        b.navigate(url)
        description = "document.querySelector('meta[name=description]').content"
        try:
            b.wait_for("the new version", lambda: value(b, description) == marked, 60)
            run.check("online again, a reload shows the new version", True)
        except Failure as e:
            run.check("online again, a reload shows the new version", False, f"{e}: {value(b, description)}")
        try:
            b.wait_for("the logo", lambda: shows_logo(b, logo), 30)
            run.check("the new version starts and draws its logo", True)
        except Failure as e:
            run.check("the new version starts and draws its logo", False, e)
        try:
            kept = b.wait_for("the old cache to go",
                              lambda: (k := value(b, CACHES)) and len(k) == 1 and k, 20)
            run.check("only the new version's cache is left",
                      kept[0]["name"].endswith(" " + second["version"]), kept)
        except Failure as e:
            run.check("only the new version's cache is left", False, f"{e}: {value(b, CACHES)}")

        # And it is the new version that is read offline from now on.
        site.close()
        site = None
        b.navigate(url)
        try:
            b.wait_for("the new version, offline", lambda: value(b, description) == marked, 20)
            run.check("offline again, the new version is the one kept", True)
        except Failure as e:
            run.check("offline again, the new version is the one kept", False, e)
        run.check("no console errors with the new version", not (late := errors(b)), late)
    finally:
        b.close()
        if site:
            site.close()
        shutil.rmtree(tmp, ignore_errors=True)
    print(f"{run.failed} failed")
    return 1 if run.failed else 0


def firefox_main():
    """The same visit in Firefox, through what its remote protocol offers
    (no DevTools calls): the worker takes the page, the cache holds the
    site, and with the server stopped the magazine starts and draws its logo
    at the folder's address and at the page with a query."""
    from firefox import Firefox
    logo = logo_cells()
    tmp = tempfile.mkdtemp(prefix="quixmag-offline-firefox-")
    folder = os.path.join(tmp, "site")
    shutil.copytree(SITE, folder)
    run = Run()
    listed = site_line(folder)
    site = Site(folder)
    port = site.port
    url = site.url("index.html")
    b = Firefox(sound=False)
    try:
        b.navigate(url)
        b.wait_for("the service worker to control the page",
                   lambda: value(b, "Boolean(navigator.serviceWorker && navigator.serviceWorker.controller)"), 60)
        kept = b.evaluate(CACHES)
        run.check("one cache, named with the site's version, holds every listed file",
                  len(kept) == 1 and kept[0]["name"].endswith(" " + listed["version"])
                  and kept[0]["files"] == len(listed["files"]), kept)
        site.close()
        site = None
        check_offline_starts(run, b, logo, port, url)
    finally:
        b.close()
        if site:
            site.close()
        shutil.rmtree(tmp, ignore_errors=True)
    print(f"firefox: {run.failed} failed")
    return 1 if run.failed else 0


if __name__ == "__main__":
    sys.exit(firefox_main() if "--browser" in sys.argv and "firefox" in sys.argv else main())
