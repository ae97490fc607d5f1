#!/usr/bin/env bash
# How many ARP frames per second one vx-arp puts on the wire for a local user
# without privileges who floods it with requests (root; builds nothing):
#   bench/sweep/helper_rate.sh [BUILD_DIR] [HELPER] [SECONDS] [DEADLINE_MS]
# A namespace of its own holds a veth pair with a /16 on one end; the flood
# runs as nobody against a copy of HELPER (default: the build's vx-arp) that
# holds cap_net_raw, and the peer's receive counter gives the frames.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
helper=${2:-$build/bin/vx-arp}
seconds=${3:-5}
deadline=${4:-1}
[ "$(id -u)" -eq 0 ] || { echo "helper_rate: needs root" >&2; exit 1; }
ns=vxrate-$$
dir=$(mktemp -d /tmp/vxrate-XXXXXX)
trap 'ip netns del "$ns" 2>/dev/null || true; rm -rf "$dir"' EXIT
ip netns add "$ns"
ip -n "$ns" link set lo up
ip -n "$ns" link add ra type veth peer name rb
ip -n "$ns" addr add 10.215.0.1/16 dev ra
ip -n "$ns" link set ra up
ip -n "$ns" link set rb up
install -m 0755 "$helper" "$dir/vx-arp"
setcap cap_net_raw+ep "$dir/vx-arp"
chmod 0755 "$dir"
frames() { ip netns exec "$ns" cat /sys/class/net/rb/statistics/rx_packets; }
before=$(frames)
ip netns exec "$ns" env VX_ARP_HELPER="$dir/vx-arp" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
    "$build/bench/vx_bench_arp_flood" ra 10.215.1.1 "$seconds" "$deadline"
after=$(frames)
echo "frames on the veth peer: $((after - before)) in $seconds s = $(( (after - before) / seconds ))/s ($helper, deadline $deadline ms)"
