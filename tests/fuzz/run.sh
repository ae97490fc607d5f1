#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, one after another:
#   tests/fuzz/run.sh BUILD_DIR [SECONDS_PER_TARGET]
# Each starts from its committed seed corpus; what it learns goes to
# BUILD_DIR/fuzz-work/<target>/ (not the repository), and an input that
# crashes is saved there as crash-* and fails the run.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?build directory}" && pwd)
seconds=${2:-20}
status=0
for seeds in "$here"/corpus/*/; do
    target=$(basename "$seeds")
    work=$build/fuzz-work/$target
    mkdir -p "$work/corpus"
    echo "== $target (${seconds}s)"
    if ! "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$seeds" \
            >"$work/log" 2>&1; then
        status=1
        tail -n 60 "$work/log"
        echo "== $target: FAILED, input saved in $work/" >&2
    else
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$work/log"
    fi
done
exit $status
