#!/usr/bin/env bash
# Removes a lab built by up.sh: stops every process it started (by the PIDs it
# recorded, then anything still running inside its namespaces) and deletes its
# namespaces and state. Idempotent.
#   lab/down.sh [--id ID]     one lab (default id "default")
#   lab/down.sh --all         every vxlab-* lab, including leftovers
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
vxlab_start "$@"

all=0
for a in "${VXLAB_ARGS[@]}"; do
    [ "$a" = "--all" ] && all=1
done

down_one() {
    local id=$1 state=$VXLAB_ROOT/$1 f ns pid
    if [ -d "$state/pids" ]; then
        for f in "$state"/pids/*.pid; do
            [ -e "$f" ] && vxlab_stop_pidfile "$f"
        done
    fi
    # smbd starts samba-dcerpcd (and its rpcd_* helpers) which outlive it;
    # their pid files sit in the lab's private pid directory.
    for f in "$state"/*/pid/*.pid; do
        [ -e "$f" ] && vxlab_stop_pidfile "$f"
    done
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E "^$VXLAB_PREFIX-$id-" || true); do
        # Whatever is still inside was started by this lab.
        left=$(ip netns pids "$ns" 2>/dev/null)
        if [ -n "$left" ]; then
            kill -TERM $left 2>/dev/null || true
            sleep 0.3
            for pid in $(ip netns pids "$ns" 2>/dev/null); do
                kill -KILL "$pid" 2>/dev/null || true
            done
        fi
        ip netns del "$ns" 2>/dev/null || true
    done
    rm -rf "$state"
    # The workstation's resolver file (up.sh points it at the lab's dnsmasq).
    rm -rf "/etc/netns/$VXLAB_PREFIX-$id-ws"
    # up.sh holds this lock while it replaces a lab and says so.
    [ "${VXLAB_KEEP_LOCK:-0}" = 1 ] || rm -f "$VXLAB_ROOT/$id.lock"
}

if [ $all -eq 1 ]; then
    ids=$( { ls "$VXLAB_ROOT" 2>/dev/null | sed 's/\.lock$//';
             ip netns list 2>/dev/null | awk '{print $1}' | sed -n "s/^$VXLAB_PREFIX-\(.*\)-[a-z0-9]*$/\1/p"; } | sort -u)
    for id in $ids; do
        down_one "$id"
    done
else
    down_one "$VXLAB_ID"
fi
exit 0
