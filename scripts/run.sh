#!/usr/bin/env bash
# Installs what Skylark needs, builds it and runs it against the built-in demo server. Two
# routes are added; with a display the desktop program starts on them, without one two
# monitoring rounds of the command line find fares, one of them special, and push it to the
# demo relay. Pass a data directory to keep the routes: scripts/run.sh DIR
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null

data=${1:-$(mktemp -d)}
cli=(build/src/skylark-cli --data-dir "$data" --demo)
day=$(date -d '+30 days' +%F)
echo "Data directory: $data"
"${cli[@]}" add 成都 上海 "$day" 9999     # an alert price every fare is below: a special fare
"${cli[@]}" add 北京 东京 "$day" 100
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/skylark --data-dir "$data" --demo
fi
echo "No display: the command line shows two monitoring rounds instead of the desktop program."
echo "(Pictures of the desktop program: docs/*.png; scripts/screenshots.sh makes them under Xvfb.)"
"${cli[@]}" push-settings demo 10
"${cli[@]}" push on
"${cli[@]}" monitor --rounds 2 --route-period 3 --start-delay 1000
"${cli[@]}" routes
