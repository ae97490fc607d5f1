#!/usr/bin/env bash
# Self-test of lab/: a lab of its own id is built twice (the second run must
# replace the first), used once for a share listing (which starts
# samba-dcerpcd), then removed twice. Afterwards no namespace, no state and
# none of the processes that ran inside it may remain.
#   tests/lab/lab_selftest.sh ID        exit 77 without root or namespaces
set -uo pipefail
lab=$(cd "$(dirname "$0")/../../lab" && pwd)
. "$lab/common.sh"
id=${1:?id}
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root"; exit 77; }

fail() { echo "FAIL: $*" >&2; bash "$lab/down.sh" --id "$id" >/dev/null 2>&1; exit 1; }
count_ns() { ip netns list | awk '{print $1}' | grep -c "^vxlab-$id-" || true; }

bash "$lab/up.sh" --id "$id"
rc=$?
[ $rc -eq 77 ] && { echo "SKIP: namespaces unavailable"; exit 77; }
[ $rc -eq 0 ] || fail "up.sh returned $rc"
first_smbd=$(cat "/run/vxlab/$id/pids/smb-smbd.pid")
bash "$lab/up.sh" --id "$id" || fail "second up.sh"
want_ns=$((2 + ${#VXLAB_HOSTS[@]}))  # the bridge, the workstation, the hosts
[ "$(count_ns)" -eq $want_ns ] || fail "expected $want_ns namespaces, found $(count_ns)"
vxlab_alive "$first_smbd" && fail "the first lab's smbd ($first_smbd) survived its replacement"

eval "$(bash "$lab/env.sh" --id "$id")" || fail "env.sh"
[ "$VXLAB_WS_ADDR" = 10.213.7.1 ] || fail "workstation address $VXLAB_WS_ADDR"
for n in $VXLAB_HOSTS; do
    ns_var=VXLAB_HOST_${n}_NS mac_var=VXLAB_HOST_${n}_MAC
    want=$(ip netns exec "${!ns_var}" cat /sys/class/net/eth0/address | tr a-f: A-F.)
    [ "${!mac_var}" = "$want" ] || fail "MAC of .$n: ${!mac_var} vs $want"
done
# The machine's own namespace has no lab link.
ip -o addr show | grep -q "10\.213\.7\." && fail "a lab address leaked into the root namespace"
# smbd listens on the lab address only.
listen=$(ip netns exec "$VXLAB_SMB_NS" ss -Hltn 'sport = :445' | awk '{print $4}' | sort -u | tr '\n' ' ')
[ "$listen" = "$VXLAB_SMB_ADDR:445 " ] || fail "smbd listens on: $listen"
# The late host's kernel stays silent.
[ "$(ip netns exec "$VXLAB_LATE_NS" sysctl -n net.ipv4.conf.eth0.arp_ignore)" = 8 ] || fail "arp_ignore"

home=$(mktemp -d)
HOME=$home timeout 30 ip netns exec "$VXLAB_WS_NS" smbclient -N -L "//$VXLAB_SMB_ADDR" -p 445 \
    >"$home/list" 2>&1 || true
grep -q music "$home/list" || { cat "$home/list"; fail "smbclient listing"; }
rm -rf "$home"
[ -s "/run/vxlab/$id/smb/pid/samba-dcerpcd.pid" ] || fail "samba-dcerpcd wrote no pid file"
pids=$(for ns in $(ip netns list | awk '{print $1}' | grep "^vxlab-$id-"); do ip netns pids "$ns"; done)
[ -n "$pids" ] || fail "no process inside the lab"

bash "$lab/down.sh" --id "$id" || fail "down.sh"
bash "$lab/down.sh" --id "$id" || fail "second down.sh"
[ "$(count_ns)" -eq 0 ] || fail "namespaces left: $(count_ns)"
[ -e "/run/vxlab/$id" ] && fail "state folder left"
for p in $pids; do
    vxlab_alive "$p" && fail "process $p ($(cat /proc/$p/comm)) survived"
done
echo "lab self-test passed ($(echo $pids | wc -w) processes stopped)"
exit 0
