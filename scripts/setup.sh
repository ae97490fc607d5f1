#!/usr/bin/env bash
# Installs the Debian 12 packages Vexmor needs, then configures and builds it
# into build/ (build/bin/Vexmor, build/bin/ToolDlls/*.so, build/tests/*).
#   scripts/setup.sh [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6 libqt6sql6-sqlite
  qt6-webengine-dev libqt6webenginecore6-bin
  # The translations: lrelease/lupdate at build time, Qt's own texts at run time.
  qt6-l10n-tools qt6-translations-l10n
  libsmbclient-dev smbclient samba
  libcurl4-openssl-dev libelf-dev libsodium-dev minisign
  iproute2 iputils-arping libcap2-bin procps psmisc
  fonts-wqy-zenhei
  xvfb trayer xdotool dbus-daemon at-spi2-core python3-pyatspi
  desktop-file-utils appstream
  ieee-data
  # The test LAN's name services (lab/up.sh): a resolver and an mDNS responder.
  dnsmasq-base avahi-daemon
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  # avahi-daemon is here only for the lab, which runs it inside its own
  # namespaces: installing it must not start it on this machine's network
  # (policy-rc.d answers 101, "action denied", for it and allows the rest).
  policy=/usr/sbin/policy-rc.d
  made_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\ncase "$1" in avahi-daemon*) exit 101 ;; esac\nexit 0\n' | $SUDO tee "$policy" >/dev/null
    $SUDO chmod 755 "$policy"
    made_policy=1
  fi
  status=0
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}" ||
    status=$?
  [ -z "$made_policy" ] || $SUDO rm -f "$policy"
  [ "$status" -eq 0 ] || exit "$status"
fi

# The share setter makes Samba usershares: the user who runs Vexmor must be in
# the group sambashare (it owns the usershare folder), and usershares must be
# allowed to admit guests. Done once; a second run changes nothing.
share_user=${SUDO_USER:-$(id -un)}
if [ "$share_user" != root ] && getent group sambashare >/dev/null &&
   ! id -nG "$share_user" | tr ' ' '\n' | grep -qx sambashare; then
  $SUDO usermod -aG sambashare "$share_user"
  echo "setup: added $share_user to the group sambashare (log in again for it to apply)"
fi
smb_conf=/etc/samba/smb.conf
if [ -f "$smb_conf" ] &&
   ! grep -Eiq '^[[:space:]]*usershare allow guests[[:space:]]*=' "$smb_conf"; then
  if grep -Eiq '^[[:space:]]*\[global\]' "$smb_conf"; then
    $SUDO sed -i -E '0,/^[[:space:]]*\[[Gg][Ll][Oo][Bb][Aa][Ll]\]/s//&\n   usershare allow guests = yes/' \
      "$smb_conf"
  else
    printf '[global]\n   usershare allow guests = yes\n' | $SUDO tee -a "$smb_conf" >/dev/null
  fi
  echo "setup: set 'usershare allow guests = yes' in [global] of $smb_conf"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j"$(nproc)"
# The host patrol's ARP helper gets the one capability it needs as a file
# capability (as Debian ships arping); nothing else in Vexmor holds one.
# A rebuild of vx-arp drops it: run this line again.
$SUDO setcap cap_net_raw+ep build/bin/vx-arp
