#!/usr/bin/env bash
# Prints the facts about a running lab that tests and benchmarks need, one
# KEY=VALUE a line, shell-sourceable (values with spaces in double quotes).
# MACs are read from the namespaces' own links at the time of the call.
#   lab/env.sh [--id ID]      exit 1 when that lab is not up
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
vxlab_start "$@"

ws=$(vxlab_ns ws)
if ! ip netns list | awk '{print $1}' | grep -qx "$ws"; then
    echo "lab: '$VXLAB_ID' is not up" >&2
    exit 1
fi
mac_of() { ip netns exec "$1" cat /sys/class/net/eth0/address | tr a-f A-F | tr : .; }
# What the page's maker column should read: a locally administered MAC
# (bit 0x02 of its first byte) reads "随机MAC地址", a registered one its holder.
maker_of() { # MAC registry-name
    if (( 0x${1:0:2} & 2 )); then echo "随机MAC地址"; else echo "$2"; fi
}

echo "VXLAB_ID=$VXLAB_ID"
echo "VXLAB_STATE=$VXLAB_STATE"
echo "VXLAB_SUBNET=$VXLAB_NET"
echo "VXLAB_WS_NS=$ws"
echo "VXLAB_WS_IF=eth0"
echo "VXLAB_WS_ADDR=$VXLAB_NET.1"
echo "VXLAB_WS_MAC=$(mac_of "$ws")"
echo "VXLAB_WS_MAKER=$(maker_of "$(mac_of "$ws")" "")"
echo "VXLAB_BRIDGE_NS=$(vxlab_ns br)"
echo "VXLAB_UNUSED_ADDR=$VXLAB_NET.$VXLAB_UNUSED"
echo "VXLAB_LATE_DELAY_MS=$VXLAB_LATE_DELAY_MS"
echo "VXLAB_SMB_SHARES=\"docs music\""
live="$VXLAB_NET.1"
smbdrop=""
for n in "${VXLAB_HOSTS[@]}"; do
    ns=$(vxlab_ns "h$n")
    role=${VXLAB_ROLE[$n]}
    echo "VXLAB_HOST_${n}_NS=$ns"
    echo "VXLAB_HOST_${n}_ADDR=$VXLAB_NET.$n"
    echo "VXLAB_HOST_${n}_MAC=$(mac_of "$ns")"
    echo "VXLAB_HOST_${n}_ROLE=$role"
    echo "VXLAB_HOST_${n}_MAKER=\"$(maker_of "$(mac_of "$ns")" "${VXLAB_MAKER[$n]:-}")\""
    # The name the page should show, and which source gives it (dns,
    # netbios, mdns); both empty for a host without a name.
    echo "VXLAB_HOST_${n}_NAME=${VXLAB_NAME[$n]:-}"
    echo "VXLAB_HOST_${n}_NAME_SOURCE=${VXLAB_NAME_SOURCE[$n]:-}"
    state=$(ip -n "$ns" -o link show eth0 | grep -q 'state UP' && echo up || echo down)
    echo "VXLAB_HOST_${n}_LINK=$state"
    [ "$state" = up ] && live="$live $VXLAB_NET.$n"
    case $role in
    smb | arponly | flap | late | usershare | dns | mdns)
        key=$(echo "$role" | tr a-z A-Z)
        echo "VXLAB_${key}_ADDR=$VXLAB_NET.$n"
        echo "VXLAB_${key}_NS=$ns"
        ;;
    esac
    [ "$role" = smbdrop ] && smbdrop="$smbdrop${smbdrop:+ }$VXLAB_NET.$n"
    case $role in
    smb | usershare)
        # For SMB_CONF_PATH / net -s: the host's private configuration.
        echo "VXLAB_${key}_CONF=$VXLAB_STATE/$role/smb.conf"
        ;;
    esac
done
echo "VXLAB_HOSTS=\"${VXLAB_HOSTS[*]}\""
echo "VXLAB_LIVE_ADDRS=\"$live\""
echo "VXLAB_SMBDROP_ADDRS=\"$smbdrop\""
