#!/usr/bin/env bash
# Builds what the start-up benchmark measures and runs it:
#   bench/startup/run.sh [BUILD_DIR] [--runs N]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
shift || true
cmake --build "$build" --target vx_bench_startup -j2
"$build/bench/vx_bench_startup" "$@"
