#!/usr/bin/env bash
# Runs the sweep benchmark in a lab of its own (root):
#   bench/sweep/run.sh [BUILD_DIR] [vx_bench_sweep options]
# Installs arp-scan and nmap when missing (they are peers measured here, not
# build or test dependencies), builds the lab, runs, removes the lab.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
shift || true
[ "$(id -u)" -eq 0 ] || { echo "bench: needs root" >&2; exit 1; }
missing=()
command -v arp-scan >/dev/null || missing+=(arp-scan)
command -v nmap >/dev/null || missing+=(nmap)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cmake --build "$build" --target vx_bench_sweep -j2
export VX_LAB_ID=bench
trap 'bash "$root/lab/down.sh" --id bench' EXIT
bash "$root/lab/up.sh" --id bench
"$build/bench/vx_bench_sweep" "$@"
