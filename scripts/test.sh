#!/usr/bin/env bash
# Installs what the tests need, then builds and runs the whole suite twice: once as
# released and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure --parallel "$(nproc)"

scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSKYLARK_SANITIZE=ON -DSKYLARK_BUILD_BENCH=OFF
ctest --test-dir build-sanitize --output-on-failure --parallel "$(nproc)"
