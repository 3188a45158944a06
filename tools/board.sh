# What the SSH board (tools/serve-ssh.sh) and the telnet board
# (tools/serve-telnet.sh) share, sourced by both so that it exists once: the
# readers' limits and the gate that holds them, the checks of the settings,
# of the reading account and of the folders served from, and the stopping of
# the server with every session it started.
#
# The script that sources this file sets, before it calls anything here:
#   board_script     its name in messages (serve-ssh, serve-telnet)
#   board_server     the server program's process name, as a regular
#                    expression (^sshd, ^telnetd$): its processes carry
#                    connections and are no session's own program
#   user_variable    the variable that names the reading account
#   me, me_uid       the user running the script
#   user             the reading account
#   bin              the magazine
#   dir              the server's folder (once it is made)
# and board_limits sets max_readers, max_per_address and max_session.
#
# shellcheck shell=bash

die() {
    echo "$board_script: $*" >&2
    exit 1
}

# Values that go into the server's settings and the scripts written here:
# plain characters only, so that none of them can add an option or break out
# of a quoted command.
plain() { [[ $2 =~ ^[A-Za-z0-9._/:+-]+$ ]] || die "$1 holds characters this script does not pass on: '$2'"; }
count() { [[ $2 =~ ^[1-9][0-9]{0,5}$ ]] || die "$1 must be a whole number from 1 on, not '$2'"; }

# The readers' limits, from the environment, checked.
board_limits() {
    max_readers=${MAX_READERS:-100}
    max_per_address=${MAX_READERS_PER_ADDRESS:-10}
    max_session=${MAX_SESSION_LENGTH:-none}
    count MAX_READERS "$max_readers"
    count MAX_READERS_PER_ADDRESS "$max_per_address"
    [ "$max_session" = none ] || [[ $max_session =~ ^[1-9][0-9]{0,6}[smhd]?$ ]] ||
        die "MAX_SESSION_LENGTH must be none or a number with s, m, h or d, not '$max_session'"
}

# The reading account: one that exists, is not root, and can run the
# magazine; only root may serve another account than its own. Its passwd
# entry is left in user_entry.
user_entry=""
check_reading_account() {
    local entry
    entry=$(getent passwd "$user") || die "no account '$user' (set $user_variable)"
    user_entry=$entry
    # Readers log in as this account: root would hand every reader the machine
    # should the magazine ever be left.
    if [ "$user" = root ] || [ "$(cut -d: -f3 <<<"$entry")" = 0 ]; then
        die "readers would log in as root: make a dedicated reading account and set $user_variable (see README.md)"
    fi
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

# The magazine to serve: an executable, taken by its real path.
check_program() {
    [ -x "$bin" ] || die "$bin is not an executable: build the magazine first (bash tools/setup.sh) or set QUIXMAG_BIN"
    bin=$(realpath "$bin")
    plain QUIXMAG_BIN "$bin"
}

# The program and the server's folder (made where it is missing, and taken
# by its real path) checked for their owners, and the folder's files; the
# folder is then open to the reading account.
prepare_dir() {
    check_owners QUIXMAG_BIN "$bin"
    mkdir -p "$dir"
    dir=$(realpath "$dir")
    plain DIR "$dir"
    check_owners DIR "$dir"
    check_dir_files
    chmod 755 "$dir"
}

# Files kept in DIR from an earlier run are rewritten or used as they are:
# they too must be root's or this user's.
check_dir_files() {
    local strange
    strange=$(find "$dir" -mindepth 1 -maxdepth 1 ! -name slots ! -user 0 ! -user "$me_uid" -printf '%f ')
    [ -z "$strange" ] || die "DIR $dir holds files of another account ($strange): remove them or choose another folder"
}

# The slots: one lock file per reader place, in a folder of the reading
# account (its logins create the files of new addresses), made anew at each
# start.
make_slots() {
    rm -rf -- "$dir/slots"
    mkdir -m 700 "$dir/slots"
    [ "$user" = "$me" ] || chown "$user" "$dir/slots"
}

# The shell text that takes a reader's place, for a script that runs as the
# reading account. The caller's address is what the shell word Address
# expands to there; Line_end ends the refusal ("\n", or "\r\n" on a
# connection without a terminal to turn the one into the other), and the
# command Then (if any) runs after it, before the script ends. It takes a
# place among the readers of its address and among all readers, each place a
# lock on a file held open on descriptors 3 and 4; the program it goes on to
# inherits them, so that a place is held exactly as long as that process
# lives, however it ends (even SIGKILL). One caller at a time chooses, under
# a lock of its own, so that two cannot both take the last place. A caller
# over MAX_READERS or MAX_READERS_PER_ADDRESS gets the one line "the board
# is full, try again later" and nothing else.
take_place_text() {
    local address=$1 line_end=$2 then=${3:-}
    cat <<EOF
slots=$dir/slots
full() {
    printf 'the board is full, try again later$line_end'${then:+
    $then}
    exit 1
}
address=$address
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
EOF
}

# The command that runs the magazine for at most MAX_SESSION_LENGTH (empty
# without a limit), and the line the reader sees when it ends the session.
session_limit=""
time_up_line="the session has reached its time limit"
board_session_limit() {
    [ "$max_session" = none ] || session_limit="timeout --foreground --signal=HUP --kill-after=10s $max_session"
}

# The gate as a script of its own: the forced command of every SSH login.
# Address: as for take_place_text.
write_gate() {
    local run="exec $bin"
    board_session_limit
    if [ -n "$session_limit" ]; then
        run="$session_limit $bin
status=\$?
[ \$status -ne 124 ] || echo \"$time_up_line\"
exit \$status"
    fi
    {
        echo "#!/bin/sh"
        echo "# Written by tools/$board_script.sh: takes a reader's place, then runs the magazine."
        take_place_text "$1" '\n'
        echo "$run"
    } >"$dir/gate"
    chmod 755 "$dir/gate"
}

# Pids of the processes below Pid that still run: all of them; or (Which
# "sessions") what the sessions run, every one that is not the server's own
# and starts no other (the magazines); or (Which "connections") the
# listener's children that carry such a session (the connections' own
# server processes).
below() {
    ps -e -o pid=,ppid=,stat=,comm= | awk -v top="$1" -v which="${2:-all}" -v server="$board_server" '
        { parent[$1] = $2; ended[$1] = $3 ~ /^Z/; name[$1] = $4; starts[$2] = 1 }
        END {
            for (p in parent) {
                q = parent[p]
                while (q != top && q in parent) q = parent[q]
                if (q != top || ended[p]) continue
                if (which != "all" && (name[p] ~ server || p in starts)) continue
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
# magazines get SIGTERM while the connections' server processes still run,
# so that those carry the magazine's last output (it gives the reader's
# terminal back) and close their connections as on a normal exit. What is
# left a few seconds later (logins in progress, a session that would not
# end) is frozen, so that none of it can start another process while it is
# counted; then all of it and the listener get SIGTERM, and what still runs
# a few seconds later gets SIGKILL.
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
    echo "$board_script: stopped; sessions ended: $(wc -w <<<"$sessions"), other processes ended: $(wc -w <<<"$frozen")" >&2
}
