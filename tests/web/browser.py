"""Headless Chromium driven through the DevTools protocol over a pipe, and a
static web server on the loopback address: what the web edition's tests and
benchmark need, with the Python standard library alone. firefox.py drives
Firefox with the same methods; open_browser() starts the one QUIX_BROWSER
names.

The browser is Debian's /usr/bin/chromium. It speaks the protocol on file
descriptors 3 (commands in) and 4 (answers and events out), one JSON
message per NUL-ended chunk. Every wait here is bounded.
"""
import base64
import functools
import gzip
import http.server
import json
import os
import queue
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

CHROMIUM = os.environ.get("CHROMIUM", "/usr/bin/chromium")


class Failure(Exception):
    pass


# --- The site on 127.0.0.1, on a port chosen free at run time ---------------

class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{".wasm": "application/wasm", ".js": "text/javascript"})

    def log_message(self, *args):
        pass


class _GzipHandler(_QuietHandler):
    """Serves every file gzipped to a client that accepts it, as a real web
    server does: FILE.gz when the site carries one, else FILE packed once
    with gzip -9."""
    packed = {}
    lock = threading.Lock()

    def do_GET(self):
        path = self.translate_path(self.path)
        if "gzip" not in self.headers.get("Accept-Encoding", "") or not os.path.isfile(path):
            return super().do_GET()
        key = (path, os.stat(path).st_mtime_ns)
        with self.lock:
            if key not in self.packed:
                if os.path.isfile(path + ".gz"):
                    with open(path + ".gz", "rb") as f:
                        self.packed[key] = f.read()
                else:
                    with open(path, "rb") as f:
                        self.packed[key] = gzip.compress(f.read(), 9)
            data = self.packed[key]
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Vary", "Accept-Encoding")
        self.end_headers()
        self.wfile.write(data)


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # A browser that leaves a page (or ends) drops what it was fetching.
        if not isinstance(sys.exc_info()[1], (BrokenPipeError, ConnectionResetError)):
            super().handle_error(request, client_address)


class Site:
    def __init__(self, folder, gzip=False):
        handler = functools.partial(_GzipHandler if gzip else _QuietHandler, directory=folder)
        self.server = _Server(("127.0.0.1", 0), handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path=""):
        return f"http://127.0.0.1:{self.port}/{path}"

    def close(self):
        self.server.shutdown()
        self.server.server_close()


# --- The browser ---------------------------------------------------------------

BROWSERS = ("chromium", "firefox")


def browser_name():
    """The browser the tests run in: QUIX_BROWSER, Chromium by default."""
    name = os.environ.get("QUIX_BROWSER", "chromium")
    if name not in BROWSERS:
        raise Failure(f"QUIX_BROWSER={name}: not one of {', '.join(BROWSERS)}")
    return name


def open_browser(name=None, **options):
    """A Chromium or a Firefox driver; Options as Browser() takes them."""
    if (name or browser_name()) == "firefox":
        from firefox import Firefox
        return Firefox(**options)
    return Browser(**options)


class Driver:
    """What the Chromium and the Firefox drivers share: answers awaited by
    the id of their command, and bounded waits for the page."""

    def _init_answers(self):
        self._next_id = 0
        self._answers = {}
        self._answered = threading.Condition()

    def _await_answer(self, ident, method, timeout):
        """The answer to command Ident (the reader thread files it, or None
        when the browser went away); Failure after Timeout."""
        deadline = time.monotonic() + timeout
        with self._answered:
            while ident not in self._answers:
                if None in self._answers:
                    raise Failure(f"the browser went away during {method}")
                left = deadline - time.monotonic()
                if left <= 0:
                    raise Failure(f"no answer to {method} in {timeout} s")
                self._answered.wait(left)
            return self._answers.pop(ident)

    def wait_for(self, what, check, timeout, every=0.05):
        """Calls Check until it answers something true; fails after Timeout."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            last = check()
            if last:
                return last
            time.sleep(every)
        raise Failure(f"timed out after {timeout} s waiting for {what}")


class Browser(Driver):
    """One headless Chromium with one page, attached in flat mode.

    Touch: a touch screen (coarse pointer, touch points) from the start."""

    name = "chromium"

    def __init__(self, sound=True, downloads=None, width=1280, height=900, touch=False):
        self.width, self.height, self.touch = width, height, touch
        self.profile = tempfile.mkdtemp(prefix="quixmag-chromium-")
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def child_fds():
            # Out of the way first, so that neither lands on the other's place.
            commands = os.dup(to_browser_r) if to_browser_r == 4 else to_browser_r
            os.dup2(commands, 3)
            os.dup2(from_browser_w, 4)

        args = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                "--no-first-run", "--disable-background-networking", "--disable-component-update",
                "--disable-sync", f"--user-data-dir={self.profile}", "--remote-debugging-pipe",
                f"--window-size={width},{height}", "--mute-audio"]
        if sound:
            args.append("--autoplay-policy=no-user-gesture-required")
        self.process = subprocess.Popen(args, preexec_fn=child_fds, pass_fds=(3, 4),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._init_answers()
        self.events = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.session = None
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        for domain in ("Page", "Runtime", "Performance"):
            self.call(f"{domain}.enable")
        if touch:
            self.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        if downloads:
            self.call("Browser.setDownloadBehavior", behavior="allow", downloadPath=downloads,
                      eventsEnabled=True, session=False)

    def _read(self):
        pending = b""
        while True:
            try:
                chunk = os.read(self._from_browser, 1 << 16)
            except OSError:
                chunk = b""
            if not chunk:
                with self._answered:
                    self._answers[None] = True
                    self._answered.notify_all()
                return
            pending += chunk
            while b"\0" in pending:
                raw, pending = pending.split(b"\0", 1)
                message = json.loads(raw)
                if "id" in message:
                    with self._answered:
                        self._answers[message["id"]] = message
                        self._answered.notify_all()
                else:
                    self.events.put(message)

    def call(self, method, timeout=30, session=True, **params):
        self._next_id += 1
        ident = self._next_id
        message = {"id": ident, "method": method, "params": params}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        answer = self._await_answer(ident, method, timeout)
        if "error" in answer:
            raise Failure(f"{method}: {answer['error']}")
        return answer.get("result", {})

    def evaluate(self, expression, timeout=30):
        result = self.call("Runtime.evaluate", timeout=timeout, expression=expression,
                           returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise Failure(f"{expression[:60]}: {result['exceptionDetails'].get('text')} "
                          f"{result['exceptionDetails'].get('exception', {}).get('description', '')}")
        return result["result"].get("value")

    def navigate(self, url):
        self.call("Page.navigate", url=url)

    # Keys as the page sees them: KeyboardEvent.key and .code, modifiers
    # (1 Alt, 2 Ctrl, 4 Meta, 8 Shift in the protocol's numbering).
    def key(self, key, code=None, vk=0, text=None, modifiers=0):
        code = code or key
        down = {"type": "keyDown" if text else "rawKeyDown", "key": key, "code": code,
                "windowsVirtualKeyCode": vk, "modifiers": modifiers}
        if text:
            down["text"] = text
        self.call("Input.dispatchKeyEvent", **down)
        self.call("Input.dispatchKeyEvent", type="keyUp", key=key, code=code,
                  windowsVirtualKeyCode=vk, modifiers=modifiers)

    def char(self, ch):
        """A printable ASCII character typed on a US keyboard."""
        if ch.isalpha():
            code = "Key" + ch.upper()
            self.key(ch, code, ord(ch.upper()), text=ch, modifiers=8 if ch.isupper() else 0)
        elif ch.isdigit():
            self.key(ch, "Digit" + ch, ord(ch), text=ch)
        else:
            names = {" ": ("Space", 32), ".": ("Period", 190), "-": ("Minus", 189), "_": ("Minus", 189),
                     "+": ("Equal", 187), "/": ("Slash", 191), "*": ("Digit8", 56)}
            code, vk = names[ch]
            self.key(ch, code, vk, text=ch, modifiers=8 if ch in "_+*" else 0)

    def add_init_script(self, source):
        """Source runs in every document loaded from now on, before the page's own."""
        self.call("Page.addScriptToEvaluateOnNewDocument", source=source)

    # --- Pointers: the events a mouse or a finger makes ---------------------------

    def click(self, x, y):
        """A left mouse click at (X, Y) in CSS pixels."""
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def tap(self, x, y):
        """A finger's tap at (X, Y): pointer events of pointerType "touch"."""
        self.call("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": x, "y": y}])
        self.call("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def swipe(self, x, y0, y1, steps=8, ms=200):
        """A finger drawn from (X, Y0) to (X, Y1) in Steps moves over Ms milliseconds."""
        self.call("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": x, "y": y0}])
        for i in range(1, steps + 1):
            time.sleep(ms / steps / 1000)
            self.call("Input.dispatchTouchEvent", type="touchMove",
                      touchPoints=[{"x": x, "y": y0 + (y1 - y0) * i / steps}])
        self.call("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    # --- The screen the page is shown on -------------------------------------------

    def set_viewport(self, width, height, scale=1.0):
        """The page's viewport in CSS pixels and its device pixel ratio; with
        touch, as a phone's (mobile)."""
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=scale, mobile=self.touch)
        self.width, self.height = width, height

    def accessible(self, role=None, name=None):
        """The nodes of the page's accessibility tree, as {role, name}, that
        have this Role and accessible Name (either or both may be left out);
        Chromium's roles, e.g. "button", "Canvas", "StaticText"."""
        found = []
        for node in self.call("Accessibility.getFullAXTree")["nodes"]:
            if node.get("ignored"):
                continue
            r, n = node.get("role", {}).get("value"), node.get("name", {}).get("value")
            if (role is None or r == role) and (name is None or n == name):
                found.append({"role": r, "name": n})
        return found

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        try:
            self.call("Browser.close", timeout=5, session=False)
        except Failure:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(timeout=10)
        for fd in (self._to_browser, self._from_browser):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)
