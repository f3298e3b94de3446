#!/usr/bin/env bash
# What an idle `vandrel serve --watch` costs over an app of 10,000 files (100 folders of 100), side
# by side with `vandrel serve` alone: the processor time each takes over SECONDS (default 10) with
# no request and no change, read from /proc, as a share of one core. Then one change, to show the
# watch is live. Usage: bench/watch_idle.sh [VANDREL] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$root/build/tool/bin/vandrel}
seconds=${2:-10}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir -p "$work/app/www"
echo '{"name":"idle"}' > "$work/app/package.json"
echo '<!DOCTYPE html><title>idle</title>' > "$work/app/www/index.html"
for folder in $(seq 1 100); do
    mkdir -p "$work/app/www/f$folder"
    for file in $(seq 1 100); do echo "$folder $file" > "$work/app/www/f$folder/$file.txt"; done
done

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
printf '%-22s %12s %10s\n' "server" "CPU seconds" "of a core"
for mode in plain watch; do
    args=()
    [ "$mode" = watch ] && args=(--watch)
    "$tool" serve "$work/app" "${args[@]}" > "$work/$mode.log" 2>&1 &
    pid=$!
    sleep 2
    before=$(ticks "$pid")
    sleep "$seconds"
    after=$(ticks "$pid")
    awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v m="serve${args[*]:+ ${args[*]}}" \
        'BEGIN { printf "%-22s %12.2f %9.2f%%\n", m, t / hz, 100 * t / hz / s }'
    if [ "$mode" = watch ]; then
        echo changed > "$work/app/www/f50/50.txt"
        sleep 1
        grep -q '^changed: ' "$work/watch.log" || { echo "the change was not seen" >&2; exit 1; }
        echo "a change to www/f50/50.txt was seen"
    fi
    kill -INT "$pid"
    wait "$pid" || true
done
