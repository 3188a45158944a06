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
board_script=serve-ssh
board_server='^sshd'
user_variable=QUIXMAG_SSH_USER
# shellcheck source-path=SCRIPTDIR source=board.sh
. "$top/tools/board.sh"

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
empty_password=${QUIXMAG_SSH_EMPTY_PASSWORD:-0}

check_settings() {
    plain QUIXMAG_SSH_USER "$user"
    plain LISTEN "$listen"
    plain IDLE_TIMEOUT "$idle"
    count ALIVE_INTERVAL "$alive"
    board_limits
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

# The reading account, as both boards check it; and sshd runs the forced
# command through the account's shell.
check_account() {
    local shell
    check_reading_account
    shell=$(cut -d: -f7 <<<"$user_entry")
    [ -x "$shell" ] && [[ $shell != */nologin && $shell != */false ]] ||
        die "account '$user' has the shell '$shell': give it /bin/sh (the magazine is forced on every login)"
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

# The forced command of every login, the gate (tools/board.sh): it takes the
# reader's place and gives way to the magazine.
write_ssh_gate() {
    # shellcheck disable=SC2016
    write_gate '${SSH_CLIENT%% *}'
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
check_program
install_sshd
check_account
prepare_dir
check_dir_path
make_keys
make_slots
write_ssh_gate
write_config
# The privilege-separated child changes root to this empty folder.
[ "$me_uid" -ne 0 ] || { mkdir -p /run/sshd && chmod 755 /run/sshd; }
"$sshd" -t -f "$dir/sshd_config" || die "sshd does not accept $dir/sshd_config"
echo "serve-ssh: serving $bin to '$user' on $listen:$port (reader key: $dir/reader_key)" >&2
serve
