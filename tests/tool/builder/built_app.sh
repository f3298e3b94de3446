#!/usr/bin/env bash
# Runs vandrel.exe under Wine to build examples/hello with --bundle --zip, then reads the result
# back with readers of its own: objdump for the headers, wrestool for the icon and version
# resources, Python for the checksum and the zip. The Windows test BuiltApp then starts the
# executable. Also checks the real test extension libraries and a 32-bit library with 'check'.
# Usage: built_app.sh EMULATOR VANDREL_EXE HOST_EXE LOADER_DLL TESTEXT_FOLDER SOURCE_DIR OUT_FOLDER
set -euo pipefail
emulator=$1
tool=$2
host=$3
loader=$4
testext=$5
source=$6
work=$7

fail() { echo "FAILED: $*" >&2; exit 1; }
run() { "$emulator" "$tool" "$@" | tr -d '\r'; }

rm -rf "$work"
mkdir -p "$work"
out=$work/hello
example=$source/examples/hello

text=$(run build "$example" -o "$out" --bundle --zip --host "$host" --loader "$loader") ||
    fail "build: $text"
echo "$text"
grep -q "no problems found" <<<"$text" || fail "the check of the result: $text"
[[ -f $out/hello-vandrel.exe && -f $out/www/assets.dat && -f $out/www/icon.png ]] ||
    fail "missing files: $(ls -R "$out")"
[[ $(ls "$out/www") == $'assets.dat\nicon.png' ]] || fail "loose files left: $(ls "$out/www")"
cmp "$out/package.json" "$example/package.json" || fail "package.json differs"
cmp "$out/WebView2Loader.dll" "$loader" || fail "the loader differs"

exe=$out/hello-vandrel.exe
headers=$(x86_64-w64-mingw32-objdump -p "$exe") || fail "objdump cannot read the executable"
grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a PE x86-64 image"
grep -q 'Resource Directory \[.rsrc\]' <<<"$headers" || fail "no resource directory: $headers"

# Icon, version and checksum, read from the file by wrestool and Python.
python3 - "$exe" "$example/www/icon.png" <<'PY' || fail "resources"
import struct, subprocess, sys
exe, icon = sys.argv[1], sys.argv[2]
def raw(*selection):
    return subprocess.run(["wrestool", "-x", "--raw", *selection, exe], check=True,
                          capture_output=True).stdout
group = raw("--type=14", "--name=MAINICON")
reserved, kind, count = struct.unpack_from("<HHH", group, 0)
assert (kind, count) == (1, 1), (kind, count)
w, h, colors, _, planes, bits, size, image_id = struct.unpack_from("<BBBBHHIH", group, 6)
png = open(icon, "rb").read()
assert (w, h, size) == (128, 128, len(png)), (w, h, size)
assert raw("--type=3", "--name=%d" % image_id) == png, "the icon image differs"
version = raw("--type=16").decode("utf-16-le", "replace")
for key, value in [("ProductName", "Hello from Vandrel"), ("FileDescription", "Hello from Vandrel"),
                   ("FileVersion", "0.1.0"), ("OriginalFilename", "hello-vandrel.exe")]:
    at = version.find(key + "\0")
    assert at >= 0, key
    assert version[at + len(key):].lstrip("\0").startswith(value + "\0"), (key, version[at:at+60])
data = bytearray(open(exe, "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
field = pe + 24 + 64
stored = struct.unpack_from("<I", data, field)[0]
struct.pack_into("<I", data, field, 0)
if len(data) % 2:
    data += b"\0"
total = 0
for (word,) in struct.iter_unpack("<H", data):
    total += word
    total = (total & 0xFFFF) + (total >> 16)
total = (total & 0xFFFF) + (total >> 16)
expected = total + len(open(exe, "rb").read())
assert stored == expected, "checksum %x, expected %x" % (stored, expected)
PY

# The zip holds the same files, and a second build makes the same bytes.
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "$work/hello.zip" "$work/unzipped"
# The folder's mark of a build stays out of the zip.
diff -r -x .vandrel-build "$out" "$work/unzipped/hello" || fail "the zip differs from the folder"
[ -f "$out/.vandrel-build" ] && [ ! -e "$work/unzipped/hello/.vandrel-build" ] ||
    fail "the build's mark is in the folder only"
cp "$work/hello.zip" "$work/first.zip"
run build "$example" -o "$out" --bundle --zip --host "$host" --loader "$loader" > /dev/null
cmp "$work/first.zip" "$work/hello.zip" || fail "the second zip differs"

# check on real libraries: the test extensions, and a 32-bit library beside the 64-bit host.
lib=$work/libs
mkdir -p "$lib/www"
printf '{"name":"libs"}' > "$lib/package.json"
printf '<p>' > "$lib/www/index.html"
cp "$host" "$lib/libs.exe"
cp "$loader" "$lib/WebView2Loader.dll"
cp "$testext/full/WV2ExtManager.dll" "$lib/"
[[ $(run check "$lib") == *"no problems found"* ]] || fail "check of the full extension: $(run check "$lib")"
cp "$testext/message-only/WV2ExtManager.dll" "$lib/"
text=$(run check "$lib") && fail "an extension without its exports passed"
grep -q "does not export Init, Release, OnMainWindowCreated" <<<"$text" || fail "$text"
printf 'int __stdcall DllMainCRTStartup(void* a, unsigned b, void* c) { return 1; }\n' > "$work/x86.c"
i686-w64-mingw32-gcc -shared -nostdlib -e _DllMainCRTStartup@12 -o "$lib/WebView2Loader.dll" \
    "$work/x86.c"
cp "$testext/full/WV2ExtManager.dll" "$lib/"
text=$(run check "$lib") && fail "a 32-bit loader passed"
grep -q "WebView2Loader.dll: built for x86, but the host is x64" <<<"$text" ||
    fail "$text"
echo "built app checks passed"
