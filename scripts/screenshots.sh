#!/usr/bin/env bash
# Starts the desktop program under Xvfb on the demo server, with routes and a special fare,
# and saves pictures of its windows in docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
mkdir -p docs
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
# A screen larger than the main window, so that the alert has a corner of its own.
xvfb-run -a -s "-screen 0 1400x900x24" build/tools/skylark-screenshots docs
