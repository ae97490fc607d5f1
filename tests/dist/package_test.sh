#!/usr/bin/env bash
# package_test.sh [WORK_DIR]: the Debian package from this source tree, end to
# end. Builds it (dpkg-buildpackage in a copy of the tree under WORK_DIR,
# default /tmp/vexmor-package), runs lintian, checks its contents against
# package-contents.txt, installs it, starts it offscreen as a fresh ordinary
# user and as root (each in a network namespace of its own, so nothing it
# does reaches a network), checks that each wrote its settings into its own
# home and nothing under /usr, then purges it and checks nothing is left.
# Root only; a vexmor left by an earlier, ended run is purged first. With
# VX_PACKAGE_REUSE=1 a package already built in WORK_DIR is checked again
# without a new build.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-/tmp/vexmor-package}
user=vxpkgtest
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "--- $* ($SECONDS s)"; }

[ "$(id -u)" -eq 0 ] || fail "run as root: the test installs the package"
# A run that was ended before its purge leaves the package (and its user)
# behind: take them away first, so that this run checks a clean install.
if dpkg-query -W -f='${Status}' vexmor 2>/dev/null | grep -q 'install'; then
    echo "package_test: purging a vexmor left by an earlier run"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y vexmor || fail "apt-get purge of the earlier vexmor"
fi
if id "$user" >/dev/null 2>&1; then userdel -r "$user" 2>/dev/null || true; fi
if ! (cd "$src" && dpkg-checkbuilddeps); then
    fail "build dependencies missing (debian/control)"
fi
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
project=$(sed -n 's/^project(Vexmor VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ "$version" = "$project" ] || fail "debian/changelog says $version, CMakeLists.txt $project"

cleanup() {
    if id "$user" >/dev/null 2>&1; then userdel -r "$user" 2>/dev/null || true; fi
}
trap cleanup EXIT

deb="$work/vexmor_${version}_$(dpkg --print-architecture).deb"
if [ "${VX_PACKAGE_REUSE:-0}" = 1 ] && [ -f "$deb" ]; then
    step "reusing $deb"
else
    step "build vexmor $version"
    # A copy of the tracked and new files, at a fixed path so that ccache
    # recognises a rebuild; dpkg-buildpackage puts its results beside it.
    tree="$work/vexmor-$version"
    rm -rf "$work"
    mkdir -p "$tree"
    (cd "$src" && git ls-files -z -co --exclude-standard |
        tar --null --ignore-failed-read -T - -cf -) | tar -xf - -C "$tree"
    export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-parallel=$(nproc)}
    if ! (cd "$tree" && nice dpkg-buildpackage -us -uc -b) >"$work/build.log" 2>&1; then
        tail -n 60 "$work/build.log"
        fail "dpkg-buildpackage (whole log: $work/build.log)"
    fi
    [ -f "$deb" ] || fail "no $deb"
fi

step lintian
# Every warning left is overridden, with its reason, in debian/.
lintian --fail-on error,warning "$work"/vexmor_"${version}"_*.changes ||
    fail "lintian"

step contents
# Paths without the leading "." and a folder's trailing "/".
mapfile -t paths < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\.||' -e 's|/$||' |
    grep -v '^$')
needs=()
allows=()
while read -r kind pattern; do
    case $kind in
    need) needs+=("$pattern") ;;
    allow) allows+=("$pattern") ;;
    '' | '#'*) ;;
    *) fail "package-contents.txt: $kind $pattern" ;;
    esac
done <"$src/tests/dist/package-contents.txt"
for pattern in "${needs[@]}"; do
    found=no
    for p in "${paths[@]}"; do
        # shellcheck disable=SC2053  # the right side is a pattern
        if [[ $p == $pattern ]]; then found=yes && break; fi
    done
    [ $found = yes ] || fail "the package holds nothing like $pattern"
done
for p in "${paths[@]}"; do
    ok=no
    for pattern in "${needs[@]}" "${allows[@]}"; do
        # shellcheck disable=SC2053
        if [[ $p == $pattern ]]; then ok=yes && break; fi
    done
    [ $ok = yes ] || fail "the package holds $p, which package-contents.txt does not name"
done
echo "${#paths[@]} paths, all named in package-contents.txt"

step install
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb"; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" || fail "apt-get install"
fi
[ "$(readlink -f /usr/bin/vexmor)" = /usr/lib/vexmor/Vexmor ] || fail "/usr/bin/vexmor"
if ! getcap /usr/lib/vexmor/vx-arp | grep -q cap_net_raw; then
    # Only a file system without extended attributes may refuse it.
    touch "$work/xattr-probe"
    if setcap cap_net_raw+ep "$work/xattr-probe" 2>/dev/null; then
        fail "postinst did not give vx-arp cap_net_raw"
    fi
    echo "note: this file system holds no file capabilities"
fi

# Starts the installed program offscreen in a network namespace of its own
# (only a loopback that is down) for a few seconds, as `who` with home
# `home`; it must still be running when the time is up.
run_vexmor() {
    local who=$1 home=$2 runtime rc=0
    runtime=$(mktemp -d)
    chown "$who:" "$runtime"
    unshare --net -- setpriv --reuid="$who" --regid="$who" --init-groups -- \
        env -i PATH=/usr/bin:/bin HOME="$home" USER="$who" LANG=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime" QTWEBENGINE_DISABLE_SANDBOX=1 \
        timeout 6 vexmor >"$work/run-$who.log" 2>&1 || rc=$?
    rm -rf "$runtime"
    if [ "$rc" -ne 124 ]; then
        cat "$work/run-$who.log"
        fail "vexmor as $who ended by itself (status $rc) instead of running"
    fi
    [ -s "$home/.config/vexmor/Vexmor.ini" ] || fail "no settings in $home/.config/vexmor"
}

step "run as an ordinary user"
useradd -m "$user"
home=$(getent passwd "$user" | cut -d: -f6)
stamp="$work/started"
touch "$stamp"
run_vexmor "$user" "$home"
[ "$(stat -c %U "$home/.config/vexmor/Vexmor.ini")" = "$user" ] || fail "settings owner"

step "run as root"
# Root may write anywhere; the marker file still keeps it out of /usr.
mkdir -p "$work/root-home"
run_vexmor root "$work/root-home"

written=$(find /usr -xdev -user "$user" -print -quit)
[ -z "$written" ] || fail "the ordinary user wrote $written"
changed=$(find /usr/lib/vexmor /usr/bin/vexmor /usr/share/applications/org.vexmor.Vexmor.desktop \
    -newer "$stamp" -print -quit)
[ -z "$changed" ] || fail "a run changed $changed"

step purge
DEBIAN_FRONTEND=noninteractive apt-get purge -y vexmor || fail "apt-get purge"
if dpkg-query -W -f='${Status}' vexmor 2>/dev/null | grep -qv '^unknown ok not-installed$\|^$'; then
    fail "dpkg still knows vexmor: $(dpkg-query -W -f='${Status}' vexmor)"
fi
for p in "${paths[@]}"; do
    case $p in
    /usr/lib/vexmor* | /usr/share/doc/vexmor*) [ ! -e "$p" ] || fail "$p is left" ;;
    *) [ -d "$p" ] || [ ! -e "$p" ] || fail "$p is left" ;;
    esac
done
[ ! -e /usr/lib/vexmor ] || fail "/usr/lib/vexmor is left"
step "PASS"
