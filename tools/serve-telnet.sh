#!/usr/bin/env bash
# Serves the magazine to callers over telnet: a listener in the foreground
# hands each connection to Debian's telnetd, which runs the magazine in a
# pseudo-terminal of the caller's own, with no login and no shell.
#
#   bash tools/serve-telnet.sh DIR PORT
#
# DIR receives the server's own files: connection (what the listener runs
# for each caller: it takes the caller's place and starts telnetd), session
# (what telnetd runs in the caller's terminal: the magazine), slots/ (the
# readers' places) and tcpserver.pid while it serves.
#
# Environment:
#   QUIXMAG_TELNET_USER
#                      the account the callers' sessions run as (default:
#                      the user running this script; only root can serve
#                      another one; never root). Callers do not log in: the
#                      account needs no password and no shell.
#   QUIXMAG_BIN        the program every caller gets (default: build/quixmag
#                      of this checkout)
#   LISTEN             the IPv4 address to listen on (default 127.0.0.1;
#                      0.0.0.0 for every address of the machine)
#   MAX_READERS        readers at once (default 100)
#   MAX_READERS_PER_ADDRESS
#                      readers at once from one address (default 10)
#   MAX_SESSION_LENGTH a session is ended after this long (a number with
#                      s, m, h or d; default none: no limit)
#   IDLE_MINUTES       the magazine ends, with its exit screen, after this
#                      many minutes without a key (default 15): telnet itself
#                      has no idle time-out
#
# These limits are the SSH board's (tools/serve-ssh.sh), from the same code
# (tools/board.sh). A caller over MAX_READERS or MAX_READERS_PER_ADDRESS gets
# the one line "the board is full, try again later" and the connection
# closes. The listener takes at most MAX_READERS + 30 connections at once,
# the readers and those being turned away; more wait to be taken. A client
# that has not finished its first option negotiation within 30 s, and one
# whose connection has stayed full for 60 s (it reads nothing), is dropped,
# and its place comes back.
#
# What the caller's client sends is taken for the terminal only: its
# terminal type (as TERM, where it is a plain name; otherwise "ansi", the
# PC terminal of the BBS world), its window size, and 8-bit binary mode
# where it asks for it. telnetd takes none of the client's environment
# variables; the magazine starts with an environment this script sets:
# PATH, TERM, REMOTEHOST (the caller's address, a number, as a login would
# set it: the magazine asks nothing of a far terminal that it need not) and
# QUIXMAG_PUBLIC=1 (the board's reading mode). No login
# program and no shell run, and nothing the client sends becomes an
# argument of a program.
#
# Ctrl+C or SIGTERM stops the server and ends every session it started:
# new connections stop first, then the magazines end (each gives its
# reader's terminal back and the connection closes as on a normal exit),
# then whatever is left.
#
# DIR, QUIXMAG_BIN and every folder above them must belong to root or to the
# user running this script, and none may be writable by the reading account:
# otherwise the account could change what its own sessions run.
#
# Debian's inetutils-telnetd and ucspi-tcp (the listener, tcpserver) are
# installed only where they are missing; the machine's own inetd is not
# started and serves no telnet, and no telnet service of the machine is used.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
telnetd=/usr/sbin/telnetd
tcpserver=/usr/bin/tcpserver
board_script=serve-telnet
board_server='^telnetd$'
user_variable=QUIXMAG_TELNET_USER
# shellcheck source-path=SCRIPTDIR source=board.sh
. "$top/tools/board.sh"

[ $# -eq 2 ] || { echo "usage: bash tools/serve-telnet.sh DIR PORT" >&2; exit 2; }
dir=$1
port=$2
[[ $port =~ ^[0-9]+$ ]] && [ "$port" -ge 1 ] && [ "$port" -le 65535 ] || die "PORT must be a number from 1 to 65535"

me=$(id -un)
me_uid=$(id -u)
user=${QUIXMAG_TELNET_USER:-$me}
bin=${QUIXMAG_BIN:-$top/build/quixmag}
listen=${LISTEN:-127.0.0.1}
idle_minutes=${IDLE_MINUTES:-15}
# How long a caller's client may take over its first option negotiation,
# and how long what the board sends may wait for a client that reads
# nothing (milliseconds).
first_contact_seconds=30
send_wait_ms=60000

check_settings() {
    plain QUIXMAG_TELNET_USER "$user"
    [[ $listen =~ ^[0-9]{1,3}(\.[0-9]{1,3}){3}$ ]] ||
        die "LISTEN must be an IPv4 address such as 127.0.0.1 or 0.0.0.0, not '$listen'"
    board_limits
    board_session_limit
    count IDLE_MINUTES "$idle_minutes"
    [ "$idle_minutes" -le 1440 ] || die "IDLE_MINUTES must be at most 1440 (a day), not '$idle_minutes'"
}

# Debian's telnetd comes with an inetd (a package of its own must provide
# one) and a syslog daemon. The install starts neither: where no policy-rc.d
# says otherwise, one that answers "not now" to the packages' start scripts
# stands for the time of the install (and goes, however the script ends).
# Debian adds the telnet service to inetd.conf switched off.
install_server() {
    local packages=() policy=/usr/sbin/policy-rc.d made_policy=0
    [ -x "$telnetd" ] || packages+=(inetutils-telnetd)
    [ -x "$tcpserver" ] || packages+=(ucspi-tcp)
    [ ${#packages[@]} -gt 0 ] || return 0
    [ "$me_uid" -eq 0 ] || die "missing: install Debian's ${packages[*]} (as root)"
    echo "$board_script: installing ${packages[*]}" >&2
    if [ ! -e "$policy" ]; then
        trap 'rm -f -- /usr/sbin/policy-rc.d' EXIT
        printf '#!/bin/sh\n# Left by tools/serve-telnet.sh while it installs: no service starts.\nexit 101\n' >"$policy"
        chmod 755 "$policy"
        made_policy=1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${packages[@]}" >/dev/null ||
        die "could not install ${packages[*]}"
    if [ "$made_policy" = 1 ]; then
        rm -f -- "$policy"
        trap - EXIT
    fi
}

# What the listener runs for each connection, as the reading account, with
# the connection on descriptors 0 and 1: it takes the caller's place before
# anything else (a caller that never finishes its option negotiation still
# holds only its own address's places), then gives way to telnetd. A caller
# turned away gets the one line of the full board as plain text; what its
# client sent meanwhile (its first option requests) is read first, since a
# connection closed with data unread ends in a reset, and some systems drop
# what they had received but not yet shown when one comes. telnetd
# runs the session with the caller's address (the listener's, a number) and
# this script's pid as its arguments: nothing the client sends comes into
# the command; -h: nothing is shown of the machine before the magazine.
#
# telnetd waits for the client's answers to its first option requests
# before it starts the session, and for good: a client that never answers
# (a plain TCP client, nc, a scanner) would hold its place for as long as
# it stays connected. So this script stays telnetd's parent and gives the
# first negotiation first_contact_seconds: the session tells it (SIGUSR1)
# that it has started, and a telnetd that has not started one by then is
# ended, and the place comes back. It looks once a second, and no more
# once the session has started or telnetd has ended (telnetd is not reaped
# before the script waits for it, so its pid is never another's). The
# script holds neither the place nor the connection: telnetd alone does.
#
# A client that stops reading fills the connection, and telnetd then waits
# in a write to it for good, holding the magazine's output and the
# caller's keys alike (the magazine, on the far side of a pseudo-terminal,
# sees an idle reader). So the connection gets TCP_USER_TIMEOUT (option 18
# of level 6, IPPROTO_TCP, on Linux; perl, which every Debian system has,
# sets it before it becomes telnetd): what waits for a client that takes
# nothing for send_wait_ms ends the connection, and telnetd with it.
write_connection() {
    {
        echo "#!/bin/sh"
        echo "# Written by tools/$board_script.sh: takes the caller's place, then runs telnetd and gives"
        echo "# its first negotiation $first_contact_seconds seconds."
        # shellcheck disable=SC2016
        take_place_text '$TCPREMOTEIP' '\r\n' 'dd iflag=nonblock bs=4096 of=/dev/null 2>/dev/null'
        cat <<EOF
user_timeout='setsockopt(STDIN, 6, 18, pack("i", shift)) or warn "TCP_USER_TIMEOUT: \$!\\n"; exec @ARGV'
started=0
woken=0
trap 'started=1; woken=1' USR1
trap 'woken=1; kill \$server 2>/dev/null' TERM HUP
exec 6<&0
/usr/bin/perl -e "\$user_timeout" $send_wait_ms $telnetd -h -E "$dir/session \$address \$\$" <&6 >&6 6<&- &
server=\$!
exec 0</dev/null 1>/dev/null 3>&- 4>&- 6<&-
i=0
while [ \$started = 0 ] && [ \$i -lt $first_contact_seconds ]; do
    state=\$(cut -d ' ' -f 3 /proc/\$server/stat 2>/dev/null)
    [ -n "\$state" ] && [ "\$state" != Z ] || break
    sleep 1
    i=\$((i + 1))
done
[ \$started = 1 ] || kill \$server 2>/dev/null
while :; do
    woken=0
    wait \$server
    status=\$?
    [ \$woken = 1 ] || break
done
exit \$status
EOF
    } >"$dir/connection"
    chmod 755 "$dir/connection"
}

# What telnetd runs in the caller's pseudo-terminal, with the places
# inherited. It first tells the connection's script (its second argument)
# that the first negotiation is over. A client that names no terminal type is "network" to telnetd:
# that one, and any name with other characters than a plain one's, is taken
# as ansi. The window size comes just after telnetd starts it (clients
# send it once asked, and telnetd asks late): it waits up to a second for it,
# so that the magazine starts at the caller's size. The magazine gets a
# clean environment, whatever telnetd passed on. The session outlives it by
# half a second: telnetd ends the connection as soon as the session's last
# process ends, and drops what it has not yet carried (the magazine's last
# output, which gives the caller's terminal back).
write_session() {
    local run="env -i PATH=/usr/bin:/bin TERM=\"\$term\" REMOTEHOST=\"\$1\" QUIXMAG_PUBLIC=1 $session_limit${session_limit:+ }$bin --idle $idle_minutes
status=\$?"
    # The line of the time limit waits at most a few seconds for a client
    # that reads nothing: the session ends all the same.
    [ -z "$session_limit" ] || run="$run
[ \$status -ne 124 ] || timeout 5 printf '%s\\n' \"$time_up_line\""
    cat >"$dir/session" <<EOF
#!/bin/sh
# Written by tools/$board_script.sh: runs the magazine in the caller's terminal.
PATH=/usr/bin:/bin
case \${2:-} in
    "" | *[!0-9]*) ;;
    *) kill -USR1 "\$2" 2>/dev/null ;;
esac
term=\${TERM:-}
case \$term in
    "" | network | *[!a-z0-9._+-]*) term=ansi ;;
esac
[ \${#term} -le 40 ] || term=ansi
i=0
while [ \$i -lt 20 ] && [ "\$(stty size 2>/dev/null)" = "0 0" ]; do
    sleep 0.05
    i=\$((i + 1))
done
$run
sleep 0.5
exit \$status
EOF
    chmod 755 "$dir/session"
}

serve() {
    local listener stopping=0 status=0 as=() connections=$((max_readers + 30))
    [ "$user" = "$me" ] || as=(-u "$(id -u "$user")" -g "$(id -g "$user")")
    trap 'stopping=1' INT TERM HUP
    # -H -R -l 0: no name of the caller or of this machine is looked up, so
    # that the log holds nothing a caller chose; -D: keys go out at once.
    # The listener and the sessions run in a session of their own: a signal
    # for this script's whole group (Ctrl+C, timeout, kill -TERM -PGID)
    # reaches the script alone, which ends them in order.
    # (This script's child leads no group, so setsid does not fork: the
    # pid is the listener's.)
    setsid env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "$tcpserver" -v -D -H -R -l 0 -c "$connections" -b 64 \
        "${as[@]}" "$listen" "$port" "$dir/connection" &
    listener=$!
    echo "$listener" >"$dir/tcpserver.pid"
    while [ "$stopping" = 0 ] && kill -0 "$listener" 2>/dev/null; do
        wait "$listener" && status=0 || status=$?
    done
    if [ "$stopping" = 1 ]; then
        stop_serving "$listener"
        status=0
    fi
    wait "$listener" 2>/dev/null || true
    rm -f -- "$dir/tcpserver.pid"
    exit "$status"
}

check_settings
check_program
install_server
check_reading_account
prepare_dir
make_slots
write_connection
write_session
echo "$board_script: serving $bin as '$user' on $listen:$port" >&2
serve
