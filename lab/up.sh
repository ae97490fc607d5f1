#!/usr/bin/env bash
# Builds a throw-away LAN of network namespaces (root only):
#   vxlab-<id>-br   the bridge br0 that joins every node (no address)
#   vxlab-<id>-ws   workstation 10.213.7.1/24, where tests and benchmarks run
#   vxlab-<id>-hN   hosts 10.213.7.N/24, roles in common.sh:
#                   smb (smbd, guest shares "docs" and "music"), arponly,
#                   flap (link.sh takes its link down and up), late (ARP
#                   answered ~300 ms late by late_arp), smbdrop (SMB traffic
#                   dropped; link.sh smbdrop turns that off and on), dns
#                   (dnsmasq: reverse names for some hosts; the workstation's
#                   resolver), mdns (avahi-daemon, no D-Bus), plain
#                   The smb host also answers NetBIOS node status (nmbd).
# Nothing is attached to the machine's own namespace. A lab of the same id
# that is already there (or left over) is removed first.
#   lab/up.sh [--id ID]       exit 77 when the machine cannot host a lab
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
vxlab_start "$@"

mkdir -p "$VXLAB_ROOT"
exec 9>"$VXLAB_ROOT/$VXLAB_ID.lock"
flock -w 60 9 || { echo "lab: another up/down of '$VXLAB_ID' holds the lock" >&2; exit 1; }

if ! ip netns add "$(vxlab_ns probe)" 2>/dev/null; then
    echo "lab: network namespaces unavailable" >&2
    exit 77
fi
ip netns del "$(vxlab_ns probe)"

if [ -d "$VXLAB_STATE" ] || ip netns list | awk '{print $1}' | grep -q "^$VXLAB_PREFIX-$VXLAB_ID-"; then
    echo "lab: removing an earlier lab '$VXLAB_ID'" >&2
    VXLAB_KEEP_LOCK=1 "$here/down.sh" --id "$VXLAB_ID"
fi

failed=1
cleanup_on_error() {
    if [ $failed -ne 0 ]; then
        echo "lab: set-up failed, removing what was built" >&2
        VXLAB_KEEP_LOCK=1 "$here/down.sh" --id "$VXLAB_ID" || true
    fi
}
trap cleanup_on_error EXIT

mkdir -p "$VXLAB_STATE/pids"
br=$(vxlab_ns br)
ip netns add "$br"
ip -n "$br" link set lo up
ip -n "$br" link add br0 type bridge stp_state 0 forward_delay 0 mcast_snooping 0
ip -n "$br" link set br0 up

add_node() { # number
    local n=$1 ns
    if [ "$n" -eq 1 ]; then ns=$(vxlab_ns ws); else ns=$(vxlab_ns "h$n"); fi
    ip netns add "$ns"
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up
    ip -n "$br" link add "p$n" type veth peer name eth0 netns "$ns"
    ip -n "$ns" link set eth0 address "${VXLAB_MAC[$n]:-$(printf '02:76:78:07:00:%02x' "$n")}"
    ip -n "$br" link set "p$n" master br0
    ip -n "$br" link set "p$n" up
    ip -n "$ns" addr add "$VXLAB_NET.$n/24" dev eth0
    ip -n "$ns" link set eth0 up
}

add_node 1
for n in "${VXLAB_HOSTS[@]}"; do
    add_node "$n"
done

start_in() { # name namespace command...
    local name=$1 ns=$2
    shift 2
    # fd 9 is the lab lock: the daemons must not keep holding it.
    setsid ip netns exec "$ns" "$@" </dev/null >>"$VXLAB_STATE/$name.log" 2>&1 9>&- &
    echo $! >"$VXLAB_STATE/pids/$name.pid"
}

smb_hosts=()
for n in "${VXLAB_HOSTS[@]}"; do
    ns=$(vxlab_ns "h$n")
    role=${VXLAB_ROLE[$n]}
    case "$role" in
    smbdrop)
        vxlab_smbdrop on "$ns"
        ;;
    late)
        # The kernel stays quiet (8: never answer); late_arp answers instead.
        ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.arp_ignore=8 net.ipv4.conf.eth0.arp_ignore=8
        cc -O2 -o "$VXLAB_STATE/late_arp" "$here/late_arp.c"
        start_in late_arp "$ns" "$VXLAB_STATE/late_arp" eth0 "$VXLAB_NET.$n" "$VXLAB_LATE_DELAY_MS"
        ;;
    dns)
        # Reverse names for the hosts that have one; any other lab address is
        # answered "no such name" at once, and nothing is forwarded.
        records=()
        for h in "${VXLAB_HOSTS[@]}"; do
            [ "${VXLAB_NAME_SOURCE[$h]:-}" = dns ] && records+=("--host-record=${VXLAB_NAME[$h]},$VXLAB_NET.$h")
        done
        start_in dnsmasq "$ns" dnsmasq --keep-in-foreground --conf-file=/dev/null --no-hosts \
            --no-resolv --bogus-priv --bind-interfaces --listen-address="$VXLAB_NET.$n" \
            --user=root --group=root --pid-file="$VXLAB_STATE/dnsmasq.pid" --log-facility=- \
            --local=/vxlab/ --local=/7.213.10.in-addr.arpa/ "${records[@]}"
        mkdir -p "$(vxlab_ws_resolv_dir)"
        echo "nameserver $VXLAB_NET.$n" >"$(vxlab_ws_resolv_dir)/resolv.conf"
        ;;
    mdns)
        # avahi-daemon keeps its pid file and socket in /run/avahi-daemon:
        # a private mount namespace gives it a folder of its own there, so
        # neither the machine's daemon nor another lab's is disturbed.
        m=$VXLAB_STATE/mdns
        mkdir -p "$m"
        host=${VXLAB_NAME[$n]%.local}
        cat >"$m/avahi-daemon.conf" <<CONF
[server]
host-name=$host
domain-name=local
use-ipv4=yes
use-ipv6=no
allow-interfaces=eth0
enable-dbus=no
[wide-area]
enable-wide-area=no
[publish]
publish-addresses=yes
publish-hinfo=no
publish-workstation=no
publish-domain=no
[reflector]
enable-reflector=no
CONF
        start_in avahi "$ns" unshare --mount --propagation private sh -c \
            'mkdir -p /run/avahi-daemon && mount -t tmpfs -o size=1m lab /run/avahi-daemon &&
             exec avahi-daemon --no-drop-root --no-chroot --no-rlimits --no-proc-title -f "$1"' \
            avahi "$m/avahi-daemon.conf"
        ;;
    smb | usershare)
        s=$VXLAB_STATE/$role
        mkdir -p "$s"/{private,lock,state,cache,pid,ncalrpc,bind-dns,log}
        chmod 0755 "$VXLAB_STATE" "$s"
        if [ "$role" = usershare ]; then
            # Samba wants the usershare folder owned by root, not world-writable.
            mkdir -p "$s/usershares"
            chmod 1770 "$s/usershares"
            template=$here/smb-usershare.conf.in
        else
            mkdir -p "$s/share/docs" "$s/share/music"
            chmod 0755 "$s/share" "$s/share/docs" "$s/share/music"
            echo "lab document" >"$s/share/docs/readme.txt"
            echo "lab track" >"$s/share/music/track.txt"
            template=$here/smb.conf.in
        fi
        dcerpcd=/usr/libexec/samba/samba-dcerpcd
        if [ -x "$dcerpcd" ]; then
            sed -e "s|@STATE@|$s|g" "$template" >"$s/smb.conf"
        else # a Samba before 4.16 serves RPC inside smbd
            sed -e "s|@STATE@|$s|g" -e "/rpc start on demand helpers/d" "$template" >"$s/smb.conf"
        fi
        start_in "$role-smbd" "$ns" smbd --foreground --no-process-group --configfile="$s/smb.conf"
        if [ "$role" = smb ]; then
            # nmbd refuses to run where NetBIOS is off; smbd keeps it off.
            sed -e "s|disable netbios = yes|disable netbios = no|" "$s/smb.conf" >"$s/nmb.conf"
            start_in smb-nmbd "$ns" nmbd --foreground --no-process-group --configfile="$s/nmb.conf"
        fi
        if [ -x "$dcerpcd" ]; then
            start_in "$role-samba-dcerpcd" "$ns" "$dcerpcd" --libexec-rpcds \
                --foreground --no-process-group --configfile="$s/smb.conf"
        fi
        smb_hosts+=("$n")
        ;;
    esac
done

# smbd takes a moment to listen, and the first listing after start-up waits
# seconds for the RPC helpers to come up: take both waits here rather than in
# a test's timeout.
home=$(mktemp -d)
for n in "${smb_hosts[@]}"; do
    smb_ns=$(vxlab_ns "h$n")
    for _ in $(seq 1 100); do
        ip netns exec "$smb_ns" ss -Hltn "sport = :445" | grep -q "$VXLAB_NET.$n:445" && break
        sleep 0.1
    done
    ip netns exec "$smb_ns" ss -Hltn "sport = :445" | grep -q "$VXLAB_NET.$n:445" ||
        { echo "lab: smbd of .$n is not listening" >&2; exit 1; }
    command -v smbclient >/dev/null || continue
    log=$VXLAB_STATE/warmup-$n.log
    for _ in 1 2 3 4 5 6; do
        HOME=$home timeout 30 ip netns exec "$(vxlab_ns ws)" smbclient -N -L "//$VXLAB_NET.$n" -p 445 \
            >"$log" 2>&1 9>&- || true
        grep -q IPC "$log" && break
        sleep 0.5
    done
    grep -q IPC "$log" || echo "lab: warm-up listing of .$n failed (see $log)" >&2
done
rm -rf "$home"

"$here/env.sh" --id "$VXLAB_ID" >"$VXLAB_STATE/env"
failed=0
echo "lab '$VXLAB_ID' is up; workstation namespace $(vxlab_ns ws)"
