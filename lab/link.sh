#!/usr/bin/env bash
# Takes the lab's "flap" host off the LAN and back:
#   lab/link.sh down|up [--id ID]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
vxlab_start "$@"
what=${VXLAB_ARGS[0]:-}
case "$what" in
up | down) ;;
*) echo "usage: lab/link.sh down|up [--id ID]" >&2; exit 2 ;;
esac
for n in "${VXLAB_HOSTS[@]}"; do
    if [ "${VXLAB_ROLE[$n]}" = flap ]; then
        ip -n "$(vxlab_ns "h$n")" link set eth0 "$what"
        exit 0
    fi
done
echo "lab: no flap host" >&2
exit 1
