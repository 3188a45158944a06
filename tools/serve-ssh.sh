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
#                      running this script; only root can serve another one)
#   QUIXMAG_BIN        the program every login runs (default: build/quixmag
#                      of this checkout)
#   LISTEN             the address to listen on (default 127.0.0.1)
#   IDLE_TIMEOUT       a session with no traffic for this long is closed
#                      (sshd time format, default 15m)
#   MAX_STARTUPS       sshd MaxStartups (default 30:30:100: a crowd of
#                      30 may log in at once, beyond that connections
#                      are dropped more and more)
#   QUIXMAG_SSH_EMPTY_PASSWORD=1
#                      also let the account in with an empty password (the
#                      account's password must be empty: passwd -d USER)
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

user=${QUIXMAG_SSH_USER:-$(id -un)}
bin=${QUIXMAG_BIN:-$top/build/quixmag}
listen=${LISTEN:-127.0.0.1}
idle=${IDLE_TIMEOUT:-15m}
max_startups=${MAX_STARTUPS:-30:30:100}
empty_password=${QUIXMAG_SSH_EMPTY_PASSWORD:-0}

# Values that go into sshd_config and authorized_keys: plain characters only,
# so that none of them can add an option or break out of a quoted command.
plain() { [[ $2 =~ ^[A-Za-z0-9._/:+-]+$ ]] || die "$1 holds characters this script does not pass on: '$2'"; }

install_sshd() {
    [ -x "$sshd" ] && return
    [ "$(id -u)" -eq 0 ] || die "sshd is missing: install Debian's openssh-server (as root)"
    echo "serve-ssh: installing openssh-server" >&2
    # The package would start the machine's own ssh service; this machine had
    # none, so keep it that way (remove the file to use that service).
    [ -e /etc/ssh/sshd_not_to_be_run ] || { mkdir -p /etc/ssh && touch /etc/ssh/sshd_not_to_be_run; }
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq openssh-server >/dev/null
}

check_account() {
    local entry shell
    entry=$(getent passwd "$user") || die "no account '$user' (set QUIXMAG_SSH_USER)"
    shell=$(cut -d: -f7 <<<"$entry")
    # sshd runs the forced command through the account's shell.
    [ -x "$shell" ] && [[ $shell != */nologin && $shell != */false ]] ||
        die "account '$user' has the shell '$shell': give it /bin/sh (the magazine is forced on every login)"
    if [ "$(id -u)" -ne 0 ] && [ "$user" != "$(id -un)" ]; then
        die "only root can serve another account than its own"
    fi
    if [ "$user" = root ] || [ "$(cut -d: -f3 <<<"$entry")" = 0 ]; then
        echo "serve-ssh: warning: readers log in as root; a dedicated reading account is safer" >&2
    fi
    if [ "$(id -u)" -eq 0 ] && ! runuser -u "$user" -- test -x "$bin"; then
        die "account '$user' cannot run $bin"
    fi
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
    printf 'restrict,pty,command="exec %s" %s\n' "$bin" "$(cat "$dir/reader_key.pub")" >"$dir/authorized_keys"
    chmod 644 "$dir/authorized_keys"
    local host=$listen
    [ "$port" = 22 ] || host="[$listen]:$port"
    printf '%s %s\n' "$host" "$(cut -d' ' -f1,2 "$dir/host_ed25519_key.pub")" >"$dir/known_hosts"
}

write_config() {
    local root_login=no
    [ "$user" = root ] && root_login=forced-commands-only
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
PermitRootLogin $root_login
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
HostbasedAuthentication no
GSSAPIAuthentication no
PermitEmptyPasswords no
UsePAM no
MaxAuthTries 3
LoginGraceTime 20

# exec: the shell sshd starts the command with gives way to the magazine.
ForceCommand exec $bin
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

MaxStartups $max_startups
MaxSessions 1
ChannelTimeout session:*=$idle
UnusedConnectionTimeout 30s
ClientAliveInterval 30
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

plain QUIXMAG_SSH_USER "$user"
plain LISTEN "$listen"
plain IDLE_TIMEOUT "$idle"
plain MAX_STARTUPS "$max_startups"
[ -x "$bin" ] || die "$bin is not an executable: build the magazine first (bash tools/setup.sh) or set QUIXMAG_BIN"
bin=$(realpath "$bin")
plain QUIXMAG_BIN "$bin"

install_sshd
check_account
mkdir -p "$dir"
dir=$(realpath "$dir")
plain DIR "$dir"
chmod 755 "$dir"
check_dir_path
make_keys
write_config
# The privilege-separated child changes root to this empty folder.
[ "$(id -u)" -ne 0 ] || { mkdir -p /run/sshd && chmod 755 /run/sshd; }
"$sshd" -t -f "$dir/sshd_config" || die "sshd does not accept $dir/sshd_config"
echo "serve-ssh: serving $bin to '$user' on $listen:$port (reader key: $dir/reader_key)" >&2
exec "$sshd" -D -e -f "$dir/sshd_config"
