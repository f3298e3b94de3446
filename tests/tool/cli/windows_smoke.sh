#!/usr/bin/env bash
# Runs vandrel.exe under Wine: packs a small tree with non-ASCII names and identical files,
# verifies and extracts the bundle, compares the result with the tree, packs again over the
# existing bundle, and checks that a missing folder fails without leaving a file.
# Usage: windows_smoke.sh EMULATOR VANDREL_EXE WORK_FOLDER
set -euo pipefail
emulator=$1
tool=$2
work=$3

rm -rf "$work"
mkdir -p "$work/www/données" "$work/www/日本/深い" "$work/www/empty-folder-sibling"
printf 'été' > "$work/www/données/été.txt"
printf 'nihon' > "$work/www/日本/深い/a.txt"
printf 'same bytes' > "$work/www/one.txt"
printf 'same bytes' > "$work/www/empty-folder-sibling/two.txt"
: > "$work/www/empty.txt"
printf 'old bundle' > "$work/www/assets.dat"

# Windows ends lines with CR LF.
run() { "$emulator" "$tool" "$@" | tr -d '\r'; }
fail() { echo "FAILED: $*" >&2; exit 1; }

out=$(run pack "$work/www" -o "$work/www/assets.dat")
echo "$out"
[[ $out == "packed 5 files (30 bytes) into "*"10 bytes saved by sharing 1 identical file" ]] ||
    fail "pack summary: $out"
# Packed again over the existing bundle (which is left out): the same bytes.
cp "$work/www/assets.dat" "$work/first.dat"
run pack "$work/www" -o "$work/www/assets.dat" > /dev/null
cmp "$work/first.dat" "$work/www/assets.dat" || fail "second pack differs"

verify=$(run verify "$work/www/assets.dat")
[[ $verify == "accepted: 5 files, 30 bytes"* ]] || fail "verify: $verify"

run extract "$work/www/assets.dat" "$work/out" > /dev/null
rm "$work/www/assets.dat"
diff -r "$work/www" "$work/out" || fail "extracted tree differs"

# The emulator may merge the program's two output streams, so the error is looked for in both.
if "$emulator" "$tool" pack "$work/missing" -o "$work/x.dat" > "$work/err" 2>&1; then
    fail "packing a missing folder succeeded"
fi
grep -q "vandrel: cannot open folder" "$work/err" || fail "error text: $(cat "$work/err")"
[[ ! -e "$work/x.dat" ]] || fail "a failed pack left a file"
ls -A "$work" | grep -q '\.tmp$' && fail "a temporary file was left behind"

# Ctrl+C during a build (SIGINT, which Wine turns into the console's Ctrl+C): the staging folder
# goes, and the earlier build stays. vandrel.exe itself stands in for the host.
mkdir -p "$work/big/www"
printf '{"name":"big"}' > "$work/big/package.json"
printf '<p>first' > "$work/big/www/index.html"
run build "$work/big" -o "$work/dist/big" --host "$tool" > /dev/null || fail "first build"
printf '<p>second' > "$work/big/www/index.html"
truncate -s 1G "$work/big/www/zeros.bin"
"$emulator" "$tool" build "$work/big" -o "$work/dist/big" --zip --host "$tool" > "$work/build.log" 2>&1 &
runner=$!
for _ in $(seq 600); do
    ls -A "$work/dist" | grep -q '^\.vandrel-.*\.tmp$' && break
    sleep 0.05
done
program=$(pgrep -P "$runner" | head -n 1)
[ -n "$program" ] || fail "no build process"
kill -INT "$program"
status=0
wait "$runner" || status=$?
[ "$status" -ne 0 ] || fail "an interrupted build succeeded: $(cat "$work/build.log")"
grep -q "vandrel: interrupted" "$work/build.log" || fail "build log: $(cat "$work/build.log")"
[ "$(cat "$work/dist/big/www/index.html")" = '<p>first' ] || fail "the earlier build was replaced"
ls -A "$work/dist" | grep -q '\.tmp$' && fail "an interrupted build left its staging folder"
[ ! -e "$work/dist/big.zip" ] || fail "an interrupted build left a zip"
echo "windows smoke test passed"
