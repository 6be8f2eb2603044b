#!/usr/bin/env bash
# Two waves of 50 `skylark-cli add` processes at once on one data directory: every one of
# the 100 routes must be stored, each under an identifier of its own.
#   concurrent_adds.sh SKYLARK_CLI
set -euo pipefail
cli=$1
data=$(mktemp -d)
sim_log=$(mktemp)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$data" "$sim_log"' EXIT

# One demo server for all the processes, so that each add only makes its city check.
"$cli" sim > "$sim_log" &
sim=$!
for _ in $(seq 100); do
    grep -q 'http://' "$sim_log" && break
    sleep 0.1
done
base=$(grep -o 'http://[0-9.:]*' "$sim_log")
printf '[relay]\r\nbase=%s\r\n[faresource]\r\ndomestic=%s\r\n' "$base" "$base" > "$data/servers.ini"

day=$(date -d '+30 days' +%F)
failed=0
for wave in 1 2; do
    pids=()
    for i in $(seq 50); do
        "$cli" --data-dir "$data" add 成都 上海 "$day" "$((wave * 1000 + i))" \
            > /dev/null 2> "$data/err-$wave-$i.txt" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || failed=$((failed + 1))
    done
done
if [ "$failed" -gt 0 ]; then
    echo "what the failed adds said:"
    grep -vh "^No servers.ini" "$data"/err-*.txt | sort | uniq -c || true
fi

stored=$("$cli" --data-dir "$data" routes | wc -l)
prices=$("$cli" --data-dir "$data" routes | cut -f5 | sort -u | wc -l)
ids=$("$cli" --data-dir "$data" routes | cut -f1 | sort -u | wc -l)
echo "adds that failed: $failed; routes stored: $stored; distinct prices: $prices; distinct identifiers: $ids"
[ "$failed" -eq 0 ] && [ "$stored" -eq 100 ] && [ "$prices" -eq 100 ] && [ "$ids" -eq 100 ]
