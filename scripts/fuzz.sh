#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each one with inputs of up to 1 MiB and a time limit
# for each input: scripts/fuzz.sh [SECONDS_EACH] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_profile fuzz_text fuzz_json fuzz_answers fuzz_servers fuzz_cookies fuzz_http)
scripts/setup.sh
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKYLARK_FUZZ=ON
for target in "${targets[@]}"; do
    seeds=tests/fuzz/seeds/${target#fuzz_}
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "== $target for $seconds s"
    build-fuzz/tests/fuzz/$target -max_total_time="$seconds" -max_len=1048576 -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/ "$corpus" "$seeds"
done
