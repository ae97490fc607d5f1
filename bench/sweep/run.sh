#!/usr/bin/env bash
# Runs the sweep benchmark in a lab of its own (root):
#   bench/sweep/run.sh [BUILD_DIR] [vx_bench_sweep options]   (lab id: $VX_LAB_ID or "bench")
# First as root (the raw route, arp-scan and nmap), then as nobody without
# capabilities (the ARP helper and the neighbour table), in the same lab.
# tcpdump on the lab bridge counts the ARP frames of each pass, a check on
# the per-sweep frame counts the benchmark prints.
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
cmake --build "$build" --target vx_bench_sweep vx-arp -j2
export VX_LAB_ID=${VX_LAB_ID:-bench}
trap 'bash "$root/lab/down.sh" --id "$VX_LAB_ID"' EXIT
bash "$root/lab/up.sh" --id "$VX_LAB_ID"
capture() { # name command...
    local name=$1 pcap
    shift
    pcap=$(mktemp /tmp/vx-sweep-XXXXXX.pcap)
    ip netns exec "vxlab-$VX_LAB_ID-br" tcpdump -i br0 -nn -q -w "$pcap" arp 2>/dev/null &
    local dump=$!
    sleep 1  # tcpdump is listening
    "$@" || rc=1
    sleep 0.5
    kill -INT "$dump" 2>/dev/null || true
    wait "$dump" 2>/dev/null || true
    echo "bridge capture ($name): $(tcpdump -r "$pcap" -nn 2>/dev/null | grep -c 'Request') ARP requests, $(tcpdump -r "$pcap" -nn 2>/dev/null | grep -c 'Reply') replies"
    rm -f "$pcap"
}
rc=0
capture root "$build/bench/vx_bench_sweep" --modes raw "$@"
VX_LAB_USER=nobody capture nobody "$build/bench/vx_bench_sweep" --modes helper,neigh --peers no "$@"
exit $rc
