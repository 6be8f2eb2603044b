#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh BUILD_DIR [CMAKE_OPTIONS...]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -G Ninja "$@"
cmake --build "$build_dir" --parallel "$(nproc)"
