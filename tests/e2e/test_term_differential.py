"""The terminal screen renderer against real terminal emulators: frames are
played through it (term_replay) into pyte and into tmux, and after every
frame each cell the emulator shows (glyph, foreground, background) and its
cursor must be the frame's.

Frames: random sequences of what the magazine does to its cells (bands of
rows scrolled 1..24 rows up and down, colours changed on glyphs and on
blanks, art drawn with cursor-forward gaps, full and partial rows, runs the
renderer may rewrite rather than move over), then every shipped screen and
a tall generated piece drawn by the magazine's own ANSI renderer on the
memory console, a frame at each of its pauses.

The run is bounded (a few hundred random frames per emulator). For a longer
one:  QUIX_DIFF_FRAMES=5000 QUIX_DIFF_SEED=7 python3 test_term_differential.py
TERM_REPLAY names the player (default: build/term_replay of this checkout).
"""

import glob
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import pyte

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))

FRAMES = int(os.environ.get("QUIX_DIFF_FRAMES", "300"))
SEED = int(os.environ.get("QUIX_DIFF_SEED", "20261209"))
COLS, ROWS = 80, 25

# The PC colours, by attribute colour number.
VGA = [(0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
       (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
       (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
       (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF)]

# Code page 437's glyphs for 0x00-0x1F and 0x7F; 0x80-0xFE come from
# Python's own cp437 codec.
LOW = (" \u263a\u263b\u2665\u2666\u2663\u2660\u2022\u25d8\u25cb\u25d9\u2642\u2640\u266a\u266b\u263c"
       "\u25ba\u25c4\u2195\u203c\u00b6\u00a7\u25ac\u21a8\u2191\u2193\u2192\u2190\u221f\u2194\u25b2\u25bc")


def glyph(byte):
    if byte < 0x20:
        return LOW[byte]
    if byte == 0x7F:
        return "\u2302"
    return bytes([byte]).decode("cp437")


def xterm_256(index):
    """The RGB of a colour of the 256-colour palette (16-255)."""
    if index >= 232:
        v = 8 + 10 * (index - 232)
        return v, v, v
    index -= 16
    steps = [0, 0x5F, 0x87, 0xAF, 0xD7, 0xFF]
    return steps[index // 36], steps[(index // 6) % 6], steps[index % 6]


def nearest_256(rgb):
    return min(range(16, 256), key=lambda i: sum((a - b) ** 2 for a, b in zip(xterm_256(i), rgb)))


# What each way of sending a PC colour looks like, back to the PC colour.
RGB_TO_PC = {rgb: pc for pc, rgb in enumerate(VGA)}
INDEX_TO_PC = {nearest_256(rgb): pc for pc, rgb in enumerate(VGA)}
assert len(INDEX_TO_PC) == 16, "the 16 PC colours have 16 distinct nearest 256-colour entries"
# ANSI colour order to PC colour order.
ANSI_TO_PC = [0, 4, 2, 6, 1, 5, 3, 7]


def player():
    path = os.environ.get("TERM_REPLAY") or os.path.join(ROOT, "build", "term_replay")
    if not os.access(path, os.X_OK):
        raise unittest.SkipTest(f"no player at {path} (build the term_replay target)")
    return path


class Frame:
    def __init__(self, header, cells):
        _, rows, cx, cy, visible, sent = header.split()
        self.rows, self.cursor, self.visible = int(rows), (int(cx), int(cy)), visible == "1"
        self.sent = int(sent)
        self.cells = [(cells[i], cells[i + 1]) for i in range(0, len(cells), 2)]

    def expected(self, col, row):
        ch, attr = self.cells[row * COLS + col]
        return ch, attr & 0x0F, attr >> 4


def compare(frame, shown, cursor, where):
    """Shown(col, row) answers (text, fg, bg) with PC colours or None;
    Cursor is (x, y, visible). Answers the first difference, or None."""
    for row in range(frame.rows):
        for col in range(COLS):
            ch, fg, bg = frame.expected(col, row)
            text, got_fg, got_bg = shown(col, row)
            blank = ch in (0, 0x20, 0xFF)
            if blank:
                ok = text in (" ", "\u00a0", "") and got_bg == bg
            else:
                ok = text == glyph(ch) and got_fg == fg and got_bg == bg
            if not ok:
                return (f"{where}: cell {col + 1},{row + 1}: shows {text!r} {got_fg}/{got_bg}, "
                        f"the frame has {glyph(ch)!r} (0x{ch:02x}) {fg}/{bg}")
    x, y, visible = cursor
    if visible != frame.visible:
        return f"{where}: cursor {'shown' if visible else 'hidden'}, the frame has it otherwise"
    if frame.visible and (x, y) != frame.cursor:
        return f"{where}: cursor at {x},{y}, the frame has it at {frame.cursor}"
    return None


class Replay:
    """One run of the player; its bytes and frames read as they come."""

    def __init__(self, args, out_fd=None):
        self.frames_r, frames_w = os.pipe()
        go_r, self.go_w = os.pipe()
        self.proc = subprocess.Popen(
            [player()] + args + [f"--frames-fd={frames_w}", f"--go-fd={go_r}"],
            stdout=subprocess.PIPE if out_fd is None else out_fd, pass_fds=(frames_w, go_r))
        os.close(frames_w)
        os.close(go_r)
        self.out = self.proc.stdout.fileno() if self.proc.stdout else None
        self.bytes = bytearray()
        self.pending = bytearray()

    def next_frame(self, timeout=30):
        """The next frame (None at the end); its bytes are in self.bytes."""
        deadline = time.monotonic() + timeout
        while True:
            frame = self._frame()
            if frame and (self.out is None or len(self.bytes) >= frame.sent):
                return frame
            if frame is not None:
                self.pending[:0] = self._last  # not complete yet: put back
            fds = [self.frames_r] + ([self.out] if self.out is not None else [])
            ready, _, _ = select.select(fds, [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                raise AssertionError("the player stalled")
            for fd in ready:
                data = os.read(fd, 1 << 16)
                if fd == self.out:
                    self.bytes += data
                elif data:
                    self.pending += data
                else:
                    if self.out is not None:
                        self.bytes += self.proc.stdout.read()
                    frame = self._frame()
                    return frame

    def _frame(self):
        nl = self.pending.find(b"\n")
        if nl < 0 or len(self.pending) < nl + 1 + 2 * COLS * int(self.pending[:nl].split()[1]):
            return None
        header = self.pending[:nl].decode()
        size = 2 * COLS * int(header.split()[1])
        self._last = bytes(self.pending[:nl + 1 + size])
        cells = self.pending[nl + 1:nl + 1 + size]
        del self.pending[:nl + 1 + size]
        return Frame(header, bytes(cells))

    def go(self):
        try:
            os.write(self.go_w, b"g")
        except OSError:
            pass

    def close(self):
        for fd in (self.frames_r, self.go_w):
            try:
                os.close(fd)
            except OSError:
                pass
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        if self.proc.stdout:
            self.proc.stdout.close()


# --- pyte ------------------------------------------------------------------------------

PYTE_NAMES = {"black": 0, "blue": 1, "green": 2, "cyan": 3, "red": 4, "magenta": 5, "brown": 6, "white": 7}


def pyte_colour(value):
    if value in PYTE_NAMES:
        return PYTE_NAMES[value]
    if len(value) == 6:
        rgb = tuple(int(value[i:i + 2], 16) for i in (0, 2, 4))
        if rgb in RGB_TO_PC:
            return RGB_TO_PC[rgb]
        for index, pc in INDEX_TO_PC.items():
            if xterm_256(index) == rgb:
                return pc
    return value


def play_in_pyte(test, args):
    screen = pyte.Screen(COLS, ROWS)
    stream = pyte.ByteStream(screen)
    replay = Replay(args)
    fed = 0
    count = 0
    try:
        while True:
            frame = replay.next_frame()
            if frame is None:
                break
            stream.feed(bytes(replay.bytes[fed:frame.sent]))
            fed = frame.sent
            count += 1

            def shown(col, row):
                c = screen.buffer[row][col]
                return c.data, pyte_colour(c.fg), pyte_colour(c.bg)

            c = screen.cursor
            fault = compare(frame, shown, (c.x, c.y, not c.hidden), f"pyte, frame {count} of {' '.join(args)}")
            if fault:
                test.fail(fault)
            replay.go()
    finally:
        replay.close()
    test.assertEqual(replay.proc.returncode, 0)
    return count


# --- tmux ------------------------------------------------------------------------------

def parse_capture(text):
    """Rows of (glyph, fg, bg) cells from `capture-pane -e -p -N`."""
    rows = []
    fg = bg = None  # tmux writes only the changes, from one row to the next too
    for line in text.split("\n")[:ROWS]:
        cells = []
        i = 0
        while i < len(line):
            if line.startswith("\x1b[", i):
                end = i + 2
                while end < len(line) and not ("@" <= line[end] <= "~"):
                    end += 1
                if line[end] == "m":
                    fg, bg = sgr(line[i + 2:end], fg, bg)
                i = end + 1
                continue
            cells.append((line[i], fg, bg))
            i += 1
        while len(cells) < COLS:
            cells.append(("", None, None))
        rows.append(cells)
    while len(rows) < ROWS:
        rows.append([("", None, None)] * COLS)
    return rows


def sgr(params, fg, bg):
    values = [int(v) if v else 0 for v in params.split(";")] if params else [0]
    i = 0
    while i < len(values):
        v = values[i]
        if v == 0:
            fg = bg = None
        elif 30 <= v <= 37:
            fg = ANSI_TO_PC[v - 30]
        elif 90 <= v <= 97:
            fg = 8 + ANSI_TO_PC[v - 90]
        elif 40 <= v <= 47:
            bg = ANSI_TO_PC[v - 40]
        elif 100 <= v <= 107:
            bg = 8 + ANSI_TO_PC[v - 100]
        elif v == 39:
            fg = None
        elif v == 49:
            bg = None
        elif v in (38, 48) and i + 1 < len(values):
            if values[i + 1] == 5:
                colour = INDEX_TO_PC.get(values[i + 2], f"index {values[i + 2]}")
                i += 2
            else:
                colour = RGB_TO_PC.get(tuple(values[i + 2:i + 5]), f"rgb {values[i + 2:i + 5]}")
                i += 4
            if v == 38:
                fg = colour
            else:
                bg = colour
        i += 1
    return fg, bg


class Tmux:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="quixmag-diff-")
        self.sock = os.path.join(self.dir, "sock")
        conf = os.path.join(self.dir, "tmux.conf")
        with open(conf, "w") as f:
            f.write("set -g status off\nset -g remain-on-exit on\n")
        self.base = ["tmux", "-S", self.sock, "-f", conf]

    def run(self, *args):
        return subprocess.run(self.base + list(args), capture_output=True, text=True, check=True).stdout

    def start(self, command):
        self.run("new-session", "-d", "-x", str(COLS), "-y", str(ROWS), command)

    def capture(self):
        return parse_capture(self.run("capture-pane", "-e", "-p", "-N"))

    def cursor(self):
        x, y, flag = self.run("display-message", "-p", "#{cursor_x} #{cursor_y} #{cursor_flag}").split()
        return int(x), int(y), flag == "1"

    def close(self):
        subprocess.run(self.base + ["kill-server"], capture_output=True)
        shutil.rmtree(self.dir, ignore_errors=True)


def play_in_tmux(test, args):
    if not shutil.which("tmux"):
        test.skipTest("tmux is not installed")
    tmux = Tmux()
    frames = os.path.join(tmux.dir, "frames")
    go = os.path.join(tmux.dir, "go")
    os.mkfifo(frames)
    os.mkfifo(go)
    quoted = " ".join("'" + a.replace("'", "'\\''") + "'" for a in [player()] + args)
    count = 0
    try:
        tmux.start(f"exec {quoted} 3>{frames} 4<{go}")
        frames_fd = os.open(frames, os.O_RDONLY)
        go_fd = os.open(go, os.O_WRONLY)
        pending = bytearray()
        while True:
            # The next frame record.
            while True:
                nl = pending.find(b"\n")
                if nl >= 0 and len(pending) >= nl + 1 + 2 * COLS * ROWS:
                    break
                ready, _, _ = select.select([frames_fd], [], [], 30)
                if not ready:
                    test.fail("the player in tmux stalled")
                data = os.read(frames_fd, 1 << 16)
                if not data:
                    break
                pending += data
            if pending.find(b"\n") < 0:
                break
            nl = pending.find(b"\n")
            frame = Frame(pending[:nl].decode(), bytes(pending[nl + 1:nl + 1 + 2 * COLS * ROWS]))
            del pending[:nl + 1 + 2 * COLS * ROWS]
            count += 1
            # tmux takes the bytes in its own time: look until it agrees, or
            # until it has had ample time.
            deadline = time.monotonic() + 3
            while True:
                rows = tmux.capture()
                fault = compare(frame, lambda col, row: rows[row][col], tmux.cursor(),
                                f"tmux, frame {count} of {' '.join(args)}")
                if not fault or time.monotonic() > deadline:
                    break
                time.sleep(0.01)
            if fault:
                test.fail(fault)
            os.write(go_fd, b"g")
        os.close(frames_fd)
        os.close(go_fd)
    finally:
        tmux.close()
    return count


# --- the frames --------------------------------------------------------------------------

def shipped_screens():
    return sorted(glob.glob(os.path.join(ROOT, "content", "*.ans")))


def tall_piece(folder):
    """The sample issue's tall piece, or one generated here like it."""
    path = os.path.join(ROOT, "tests", "sample-issue", "tidepool.ans")
    if os.path.exists(path):
        return path
    import make_tall_art
    path = os.path.join(folder, "tall.ans")
    with open(path, "wb") as f:
        f.write(make_tall_art.piece(rows=48, seed=5))
    return path


class RandomFrames(unittest.TestCase):
    def test_pyte_shows_every_random_frame_in_true_colour(self):
        n = play_in_pyte(self, ["random", str(SEED), str(FRAMES), "--colours=true"])
        self.assertEqual(n, FRAMES)

    def test_pyte_shows_every_random_frame_in_256_colours(self):
        n = play_in_pyte(self, ["random", str(SEED + 1), str(FRAMES), "--colours=256"])
        self.assertEqual(n, FRAMES)

    def test_tmux_shows_every_random_frame(self):
        n = play_in_tmux(self, ["random", str(SEED + 2), str(FRAMES), "--colours=256"])
        self.assertEqual(n, FRAMES)

    def test_tmux_shows_every_random_frame_in_sixteen_colours(self):
        frames = max(50, FRAMES // 3)
        n = play_in_tmux(self, ["random", str(SEED + 3), str(frames), "--colours=16"])
        self.assertEqual(n, frames)


class DrawnScreens(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quixmag-diff-art-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def test_pyte_shows_every_shipped_screen_and_a_tall_piece_as_drawn(self):
        files = shipped_screens() + [tall_piece(self.folder)]
        self.assertGreater(len(files), 20)
        n = play_in_pyte(self, ["art", "97"] + files + ["--colours=true"])
        self.assertGreater(n, len(files) * 2)

    def test_tmux_shows_a_tall_piece_as_drawn(self):
        # Pauses often, so that the frames catch the picture in every stage
        # of its scrolling.
        n = play_in_tmux(self, ["art", "53", tall_piece(self.folder), "--colours=true"])
        self.assertGreater(n, 20)

    def test_tmux_shows_the_shipped_screens_as_drawn(self):
        n = play_in_tmux(self, ["art", "1500"] + shipped_screens() + ["--colours=256"])
        self.assertGreater(n, len(shipped_screens()))


if __name__ == "__main__":
    unittest.main()
