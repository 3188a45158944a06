"""End-to-end harness: the real program in a pseudo-terminal, its screen read
back through a terminal emulator (pyte).

    with Terminal() as t:              # runs $QUIXMAG --silent in an 80x25 pty
        t.wait_for_text("e d i t o r i a l")
        t.key("down", "enter")
        print(t.row(10), t.attr(53, 10))
        t.send("x")
        assert t.wait_exit() == 0

The child gets the pty as its controlling terminal (so Ctrl+C would raise
SIGINT if the program left signals on), TERM=xterm-256color, LANG=C.UTF-8 and
COLORTERM=truecolor, so that cell colours read back exactly. Rows and
columns are 1-based, like the program's own coordinates. The child is always
killed when the Terminal is closed, whatever happened.
"""

import fcntl
import os
import select
import shutil
import struct
import subprocess
import tempfile
import termios
import time

import pyte

# Bytes an xterm sends for the keys tests press.
KEYS = {
    "enter": b"\r", "esc": b"\x1b", "tab": b"\t", "backspace": b"\x7f",
    "space": b" ", "shift+tab": b"\x1b[Z",
    "up": b"\x1b[A", "down": b"\x1b[B", "right": b"\x1b[C", "left": b"\x1b[D",
    "home": b"\x1b[H", "end": b"\x1b[F", "pgup": b"\x1b[5~", "pgdn": b"\x1b[6~",
    "ins": b"\x1b[2~", "del": b"\x1b[3~",
    "f1": b"\x1bOP", "f2": b"\x1bOQ", "f3": b"\x1bOR", "f4": b"\x1bOS",
    "f5": b"\x1b[15~", "f6": b"\x1b[17~", "f7": b"\x1b[18~", "f8": b"\x1b[19~",
    "f9": b"\x1b[20~", "f10": b"\x1b[21~", "f11": b"\x1b[23~", "f12": b"\x1b[24~",
    "ctrl+up": b"\x1b[1;5A", "ctrl+down": b"\x1b[1;5B",
    "ctrl+left": b"\x1b[1;5D", "ctrl+right": b"\x1b[1;5C",
}

# The program waits this long after it read an ESC before it takes it as
# the Esc key (plus a margin): a key it reads sooner is Alt+key.
ESC_SETTLE = 0.12
ESC_WAIT = 0.05

# The 16 PC colours as the program sends them in true-colour mode.
VGA = ["000000", "0000aa", "00aa00", "00aaaa", "aa0000", "aa00aa", "aa5500", "aaaaaa",
       "555555", "5555ff", "55ff55", "55ffff", "ff5555", "ff55ff", "ffff55", "ffffff"]


def binary():
    """The program under test: $QUIXMAG."""
    path = os.environ.get("QUIXMAG")
    if not path:
        raise RuntimeError("set QUIXMAG to the path of the quixmag binary")
    return path


# The record of the run that owns a working folder (its process id and start
# time): it stays as long as the folder and is no working file.
OWNER_RECORD = "owner"


def files_of_run(folder):
    """The working files in the run's folder Folder, without its owner
    record, sorted."""
    return sorted(name for name in os.listdir(folder) if name != OWNER_RECORD)


def working_files(tmpdir):
    """Every file and folder the program left under the temporary folder
    Tmpdir, as paths relative to it, sorted."""
    found = []
    for root, dirs, files in os.walk(tmpdir):
        for name in dirs + files:
            found.append(os.path.relpath(os.path.join(root, name), tmpdir))
    return sorted(found)


def ctrl(letter):
    """The byte of Ctrl+letter."""
    return bytes([ord(letter.lower()) & 0x1F])


# The request for the cursor shape (DECRQSS for DECSCUSR).
SHAPE_REQUEST = b"\x1bP$q q\x1b\\"


class Terminal:
    """One run of a program in a pseudo-terminal with an emulated screen."""

    def __init__(self, args=None, cols=80, rows=25, env=None, argv=None, cwd=None,
                 stdin=None, colorterm="truecolor", start=True, preexec=None, stdout=None, answers=None,
                 cursor_shape=None):
        """Args: the program's arguments (default: --silent). Argv: a whole
        command line instead of $QUIXMAG and Args. Env: variables added to
        the defaults (a value of None removes one). Cwd: the working folder
        (default: a fresh temporary one, removed at the end). Stdin: None for
        the pty, or anything subprocess accepts (such as subprocess.DEVNULL).
        Stdout: None for the pty, or a file descriptor. Preexec: called in the
        child just before the program starts (limits, another user).
        Answers: None, the emulator answers no request (as pyte does);
        "utf8" or "8bit", it answers cursor position requests as a UTF-8
        or an 8-bit terminal would (its columns count characters or
        bytes). Cursor_shape: None, the request for the cursor shape goes
        unanswered (as in pyte); a number, the emulator answers that it
        has that shape (DECSCUSR), as xterm does."""
        self.argv = list(argv) if argv else [binary()] + list(["--silent"] if args is None else args)
        self.cols, self.rows = cols, rows
        self._own_cwd = cwd is None
        self.cwd = tempfile.mkdtemp(prefix="quixmag-e2e-") if cwd is None else cwd
        self.stdin = stdin
        self.stdout = stdout
        self.preexec = preexec
        self.env = self._environment(env or {}, colorterm)
        self.proc = None
        self.screen = pyte.Screen(cols, rows)
        self.stream = pyte.ByteStream(self.screen)
        if answers:
            self.screen.write_process_input = lambda data: self.send(data)
            self.stream.use_utf8 = answers == "utf8"
        self.cursor_shape = cursor_shape
        self.output = bytearray()
        self.master, self.slave = os.openpty()
        self._set_size(cols, rows)
        self._stderr = tempfile.TemporaryFile()
        if start:
            self.start()

    @staticmethod
    def _environment(extra, colorterm):
        env = dict(os.environ)
        # SSH_CONNECTION and QUIXMAG_PUBLIC would switch music or saving off.
        for name in ("LC_ALL", "LC_CTYPE", "COLORTERM", "COLUMNS", "LINES", "SSH_CONNECTION", "REMOTEHOST",
                     "QUIXMAG_PUBLIC"):
            env.pop(name, None)
        env.update(TERM="xterm-256color", LANG="C.UTF-8")
        if colorterm:
            env["COLORTERM"] = colorterm
        for name, value in extra.items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        return env

    def _set_size(self, cols, rows):
        fcntl.ioctl(self.master, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))

    # --- life of the child ---------------------------------------------------

    def start(self):
        def take_terminal():
            # A session of its own with the pty as controlling terminal:
            # job-control keys and hang-ups work as in a real terminal.
            if self.stdin is None:
                fcntl.ioctl(0, termios.TIOCSCTTY, 0)
            if self.preexec:
                self.preexec()

        self.proc = subprocess.Popen(
            self.argv, stdin=self.slave if self.stdin is None else self.stdin,
            stdout=self.slave if self.stdout is None else self.stdout, stderr=self._stderr, env=self.env, cwd=self.cwd,
            start_new_session=True, preexec_fn=take_terminal, close_fds=True)
        return self

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def stopped(self):
        """Whether the child is stopped (job control)."""
        try:
            with open(f"/proc/{self.proc.pid}/stat") as f:
                return f.read().rsplit(")", 1)[1].split()[0] == "T"
        except OSError:
            return False

    def signal(self, sig):
        self.proc.send_signal(sig)

    def wait_exit(self, timeout=20):
        """Reads the screen until the child ends; answers its exit status
        (minus the signal number when a signal ended it)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.pump(0.05)
            if self.proc.poll() is not None:
                self.pump(0.05)
                return self.proc.returncode
        raise AssertionError(f"the program did not end within {timeout} s\n{self.dump()}")

    def expect_exit(self, status, timeout=20):
        """Waits for the child's end; fails with the screen and standard
        error unless it ended with Status."""
        got = self.wait_exit(timeout)
        if got != status:
            raise AssertionError(f"the program ended with {got}, not {status}\n{self.dump()}")

    def close(self):
        if self.proc is not None:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
            if self.proc.stdin:
                self.proc.stdin.close()
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass
        self.master = self.slave = -1
        self._stderr.close()
        if self._own_cwd:
            shutil.rmtree(self.cwd, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def stderr(self):
        self._stderr.seek(0)
        return self._stderr.read().decode("utf-8", "replace")

    # --- the terminal ----------------------------------------------------------

    def stty(self):
        """The pty's settings as `stty -a` reports them."""
        return subprocess.run(["stty", "-a"], stdin=self.slave, capture_output=True,
                              text=True, check=True).stdout

    def resize(self, cols, rows):
        """Resizes the pty (the child gets SIGWINCH) and the emulated screen."""
        self.cols, self.rows = cols, rows
        self.screen.resize(rows, cols)
        self._set_size(cols, rows)

    def pump(self, timeout=0.0):
        """Feeds whatever the child wrote (waiting up to Timeout seconds for
        the first bytes) into the emulator; answers whether anything came."""
        got = False
        while True:
            ready, _, _ = select.select([self.master], [], [], timeout)
            if not ready:
                return got
            try:
                data = os.read(self.master, 65536)
            except OSError:
                return got
            if not data:
                return got
            self.output += data
            # The shape request comes before the position request, and so
            # does its answer.
            if self.cursor_shape is not None and SHAPE_REQUEST in data:
                self.send(b"\x1bP1$r%d q\x1b\\" % self.cursor_shape)
            self.stream.feed(data)
            got = True
            timeout = 0.0

    def idle(self, seconds):
        """Keeps reading the screen for Seconds (pump returns as soon as a
        first burst has come, so it is no way to wait)."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.pump(0.05)

    def wait_for_file(self, path, timeout=15):
        """Reads the screen until Path exists."""
        deadline = time.monotonic() + timeout
        while not os.path.exists(path):
            if time.monotonic() > deadline:
                raise AssertionError(f"{path} not written within {timeout} s\n{self.dump()}")
            self.pump(0.05)

    def settle(self, quiet=0.3, timeout=10):
        """Reads until the child has written nothing for Quiet seconds."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not self.pump(quiet):
                return
        raise AssertionError(f"the screen did not settle within {timeout} s\n{self.dump()}")

    # --- keys ----------------------------------------------------------------------

    def send(self, data):
        """Types raw bytes (or text, sent as UTF-8)."""
        if isinstance(data, str):
            data = data.encode("utf-8")
        os.write(self.master, data)

    def key(self, *names):
        """Presses named keys (see KEYS); after Esc it waits until the
        program has read it, and then until it has taken it as the Esc key:
        on a busy machine the program may read late, and a key it reads
        together with the ESC would be Alt+key."""
        for name in names:
            self.send(KEYS[name.lower()])
            if name.lower() == "esc":
                self.wait_until_read()
                time.sleep(ESC_SETTLE)

    def unread(self):
        """Bytes typed that the program has not read yet."""
        if self.stdin is not None:
            return 0
        return struct.unpack("i", fcntl.ioctl(self.slave, termios.FIONREAD, b"\0\0\0\0"))[0]

    def wait_until_read(self, timeout=10):
        """Waits until the program has read everything typed; answers when
        that was seen (time.monotonic())."""
        deadline = time.monotonic() + timeout
        while self.unread() > 0 and time.monotonic() < deadline and self.alive():
            self.pump(0.002)
        return time.monotonic()

    def ctrl(self, letter):
        self.send(ctrl(letter))

    def alt(self, key):
        """Alt+key, as ESC followed by the key."""
        self.send(b"\x1b" + (key.encode() if isinstance(key, str) else key))

    # --- reading the screen ----------------------------------------------------------

    def row(self, y):
        """Row Y (1-based) as text, trailing blanks removed."""
        return self.screen.display[y - 1].rstrip()

    def text(self):
        return "\n".join(self.screen.display)

    def find(self, text):
        """(x, y) of the first place Text is shown, 1-based, or None."""
        for y, line in enumerate(self.screen.display, 1):
            x = line.find(text)
            if x >= 0:
                return x + 1, y
        return None

    def wait_for_text(self, text, timeout=15):
        """Reads the screen until Text is shown; answers its (x, y)."""
        deadline = time.monotonic() + timeout
        while True:
            where = self.find(text)
            if where:
                return where
            if time.monotonic() > deadline:
                raise AssertionError(f"{text!r} not shown within {timeout} s\n{self.dump()}")
            self.pump(0.05)
            if self.proc is not None and self.proc.poll() is not None and not self.pump(0.05):
                where = self.find(text)
                if where:
                    return where
                raise AssertionError(f"the program ended (status {self.proc.returncode}) before "
                                     f"{text!r} was shown\n{self.dump()}")

    def wait_for_gone(self, text, timeout=15):
        deadline = time.monotonic() + timeout
        while self.find(text):
            if time.monotonic() > deadline:
                raise AssertionError(f"{text!r} still shown after {timeout} s\n{self.dump()}")
            self.pump(0.05)

    def cell(self, x, y):
        """The emulator's cell at column X, row Y (1-based): .data, .fg, .bg."""
        return self.screen.buffer[y - 1][x - 1]

    def colours(self, x, y):
        """(foreground, background) of a cell as PC colour numbers 0-15, or
        None for the terminal's default colour. Exact with true colour."""
        c = self.cell(x, y)
        return _pc_colour(c.fg), _pc_colour(c.bg)

    def attr(self, x, y):
        """The PC text attribute of a cell (background * 16 + foreground)."""
        fg, bg = self.colours(x, y)
        if fg is None or bg is None:
            raise AssertionError(f"cell {x},{y} has a default colour\n{self.dump()}")
        return bg * 16 + fg

    def cursor(self):
        """(x, y, shown) of the terminal cursor, 1-based."""
        c = self.screen.cursor
        return c.x + 1, c.y + 1, not c.hidden

    def dump(self):
        lines = [f"{y:2}|{line}|" for y, line in enumerate(self.screen.display, 1)]
        err = self.stderr() if not self._stderr.closed else ""
        return "\n".join(lines) + (f"\nstderr: {err}" if err else "")


_NAMES = {"black": 0, "blue": 1, "green": 2, "cyan": 3, "red": 4, "magenta": 5, "brown": 6, "white": 7}


def _pc_colour(value):
    if value == "default":
        return None
    if value in VGA:
        return VGA.index(value)
    if value in _NAMES:  # 16-colour mode: the bright half cannot be told apart
        return _NAMES[value]
    raise AssertionError(f"colour {value!r} is not a PC colour")
