#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each one: scripts/fuzz.sh [SECONDS_EACH]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/setup.sh
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKYLARK_FUZZ=ON
for target in fuzz_profile fuzz_text fuzz_json; do
    seeds=tests/fuzz/seeds/${target#fuzz_}
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "== $target for $seconds s"
    build-fuzz/tests/fuzz/$target -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/ "$corpus" "$seeds"
done
