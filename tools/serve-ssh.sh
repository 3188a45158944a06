#!/usr/bin/env bash
# Serves the magazine to readers over SSH with a dedicated sshd that runs in
# the foreground and lets every login run the magazine and nothing else.
#
#   bash tools/serve-ssh.sh DIR PORT
#
# DIR receives the server's own files: a host key, sshd_config, the reader's
# key pair reader_key / reader_key.pub (its public half is the only key
# accepted), authorized_keys, known_hosts (for clients) and sshd.pid.
# Existing keys in DIR are kept, so readers keep their key across restarts.
#
# Environment:
#   QUIXMAG_SSH_USER   the account readers log in as (default: the user
#                      running this script; only root can serve another one;
#                      never root)
#   QUIXMAG_BIN        the program every login runs (default: build/quixmag
#                      of this checkout)
#   LISTEN             the address to listen on (default 127.0.0.1)
#   IDLE_TIMEOUT       a session with no traffic for this long is closed
#                      (sshd time format, default 15m)
#   ALIVE_INTERVAL     sshd ClientAliveInterval: a client that answers
#                      nothing is closed after about eight of these seconds
#                      without output (default 15)
#   MAX_STARTUPS       sshd MaxStartups START:RATE:FULL: logins in progress
#                      at once; beyond START, RATE percent of new connections
#                      are dropped, more and more up to FULL, where all are
#                      (default 12 x PER_SOURCE_MAX_STARTUPS : 30 :
#                      24 x PER_SOURCE_MAX_STARTUPS, 120:30:240 for the
#                      default 10 or for none: twelve sources may hold their
#                      share at once before anyone is dropped)
#   PER_SOURCE_MAX_STARTUPS
#                      sshd PerSourceMaxStartups: logins in progress from
#                      one source at once, beyond which its connections are
#                      dropped (default 10; none: no limit)
#   PER_SOURCE_NETBLOCK_SIZE
#                      sshd PerSourceNetBlockSize: how much of an address
#                      makes one source (default 32:64, an IPv4 address or
#                      an IPv6 /64)
#   MAX_READERS        readers at once (default 100)
#   MAX_READERS_PER_ADDRESS
#                      readers at once from one address (default 10)
#   MAX_SESSION_LENGTH a session is ended after this long (a number with
#                      s, m, h or d; default none: no limit)
#   QUIXMAG_SSH_EMPTY_PASSWORD=1
#                      also let the account in with an empty password (the
#                      account's password must be empty: passwd -d USER)
#
# A reader over MAX_READERS or MAX_READERS_PER_ADDRESS sees the one line
# "the board is full, try again later" and the session ends. Ctrl+C or
# SIGTERM stops the server and ends every session it started: logins stop
# first, then the magazines end (each gives its reader's terminal back and
# the connection closes as on a normal exit), then whatever is left.
#
# sshd's log goes to standard error one message a line, with every control
# character in it shown escaped (\r, \n, \b, \x1b, ...): a caller's user
# name or client version can neither act on the terminal nor start a line.
#
# DIR, QUIXMAG_BIN and every folder above them must belong to root or to the
# user running this script, and none may be writable by the reading account:
# otherwise the account could change what its own logins run. No folder
# above DIR may be writable by its group or by others at all, sticky or not
# (/tmp, /var/tmp): sshd refuses keys below one.
#
# The machine's own ssh service and /etc/ssh are left as they are; Debian's
# openssh-server is installed only where sshd is missing.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sshd=/usr/sbin/sshd

die() {
    echo "serve-ssh: $*" >&2
    exit 1
}

[ $# -eq 2 ] || { echo "usage: bash tools/serve-ssh.sh DIR PORT" >&2; exit 2; }
dir=$1
port=$2
[[ $port =~ ^[0-9]+$ ]] && [ "$port" -ge 1 ] && [ "$port" -le 65535 ] || die "PORT must be a number from 1 to 65535"

me=$(id -un)
me_uid=$(id -u)
user=${QUIXMAG_SSH_USER:-$me}
bin=${QUIXMAG_BIN:-$top/build/quixmag}
listen=${LISTEN:-127.0.0.1}
idle=${IDLE_TIMEOUT:-15m}
alive=${ALIVE_INTERVAL:-15}
per_source=${PER_SOURCE_MAX_STARTUPS:-10}
max_startups=${MAX_STARTUPS:-}
netblock=${PER_SOURCE_NETBLOCK_SIZE:-32:64}
max_readers=${MAX_READERS:-100}
max_per_address=${MAX_READERS_PER_ADDRESS:-10}
max_session=${MAX_SESSION_LENGTH:-none}
empty_password=${QUIXMAG_SSH_EMPTY_PASSWORD:-0}

# Values that go into sshd_config and authorized_keys: plain characters only,
# so that none of them can add an option or break out of a quoted command.
plain() { [[ $2 =~ ^[A-Za-z0-9._/:+-]+$ ]] || die "$1 holds characters this script does not pass on: '$2'"; }
count() { [[ $2 =~ ^[1-9][0-9]{0,5}$ ]] || die "$1 must be a whole number from 1 on, not '$2'"; }

check_settings() {
    plain QUIXMAG_SSH_USER "$user"
    plain LISTEN "$listen"
    plain IDLE_TIMEOUT "$idle"
    count ALIVE_INTERVAL "$alive"
    count MAX_READERS "$max_readers"
    count MAX_READERS_PER_ADDRESS "$max_per_address"
    [ "$per_source" = none ] || count PER_SOURCE_MAX_STARTUPS "$per_source"
    # Sources at their per-source limit fill the total of logins in progress
    # together: it must hold several of them, or a few addresses of one
    # caller lock everyone else out.
    if [ -z "$max_startups" ]; then
        if [ "$per_source" = none ]; then
            max_startups=120:30:240
        else
            max_startups=$((12 * per_source)):30:$((24 * per_source))
        fi
    fi
    plain MAX_STARTUPS "$max_startups"
    [[ $netblock =~ ^[0-9]{1,3}(:[0-9]{1,3})?$ ]] || die "PER_SOURCE_NETBLOCK_SIZE must be BITS or BITS4:BITS6, not '$netblock'"
    [ "$max_session" = none ] || [[ $max_session =~ ^[1-9][0-9]{0,6}[smhd]?$ ]] ||
        die "MAX_SESSION_LENGTH must be none or a number with s, m, h or d, not '$max_session'"
}

install_sshd() {
    [ -x "$sshd" ] && return
    [ "$me_uid" -eq 0 ] || die "sshd is missing: install Debian's openssh-server (as root)"
    echo "serve-ssh: installing openssh-server" >&2
    # The package would start the machine's own ssh service; this machine had
    # none, so keep it that way (remove the file to use that service).
    [ -e /etc/ssh/sshd_not_to_be_run ] || { mkdir -p /etc/ssh && touch /etc/ssh/sshd_not_to_be_run; }
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq openssh-server >/dev/null
}

check_account() {
    local entry shell
    entry=$(getent passwd "$user") || die "no account '$user' (set QUIXMAG_SSH_USER)"
    # Readers log in as this account: root would hand every reader the machine
    # should the magazine ever be left.
    if [ "$user" = root ] || [ "$(cut -d: -f3 <<<"$entry")" = 0 ]; then
        die "readers would log in as root: make a dedicated reading account and set QUIXMAG_SSH_USER (see README.md)"
    fi
    shell=$(cut -d: -f7 <<<"$entry")
    # sshd runs the forced command through the account's shell.
    [ -x "$shell" ] && [[ $shell != */nologin && $shell != */false ]] ||
        die "account '$user' has the shell '$shell': give it /bin/sh (the magazine is forced on every login)"
    if [ "$me_uid" -ne 0 ] && [ "$user" != "$me" ]; then
        die "only root can serve another account than its own"
    fi
    if [ "$me_uid" -eq 0 ] && ! runuser -u "$user" -- test -x "$bin"; then
        die "account '$user' cannot run $bin"
    fi
}

# Whether the reading account may write to Path. Asked of the account itself
# (groups and access lists count); an account serving itself owns what it
# serves, and only its owners are checked then.
reader_may_write() {
    [ "$user" != "$me" ] && runuser -u "$user" -- test -w "$1"
}

# What (DIR or QUIXMAG_BIN) at Path, and every folder above it, must belong to
# root or to the user running this script, and the reading account must not
# be able to write to any of them: it could replace what its own logins run,
# or the server's keys and settings. A folder it may write to is safe only
# where the sticky bit keeps it from renaming or removing the entry below,
# which belongs to root or to this user.
check_owners() {
    local what=$1 path=$2 p=$2 below="" owner
    while :; do
        owner=$(stat -c %u -- "$p")
        if [ "$owner" != 0 ] && [ "$owner" != "$me_uid" ]; then
            die "$what $path: $p belongs to '$(stat -c %U -- "$p")', not to root or '$me': serve from folders of root or '$me' only"
        fi
        if reader_may_write "$p" && ! { [ -n "$below" ] && [ -k "$p" ]; }; then
            die "$what $path: the reading account '$user' may write to $p: serve from folders it cannot change"
        fi
        [ "$p" != / ] || break
        below=$p
        p=$(dirname "$p")
    done
}

# sshd refuses an authorized_keys file whose folders others may write to.
check_dir_path() {
    local d=$dir
    while [ "$d" != / ]; do
        d=$(dirname "$d")
        if [ -n "$(find "$d" -maxdepth 0 -perm /022)" ]; then
            die "$dir lies in $d, which others may write to: choose a folder outside it"
        fi
    done
}

# Files kept in DIR from an earlier run (the keys) are rewritten or used as
# they are: they too must be root's or this user's.
check_dir_files() {
    local strange
    strange=$(find "$dir" -mindepth 1 -maxdepth 1 ! -name slots ! -user 0 ! -user "$me_uid" -printf '%f ')
    [ -z "$strange" ] || die "DIR $dir holds files of another account ($strange): remove them or choose another folder"
}

make_keys() {
    [ -f "$dir/host_ed25519_key" ] || ssh-keygen -q -t ed25519 -N '' -C "quixmag host" -f "$dir/host_ed25519_key"
    [ -f "$dir/reader_key" ] || ssh-keygen -q -t ed25519 -N '' -C "quixmag reader" -f "$dir/reader_key"
    chmod 600 "$dir/host_ed25519_key" "$dir/reader_key"
    # A second fence behind the server's own settings: the key itself allows
    # nothing but a terminal running the magazine.
    printf 'restrict,pty,command="exec %s" %s\n' "$dir/gate" "$(cat "$dir/reader_key.pub")" >"$dir/authorized_keys"
    chmod 644 "$dir/authorized_keys"
    local host=$listen
    [ "$port" = 22 ] || host="[$listen]:$port"
    printf '%s %s\n' "$host" "$(cut -d' ' -f1,2 "$dir/host_ed25519_key.pub")" >"$dir/known_hosts"
}

# The slots: one lock file per reader place, in a folder of the reading
# account (its logins create the files of new addresses), made anew at each
# start.
make_slots() {
    rm -rf -- "$dir/slots"
    mkdir -m 700 "$dir/slots"
    [ "$user" = "$me" ] || chown "$user" "$dir/slots"
}

# The forced command of every login. It takes a place among the readers of
# its address and among all readers before the magazine starts, each place a
# lock on a file; the magazine inherits the open files, so that a place is
# held exactly as long as the magazine's process lives, however it ends
# (even SIGKILL). One login at a time chooses, under a lock of its own, so
# that two cannot both take the last place.
write_gate() {
    local run="exec $bin"
    if [ "$max_session" != none ]; then
        run="timeout --foreground --signal=HUP --kill-after=10s $max_session $bin
status=\$?
[ \$status -ne 124 ] || echo \"the session has reached its time limit\"
exit \$status"
    fi
    cat >"$dir/gate" <<EOF
#!/bin/sh
# Written by tools/serve-ssh.sh: takes a reader's place, then runs the magazine.
slots=$dir/slots
full() {
    echo "the board is full, try again later"
    exit 1
}
address=\${SSH_CLIENT%% *}
case \$address in
    "" | *[!0-9A-Fa-f.:]*) address=unknown ;;
esac
exec 5>>"\$slots/gate"
flock -w 10 5 || full
i=1
while [ \$i -le $max_per_address ]; do
    exec 3>>"\$slots/address-\$address.\$i"
    flock -n 3 && break
    i=\$((i + 1))
done
[ \$i -le $max_per_address ] || full
i=1
while [ \$i -le $max_readers ]; do
    exec 4>>"\$slots/reader.\$i"
    flock -n 4 && break
    i=\$((i + 1))
done
[ \$i -le $max_readers ] || full
exec 5>&-
$run
EOF
    chmod 755 "$dir/gate"
}

write_config() {
    cat >"$dir/sshd_config" <<EOF
# Written by tools/serve-ssh.sh: every login runs the magazine and nothing else.
Port $port
ListenAddress $listen
HostKey $dir/host_ed25519_key
PidFile $dir/sshd.pid
AuthorizedKeysFile $dir/authorized_keys
AuthorizedPrincipalsFile none
StrictModes yes

AllowUsers $user
PermitRootLogin no
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
HostbasedAuthentication no
GSSAPIAuthentication no
PermitEmptyPasswords no
UsePAM no
MaxAuthTries 3
LoginGraceTime 20

# exec: the shell sshd starts the command with gives way to the gate, which
# takes the reader's place and gives way to the magazine.
ForceCommand exec $dir/gate
PermitTTY yes
DisableForwarding yes
AllowTcpForwarding no
AllowStreamLocalForwarding no
AllowAgentForwarding no
X11Forwarding no
PermitTunnel no
PermitOpen none
PermitListen none
GatewayPorts no
PermitUserRC no
PermitUserEnvironment no

SetEnv QUIXMAG_PUBLIC=1
AcceptEnv LANG LC_*

# Logins in progress: all of them, and from one source (an address, or an
# IPv6 network), so that one address holding many unfinished connections
# does not lock the others out.
MaxStartups $max_startups
PerSourceMaxStartups $per_source
PerSourceNetBlockSize $netblock
MaxSessions 1
ChannelTimeout session:*=$idle
UnusedConnectionTimeout 30s
# A client that answers nothing (it stopped reading, or it is gone) is
# closed when the fourth check goes unanswered; while the connection is
# quiet the checks go out every other interval.
ClientAliveInterval $alive
ClientAliveCountMax 3

PrintMotd no
PrintLastLog no
Banner none
LogLevel VERBOSE
EOF
    if [ "$empty_password" = 1 ]; then
        cat >>"$dir/sshd_config" <<EOF

# The reading account may also come in with an empty password.
Match User $user
    PasswordAuthentication yes
    PermitEmptyPasswords yes
EOF
    fi
}

# Pids of the processes below Pid that still run: all of them; or (Which
# "sessions") what the sessions run, every one that is not sshd and starts
# no other (the magazines); or (Which "connections") the listener's children
# that carry such a session (the connections' own sshd).
below() {
    ps -e -o pid=,ppid=,stat=,comm= | awk -v top="$1" -v which="${2:-all}" '
        { parent[$1] = $2; ended[$1] = $3 ~ /^Z/; name[$1] = $4; starts[$2] = 1 }
        END {
            for (p in parent) {
                q = parent[p]
                while (q != top && q in parent) q = parent[q]
                if (q != top || ended[p]) continue
                if (which != "all" && (name[p] ~ /^sshd/ || p in starts)) continue
                if (which != "connections") { print p; continue }
                for (q = p; parent[q] != top; q = parent[q]) { }
                if (!(q in seen)) print q
                seen[q] = 1
            }
        }' | sort -n | tr '\n' ' '
}

# Of Pids, those that still run (not gone, not zombies); ps fails when none
# of them is left.
running() {
    [ $# -gt 0 ] || return 0
    { ps -o pid=,stat= -p "$(tr ' ' , <<<"$*")" || true; } | awk '$2 !~ /^Z/ { printf "%s ", $1 }'
}

# Waits up to Tenths tenths of a second for Pids to end; prints those left.
wait_for_end() {
    local tenths=$1 left
    shift
    for _ in $(seq "$tenths"); do
        left=$(running "$@")
        [ -n "$left" ] || return 0
        sleep 0.1
    done
    running "$@"
}

# Ends the listener and every session it started. The listener is stopped
# first, so that no one logs in meanwhile. The sessions end first: their
# magazines get SIGTERM while the connections' sshd still run, so that those
# carry the magazine's last output (it gives the reader's terminal back) and
# close their connections as on a normal exit. What is left a few seconds
# later (logins in progress, a session that would not end) is frozen, so
# that none of it can start another process while it is counted; then all
# of it and the listener get SIGTERM, and what still runs a few seconds
# later gets SIGKILL.
stop_serving() {
    local listener=$1 sessions connections frozen="" found left=""
    kill -STOP "$listener" 2>/dev/null || return 0
    sessions=$(below "$listener" sessions)
    connections=$(below "$listener" connections)
    # shellcheck disable=SC2086
    [ -z "$sessions" ] || kill -TERM $sessions 2>/dev/null || true
    # shellcheck disable=SC2086
    wait_for_end 50 $sessions $connections >/dev/null
    for _ in 1 2 3 4 5 6 7 8; do
        found=$(below "$listener")
        [ "$found" != "$frozen" ] || break
        frozen=$found
        # shellcheck disable=SC2086
        [ -z "$frozen" ] || kill -STOP $frozen 2>/dev/null || true
    done
    # shellcheck disable=SC2086
    kill -TERM "$listener" $frozen 2>/dev/null || true
    # shellcheck disable=SC2086
    kill -CONT "$listener" $frozen 2>/dev/null || true
    # shellcheck disable=SC2086
    left=$(wait_for_end 50 "$listener" $frozen)
    # shellcheck disable=SC2086
    [ -z "$left" ] || kill -KILL $left 2>/dev/null || true
    echo "serve-ssh: stopped; sessions ended: $(wc -w <<<"$sessions"), other processes ended: $(wc -w <<<"$frozen")" >&2
}

# Runs sshd (the arguments) with its log shown one message a line. sshd
# writes each message with one write() ending in CR LF; on a socket that
# keeps message boundaries each arrives as one packet, so a line end that a
# caller puts in a user name or a client version (sshd leaves CR, LF, BS and
# BEL as they are) is told from sshd's own, and shown escaped like every
# other control byte: no caller can forge a line of sshd's or act on the
# terminal that shows the log. sshd runs as the child of this reader, which
# ends with sshd's status once every writer of the log (sshd and all its
# children) has closed it; the server is the script's to stop, so the reader
# ignores the signals that stop the script. sshd's end of the socket does not
# block: should the log's terminal stall, sshd loses messages rather than
# stopping, and should the reader be gone, sshd ignores SIGPIPE (as it does
# anyway) and writes on in vain.
# shellcheck disable=SC2016
log_reader='
use strict;
use Fcntl;
use Socket;
socketpair(my $log, my $writer, AF_UNIX, SOCK_SEQPACKET, 0) or die "serve-ssh: no socket for the log: $!\n";
my $pid = fork() // die "serve-ssh: cannot start sshd: $!\n";
if ($pid == 0) {
    close($log);
    open(STDERR, ">&", $writer) or die "serve-ssh: $!\n";
    close($writer);
    fcntl(STDERR, F_SETFL, fcntl(STDERR, F_GETFL, 0) | O_NONBLOCK);
    $SIG{PIPE} = "IGNORE";
    exec { $ARGV[0] } @ARGV or die "serve-ssh: cannot run $ARGV[0]: $!\n";
}
close($writer);
$SIG{$_} = "IGNORE" for qw(INT TERM HUP QUIT PIPE);
my %named = ("\t" => "\\t", "\n" => "\\n", "\r" => "\\r", "\a" => "\\a", "\b" => "\\b");
while (1) {
    my $got = sysread($log, my $message, 65536);
    if (!defined $got) {
        next if $!{EINTR};
        last;
    }
    last if $got == 0;
    $message =~ s/\r?\n\z//;
    $message =~ s{([^\x20-\x7e])}{$named{$1} // sprintf("\\x%02x", ord $1)}ge;
    syswrite(STDERR, "$message\n");
}
waitpid($pid, 0);
exit($? & 127 ? 128 + ($? & 127) : $? >> 8);
'

# The pid of the reader's child, the listener (started at once).
child_of() {
    local pid
    for _ in $(seq 100); do
        pid=$(ps -o pid= --ppid "$1" | tr -d ' ' || true)
        [ -z "$pid" ] || { echo "$pid"; return 0; }
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.05
    done
}

serve() {
    local reader listener stopping=0 status=0
    trap 'stopping=1' INT TERM HUP
    perl -e "$log_reader" -- "$sshd" -D -e -f "$dir/sshd_config" &
    reader=$!
    listener=$(child_of "$reader")
    while [ "$stopping" = 0 ] && kill -0 "$reader" 2>/dev/null; do
        wait "$reader" && status=0 || status=$?
    done
    # Should the reader be gone before sshd, sshd serves on without a log.
    if [ "$stopping" = 0 ] && [ -n "$listener" ] && [ -n "$(running "$listener")" ]; then
        echo "serve-ssh: the log reader has ended; sshd serves on, but its log is lost" >&2
        while [ "$stopping" = 0 ] && [ -n "$(running "$listener")" ]; do
            sleep 1 &
            wait $! || true
        done
        status=1
    fi
    if [ "$stopping" = 1 ]; then
        [ -z "$listener" ] || stop_serving "$listener"
        status=0
    fi
    # The reader ends with the last process of the server; one that got
    # away from the counting could hold the log open.
    [ -z "$(wait_for_end 50 "$reader")" ] || kill -KILL "$reader" 2>/dev/null || true
    wait "$reader" 2>/dev/null || true
    # sshd removes its pid file when it ends by SIGTERM, not when it is killed.
    rm -f -- "$dir/sshd.pid"
    exit "$status"
}

check_settings
[ -x "$bin" ] || die "$bin is not an executable: build the magazine first (bash tools/setup.sh) or set QUIXMAG_BIN"
bin=$(realpath "$bin")
plain QUIXMAG_BIN "$bin"

install_sshd
check_account
check_owners QUIXMAG_BIN "$bin"
mkdir -p "$dir"
dir=$(realpath "$dir")
plain DIR "$dir"
check_owners DIR "$dir"
check_dir_files
chmod 755 "$dir"
check_dir_path
make_keys
make_slots
write_gate
write_config
# The privilege-separated child changes root to this empty folder.
[ "$me_uid" -ne 0 ] || { mkdir -p /run/sshd && chmod 755 /run/sshd; }
"$sshd" -t -f "$dir/sshd_config" || die "sshd does not accept $dir/sshd_config"
echo "serve-ssh: serving $bin to '$user' on $listen:$port (reader key: $dir/reader_key)" >&2
serve
