#!/usr/bin/env bash
# Runs `vandrel.exe serve` under Wine on a small app with a bundle: fetches a bundle file, a folder
# file, a byte range, a 404 and the kit's vandrel.js, sees --watch add its script and notice a
# changed file (ReadDirectoryChangesW), then stops it with Ctrl+C (SIGINT, which
# Wine turns into the console's Ctrl+C) and checks that it said so and logged every request.
# Usage: windows_serve_smoke.sh EMULATOR VANDREL_EXE WORK_FOLDER
set -euo pipefail
emulator=$1
tool=$2
work=$3

fail() { echo "FAILED: $*" >&2; [ -f "$work/out" ] && cat "$work/out" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/app/www/packed"
printf '{"name":"smoke"}' > "$work/app/package.json"
printf '<!DOCTYPE html><title>smoke</title>' > "$work/app/www/index.html"
printf '0123456789' > "$work/app/www/packed/digits.txt"
"$emulator" "$tool" pack "$work/app/www" -o "$work/app/www/assets.dat" > /dev/null
rm -r "$work/app/www/packed"
printf 'loose' > "$work/app/www/loose.txt"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$emulator" "$tool" serve "$work/app" --port "$port" --watch > "$work/out" 2>&1 &
runner=$!
trap 'kill "$runner" 2>/dev/null || true' EXIT

get() { curl -s --max-time 10 -w '|%{http_code}' "$@"; }
for _ in $(seq 120); do
    [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/index.html")" = 200 ] && break
    kill -0 "$runner" 2>/dev/null || fail "serve ended early"
    sleep 1
done

origin="http://127.0.0.1:$port"
[ "$(get "$origin/packed/digits.txt")" = '0123456789|200' ] || fail "bundle file"
[ "$(get "$origin/loose.txt")" = 'loose|200' ] || fail "folder file"
[ "$(get -H 'Range: bytes=3-5' "$origin/packed/digits.txt")" = '345|206' ] || fail "range"
[ "$(get "$origin/packed/DIGITS.txt")" = 'File not found|404' ] || fail "the bundle's names are exact"
[ "$(get "$origin/LOOSE.TXT")" = 'loose|200' ] || fail "the folder ignores case on Windows"
[[ "$(get "$origin/vandrel.js")" == *'export function connect'*'|200' ]] || fail "kit vandrel.js"
[[ "$(get "$origin/index.html")" == *'<script src="/:vandrel/live.js"></script>|200' ]] ||
    fail "the live-reload script"
# A page's reload stream (the log shows only once the program ends: wine-run holds it).
curl -sN --max-time 20 "$origin/:vandrel/live" > "$work/events" &
listener=$!
for _ in $(seq 40); do grep -q '^retry: ' "$work/events" && break; sleep 0.25; done
printf 'changed' > "$work/app/www/loose.txt"
for _ in $(seq 40); do grep -q '^data: reload$' "$work/events" && break; sleep 0.25; done
grep -q '^data: reload$' "$work/events" || fail "the change unseen: $(cat "$work/events")"
kill "$listener" 2>/dev/null || true
[ "$(get "$origin/loose.txt")" = 'changed|200' ] || fail "the changed file"

# Ctrl+C: the Windows process under Wine is the runner's child.
program=$(pgrep -P "$runner" | head -n 1)
[ -n "$program" ] || fail "no program process"
kill -INT "$program"
for _ in $(seq 30); do
    kill -0 "$runner" 2>/dev/null || break
    sleep 1
done
status=0
wait "$runner" || status=$?
trap - EXIT
tr -d '\r' < "$work/out" > "$work/log"
[ "$status" -eq 0 ] || fail "exit code $status"
grep -q '^Stopped\.$' "$work/log" || fail "no clean stop"
grep -q "^GET /packed/digits.txt 206 3 [0-9.]*ms bundle bytes 3-5/10$" "$work/log" || fail "log line"
[ "$(grep -c '^GET ' "$work/log")" -eq 10 ] || fail "one line per request"
grep -q '^changed: 1 page told to reload$' "$work/log" || fail "no line for the change"
echo "windows serve smoke test passed"
