"""A stand-in board for the door end-to-end tests: it writes a drop file,
opens the caller's connection (a socket pair, or a loopback TCP connection
as a telnet board has) and starts the magazine on it with --door, the way a
board hands a door its caller. The test is the caller: what the door sends
goes through pyte decoding code page 437, as a BBS terminal would show it.

    with Caller(emulation=1) as c:
        c.wait_for_text("a r t i c l e s")
        c.key("down", "enter")
"""

import os
import re
import select
import socket
import subprocess
import tempfile
import threading
import time
import unittest

import pyte

from harness import KEYS, Terminal, binary

# Colours by the name pyte gives ANSI colour numbers 30-37 and 40-47, as PC
# colour numbers.
PC_OF_NAME = {"black": 0, "blue": 1, "green": 2, "cyan": 3, "red": 4, "magenta": 5, "brown": 6, "white": 7}

# What the door may send: the cursor moves and colours every ANSI terminal
# of the BBS world knows, cursor shown or hidden, autowrap on or off. Any
# other escape (a question to the terminal, a mode, a character set, a
# title) is a fault.
ALLOWED_ESCAPE = re.compile(rb"\x1b\[(?:[0-9;]*[ABCDHJKfGm]|\?25[hl]|\?7[hl])")
ANY_ESCAPE = re.compile(rb"\x1b(?:\[[0-?]*[ -/]*[@-~]|[^\[])")


def door32(conn_type=2, handle=0, minutes=60, emulation=1, alias="sea dog", name="Ann Reader"):
    """The eleven lines of a DOOR32.SYS, CR LF as boards write them."""
    lines = [str(conn_type), str(handle), "38400", "Harbour Board 2.1", "17", name, alias, "20",
             str(minutes), str(emulation), "3"]
    return "\r\n".join(lines) + "\r\n"


def door_sys(port="COM1:", minutes=60, graphics="GR"):
    """A DOOR.SYS of 52 lines; only the ones the door reads carry meaning."""
    lines = [f"line {n}" for n in range(1, 53)]
    lines[0] = port
    lines[9] = "Ann Reader"
    lines[17] = str(minutes * 60)
    lines[18] = str(minutes)
    lines[19] = graphics
    return "\r\n".join(lines) + "\r\n"


def dorinfo(port="COM1", graphics=1, minutes=60, first="ANN", last="READER"):
    """The thirteen lines of a DORINFOn.DEF, CR LF as boards write them."""
    lines = ["Harbour Board", "SAM", "SYSOP", port, "38400 BAUD,N,8,1", "0", first, last, "Port Town",
             str(graphics), "30", str(minutes), "-1"]
    return "\r\n".join(lines) + "\r\n"


def bad_escapes(output):
    """The escape sequences in Output that a BBS terminal need not know."""
    return [m.group(0) for m in ANY_ESCAPE.finditer(output) if not ALLOWED_ESCAPE.fullmatch(m.group(0))]


def bare_line_feeds(output):
    """Offsets of LFs in Output that no CR comes right before."""
    return [m.start() for m in re.finditer(rb"(?<!\r)\n", output)]


class BbsScreen(pyte.Screen):
    """A screen that keeps blink, which this pyte drops: the terminals of the
    BBS world show it as the bright half of the background (iCE colours).
    A blinking cell's background is named "bright:" and its colour."""

    blink = False

    def select_graphic_rendition(self, *attrs):
        for a in attrs or (0,):
            if a in (0, 25):
                self.blink = False
            elif a == 5:
                self.blink = True
        super().select_graphic_rendition(*attrs)
        base = self.cursor.attrs.bg.split(":")[-1]
        bright = self.blink and base in PC_OF_NAME
        self.cursor.attrs = self.cursor.attrs._replace(bg=("bright:" + base) if bright else base)


class Line(Terminal):
    """The caller's end of a door's connection, Sock, with the door's process
    Proc (a Popen, started by a board): its screen read back through pyte
    decoding code page 437. Telnet: the caller's side undoubles 255 bytes."""

    def __init__(self, sock, proc, telnet=True, stderr=None):
        super().__init__(argv=["door"], start=False, colorterm=None)
        self.sock = sock
        self.proc = proc
        self.telnet = telnet
        # The caller's terminal decodes code page 437, not UTF-8.
        self.screen = BbsScreen(80, 25)
        self.stream = pyte.Stream(self.screen)
        self._pending = b""
        self.started = time.monotonic()
        if stderr is not None:
            self._stderr.close()
            self._stderr = stderr

    def pump(self, timeout=0.0):
        got = False
        while self.sock is not None:
            ready, _, _ = select.select([self.sock], [], [], timeout)
            if not ready:
                return got
            try:
                data = self.sock.recv(65536)
            except OSError:
                return got
            if not data:
                return got
            self.output += data
            data = self._pending + data
            self._pending = b""
            if self.telnet:
                # A lone 255 at the end may be half of a doubled one.
                if data.endswith(b"\xff") and not data.endswith(b"\xff\xff"):
                    self._pending, data = b"\xff", data[:-1]
                data = data.replace(b"\xff\xff", b"\xff")
            self.stream.feed(data.decode("cp437"))
            got = True
            timeout = 0.0

    def send(self, data):
        if isinstance(data, str):
            data = data.encode("cp437")
        self.sock.sendall(data)

    def key(self, *names):
        for name in names:
            self.send(KEYS[name.lower()])
            if name.lower() == "esc":
                time.sleep(0.15)

    def unread(self):
        return 0

    def hang_up(self):
        """The caller drops: the connection is closed from the caller's end."""
        self.sock.close()
        self.sock = None

    def colours(self, x, y):
        """(foreground, background) as PC colours: bold is the bright half of
        the foreground, blink that of the background."""
        c = self.cell(x, y)
        bright_bg = c.bg.startswith("bright:")
        fg = PC_OF_NAME.get(c.fg, 7 if c.fg == "default" else None)
        bg = PC_OF_NAME.get(c.bg.split(":")[-1], 0 if c.bg == "default" else None)
        if fg is None or bg is None:
            raise AssertionError(f"cell {x},{y} has colours {c.fg}/{c.bg}, none of the 16 a BBS terminal has")
        return fg + (8 if c.bold else 0), bg + (8 if bright_bg else 0)

    def close(self):
        if self.sock is not None:
            self.sock.close()
            self.sock = None
        super().close()


class Caller(Line):
    """One caller of the stand-in board. Via: "socketpair" (the board passes
    the descriptor, named on line 2), "tcp" (a loopback connection, the
    descriptor of the board's end named), "stdio" (the connection is the
    door's standard input and output, handle 0). Drop: the drop file's text
    (default: DOOR32.SYS of type 2 for the connection); Handle: the handle
    it names instead of the real one (via "stdio": instead of 0); Program:
    the magazine to run (default: QUIXMAG)."""

    def __init__(self, via="socketpair", emulation=1, minutes=60, args=(), drop=None, telnet=True, env=None,
                 drop_name="DOOR32.SYS", handle=None, program=None):
        self.folder = tempfile.mkdtemp(prefix="quixmag-door-")
        self.tmp = os.path.join(self.folder, "tmp")
        os.mkdir(self.tmp)
        board_end, sock = self._connection(via)
        fd = 0 if via == "stdio" else board_end.fileno()
        self.via = via
        text = drop if drop is not None else door32(handle=fd if handle is None else handle, minutes=minutes,
                                                    emulation=emulation)
        self.drop_path = os.path.join(self.folder, drop_name)
        with open(self.drop_path, "w", newline="") as f:
            f.write(text)
        # A board's environment: no terminal named, and a UTF-8 locale that
        # must not make the door send UTF-8.
        env = dict(Terminal._environment({"TMPDIR": self.tmp, "TERM": None, "LANG": "C.UTF-8", **(env or {})}, None))
        stderr = tempfile.TemporaryFile()
        std = board_end if via == "stdio" else subprocess.DEVNULL
        proc = subprocess.Popen([program or binary(), "--door", self.drop_path, *args], stdin=std, stdout=std, stderr=stderr,
                                env=env, cwd=self.folder, pass_fds=() if via == "stdio" else (fd,),
                                start_new_session=True)
        board_end.close()  # the door has it now
        super().__init__(sock, proc, telnet=telnet, stderr=stderr)

    @staticmethod
    def _connection(via):
        if via in ("socketpair", "stdio"):
            board_end, caller = socket.socketpair()
            return board_end, caller
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        caller = socket.create_connection(listener.getsockname())
        board_end, _ = listener.accept()
        listener.close()
        return board_end, caller

    def close(self):
        super().close()
        subprocess.run(["rm", "-rf", self.folder], check=False)

    def left_behind(self):
        """What the run left in its temporary folder."""
        return os.listdir(self.tmp)


# What a door shows a minute before the caller's time runs out, and what
# its exit screen (and the twin) says.
TIME_NOTICE = "one minute left: then the magazine closes"
EXIT_TEXT = b"see you next issue"


class DoorCase(unittest.TestCase):
    """Tests of one kind of caller (Caller_class): each caller is closed at
    the end of its test. A caller with one minute, who types nothing, is
    started first and watched while the others run (minute_ran_out)."""

    caller_class = None

    @classmethod
    def setUpClass(cls):
        cls.timed = cls.caller_class(minutes=1)
        cls.timed_watch = Watch(cls.timed, [TIME_NOTICE])

    @classmethod
    def tearDownClass(cls):
        cls.timed.close()

    def minute_ran_out(self, wait):
        """Checks that the one-minute caller got the notice, then the exit
        screen at the end of the minute and status 0; answers (seconds to
        the notice, seconds to the end)."""
        caller, watch = self.timed, self.timed_watch
        watch.join(wait)
        self.assertIsNotNone(watch.ended, "the door ended")
        self.assertEqual(caller.proc.returncode, 0)
        self.assertIn(TIME_NOTICE, watch.seen, "the notice was shown")
        ended = watch.ended - caller.started
        self.assertGreaterEqual(ended, 60.0)
        self.assertIn(EXIT_TEXT, bytes(caller.output), "the exit screen was shown")
        self.check_bytes(caller)
        return watch.seen[TIME_NOTICE] - caller.started, ended

    def call(self, **kw):
        caller = self.caller_class(**kw)
        self.addCleanup(caller.close)
        return caller

    def check_bytes(self, caller):
        out = bytes(caller.output)
        self.assertEqual(bad_escapes(out), [], "only what every BBS terminal knows")
        self.assertEqual(bare_line_feeds(out), [], "every LF comes after a CR")

    def check_plain_bytes(self, out, who=""):
        """A caller without ANSI gets printable ASCII with CR LF line ends, and
        of the control bytes only those a plain terminal acts on."""
        strays = sorted({b for b in out if (b < 32 and b not in (8, 7, 10, 12, 13)) or b >= 127})
        self.assertEqual(strays, [], f"{who}only printable ASCII, CR and LF")
        self.assertNotIn(b"\x1b", out)
        self.assertEqual(bare_line_feeds(out), [], f"{who}every LF comes after a CR")


class Watch(threading.Thread):
    """Reads a caller's screen in the background until its door ends (or
    Limit seconds pass), as a caller who sits and watches does: a caller
    nobody reads would fill the connection, and the door would take the
    caller for gone. Seen: when each of Texts was first on the screen
    (time.monotonic()). Only this thread touches the caller until joined."""

    def __init__(self, caller, texts, limit=180):
        super().__init__(daemon=True)
        self.caller, self.texts, self.limit = caller, texts, limit
        self.seen = {}
        self.ended = None
        self.start()

    def run(self):
        deadline = time.monotonic() + self.limit
        while time.monotonic() < deadline:
            self.caller.pump(0.05)
            for text in self.texts:
                if text not in self.seen and self.caller.find(text):
                    self.seen[text] = time.monotonic()
            if self.caller.proc.poll() is not None and not self.caller.pump(0.05):
                self.ended = time.monotonic()
                return
