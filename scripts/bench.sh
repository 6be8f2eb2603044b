#!/usr/bin/env bash
# Builds the benchmarks and runs them all. Pass --smoke for one quick pass of each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
args=()
[ "${1:-}" = "--smoke" ] && args=(--benchmark_min_time=0.01)
for bench in build/bench/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue # skip the *_autogen folders
    echo "== $(basename "$bench")"
    "$bench" "${args[@]}"
done
