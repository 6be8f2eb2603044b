#!/usr/bin/env bash
# Builds the benchmarks and runs them all. Pass --smoke for one quick pass of each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
args=(--benchmark_repetitions=3 --benchmark_report_aggregates_only=true)
[ "${1:-}" = "--smoke" ] && args=(--benchmark_min_time=0.01)
for bench in build/bench/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue # skip the *_autogen folders
    [ "$(basename "$bench")" = bench_peer ] && continue # bench_desktop's peer program
    echo "== $(basename "$bench")"
    if [ "$(basename "$bench")" = bench_desktop ]; then
        # The desktop program needs a display and, as root, a browser engine without sandbox.
        QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
            xvfb-run -a -s "-screen 0 1400x900x24" "$bench"
    else
        "$bench" "${args[@]}"
    fi
done
