#!/usr/bin/env bash
# install_test.sh BUILD_DIR: installs the build under a throw-away prefix (with
# a blank in it) and checks what came out. Skips (77) without the validators,
# which scripts/setup.sh installs.
set -euo pipefail
build=$1
for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
prefix="$dest/home dir/.local"
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$dest/install.log" || {
    cat "$dest/install.log"
    fail "cmake --install"
}
app="$prefix/lib/vexmor"
id=org.vexmor.Vexmor

# The portable folder: the program, its plug-ins, and whatever this build made
# beside the program (helpers, browser module, home page).
[ -x "$app/Vexmor" ] || fail "no program in $app"
for f in ToolDlls/VX_HostPatrol.so ToolDlls/VX_ShareSetter.so icons/$id.svg; do
    [ -f "$app/$f" ] || fail "missing $f"
done
[ -d "$app/keys" ] || fail "no keys folder"
for f in vx-arp vx-smblist vx_browser.so home/index.html; do
    if [ -e "$build/bin/$f" ]; then [ -e "$app/$f" ] || fail "missing $f"; fi
done
for f in "$app"/ToolDlls/*; do
    case ${f##*/} in
    VX_HostPatrol.so | VX_ShareSetter.so) ;;
    *) fail "unexpected file in ToolDlls: ${f##*/}" ;;
    esac
done
# The program and its plug-ins load the platform library of this folder.
for f in "$app/Vexmor" "$app"/ToolDlls/*.so; do
    lib=$(ldd "$f" | sed -n 's/.*libvexmor-platform[^ ]* => \(.*\) (0x.*/\1/p')
    [ -n "$lib" ] && [ "$(readlink -f "$lib")" = "$(readlink -f "$app"/libvexmor-platform.so.*)" ] ||
        fail "${f##*/} finds the platform library at '$lib'"
done
[ "$(readlink -f "$prefix/bin/vexmor")" = "$(readlink -f "$app/Vexmor")" ] || fail "bin/vexmor"

# Desktop integration, valid and pointing at the installed program.
desktop="$prefix/share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qxF "Exec=\"$app/Vexmor\"" "$desktop" || fail "Exec line: $(grep ^Exec= "$desktop")"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no icon"

# As root the install gives the ARP helper its capability itself.
if [ -e "$app/vx-arp" ] && [ "$(id -u)" -eq 0 ] && command -v getcap >/dev/null; then
    getcap "$app/vx-arp" | grep -q cap_net_raw || fail "vx-arp has no cap_net_raw"
fi
echo "PASS: installed and validated under $prefix"
