#!/usr/bin/env bash
# Prints the archive that this machine's apt configuration uses for SUITE:
# the URI of its first enabled entry for SUITE with the component main.
#
#   bash tools/apt_mirror.sh SUITE
#
# apt reads its configuration itself, so every form it knows counts: the
# one-line sources.list and sources.list.d/*.list entries (with or without
# options in brackets) and the deb822 sources.list.d/*.sources files
# (disabled ones left out). APT_CONFIG, when set, names another
# configuration, as for apt itself. Exits 1 with a message when there is no
# such entry: the mirror is never guessed.
set -euo pipefail

suite=${1:?usage: bash tools/apt_mirror.sh SUITE}

# --no-release-info: the configured entries, whether or not their indexes
# have been downloaded.
mirror=$(apt-get indextargets --no-release-info --format '$(RELEASE) $(COMPONENT) $(REPO_URI)' 2>/dev/null \
    | awk -v suite="$suite" '$1 == suite && $2 == "main" { print $3; exit }' || true)

if [ -z "$mirror" ]; then
    cat >&2 <<EOF
error: apt on this machine has no source for "$suite" main.
Add the Debian mirror this machine uses to /etc/apt/sources.list.d/ (a
deb822 .sources file) or /etc/apt/sources.list (a "deb URI $suite main"
line), check it with apt-get update, and run this again.
EOF
    exit 1
fi
echo "$mirror"
