#!/usr/bin/env bash
# Changes who is on the lab's LAN while a patrol watches it (host history
# tests):
#   lab/station.sh add|remove [--id ID]        a new station .20 joins or leaves
#   lab/station.sh mac N MAC|restore [--id ID] host .N's card gets another MAC,
#                                              or its own back
#   lab/station.sh twin on|off [--id ID]       host .7 answers for .6's address
#                                              too (two MACs, one address)
# down.sh removes the station with the rest of the lab.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
vxlab_start "$@"

station=20
own_mac() { printf '02:76:78:07:00:%02x' "$1"; }
exists() { ip netns list | awk '{print $1}' | grep -qx "$1"; }

case "${VXLAB_ARGS[0]:-}" in
add)
    ns=$(vxlab_ns "h$station")
    exists "$ns" && exit 0
    exists "$(vxlab_ns br)" || { echo "lab: '$VXLAB_ID' is not up" >&2; exit 1; }
    ip netns add "$ns"
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up
    ip -n "$(vxlab_ns br)" link add "p$station" type veth peer name eth0 netns "$ns"
    ip -n "$ns" link set eth0 address "$(printf '02:76:78:07:01:%02x' "$station")"
    ip -n "$(vxlab_ns br)" link set "p$station" master br0 up
    ip -n "$ns" addr add "$VXLAB_NET.$station/24" dev eth0
    ip -n "$ns" link set eth0 up
    ;;
remove)
    # The veth pair goes with the namespace.
    ip netns del "$(vxlab_ns "h$station")" 2>/dev/null || true
    ;;
mac)
    n=${VXLAB_ARGS[1]:-}
    mac=${VXLAB_ARGS[2]:-}
    [[ $n =~ ^[0-9]+$ ]] && [ -n "$mac" ] || { echo "usage: lab/station.sh mac N MAC|restore" >&2; exit 2; }
    [ "$mac" = restore ] && mac=$(own_mac "$n")
    ip -n "$(vxlab_ns "h$n")" link set eth0 address "$mac"
    ;;
twin)
    case "${VXLAB_ARGS[1]:-}" in
    on) ip -n "$(vxlab_ns h7)" addr replace "$VXLAB_NET.6/32" dev eth0 ;;
    off) ip -n "$(vxlab_ns h7)" addr del "$VXLAB_NET.6/32" dev eth0 2>/dev/null || true ;;
    *) echo "usage: lab/station.sh twin on|off" >&2; exit 2 ;;
    esac
    ;;
*)
    echo "usage: lab/station.sh add|remove|mac N MAC|restore|twin on|off [--id ID]" >&2
    exit 2
    ;;
esac
