#!/usr/bin/env bash
# Changes what the lab's hosts do on the LAN:
#   lab/link.sh down|up [--id ID]         the flap host's link
#   lab/link.sh smbdrop on|off [--id ID]  the smbdrop hosts drop SMB traffic
#                                         (on, as up.sh leaves them) or refuse
#                                         it at once like any host without SMB
#   lab/link.sh dnsdrop on|off [--id ID]  the lab's resolver goes silent (on)
#                                         or answers again (off, as up.sh
#                                         leaves it)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
vxlab_start "$@"
what=${VXLAB_ARGS[0]:-}
case "$what" in
up | down) role=flap ;;
smbdrop | dnsdrop) role=$what ;;
*) echo "usage: lab/link.sh down|up|smbdrop on|off|dnsdrop on|off [--id ID]" >&2; exit 2 ;;
esac
if [ "$role" != flap ]; then
    case "${VXLAB_ARGS[1]:-}" in
    on | off) ;;
    *) echo "usage: lab/link.sh $role on|off [--id ID]" >&2; exit 2 ;;
    esac
    # smbdrop acts on the smbdrop hosts, dnsdrop on the resolver (role dns).
    target=${role%drop}
    [ "$target" = smb ] && target=smbdrop
    for n in "${VXLAB_HOSTS[@]}"; do
        [ "${VXLAB_ROLE[$n]}" = "$target" ] && "vxlab_$role" "${VXLAB_ARGS[1]}" "$(vxlab_ns "h$n")"
    done
    exit 0
fi
for n in "${VXLAB_HOSTS[@]}"; do
    if [ "${VXLAB_ROLE[$n]}" = flap ]; then
        ip -n "$(vxlab_ns "h$n")" link set eth0 "$what"
        exit 0
    fi
done
echo "lab: no flap host" >&2
exit 1
