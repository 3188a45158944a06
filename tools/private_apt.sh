# Sourced by the scripts that build libraries from Debian's source packages
# (windows_deps.sh, web_deps.sh): a private apt configuration in the folder
# $work/apt with one deb-src entry for the mirror that the machine's own apt
# configuration uses for this release (apt_mirror.sh; without one the script
# stops and says why). The machine's apt set-up is never touched.
#
# Sets suite, mirror and apt_dir, and defines apt_private, which runs
# apt-get with that configuration.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
mirror=$(bash "$top/tools/apt_mirror.sh" "$suite")

apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
echo "deb-src $mirror $suite main" > "$apt_dir/sources.list"
cat > "$apt_dir/apt.conf" <<CONF
Dir::Etc::SourceList "$apt_dir/sources.list";
Dir::Etc::SourceParts "$apt_dir/sources.list.d";
Dir::State::Lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
APT::Sandbox::User "root";
CONF
apt_private() { APT_CONFIG="$apt_dir/apt.conf" apt-get -q "$@"; }
