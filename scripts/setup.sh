#!/usr/bin/env bash
# Installs the Debian 12 packages Vexmor needs, then configures and builds it
# into build/ (build/bin/Vexmor, build/bin/ToolDlls/*.so, build/tests/*).
#   scripts/setup.sh [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6
  libsmbclient-dev smbclient samba
  libcurl4-openssl-dev libelf-dev
  iproute2 iputils-arping libcap2-bin procps psmisc
  fonts-wqy-zenhei
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j"$(nproc)"
