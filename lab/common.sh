# Shared by the lab scripts: names, addresses and the state folder of one lab.
# A lab is identified by an id (letters, digits, '-'), so several can exist at
# once without meeting: every namespace is called vxlab-<id>-<node>.

VXLAB_PREFIX=vxlab
VXLAB_ROOT=/run/vxlab
VXLAB_NET=10.213.7
# Host number -> role. The workstation is .1; .200 stays unused on purpose.
VXLAB_HOSTS=(2 3 4 5 6 7 8 9 10 11 12)
declare -A VXLAB_ROLE=([2]=smb [3]=arponly [4]=flap [5]=late [6]=mdns [7]=plain [8]=usershare [9]=dns
                       [10]=smbdrop [11]=smbdrop [12]=smbdrop)
# Who the hosts are. Most MACs are locally administered (02:76:78:07:00:NN,
# "随机MAC地址" to the page); a few carry registered blocks of each size, with
# the holder the registry names. Names come from the lab's resolver on the dns
# host (PTR records), the smb host's nmbd (NetBIOS node status) and the mdns
# host's avahi-daemon (multicast DNS).
declare -A VXLAB_MAC=([2]=00:00:0c:07:00:02 [3]=20:85:93:b7:00:03 [6]=70:b3:d5:71:90:06)
declare -A VXLAB_MAKER=([2]="Cisco Systems, Inc" [3]="IOG Products LLC" [6]="2M Technology")
declare -A VXLAB_NAME=([3]=arponly.vxlab [9]=dns.vxlab [2]=VXLABSMB [6]=vxmdns.local)
declare -A VXLAB_NAME_SOURCE=([3]=dns [9]=dns [2]=netbios [6]=mdns)
VXLAB_LATE_DELAY_MS=300
VXLAB_UNUSED=200

# smbdrop hosts answer ARP but send nothing back to SMB (445, 139): a
# connect there hangs until the client gives up, as with a firewall that
# drops. Routing rules, not netfilter, so no firewall tool is needed.
vxlab_smbdrop() { # on|off namespace
    local port
    for port in 445 139; do
        ip -n "$2" rule del ipproto tcp sport "$port" blackhole 2>/dev/null || true
        [ "$1" = on ] && ip -n "$2" rule add ipproto tcp sport "$port" blackhole
    done
    return 0
}

# The dns host drops its DNS answers (on) or gives them (off, as up.sh leaves
# it): a resolver that is there but silent.
vxlab_dnsdrop() { # on|off namespace
    ip -n "$2" rule del ipproto udp sport 53 blackhole 2>/dev/null || true
    [ "$1" = on ] && ip -n "$2" rule add ipproto udp sport 53 blackhole
    return 0
}

# The resolver file that `ip netns exec` puts in place for the workstation.
vxlab_ws_resolv_dir() { echo "/etc/netns/$(vxlab_ns ws)"; }

# Every script starts here: options (--id, the rest into VXLAB_ARGS), root.
vxlab_start() {
    VXLAB_ARGS=()
    vxlab_parse_id "$@"
    vxlab_need_root
}

vxlab_parse_id() {
    VXLAB_ID=${VXLAB_ID:-default}
    while [ $# -gt 0 ]; do
        case "$1" in
            --id) VXLAB_ID=$2; shift 2 ;;
            --id=*) VXLAB_ID=${1#--id=}; shift ;;
            *) VXLAB_ARGS+=("$1"); shift ;;
        esac
    done
    if ! [[ $VXLAB_ID =~ ^[A-Za-z0-9-]{1,24}$ ]]; then
        echo "lab: bad id '$VXLAB_ID'" >&2
        exit 2
    fi
    VXLAB_STATE=$VXLAB_ROOT/$VXLAB_ID
}

vxlab_ns() { echo "$VXLAB_PREFIX-$VXLAB_ID-$1"; }

vxlab_need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "lab: needs root" >&2
        exit 77
    fi
    if ! command -v ip >/dev/null; then
        echo "lab: iproute2 missing" >&2
        exit 77
    fi
}

# Stops the process whose PID a file holds and waits (briefly) for it to end.
vxlab_stop_pidfile() {
    local file=$1 pid
    [ -s "$file" ] || return 0
    pid=$(head -n1 "$file" | tr -dc 0-9)
    [ -n "$pid" ] || return 0
    if vxlab_alive "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 1 50); do
            vxlab_alive "$pid" || break
            sleep 0.05
        done
        vxlab_alive "$pid" && kill -KILL "$pid" 2>/dev/null || true
    fi
    return 0
}

# A zombie counts as gone: once up.sh has exited, reaping the daemons it
# started is up to whatever adopted them.
vxlab_alive() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}
