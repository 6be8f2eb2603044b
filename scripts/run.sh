#!/usr/bin/env bash
# Installs what Skylark needs, builds it and shows the route book of the sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
build/src/skylark-cli --data-dir samples/demo-data routes
