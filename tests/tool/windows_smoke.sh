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
echo "windows smoke test passed"
