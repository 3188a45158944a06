"""The magazine served over telnet on the loopback address, for end-to-end
tests: a TelnetBoard is one run of tools/serve-telnet.sh for a reading
account made for the test alone (as sshboard.Board does for SSH), and a
Caller is a telnet client of the test's own on a plain socket, which does
the option negotiation itself and reads the screen back through pyte:

    with TelnetBoard() as board:
        caller = Caller(board.port, size=(100, 30))
        caller.wait_for("a r t i c l e s")
        print(caller.row(11))
        caller.send(b"x")
        caller.wait_closed()

Debian's own client runs in sshboard.Panes with board.telnet_command().
Creating an account needs root; the tests skip themselves elsewhere.
"""

import os
import selectors
import shutil
import socket
import time

import pyte

from sshboard import TOP, Board

SERVE_TELNET = os.path.join(TOP, "tools", "serve-telnet.sh")

# Telnet's commands and the options the client speaks of (RFC 854 and the
# options' own RFCs).
IAC, DONT, DO, WONT, WILL, SB, SE = 255, 254, 253, 252, 251, 250, 240
BINARY, ECHO, SGA, TTYPE, NAWS, NEW_ENVIRON = 0, 1, 3, 24, 31, 39
IS, SEND = 0, 1
ENV_VAR, ENV_VALUE, ENV_USERVAR = 0, 1, 3


def can_serve_telnet():
    """Why the telnet tests cannot run here, or None."""
    if os.geteuid() != 0:
        return "creating a reading account needs root"
    for tool in ("tmux", "telnet", "useradd"):
        if shutil.which(tool) is None:
            return f"{tool} is missing"
    return None


class TelnetBoard(Board):
    """tools/serve-telnet.sh serving a copy of the magazine to a fresh
    account, which needs no shell: no one logs in."""

    script = SERVE_TELNET
    user_variable = "QUIXMAG_TELNET_USER"
    pid_file = "tcpserver.pid"
    listener_name = "tcpserver"
    shell = "/usr/sbin/nologin"

    def start(self, env):
        super().start(env)
        # The connection that found the port open took a place for a moment.
        if self.wait_no_processes(10):
            raise AssertionError(f"the first connection's processes stay: {self.processes()}")

    def processes(self):
        """(pid, command name) of every process of the account but the
        listener, which runs as the account too."""
        try:
            listener = self.listener()
        except (OSError, ValueError):
            listener = None
        return [(p, c) for p, c in super().processes() if p != listener]

    def telnet_command(self, source=None):
        """Debian's telnet client's command line, from the loopback address
        Source (default 127.0.0.1)."""
        return ["telnet", *(["-b", source] if source else []), "127.0.0.1", str(self.port)]

    def magazines(self):
        """Pid -> the address it serves, for every magazine of the board: the
        address is in the name of the place it holds."""
        found = {}
        for pid, name in self.processes():
            if name != "quixmag":
                continue
            try:
                places = [os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")]
            except OSError:
                continue
            slots = os.path.join(self.server_dir, "slots") + os.sep
            found[pid] = next((p[len(slots) + len("address-"):].rsplit(".", 1)[0] for p in places
                               if p.startswith(slots + "address-")), "")
        return found


class Caller:
    """A telnet client on a socket from the loopback address Source. It
    offers binary mode both ways (Binary), says its terminal type Term and
    its window size Size once asked, and answers a request for its
    environment with the (name, value) pairs of Env; it refuses every
    other option. The data it receives is decoded as Encoding and fed to a
    pyte screen of Size."""

    def __init__(self, port, source="127.0.0.1", size=(80, 25), term="ANSI", binary=True, env=(),
                 encoding="cp437", timeout=10):
        self.size = size
        self.term = term.encode()
        self.env = env
        self.encoding = encoding
        self.screen = pyte.Screen(*size)
        self.stream = pyte.Stream(self.screen)
        self.data = bytearray()       # every data byte received
        self.agreed = set()           # ("WILL" | "DO", option) the server said
        self.asked = set()            # options the server asked for (DO)
        self.closed = False
        self.reset = False            # the server's end closed with a reset
        self._pending = b""           # a command split over two reads
        self._last_cr = False
        self.started = time.monotonic()
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout, source_address=(source, 0))
        self.sock.setblocking(False)
        if binary:
            self._send(bytes([IAC, DO, BINARY, IAC, WILL, BINARY]))

    def fileno(self):
        return self.sock.fileno()

    def _send(self, data):
        self.sock.setblocking(True)
        try:
            self.sock.sendall(data)
        finally:
            self.sock.setblocking(False)

    def send(self, data):
        """Sends data bytes as a key press would (255 doubled)."""
        self._send(data.replace(b"\xff", b"\xff\xff"))

    def _answer(self, command, option):
        if command == DO:
            self.asked.add(option)
            if option in (TTYPE, NAWS, NEW_ENVIRON, BINARY):
                self._send(bytes([IAC, WILL, option]))
                if option == NAWS:
                    cols, rows = self.size
                    self._send(bytes([IAC, SB, NAWS]) + cols.to_bytes(2, "big").replace(b"\xff", b"\xff\xff") +
                               rows.to_bytes(2, "big").replace(b"\xff", b"\xff\xff") + bytes([IAC, SE]))
                if option == BINARY:
                    self.agreed.add(("DO", option))
            else:
                self._send(bytes([IAC, WONT, option]))
        elif command == WILL:
            if option in (BINARY, ECHO, SGA):
                self.agreed.add(("WILL", option))
                self._send(bytes([IAC, DO, option]))
            else:
                self._send(bytes([IAC, DONT, option]))

    def _subnegotiation(self, body):
        if body[:2] == bytes([TTYPE, SEND]):
            self._send(bytes([IAC, SB, TTYPE, IS]) + self.term + bytes([IAC, SE]))
        elif body[:2] == bytes([NEW_ENVIRON, SEND]):
            reply = bytes([IAC, SB, NEW_ENVIRON, IS])
            for name, value in self.env:
                reply += bytes([ENV_VAR]) + name.encode() + bytes([ENV_VALUE]) + value.encode()
            self._send(reply + bytes([IAC, SE]))

    def _take(self, chunk):
        """Splits what came into commands and data; feeds the data."""
        buf = self._pending + chunk
        data = bytearray()
        i = 0
        while i < len(buf):
            b = buf[i]
            if b != IAC:
                # A CR the server sends outside binary mode comes as CR NUL.
                if not (b == 0 and self._last_cr and ("WILL", BINARY) not in self.agreed):
                    data.append(b)
                self._last_cr = b == 13
                i += 1
                continue
            if i + 1 >= len(buf):
                break
            command = buf[i + 1]
            if command == IAC:
                data.append(IAC)
                i += 2
            elif command in (DO, DONT, WILL, WONT):
                if i + 2 >= len(buf):
                    break
                self._answer(command, buf[i + 2])
                i += 3
            elif command == SB:
                end = buf.find(bytes([IAC, SE]), i + 2)
                if end < 0:
                    break
                self._subnegotiation(buf[i + 2:end])
                i = end + 2
            else:
                i += 2
        self._pending = buf[i:]
        self.data += data
        self.stream.feed(bytes(data).decode(self.encoding, errors="replace"))

    def pump(self):
        """Takes whatever has come; answers whether the connection is open."""
        while not self.closed:
            try:
                chunk = self.sock.recv(65536)
            except BlockingIOError:
                break
            except ConnectionResetError:
                self.reset = True
                chunk = b""
            if not chunk:
                self.closed = True
                break
            self._take(chunk)
        return not self.closed

    def wait(self, condition, timeout, what):
        deadline = time.monotonic() + timeout
        with selectors.DefaultSelector() as sel:
            sel.register(self.sock, selectors.EVENT_READ)
            while True:
                self.pump()
                if condition():
                    return
                if time.monotonic() > deadline:
                    raise AssertionError(f"not within {timeout} s: {what}; the screen:\n" + "\n".join(self.lines()))
                sel.select(0.05)

    def shows(self, text):
        return any(text in line for line in self.screen.display)

    def wait_for(self, text, timeout=30):
        self.wait(lambda: self.shows(text), timeout, f"{text!r} shown")

    def wait_closed(self, timeout=20):
        self.wait(lambda: self.closed, timeout, "the server closed the connection")

    def lines(self):
        return list(self.screen.display)

    def row(self, n):
        """Row N (1-based), as shown."""
        return self.screen.display[n - 1]

    def close(self):
        self.sock.close()


def pump_all(callers, condition, timeout, what):
    """Reads for all Callers at once until Condition() holds."""
    deadline = time.monotonic() + timeout
    with selectors.DefaultSelector() as sel:
        for c in callers:
            sel.register(c.sock, selectors.EVENT_READ, c)
        while not condition():
            if time.monotonic() > deadline:
                raise AssertionError(f"not within {timeout} s: {what}")
            for key, _ in sel.select(0.05):
                if not key.data.pump():
                    sel.unregister(key.fileobj)
