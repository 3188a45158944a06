"""Headless Firefox driven through WebDriver BiDi, with the same methods as
the Chromium driver in browser.py, and the Python standard library alone.

The browser is Debian's /usr/bin/firefox-esr, started on a fresh profile with
--remote-debugging-port=0: it picks a free port and writes it to the profile's
WebDriverBiDiServer.json. Its commands and answers are JSON text messages
over a WebSocket on the loopback address; the WebSocket client below is the
little of the protocol a local, trusted peer needs (masked frames out, no
extensions, fragments joined, pings answered). Every wait here is bounded.
"""
import base64
import hashlib
import json
import os
import queue
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time

from browser import Driver, Failure

FIREFOX = os.environ.get("FIREFOX", "/usr/bin/firefox-esr")


# --- A WebSocket client --------------------------------------------------------

class _Socket:
    GUID = b"258EAFA5-E914-47DA-95CA-C5AB0DC85B11"

    def __init__(self, host, port, path, timeout=10):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        key = base64.b64encode(os.urandom(16))
        self.sock.sendall(b"GET " + path.encode() + b" HTTP/1.1\r\nHost: " + f"{host}:{port}".encode()
                          + b"\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + key
                          + b"\r\nSec-WebSocket-Version: 13\r\n\r\n")
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise Failure("the browser closed the WebSocket during the handshake")
            head += chunk
        head, self.pending = head.split(b"\r\n\r\n", 1)
        lines = head.decode("latin-1").split("\r\n")
        if " 101 " not in lines[0] + " ":
            raise Failure(f"WebSocket handshake refused: {lines[0]}")
        fields = {k.strip().lower(): v.strip() for k, v in (line.split(":", 1) for line in lines[1:] if ":" in line)}
        want = base64.b64encode(hashlib.sha1(key + self.GUID).digest()).decode()
        if fields.get("sec-websocket-accept") != want:
            raise Failure("WebSocket handshake: wrong Sec-WebSocket-Accept")
        self.sock.settimeout(None)
        self._sending = threading.Lock()

    def _send_frame(self, opcode, payload):
        n = len(payload)
        if n < 126:
            head = struct.pack("!BB", 0x80 | opcode, 0x80 | n)
        elif n < 1 << 16:
            head = struct.pack("!BBH", 0x80 | opcode, 0x80 | 126, n)
        else:
            head = struct.pack("!BBQ", 0x80 | opcode, 0x80 | 127, n)
        mask = os.urandom(4)
        # Masking a byte string at once: XOR as big integers.
        repeated = (mask * (n // 4 + 1))[:n]
        masked = (int.from_bytes(payload, "big") ^ int.from_bytes(repeated, "big")).to_bytes(n, "big")
        with self._sending:
            self.sock.sendall(head + mask + masked)

    def send(self, text):
        self._send_frame(0x1, text.encode())

    def _read(self, n):
        while len(self.pending) < n:
            chunk = self.sock.recv(1 << 16)
            if not chunk:
                raise EOFError
            self.pending += chunk
        out, self.pending = self.pending[:n], self.pending[n:]
        return out

    def receive(self):
        """The next whole text message; EOFError once the peer has closed."""
        parts = []
        while True:
            b0, b1 = self._read(2)
            opcode, n = b0 & 0x0F, b1 & 0x7F
            if n == 126:
                n = struct.unpack("!H", self._read(2))[0]
            elif n == 127:
                n = struct.unpack("!Q", self._read(8))[0]
            mask = self._read(4) if b1 & 0x80 else None
            payload = self._read(n)
            if mask:
                payload = bytes(c ^ mask[i % 4] for i, c in enumerate(payload))
            if opcode == 0x8:
                raise EOFError
            if opcode == 0x9:
                self._send_frame(0xA, payload)
                continue
            if opcode in (0x1, 0x2, 0x0):
                parts.append(payload)
                if b0 & 0x80:
                    return b"".join(parts).decode()

    def close(self):
        try:
            self._send_frame(0x8, struct.pack("!H", 1000))
        except OSError:
            pass
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()


# --- Values out of the page ---------------------------------------------------

def _value(remote):
    """A BiDi remote value as the Python value JSON would give."""
    kind, v = remote.get("type"), remote.get("value")
    if kind in ("undefined", "null"):
        return None
    if kind == "number":
        return {"NaN": float("nan"), "-0": -0.0, "Infinity": float("inf"),
                "-Infinity": float("-inf")}.get(v, v) if isinstance(v, str) else v
    if kind in ("string", "boolean"):
        return v
    if kind == "bigint":
        return int(v)
    if kind in ("array", "set"):
        return [_value(item) for item in v or []]
    if kind in ("object", "map"):
        return {(k if isinstance(k, str) else str(_value(k))): _value(item) for k, item in v or []}
    return v  # a node, a function and the like: its description


# --- The browser ---------------------------------------------------------------

# KeyboardEvent.key of the named keys, the WebDriver value that types each,
# and the code that value gives.
_NAMED_KEYS = {
    "Enter": ("\uE006", "Enter"), "Escape": ("\uE00C", "Escape"), "Backspace": ("\uE003", "Backspace"),
    "Tab": ("\uE004", "Tab"), " ": ("\uE00D", "Space"), "PageUp": ("\uE00E", "PageUp"),
    "PageDown": ("\uE00F", "PageDown"), "End": ("\uE010", "End"), "Home": ("\uE011", "Home"),
    "ArrowLeft": ("\uE012", "ArrowLeft"), "ArrowUp": ("\uE013", "ArrowUp"),
    "ArrowRight": ("\uE014", "ArrowRight"), "ArrowDown": ("\uE015", "ArrowDown"),
    "Insert": ("\uE016", "Insert"), "Delete": ("\uE017", "Delete"),
    **{f"F{n}": (chr(0xE031 + n - 1), f"F{n}") for n in range(1, 13)},
}
# The protocol's modifier bits as Browser.key takes them, and their keys.
_MODIFIERS = ((1, "\uE00A"), (2, "\uE009"), (4, "\uE03D"), (8, "\uE008"))


class Firefox(Driver):
    """One headless Firefox with its one tab, over a WebDriver BiDi session."""

    name = "firefox"

    def __init__(self, sound=True, downloads=None, width=1280, height=900, touch=False):
        self.width, self.height = width, height
        self.profile = tempfile.mkdtemp(prefix="quixmag-firefox-")
        self._prefs(sound, downloads, touch)
        self.process = subprocess.Popen(
            [FIREFOX, "--headless", "--no-remote", "--remote-debugging-port=0", "--profile", self.profile,
             "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._init_answers()
        self.events = queue.Queue()
        self.ws = None
        try:
            self._connect()
        except BaseException:
            self.close()
            raise

    def _prefs(self, sound, downloads, touch):
        prefs = {
            # Nothing fetched behind the page's back, nothing shown first.
            "app.update.auto": False, "app.update.disabledForTesting": True,
            "browser.shell.checkDefaultBrowser": False, "browser.startup.page": 0,
            "browser.startup.homepage_override.mstone": "ignore", "startup.homepage_welcome_url": "",
            "startup.homepage_welcome_url.additional": "", "browser.aboutwelcome.enabled": False,
            "browser.newtabpage.enabled": False, "browser.sessionstore.resume_from_crash": False,
            "browser.safebrowsing.malware.enabled": False, "browser.safebrowsing.phishing.enabled": False,
            "browser.safebrowsing.downloads.enabled": False, "browser.safebrowsing.update.enabled": False,
            "browser.search.update": False, "browser.region.update.enabled": False,
            "browser.region.network.url": "", "browser.topsites.contile.enabled": False,
            "datareporting.policy.dataSubmissionEnabled": False, "datareporting.healthreport.uploadEnabled": False,
            "toolkit.telemetry.enabled": False, "toolkit.telemetry.unified": False,
            "toolkit.telemetry.server": "", "extensions.update.enabled": False,
            "extensions.systemAddon.update.enabled": False, "extensions.getAddons.cache.enabled": False,
            "extensions.blocklist.enabled": False, "services.settings.server": "http://127.0.0.1:9/",
            "media.gmp-manager.updateEnabled": False, "media.gmp-gmpopenh264.enabled": False,
            "media.gmp-widevinecdm.enabled": False, "network.captive-portal-service.enabled": False,
            "network.connectivity-service.enabled": False, "captivedetect.canonicalURL": "",
            "network.dns.disablePrefetch": True, "network.prefetch-next": False,
            "network.http.speculative-parallel-limit": 0, "dom.push.connection.enabled": False,
            "geo.provider.network.url": "", "browser.ping-centre.telemetry": False,
            # The page's own audio, heard or not, and never through speakers.
            "media.autoplay.default": 0 if sound else 1, "media.autoplay.blocking_policy": 0,
            # With no sound device (a server, a CI runner) the audio context
            # would never start: Firefox's own stand-in device plays instead,
            # as Chromium's headless mode does, and nothing reaches speakers.
            "media.cubeb.force_mock_context": True,
            # The tree that assistive technology reads.
            "accessibility.force_disabled": -1,
        }
        if downloads:
            prefs.update({
                "browser.download.folderList": 2, "browser.download.dir": downloads,
                "browser.download.useDownloadDir": True, "browser.download.always_ask_before_handling_new_types": False,
                "browser.download.manager.showWhenStarting": False, "browser.download.alwaysOpenPanel": False,
                "browser.download.start_downloads_in_tmp_dir": False,
                "browser.helperApps.neverAsk.saveToDisk": "text/plain,application/octet-stream",
            })
        if touch:
            # A phone's pointer: a finger, coarse, that cannot hover.
            prefs.update({"ui.primaryPointerCapabilities": 1, "ui.allPointerCapabilities": 1})
        with open(os.path.join(self.profile, "user.js"), "w") as f:
            for name, value in prefs.items():
                f.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")

    def _connect(self):
        where = os.path.join(self.profile, "WebDriverBiDiServer.json")
        deadline = time.monotonic() + 30
        while True:
            if self.process.poll() is not None:
                raise Failure(f"{FIREFOX} ended at start with status {self.process.returncode}")
            try:
                with open(where) as f:
                    server = json.load(f)
                self.ws = _Socket(server["ws_host"], server["ws_port"], "/session")
                break
            except (OSError, ValueError, KeyError):
                if time.monotonic() > deadline:
                    raise Failure("Firefox did not open its WebDriver BiDi port in 30 s")
                time.sleep(0.1)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.call("session.new", capabilities={"alwaysMatch": {"unhandledPromptBehavior": {"default": "dismiss"}}})
        self.context = self.call("browsingContext.getTree", maxDepth=0)["contexts"][0]["context"]
        # The page gets the whole window, as in headless Chromium.
        self.set_viewport(self.width, self.height)

    def _read(self):
        while True:
            try:
                message = json.loads(self.ws.receive())
            except (EOFError, OSError, ValueError):
                with self._answered:
                    self._answers[None] = True
                    self._answered.notify_all()
                return
            if message.get("id") is not None:
                with self._answered:
                    self._answers[message["id"]] = message
                    self._answered.notify_all()
            else:
                self.events.put(message)

    def call(self, method, timeout=30, **params):
        """One BiDi command; its result, or Failure with the browser's error."""
        with self._answered:
            self._next_id += 1
            ident = self._next_id
        self.ws.send(json.dumps({"id": ident, "method": method, "params": params}))
        answer = self._await_answer(ident, method, timeout)
        if answer.get("type") == "error":
            raise Failure(f"{method}: {answer.get('error')}: {answer.get('message')}")
        return answer.get("result", {})

    def evaluate(self, expression, timeout=30):
        result = self.call("script.evaluate", timeout=timeout, expression=expression,
                           target={"context": self.context}, awaitPromise=True, resultOwnership="none")
        if result.get("type") == "exception":
            details = result.get("exceptionDetails", {})
            raise Failure(f"{expression[:60]}: {details.get('text')}")
        return _value(result["result"])

    def navigate(self, url):
        # As Chromium's Page.navigate: back once the new document is there,
        # not when it has loaded everything.
        self.call("browsingContext.navigate", context=self.context, url=url, wait="interactive")

    def add_init_script(self, source):
        """Source runs in every document loaded from now on, before the page's own."""
        self.call("script.addPreloadScript", functionDeclaration="() => {\n" + source + "\n}")

    # --- Input: real key and pointer events, as the browser makes them ---------

    def _actions(self, *sources):
        self.call("input.performActions", context=self.context, actions=list(sources))

    def key(self, key, code=None, vk=0, text=None, modifiers=0):
        """The Chromium driver's key(): Key is KeyboardEvent.key; Code must be
        the one a US keyboard gives it (WebDriver derives it from the key);
        Vk and Text are implied by the key."""
        if key in _NAMED_KEYS:
            value, own = _NAMED_KEYS[key]
        elif len(key) == 1:
            value, own = key, None
        else:
            raise Failure(f"no WebDriver key for {key!r}")
        if code and own and code != own:
            raise Failure(f"WebDriver types {key!r} as {own}, not {code}")
        held = [k for bit, k in _MODIFIERS if modifiers & bit]
        steps = [{"type": "keyDown", "value": k} for k in held]
        steps += [{"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]
        steps += [{"type": "keyUp", "value": k} for k in reversed(held)]
        self._actions({"type": "key", "id": "keyboard", "actions": steps})

    def char(self, ch):
        """A printable ASCII character typed on a US keyboard."""
        self.key(ch, modifiers=8 if ch.isupper() or ch in '~!@#$%^&*()_+{}|:"<>?' else 0)

    def _pointer(self, kind, steps):
        self._actions({"type": "pointer", "id": kind, "parameters": {"pointerType": kind}, "actions": steps})

    def click(self, x, y):
        """A left mouse click at (X, Y) in CSS pixels."""
        self._pointer("mouse", [{"type": "pointerMove", "x": round(x), "y": round(y)},
                                {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}])

    def tap(self, x, y):
        """A finger's tap at (X, Y): pointer events of pointerType "touch"."""
        self._pointer("touch", [{"type": "pointerMove", "x": round(x), "y": round(y)},
                                {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}])

    def swipe(self, x, y0, y1, steps=8, ms=200):
        """A finger drawn from (X, Y0) to (X, Y1) in Steps moves over Ms milliseconds."""
        moves = [{"type": "pointerMove", "x": round(x), "y": round(y0 + (y1 - y0) * i / steps),
                  "duration": ms // steps} for i in range(1, steps + 1)]
        self._pointer("touch", [{"type": "pointerMove", "x": round(x), "y": round(y0)},
                                {"type": "pointerDown", "button": 0}, *moves, {"type": "pointerUp", "button": 0}])

    # --- The screen the page is shown on -----------------------------------------

    def set_viewport(self, width, height, scale=1.0):
        """The page's viewport in CSS pixels and its device pixel ratio."""
        self.call("browsingContext.setViewport", context=self.context,
                  viewport={"width": width, "height": height}, devicePixelRatio=scale)
        self.width, self.height = width, height

    def accessible(self, role=None, name=None):
        """The page's elements that assistive technology sees with this Role
        and accessible Name (either may be left out), as {tag, id, role,
        name}. BiDi has no whole accessibility tree: it finds the nodes that
        match a role and a name, so Role and Name here are the ones asked."""
        value = {k: v for k, v in (("role", role), ("name", name)) if v is not None}
        nodes = self.call("browsingContext.locateNodes", context=self.context,
                          locator={"type": "accessibility", "value": value})["nodes"]
        return [{"tag": n["value"].get("localName"), "id": n["value"].get("attributes", {}).get("id"),
                 "role": role, "name": name} for n in nodes]

    def screenshot(self, path):
        data = self.call("browsingContext.captureScreenshot", context=self.context)["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        if self.ws:
            try:
                self.call("browser.close", timeout=5)
            except Failure:
                pass
            self.ws.close()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(timeout=10)
        shutil.rmtree(self.profile, ignore_errors=True)
