"""The magazine served over SSH on the loopback address, for end-to-end tests.

A Board is one run of tools/serve-ssh.sh for a reading account created for
the test alone (an unprivileged user with a home and a program folder of its
own, removed afterwards). Readers connect with `ssh -tt -i DIR/reader_key`
inside panes of a private tmux server of 80x25 cells:

    with Board() as board, Panes() as panes:
        pane = panes.open("r1", board.ssh_command())
        panes.wait_for(pane, "a r t i c l e s")
        panes.keys(pane, "x")
        assert panes.status(pane) == 0

A reader may come from another loopback address (`ssh_command(source=
"127.0.0.2")`), and Board(serve=False) only makes the account and the
program, for starts of the script that must be refused (`run_script`).
`panes.record(pane)` keeps a copy of the bytes a reader's client writes.
A caller that sends what the ssh client refuses to (control characters in
a user name) is `offer_user_name`, which speaks just enough of the protocol.

Creating an account needs root; the tests skip themselves elsewhere.
"""

import hashlib
import os
import pwd
import secrets
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time

from harness import binary

TOP = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SERVE = os.path.join(TOP, "tools", "serve-ssh.sh")

# Places an unprivileged account can write to besides its own folders.
SHARED_WRITABLE = ["/tmp", "/var/tmp", "/dev/shm", "/run/lock"]


def can_serve():
    """Why the SSH tests cannot run here, or None."""
    if os.geteuid() != 0:
        return "creating a reading account needs root"
    for tool in ("tmux", "ssh", "ssh-keygen", "useradd"):
        if shutil.which(tool) is None:
            return f"{tool} is missing"
    return None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def files_owned_by(uid, roots):
    """Every path under Roots owned by Uid."""
    found = set()
    for root in roots:
        for folder, dirs, files in os.walk(root):
            for name in dirs + files:
                path = os.path.join(folder, name)
                try:
                    if os.lstat(path).st_uid == uid:
                        found.add(path)
                except OSError:
                    pass
    return found


def writable_by_others(path):
    """Whether Path or a folder above it may be written by group or others."""
    path = os.path.abspath(path)
    while True:
        if os.stat(path).st_mode & 0o022:
            return True
        if path == "/":
            return False
        path = os.path.dirname(path)


def safe_parent(*candidates):
    """The first folder of Candidates that exists and that no one but its
    owner may write to, up to the root (the build folder of a clone under
    /tmp is not one)."""
    for folder in candidates:
        if os.path.isdir(folder) and not writable_by_others(folder):
            return folder
    raise RuntimeError(f"no folder outside others' reach among {candidates}")


class Board:
    """A dedicated sshd serving a copy of the magazine to a fresh account.
    The class attributes name the script and what it leaves: a board of
    another kind (telnetboard.py) is a subclass with its own."""

    script = SERVE
    user_variable = "QUIXMAG_SSH_USER"
    pid_file = "sshd.pid"       # the listener's pid, in the server's folder
    listener_name = "sshd"      # its process name
    shell = "/bin/sh"           # the reading account's

    def __init__(self, env=None, serve=True):
        # Not under /tmp: sshd refuses keys in folders others may write to.
        parent = safe_parent(os.path.dirname(binary()), "/var/lib", "/srv", "/opt")
        self.base = tempfile.mkdtemp(prefix="ssh-e2e-", dir=parent)
        os.chmod(self.base, 0o755)
        self.user = "qmr" + secrets.token_hex(4)
        self.home = os.path.join(self.base, "home")
        self.server_dir = os.path.join(self.base, "srv")
        self.port = free_port()
        self.proc = None
        self.log = open(os.path.join(self.base, "sshd.log"), "w+")
        subprocess.run(["useradd", "--no-user-group", "--gid", "nogroup", "--home-dir", self.home,
                        "--no-create-home", "--shell", self.shell, self.user], check=True, capture_output=True)
        # "*": no password, yet not locked, so that the key lets it in.
        subprocess.run(["usermod", "-p", "*", self.user], check=True)
        entry = pwd.getpwnam(self.user)
        self.uid = entry.pw_uid
        os.mkdir(self.home)
        os.chown(self.home, self.uid, entry.pw_gid)
        # The program's folder is root's, as the script asks: the account
        # must not be able to change what its logins run.
        self.program_dir = os.path.join(self.base, "prog")
        os.mkdir(self.program_dir)
        os.chmod(self.program_dir, 0o755)
        self.exe = os.path.join(self.program_dir, "quixmag")
        shutil.copy2(binary(), self.exe)
        self.owned_at_start = self.owned_files()
        if not serve:
            return
        try:
            self.start(env or {})
        except BaseException:
            self.close()
            raise

    def script_env(self, env):
        return {**os.environ, self.user_variable: self.user, "QUIXMAG_BIN": self.exe, **env}

    def run_script(self, server_dir=None, timeout=30, **env):
        """Runs the script in the foreground, for a start it must refuse.
        Should it serve after all, it is stopped after Timeout seconds
        (with the server it started) and TimeoutExpired is raised."""
        proc = subprocess.Popen(["bash", self.script, server_dir or self.server_dir, str(self.port)],
                                env=self.script_env(env), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, start_new_session=True)
        try:
            out, err = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGTERM)
            try:
                proc.communicate(timeout=15)
            finally:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except OSError:
                    pass  # the group has ended
                proc.communicate()
            raise
        return subprocess.CompletedProcess(proc.args, proc.returncode, out, err)

    def start(self, env):
        self.proc = subprocess.Popen(["bash", self.script, self.server_dir, str(self.port)], env=self.script_env(env),
                                     stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        deadline = time.monotonic() + 60  # the script may install sshd first
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise AssertionError(f"{os.path.basename(self.script)} ended with {self.proc.returncode}:\n"
                                     f"{self.server_log()}")
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return
            except OSError:
                time.sleep(0.1)
        raise AssertionError(f"{self.listener_name} is not listening on {self.port}:\n{self.server_log()}")

    def server_log(self):
        self.log.flush()
        with open(self.log.name) as f:
            return f.read()

    def listener(self):
        """The pid of the server's listener (sshd, tcpserver)."""
        with open(os.path.join(self.server_dir, self.pid_file)) as f:
            return int(f.read())

    def ssh_command(self, *extra, tty=True, source=None):
        """The reader's ssh command line, from the loopback address Source
        (default 127.0.0.1); Extra goes before the destination."""
        return ["ssh", "-F", "/dev/null", *(["-tt"] if tty else ["-T"]), *(["-b", source] if source else []),
                "-i", os.path.join(self.server_dir, "reader_key"), "-o", "IdentitiesOnly=yes",
                "-o", "UserKnownHostsFile=" + os.path.join(self.server_dir, "known_hosts"),
                "-o", "StrictHostKeyChecking=yes", "-o", "BatchMode=yes", "-o", "SendEnv=LANG",
                "-p", str(self.port), *extra, f"{self.user}@127.0.0.1"]

    def owned_files(self):
        """Files of the account, but for the lock files of the readers'
        places that the forced command keeps in the server's folder."""
        slots = os.path.join(self.server_dir, "slots")
        return {f for f in files_owned_by(self.uid, SHARED_WRITABLE + [self.base])
                if f != slots and not f.startswith(slots + os.sep)}

    def mark(self):
        """Counts the files the account owns now as its own from here on."""
        self.owned_at_start = self.owned_files()

    def new_files(self):
        """Files the account owns now that it did not own at the start (or
        at the last mark)."""
        return sorted(self.owned_files() - self.owned_at_start)

    def processes(self):
        """(pid, command name) of every process of the account."""
        out = subprocess.run(["ps", "-u", str(self.uid), "-o", "pid=,comm="], capture_output=True,
                             text=True).stdout
        return [(int(p), c) for p, c in (line.split(None, 1) for line in out.splitlines())]

    def wait_no_processes(self, timeout=15):
        deadline = time.monotonic() + timeout
        while self.processes() and time.monotonic() < deadline:
            time.sleep(0.1)
        return self.processes()

    def session_processes(self):
        """Pids of every process below the listener: the connections' sshd,
        the sessions and the magazines."""
        out = subprocess.run(["ps", "-e", "-o", "pid=,ppid="], capture_output=True, text=True).stdout
        parent = dict((int(p), int(q)) for p, q in (line.split() for line in out.splitlines()))
        top = self.listener()
        found = []
        for pid in parent:
            up = parent[pid]
            while up != top and up in parent:
                up = parent[up]
            if up == top:
                found.append(pid)
        return sorted(found)

    def close(self):
        try:
            listener = self.listener()
        except (OSError, ValueError):
            listener = None
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        # A script that ended without stopping its server (a failing test)
        # leaves the listener behind.
        if listener and _is_named(listener, self.listener_name):
            os.kill(listener, 9)
        for pid, _ in self.processes():
            try:
                os.kill(pid, 9)
            except OSError:
                pass
        subprocess.run(["userdel", self.user], capture_output=True)
        self.log.close()
        shutil.rmtree(self.base, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


class Panes:
    """A private tmux server whose windows are 80x25 terminals."""

    def __init__(self, cols=80, rows=25):
        self.folder = tempfile.mkdtemp(prefix="quixmag-tmux-")
        self.socket = os.path.join(self.folder, "tmux.sock")
        self.size = (cols, rows)
        self.tmux("-f", "/dev/null", "new-session", "-d", "-s", "readers", "-n", "keep",
                  "-x", str(cols), "-y", str(rows), "sleep 100000")
        self.tmux("set-option", "-g", "default-size", f"{cols}x{rows}")
        self.tmux("set-option", "-g", "escape-time", "0")

    def tmux(self, *args):
        return subprocess.run(["tmux", "-S", self.socket, *args], capture_output=True, text=True,
                              check=True).stdout

    def open(self, name, argv, env=None):
        """A new window running Argv with the locale variables of Env (default
        LANG=C.UTF-8); its exit status goes to a file."""
        status = os.path.join(self.folder, name + ".status")
        command = " ".join(_quote(a) for a in argv) + f"; echo $? > {_quote(status)}"
        # The client's locale is what ssh sends on: LANG only, unless Env says otherwise
        # (a value of None leaves the variable out).
        chosen = {"LANG": "C.UTF-8", **(env or {})}
        settings = " ".join([f"-u {n}" for n in ("LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE")] +
                            [f"{k}={_quote(v)}" for k, v in chosen.items() if v is not None])
        self.tmux("new-window", "-d", "-t", "readers", "-n", name, f"env {settings} sh -c {_quote(command)}")
        try:
            self.tmux("resize-window", "-t", f"readers:{name}", "-x", str(self.size[0]), "-y", str(self.size[1]))
        except subprocess.CalledProcessError:
            pass  # the command has ended already
        return f"readers:{name}"

    def record(self, pane):
        """From now on copies every byte the window's program writes, as it
        writes it, to a file that recorded() reads."""
        self.tmux("pipe-pane", "-o", "-t", pane, f"cat >> {_quote(self._record_path(pane))}")

    def recorded(self, pane):
        try:
            with open(self._record_path(pane), "rb") as f:
                return f.read()
        except OSError:
            return b""

    def _record_path(self, pane):
        return os.path.join(self.folder, pane.split(":")[1] + ".out")

    def screen(self, pane):
        return self.tmux("capture-pane", "-p", "-t", pane)

    def shows(self, pane, text):
        try:
            return text in self.screen(pane)
        except subprocess.CalledProcessError:
            return False  # the window is gone

    def wait_for(self, pane, text, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.shows(pane, text):
                return
            time.sleep(0.05)
        raise AssertionError(f"{text!r} not shown within {timeout} s:\n{self.screen_or_status(pane)}")

    def wait_for_gone(self, pane, text, timeout=20):
        deadline = time.monotonic() + timeout
        while self.shows(pane, text):
            if time.monotonic() > deadline:
                raise AssertionError(f"{text!r} still shown after {timeout} s:\n{self.screen(pane)}")
            time.sleep(0.05)

    def keys(self, pane, *names):
        """Presses keys by tmux name (Down, Enter, Escape, C-s, x, ...)."""
        for name in names:
            self.tmux("send-keys", "-t", pane, name)
            if name == "Escape":
                time.sleep(0.12)  # a lone ESC is taken as the Esc key after a short wait

    def status(self, pane, timeout=20):
        """The exit status of the window's command, once it ended."""
        path = os.path.join(self.folder, pane.split(":")[1] + ".status")
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                with open(path) as f:
                    text = f.read().strip()
                if text:
                    return int(text)
            except OSError:
                pass
            time.sleep(0.05)
        raise AssertionError(f"{pane} did not end within {timeout} s:\n{self.screen_or_status(pane)}")

    def screen_or_status(self, pane):
        try:
            return self.screen(pane)
        except subprocess.CalledProcessError:
            return "(window gone)"

    def close(self):
        subprocess.run(["tmux", "-S", self.socket, "kill-server"], capture_output=True)
        shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


def offer_user_name(port, user, source="127.0.0.1"):
    """Connects to the server as a client that may send any bytes as its user
    name (the ssh client refuses control characters in one): it exchanges
    keys (curve25519-sha256, chacha20-poly1305@openssh.com), asks to log in
    as User (bytes) with the method "none", and hangs up once the server has
    answered. Answers what the server sent after the exchange of keys
    (still encrypted: its length only tells that it answered)."""
    with socket.create_connection(("127.0.0.1", port), timeout=10, source_address=(source, 0)) as conn:
        reader = conn.makefile("rb")
        mine = b"SSH-2.0-probe"
        conn.sendall(mine + b"\r\n")
        theirs = reader.readline().rstrip(b"\r\n")
        sent = [0]

        def send(payload):
            pad = 8 - (len(payload) + 5) % 8
            pad += 8 if pad < 4 else 0
            conn.sendall(struct.pack(">IB", len(payload) + pad + 1, pad) + payload + bytes(pad))
            sent[0] += 1

        def receive():
            length, pad = struct.unpack(">IB", reader.read(5))
            return reader.read(length - 1)[:length - 1 - pad]

        offer = (b"\x14" + secrets.token_bytes(16) +
                 b"".join(_string(n) for n in (b"curve25519-sha256", b"ssh-ed25519",
                                               b"chacha20-poly1305@openssh.com", b"chacha20-poly1305@openssh.com",
                                               b"hmac-sha2-256", b"hmac-sha2-256", b"none", b"none", b"", b"")) +
                 b"\0\0\0\0\0")
        send(offer)
        their_offer = receive()
        secret = secrets.token_bytes(32)
        public = _x25519(secret, (9).to_bytes(32, "little"))
        send(b"\x1e" + _string(public))
        reply = receive()
        host_key, rest = _take_string(reply[1:])
        their_public, _ = _take_string(rest)
        shared = _mpint(int.from_bytes(_x25519(secret, their_public), "big"))
        exchange = hashlib.sha256(b"".join(_string(v) for v in (mine, theirs, offer, their_offer, host_key,
                                                                public, their_public)) + shared).digest()
        key = hashlib.sha256(shared + exchange + b"C" + exchange).digest()
        key += hashlib.sha256(shared + exchange + key).digest()
        if receive() != b"\x15":
            raise AssertionError("the server did not finish the exchange of keys")
        send(b"\x15")

        def send_sealed(payload):
            pad = 8 - (len(payload) + 1) % 8
            pad += 8 if pad < 4 else 0
            nonce = struct.pack(">Q", sent[0])
            length = _xor(struct.pack(">I", len(payload) + pad + 1), _chacha20(key[32:], nonce, 0, 4))
            body = bytes([pad]) + payload + bytes(pad)
            body = _xor(body, _chacha20(key[:32], nonce, 1, len(body)))
            conn.sendall(length + body + _poly1305(_chacha20(key[:32], nonce, 0, 32), length + body))
            sent[0] += 1

        send_sealed(b"\x05" + _string(b"ssh-userauth"))
        send_sealed(b"\x32" + _string(user) + _string(b"ssh-connection") + _string(b"none"))
        return conn.recv(4096)


def _string(data):
    return struct.pack(">I", len(data)) + data


def _take_string(data):
    length = struct.unpack(">I", data[:4])[0]
    return data[4:4 + length], data[4 + length:]


def _mpint(value):
    data = value.to_bytes((value.bit_length() + 8) // 8, "big").lstrip(b"\0")
    return _string(b"\0" + data if data and data[0] & 0x80 else data)


def _xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def _x25519(scalar, point):
    """RFC 7748 X25519."""
    p = 2 ** 255 - 19
    k = bytearray(scalar)
    k[0] &= 248
    k[31] = (k[31] & 127) | 64
    k = int.from_bytes(k, "little")
    x1 = int.from_bytes(point, "little") & ((1 << 255) - 1)
    x2, z2, x3, z3, swap = 1, 0, x1, 1, 0
    for t in reversed(range(255)):
        bit = (k >> t) & 1
        if swap ^ bit:
            x2, x3, z2, z3 = x3, x2, z3, z2
        swap = bit
        a, b, c, d = x2 + z2, x2 - z2, x3 + z3, x3 - z3
        aa, bb, da, cb = a * a, b * b, d * a, c * b
        e = aa - bb
        x3, z3 = (da + cb) ** 2 % p, x1 * (da - cb) ** 2 % p
        x2, z2 = aa * bb % p, e * (aa + 121665 * e) % p
    if swap:
        x2, z2 = x3, z3
    return (x2 * pow(z2, p - 2, p) % p).to_bytes(32, "little")


def _chacha20(key, nonce, counter, length):
    """Length bytes of the original ChaCha20 key stream (64-bit block
    counter, 64-bit nonce), as OpenSSH's chacha20-poly1305 uses it."""
    def rotate(v, n):
        return ((v << n) & 0xffffffff) | (v >> (32 - n))

    def quarter(x, a, b, c, d):
        x[a] = (x[a] + x[b]) & 0xffffffff; x[d] = rotate(x[d] ^ x[a], 16)  # noqa: E702
        x[c] = (x[c] + x[d]) & 0xffffffff; x[b] = rotate(x[b] ^ x[c], 12)  # noqa: E702
        x[a] = (x[a] + x[b]) & 0xffffffff; x[d] = rotate(x[d] ^ x[a], 8)  # noqa: E702
        x[c] = (x[c] + x[d]) & 0xffffffff; x[b] = rotate(x[b] ^ x[c], 7)  # noqa: E702

    out = b""
    while len(out) < length:
        state = (list(struct.unpack("<4I", b"expand 32-byte k")) + list(struct.unpack("<8I", key)) +
                 list(struct.unpack("<2I", struct.pack("<Q", counter))) + list(struct.unpack("<2I", nonce)))
        x = list(state)
        for _ in range(10):
            for a, b, c, d in ((0, 4, 8, 12), (1, 5, 9, 13), (2, 6, 10, 14), (3, 7, 11, 15),
                               (0, 5, 10, 15), (1, 6, 11, 12), (2, 7, 8, 13), (3, 4, 9, 14)):
                quarter(x, a, b, c, d)
        out += struct.pack("<16I", *((v + s) & 0xffffffff for v, s in zip(x, state)))
        counter += 1
    return out[:length]


def _poly1305(key, message):
    p = 2 ** 130 - 5
    r = int.from_bytes(key[:16], "little") & 0x0ffffffc0ffffffc0ffffffc0fffffff
    acc = 0
    for i in range(0, len(message), 16):
        acc = (acc + int.from_bytes(message[i:i + 16] + b"\x01", "little")) * r % p
    return ((acc + int.from_bytes(key[16:], "little")) % 2 ** 128).to_bytes(16, "little")


def _is_named(pid, name):
    try:
        with open(f"/proc/{pid}/comm") as f:
            return f.read().strip() == name
    except OSError:
        return False


def _quote(text):
    return "'" + str(text).replace("'", "'\\''") + "'"
