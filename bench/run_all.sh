#!/usr/bin/env bash
# Regenerates every figure of bench/README.md in one run:
#   bench/run_all.sh [BUILD_DIR]          (root; BUILD_DIR defaults to build/)
# Root because the sweep figures come from a throw-away LAN of network
# namespaces (lab/); nothing is sent outside it. arp-scan and nmap are
# installed on first use. Everything printed also goes to
# BUILD_DIR/bench/report.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "run_all: needs root (the sweep runs in a lab)" >&2; exit 1; }
mkdir -p "$build/bench"
cmake --build "$build" -j2 --target vx_bench_startup TaskEngineBench vx_bench_sweep vx-arp

{
    echo "# Vexmor benchmarks: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
        "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    echo "## Start-up: the program with both plug-ins beside a bare Qt window"
    bash "$root/bench/startup/run.sh" "$build" --runs 5
    echo
    echo "## Task engine: start latency and throughput"
    "$build/bench/TaskEngineBench"
    echo
    echo "## Sweep of the lab /24: routes, limits 32 and 256, arp-scan and nmap -sn," \
        "shares on, a host vanishing, UI event-loop latency"
    bash "$root/bench/sweep/run.sh" "$build"
} 2>&1 | tee "$build/bench/report.txt"
